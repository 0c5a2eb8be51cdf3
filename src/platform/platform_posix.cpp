// POSIX implementation of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"

extern char** environ;

namespace tolvarine::platform {

const char kPathSeparator = '/';
const char kPathListSeparator = ':';
const char kExecutableSuffix[] = "";
const char kWindowlessSuffix[] = "";
const bool kStartsCommandText = false;

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

namespace {

// What PrepareProcess saw at the start: argument 0 and PATH before the launcher changed it,
// to find the executable where /proc cannot tell.
std::string& ProgramName() {
  static std::string name;
  return name;
}

std::string& StartSearchPath() {
  static std::string value;
  return value;
}

std::string ProcSelfExe() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();  // No /proc: argument 0 is asked instead.
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);  // Possibly cut: try again with room to spare.
  }
}

// The full, link-free path of an existing executable file; empty when it is not one.
std::string ResolvedExecutable(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || access(path.c_str(), X_OK) != 0) {
    return std::string();
  }
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    Failed("realpath");
    return std::string();
  }
  std::string result = resolved;
  std::free(resolved);
  return result;
}

// The entries of a PATH-like list, empty ones included.
std::vector<std::string> PathEntries(const std::string& list) {
  std::vector<std::string> entries;
  for (std::size_t start = 0; start <= list.size();) {
    std::size_t end = std::min(list.find(kPathListSeparator, start), list.size());
    entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

// Where a shell found the program it started: argument 0 itself when it holds a '/', else
// its first match in PATH as it was at the start (empty entries meaning the current folder).
std::string ExecutableFromProgramName() {
  const std::string& name = ProgramName();
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return ResolvedExecutable(name);
  for (const std::string& folder : PathEntries(StartSearchPath())) {
    std::string found = ResolvedExecutable((folder.empty() ? "." : folder) + "/" + name);
    if (!found.empty()) return found;
  }
  return std::string();
}

}  // namespace

void PrepareProcess(const std::string& program) {
  // A closed standard output (`| head`) must not end the run before its report and the
  // producer step: writes fail instead, quietly. An ignored SIGCHLD, inherited, would make
  // every wait for a child fail.
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_IGN;
  if (sigaction(SIGPIPE, &action, nullptr) != 0) Failed("sigaction");
  action.sa_handler = SIG_DFL;
  if (sigaction(SIGCHLD, &action, nullptr) != 0) Failed("sigaction");
  ProgramName() = program;
  std::optional<std::string> search_path = ReadEnvironmentVariable("PATH");
  StartSearchPath() = search_path && !search_path->empty() ? *search_path : DefaultSearchPath();
}

std::string ExecutablePath() {
  std::string path = ProcSelfExe();
  return path.empty() ? ExecutableFromProgramName() : path;
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

FileState ReadFileState(const std::string& path) {
  FileState state;
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) {
    // No file is an expected answer; anything else is worth its reason.
    if (!path.empty() && errno != ENOENT && errno != ENOTDIR) Failed("stat");
    return state;
  }
  state.exists = true;
  state.size = static_cast<std::uint64_t>(info.st_size);
  state.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                   static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  state.volume = static_cast<std::uint64_t>(info.st_dev);
  state.index = static_cast<std::uint64_t>(info.st_ino);
  return state;
}

bool RenamePath(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  return rename(from.c_str(), to.c_str()) == 0 || Failed("rename");
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0 || errno == ENOENT || Failed("unlink");
}

namespace {

// Empties the folder open as `folder`. Every step goes through the folder's descriptor and
// opens nothing through a link, so an entry swapped for a link meanwhile is removed as a
// link and never leads the removal elsewhere.
void RemoveFolderContents(int folder) {
  int listing = dup(folder);
  if (listing < 0) {
    Failed("dup");
    return;
  }
  DIR* entries = fdopendir(listing);
  if (entries == nullptr) {
    Failed("fdopendir");
    close(listing);
    return;
  }
  while (const dirent* entry = readdir(entries)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      Fd inner(openat(folder, name.c_str(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
      if (inner.get() >= 0) RemoveFolderContents(inner.get());
      if (unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) Failed("unlinkat");
    } else if (unlinkat(folder, name.c_str(), 0) != 0) {
      Failed("unlinkat");
    }
  }
  closedir(entries);
}

}  // namespace

void RemoveTree(const std::string& path) {
  struct stat info;
  if (path.empty() || lstat(path.c_str(), &info) != 0) return;
  if (!S_ISDIR(info.st_mode)) {
    RemoveFile(path);
    return;
  }
  {
    Fd folder(OpenRetrying(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK));
    if (folder.get() < 0) {
      Failed("open");
      return;
    }
    RemoveFolderContents(folder.get());
  }
  // What cannot be removed stays; callers only clean up after themselves.
  if (rmdir(path.c_str()) != 0) Failed("rmdir");
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) {
    Failed("opendir");
    return names;
  }
  while (const dirent* entry = readdir(folder)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  return names;
}

bool ProcessIsRunning(unsigned long id) {
  // Nothing can run under an identifier that pid_t cannot hold, and kill() would read 0 and
  // negative ones as process groups.
  if (id == 0 || id > static_cast<unsigned long>(INT_MAX)) return false;
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
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
  if (fd < 0) {
    Failed("open");
    return File();
  }
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

std::optional<std::string> File::ReadAt(std::uint64_t offset, std::size_t size) const {
  std::string bytes(size, '\0');
  char* out = bytes.data();
  while (size > 0) {
    ssize_t got = pread(static_cast<int>(handle_), out, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Failed("pread");
      return std::nullopt;
    }
    if (got == 0) return std::nullopt;
    out += got;
    offset += static_cast<std::uint64_t>(got);
    size -= static_cast<std::size_t>(got);
  }
  return bytes;
}

bool File::WriteAt(std::uint64_t offset, std::string_view bytes) {
  const char* in = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    ssize_t put = pwrite(static_cast<int>(handle_), in, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return Failed("pwrite");
    if (put == 0) return false;
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
  return setenv(name.c_str(), value.c_str(), 1) == 0 || Failed("setenv");
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

// Why `info`, what `path` names, may not hold programs this user runs: whoever else owns it or
// can write it could put one there.
std::string Distrust(const struct stat& info, const std::string& path) {
  if (info.st_uid != geteuid()) return "\"" + path + "\" belongs to another user";
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "others can write \"" + path + "\"";
  return std::string();
}

// The user's own folder inside a temporary-files folder that others can write: made for the
// user alone, and used only while it still is. Links are not followed: another user may have
// put one there.
std::string OwnFolderIn(const std::string& shared, std::string* why_not) {
  std::string folder = shared + (shared.back() == kPathSeparator ? "" : "/") + "tolvarine-" +
                       std::to_string(static_cast<unsigned long>(geteuid()));
  std::string why;
  struct stat info;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    const char* error = std::strerror(errno);
    why = "cannot make \"" + folder + "\": " + error;
  } else if (lstat(folder.c_str(), &info) != 0) {
    const char* error = std::strerror(errno);
    why = "cannot examine \"" + folder + "\": " + error;
  } else if (!S_ISDIR(info.st_mode)) {
    why = "\"" + folder + "\" is " + (S_ISLNK(info.st_mode) ? "a link" : "not a folder");
  } else {
    why = Distrust(info, folder);
  }
  if (why.empty()) return folder + kPathSeparator;
  if (why_not != nullptr) *why_not = why;
  return std::string();
}

}  // namespace

std::string DistrustReason(const std::string& path) {
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::string();
  return Distrust(info, path);
}

std::string TempDirectory(std::string* why_not) {
  std::optional<std::string> tmpdir = ReadEnvironmentVariable("TMPDIR");
  std::string folder = tmpdir && !tmpdir->empty() ? *tmpdir : "/tmp";
  struct stat info;
  // A folder that is missing or no folder at all is passed on as it is: nothing can be kept
  // there, and each step that tries says so.
  if (stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
      !Distrust(info, folder).empty()) {
    return OwnFolderIn(folder, why_not);
  }
  if (folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

// --- Configuration -------------------------------------------------------------------------

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& path) {
  return ReadProfileFile(section, key, default_value, size, path);
}

std::string ConfigurationText(const std::string& text) { return text; }

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

// The attributes of one start: the child begins with SIGPIPE at its default, whatever the
// launcher itself does with it.
class SpawnAttributes {
 public:
  SpawnAttributes() : initialised_(posix_spawnattr_init(&attributes_) == 0) {}
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  ~SpawnAttributes() {
    if (initialised_) posix_spawnattr_destroy(&attributes_);
  }
  /// Null when the attributes could not be set up.
  const posix_spawnattr_t* get() {
    sigset_t defaults;
    if (!initialised_ || sigemptyset(&defaults) != 0 || sigaddset(&defaults, SIGPIPE) != 0 ||
        posix_spawnattr_setsigdefault(&attributes_, &defaults) != 0 ||
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF) != 0) {
      return nullptr;
    }
    return &attributes_;
  }

 private:
  posix_spawnattr_t attributes_;
  bool initialised_;
};

// Hands on why the program `name` cannot start (errno's text) and returns false.
bool CannotStart(const std::string& name) {
  return Failed(("cannot start \"" + name + "\"").c_str());
}

// The arguments as exec takes them, pointing into `argv`.
std::vector<char*> Pointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;  // exec takes char* for history's sake; it writes none.
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Starts argv[0], looked for as FindProgram says, with this process's environment and current
// folder. False when it cannot be started, the program missing included: glibc reports a
// failed exec here rather than as the child's exit status 127.
bool Spawn(const std::vector<std::string>& argv, SpawnActions& actions, pid_t& pid) {
  if (argv.empty() || argv[0].empty()) return false;
  std::string program = FindProgram(argv[0]);
  if (program.empty()) return CannotStart(argv[0]);
  std::vector<char*> pointers = Pointers(argv);
  SpawnAttributes attributes;
  const posix_spawnattr_t* set_up = attributes.get();
  if (set_up == nullptr) return false;
  int error = posix_spawn(&pid, program.c_str(), actions.get(), set_up, pointers.data(), environ);
  if (error == 0) return true;
  errno = error;  // posix_spawn returns its error instead of setting errno.
  return CannotStart(argv[0]);
}

// Waits for the child's end and collects it; the status, or nothing when it cannot be had.
std::optional<int> Reap(pid_t pid) {
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  if (got != pid) {
    Failed("waitpid");
    return std::nullopt;
  }
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
  // A child that cannot be waited for any more counts as ended, so the run cannot hang.
  if (result < 0) Failed("waitid");
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
  if (got > 0) sink(std::string_view(buffer, static_cast<std::size_t>(got)));
  if (got < 0) Failed("read");
  return got;
}

// After the child's end: takes only what the pipe holds now, so that a grandchild that keeps
// writing into it cannot keep the run going.
void DrainBuffered(int fd, const OutputSink& sink) {
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0) {
    Failed("ioctl");  // Cannot tell what waits: take nothing.
    return;
  }
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
    if (ready < 0 && errno != EINTR) {
      Failed("poll");
      return;
    }
    if (ready > 0 && waits[0].revents != 0 && ReadOnce(read_end, kReadChunk, sink) <= 0) return;
    if (HasEnded(pid)) {
      DrainBuffered(read_end, sink);
      return;
    }
  }
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  for (const std::string& folder :
       PathEntries(ReadEnvironmentVariable("PATH").value_or(DefaultSearchPath()))) {
    if (folder.empty() || folder[0] != '/') continue;
    std::string candidate = folder + "/" + name;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  errno = ENOENT;
  return std::string();
}

namespace {

// A child's exit code: 128 + the signal's number when a signal ended it.
std::int32_t ExitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the child that `start` starts with its output into the pipe's write end, hands on its
// output and waits for its end. `collected` hears the child's id just before it is collected.
std::optional<std::int32_t> RunIntoPipe(const std::function<bool(int, pid_t&)>& start,
                                        const OutputSink& sink,
                                        const std::function<void(pid_t)>& collected = {}) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    Failed("pipe2");
    return std::nullopt;
  }
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
      if (!start(write_end.get(), pid)) return std::nullopt;
    }
    CollectOutput(read_end.get(), pid, sink);
  }
  if (collected) collected(pid);
  // The read end is closed by now, so a child still writing (after a failed read) gets
  // EPIPE and ends rather than block for ever.
  std::optional<int> status = Reap(pid);
  if (!status) return -1;
  return ExitCode(*status);
}

