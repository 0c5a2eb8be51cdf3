#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "support/test_support.h"

namespace testing_support {

bool IsWindowsBuild() { return true; }

bool MakeNamedPipe(const std::string& /*path*/) { return false; }

bool RunsAsSuperuser() { return false; }

namespace {

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

}  // namespace

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const std::string& name,
                                                     const std::string& value)
    : name_(name) {
  DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (needed > 0) {
    std::string old(needed, '\0');
    old.resize(GetEnvironmentVariableA(name.c_str(), old.data(), needed));
    old_value_ = old;
  }
  if (!SetEnvironmentVariableA(name.c_str(), value.c_str())) ADD_FAILURE() << "cannot set " << name;
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  SetEnvironmentVariableA(name_.c_str(), old_value_ ? old_value_->c_str() : nullptr);
}

Gate::Gate() {
  static std::atomic<unsigned> counter{0};
  path_ = "\\\\.\\pipe\\tolvarine-test-gate-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(counter++);
  HANDLE pipe = CreateNamedPipeA(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                 0, 0, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot make the pipe " << path_ << ": error " << GetLastError();
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(pipe);
}

void Gate::Release() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));  // The helper's read fails.
  handle_ = -1;
}

LeakableFile::LeakableFile() {
  std::string path = folder_ / "inheritable";
  WriteFile(path, "12345");
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            &attributes, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot open " << path;
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

LeakableFile::~LeakableFile() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

std::string LeakableFile::probe_argument() const {
  return std::to_string(static_cast<unsigned long>(handle_)) + ":5";
}

namespace {

// Points the C runtime's descriptor `fd` (and the matching standard handle) at a file for as
// long as it lives, then back where they pointed before.
class Redirect {
 public:
  Redirect(int fd, DWORD which, const std::string& path, int flags)
      : fd_(fd), which_(which), saved_(_dup(fd)), saved_handle_(GetStdHandle(which)) {
    int file = _open(path.c_str(), flags | _O_BINARY, 0600);
    if (saved_ < 0 || file < 0 || _dup2(file, fd) != 0) ADD_FAILURE() << "cannot redirect " << fd;
    if (file >= 0) _close(file);
    SetStdHandle(which, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;
  ~Redirect() {
    SetStdHandle(which_, saved_handle_);
    if (saved_ < 0) return;
    _dup2(saved_, fd_);
    _close(saved_);
  }

 private:
  int fd_;
  DWORD which_;
  int saved_;
  HANDLE saved_handle_;
};

constexpr int kWriteFlags = _O_WRONLY | _O_CREAT | _O_TRUNC;

}  // namespace

void WithStandardInput(const std::string& content, const std::function<void()>& body) {
  TempDir folder;
  WriteFile(folder / "in", content);
  Redirect in(0, STD_INPUT_HANDLE, folder / "in", _O_RDONLY);
  body();
}

StandardStreams CaptureStandardStreams(const std::function<void()>& body) {
  TempDir folder;
  std::fflush(stdout);
  std::fflush(stderr);
  {
    Redirect out(1, STD_OUTPUT_HANDLE, folder / "out", kWriteFlags);
    Redirect err(2, STD_ERROR_HANDLE, folder / "err", kWriteFlags);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
  }
  return StandardStreams{ReadFile(folder / "out"), ReadFile(folder / "err")};
}

}  // namespace testing_support
