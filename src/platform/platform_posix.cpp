// POSIX implementation of the platform layer.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/profile_reader.h"

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

bool RunCapturedProcess(const CommandLine& /*command*/, const OutputSink& /*sink*/) {
  return false;
}

std::int32_t RunProcessAndWait(const CommandLine& /*command*/, int /*show_state*/) { return -1; }

void SendToDebugger(const std::string& /*text*/) {
  // POSIX has no debugger channel; the text must never reach the console.
}

}  // namespace tolvarine::platform
