#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "support/test_support.h"

namespace testing_support {

bool IsWindowsBuild() { return false; }

bool MakeNamedPipe(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

bool RunsAsSuperuser() { return geteuid() == 0; }

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const std::string& name,
                                                     const std::string& value)
    : name_(name) {
  if (const char* old = std::getenv(name.c_str())) old_value_ = old;
  if (setenv(name.c_str(), value.c_str(), 1) != 0) ADD_FAILURE() << "cannot set " << name;
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  if (old_value_) {
    setenv(name_.c_str(), old_value_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

Gate::Gate() : path_(folder_ / "gate") {
  // Held open for reading and writing, the FIFO lets the helper's open return at once, and
  // its read waits for as long as this writer stays.
  if (mkfifo(path_.c_str(), 0600) != 0 ||
      (handle_ = open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)) < 0) {
    ADD_FAILURE() << "cannot make the FIFO " << path_;
  }
}

void Gate::Release() {
  if (handle_ >= 0) close(static_cast<int>(handle_));  // The helper's read sees the end.
  handle_ = -1;
  unlink(path_.c_str());
}

LeakableFile::LeakableFile() {
  std::string path = folder_ / "inheritable";
  WriteFile(path, "12345");
  handle_ = open(path.c_str(), O_RDONLY);  // Deliberately without O_CLOEXEC.
  if (handle_ < 0) ADD_FAILURE() << "cannot open " << path;
}

LeakableFile::~LeakableFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

std::string LeakableFile::probe_argument() const { return std::to_string(handle_) + ":5"; }

namespace {

// Points `fd` at a file for as long as it lives, then back where it pointed before.
class Redirect {
 public:
  Redirect(int fd, const std::string& path, int flags) : fd_(fd), saved_(dup(fd)) {
    int file = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (saved_ < 0 || file < 0 || dup2(file, fd) < 0) ADD_FAILURE() << "cannot redirect " << fd;
    if (file >= 0) close(file);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;
  ~Redirect() {
    if (saved_ < 0) return;
    dup2(saved_, fd_);
    close(saved_);
  }

 private:
  int fd_;
  int saved_;
};

constexpr int kWriteFlags = O_WRONLY | O_CREAT | O_TRUNC;

}  // namespace

void WithStandardInput(const std::string& content, const std::function<void()>& body) {
  TempDir folder;
  WriteFile(folder / "in", content);
  Redirect in(0, folder / "in", O_RDONLY);
  body();
}

StandardStreams CaptureStandardStreams(const std::function<void()>& body) {
  TempDir folder;
  std::fflush(stdout);
  std::fflush(stderr);
  {
    Redirect out(1, folder / "out", kWriteFlags);
    Redirect err(2, folder / "err", kWriteFlags);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
  }
  return StandardStreams{ReadFile(folder / "out"), ReadFile(folder / "err")};
}

}  // namespace testing_support