// The conversion's child, to which the stopping signals are passed on; 0 while there is none.
volatile std::sig_atomic_t conversion_child = 0;

constexpr int kStoppingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void PassOn(int signal_number) {
  int error = errno;
  pid_t child = static_cast<pid_t>(conversion_child);
  if (child > 0) kill(child, signal_number);  // A child that is gone needs nothing.
  errno = error;
}

// While it lives, the stopping signals reach the conversion's child instead of ending the
// launcher, which then reports as usual. One that the launcher was started to ignore (as
// nohup does) stays ignored: the child inherits that too.
class PassingOn {
 public:
  PassingOn() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = PassOn;
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStoppingSignals); ++i) {
      installed_[i] =
          sigaction(kStoppingSignals[i], nullptr, &before_[i]) == 0 &&
          before_[i].sa_handler != SIG_IGN &&
          (sigaction(kStoppingSignals[i], &action, nullptr) == 0 || Failed("sigaction"));
    }
  }
  PassingOn(const PassingOn&) = delete;
  PassingOn& operator=(const PassingOn&) = delete;
  ~PassingOn() {
    conversion_child = 0;
    for (std::size_t i = 0; i < std::size(kStoppingSignals); ++i) {
      if (installed_[i] && sigaction(kStoppingSignals[i], &before_[i], nullptr) != 0) {
        Failed("sigaction");
      }
    }
  }

 private:
  struct sigaction before_[std::size(kStoppingSignals)];
  bool installed_[std::size(kStoppingSignals)] = {};
};

