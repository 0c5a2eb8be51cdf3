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
  if (mkfifo(path_.c_str(), 0600) != 0) ADD_FAILURE() << "cannot make the FIFO " << path_;
}

Gate::~Gate() {
  // A helper that is waiting still gets through; one that never came is not waited for.
  int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) close(fd);
}

void Gate::Release() {
  // Opening for writing blocks until the helper has the gate open for reading; closing it
  // again ends the helper's read.
  int fd;
  do {
    fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    ADD_FAILURE() << "cannot open the gate " << path_;
    return;
  }
  close(fd);
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
