#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "helper.h"

extern char** environ;

namespace helper {

bool StartHolder(const std::string& program, const std::string& mode, const std::string& gate) {
  std::string name = program;
  std::string how = mode;
  std::string at = gate;
  char* argv[] = {name.data(), how.data(), at.data(), nullptr};
  pid_t pid;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

namespace {

// One limit: fsize=BYTES (writes past it fail with EFBIG, SIGXFSZ ignored), memory=BYTES (the
// address space), stdin=FILE, uid=N (that user and group; root only), sigchld=ignore, stdout=closed (a pipe
// nobody reads any more, SIGPIPE at its default). False when it is not a limit or fails.
bool SetLimit(const char* setting) {
  auto number = [&](std::size_t at) { return std::strtoull(setting + at, nullptr, 10); };
  if (std::strncmp(setting, "fsize=", 6) == 0) {
    rlimit limit{number(6), number(6)};
    return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  if (std::strncmp(setting, "memory=", 7) == 0) {
    rlimit limit{number(7), number(7)};
    return setrlimit(RLIMIT_AS, &limit) == 0;
  }
  if (std::strncmp(setting, "uid=", 4) == 0) {
    auto id = static_cast<uid_t>(number(4));
    return setgroups(0, nullptr) == 0 && setgid(id) == 0 && setuid(id) == 0;
  }
  if (std::strncmp(setting, "stdin=", 6) == 0) {
    int fd = open(setting + 6, O_RDONLY);
    return fd >= 0 && dup2(fd, 0) == 0;
  }
  if (std::strcmp(setting, "sigchld=ignore") == 0) return signal(SIGCHLD, SIG_IGN) != SIG_ERR;
  if (std::strcmp(setting, "stdout=closed") == 0) {
    int ends[2];
    return pipe(ends) == 0 && close(ends[0]) == 0 && dup2(ends[1], 1) == 1 && close(ends[1]) == 0 &&
           signal(SIGPIPE, SIG_DFL) != SIG_ERR;
  }
  return false;
}

}  // namespace

// restricted SETTING PROGRAM ARGS...
int RunRestricted(int argc, char** argv) {
  if (argc < 4 || !SetLimit(argv[2])) return 121;
  execv(argv[3], argv + 3);
  std::perror("execv");
  return 123;
}

std::string InheritedFiles() {
  std::string text;
  for (int fd = 3; fd < 1024; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) text += "open " + std::to_string(fd) + "\n";
  }
  return text;
}

void Die() {
  raise(SIGKILL);
  std::abort();
}

}  // namespace helper