// Holds the stopping signals back while it lives: one that comes while the child is made
// waits until the launcher knows whom to pass it to.
class HeldBack {
 public:
  HeldBack() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : kStoppingSignals) sigaddset(&held, signal_number);
    if (sigprocmask(SIG_BLOCK, &held, &before_) != 0) Failed("sigprocmask");
  }
  HeldBack(const HeldBack&) = delete;
  HeldBack& operator=(const HeldBack&) = delete;
  ~HeldBack() {
    if (sigprocmask(SIG_SETMASK, &before_, nullptr) != 0) Failed("sigprocmask");
  }
  const sigset_t& before() const { return before_; }

 private:
  sigset_t before_;
};

// True where the launcher's locale names only ASCII characters (C, POSIX): a converter started
// in it could not name a file called "café.svg".
bool LocaleIsAscii() {
  locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return true;  // An unknown one is the C locale.
  bool ascii = std::strcmp(nl_langinfo_l(CODESET, locale), "ANSI_X3.4-1968") == 0;
  freelocale(locale);
  return ascii;
}

// This process's environment, with LC_ALL=C.UTF-8 where its locale is ASCII.
std::vector<std::string> ConversionEnvironment() {
  std::vector<std::string> variables;
  bool ascii = LocaleIsAscii();
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (!ascii || std::strncmp(*variable, "LC_ALL=", 7) != 0) variables.push_back(*variable);
  }
  if (ascii) variables.push_back("LC_ALL=C.UTF-8");
  return variables;
}

// Sends errno to the parent through `report` and ends the child that could not become the
// program. Only async-signal-safe calls from here to the exec.
[[noreturn]] void ChildFailed(int report) {
  int error = errno;
  static_cast<void>(write(report, &error, sizeof error));  // Nothing more a child can do.
  _exit(127);
}

// The child's side of the conversion's start, between fork and exec.
[[noreturn]] void BecomeProgram(const char* program, char* const* argv, char* const* envp,
                                int write_end, int report, pid_t launcher, const sigset_t& mask,
                                int highest_descriptor) {
  int input = open("/dev/null", O_RDONLY);
  if (input < 0 || dup2(input, 0) < 0 || dup2(write_end, 1) < 0 || dup2(write_end, 2) < 0) {
    ChildFailed(report);
  }
  // Nothing of the launcher's reaches the program, not even a descriptor that the launcher's
  // own parent left open without close-on-exec. `report` itself must stay until the exec.
#ifdef SYS_close_range
  if (syscall(SYS_close_range, 3, ~0U, 4 /* CLOSE_RANGE_CLOEXEC */) != 0)
#endif
  {
    for (int fd = 3; fd <= highest_descriptor; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_DFL;
  // The program starts with the defaults the launcher changed for itself; what the launcher
  // was started to ignore stays ignored.
  struct sigaction current;
  for (int signal_number : kStoppingSignals) {
    if (sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == PassOn) {
      sigaction(signal_number, &action, nullptr);
    }
  }
  if (sigaction(SIGPIPE, &action, nullptr) != 0 || sigprocmask(SIG_SETMASK, &mask, nullptr) != 0) {
    ChildFailed(report);
  }
#ifdef __linux__
  // Ended when the launcher dies, however it dies: by SIGTERM, which lets a converter remove
  // what it was writing, or by SIGKILL where SIGTERM is ignored. The launcher has one thread,
  // the one that made this child, whose end is what the kernel watches. A launcher already
  // gone before this point is caught by the check after it.
  if (sigaction(SIGTERM, nullptr, &current) != 0 ||
      prctl(PR_SET_PDEATHSIG, current.sa_handler == SIG_IGN ? SIGKILL : SIGTERM) != 0) {
    ChildFailed(report);
  }
  if (getppid() != launcher) _exit(127);
#else
  static_cast<void>(launcher);
#endif
  execve(program, argv, envp);
  ChildFailed(report);
}

// Starts the conversion's child with fork and exec: a spawn cannot ask to die with its
// parent. Everything the child needs is made before the fork.
bool StartConversion(const std::vector<std::string>& argv, int write_end, pid_t& pid) {
  if (argv.empty() || argv[0].empty()) return false;
  std::string program = FindProgram(argv[0]);
  if (program.empty()) return CannotStart(argv[0]);
  std::vector<char*> arguments = Pointers(argv);
  std::vector<std::string> environment = ConversionEnvironment();
  std::vector<char*> variables = Pointers(environment);
  struct rlimit descriptors;
  int highest = getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur < 65536
                    ? static_cast<int>(descriptors.rlim_cur) - 1
                    : 65535;
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return Failed("pipe2");
  Fd report_read(report[0]);
  {
    Fd report_write(report[1]);
    HeldBack held;
    pid_t launcher = getpid();
    pid = fork();
    if (pid == 0) {
      BecomeProgram(program.c_str(), arguments.data(), variables.data(), write_end, report[1],
                    launcher, held.before(), highest);
    }
    if (pid < 0) return Failed("fork");
    conversion_child = static_cast<std::sig_atomic_t>(pid);
  }
  // The exec closes the report's write end; a child that could not get there sends errno.
  int error = 0;
  ssize_t got;
  do {
    got = read(report_read.get(), &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return true;
  conversion_child = 0;
  Reap(pid);
  errno = error;
  return CannotStart(argv[0]);
}

}  // namespace

std::optional<std::int32_t> RunCapturedProcess(const CommandLine& command, const OutputSink& sink) {
  return RunIntoPipe(
      [&command](int write_end, pid_t& pid) {
        SpawnActions actions;
        return actions.IntoPipe(write_end) && actions.CloseTheRest() &&
               Spawn(command.argv, actions, pid);
      },
      sink);
}

std::optional<std::int32_t> RunConversion(const CommandLine& command, const OutputSink& sink) {
  PassingOn passing_on;
  return RunIntoPipe(
      [&command](int write_end, pid_t& pid) {
        return StartConversion(command.argv, write_end, pid);
      },
      // An ended child keeps its id until it is collected: no other process can have it yet.
      sink,
      [](pid_t pid) {
        if (HasEnded(pid)) conversion_child = 0;
      });
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

std::optional<std::string> OwnCommandLine() { return std::nullopt; }

void PrintText(const std::string& text) { PrintBytes(text); }

void PrintBytes(const std::string& bytes) {
  // A closed or full output is the user's choice; the run goes on to its report either way.
  if (!bytes.empty()) static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), stdout));
}

void PrintOutput(std::FILE* out, std::string_view bytes) {
  // A closed or full output is the user's choice; the run goes on to its report either way.
  if (!bytes.empty()) static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), out));
}

}  // namespace tolvarine::platform
