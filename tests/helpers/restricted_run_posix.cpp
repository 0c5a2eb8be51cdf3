// Runs a program with limits that only the system can set:
//   restricted_run [fsize=BYTES] [uid=N] [memory=BYTES] [sigchld=ignore] [stdout=closed]
//                  PROGRAM ARGS...
// fsize: writes past BYTES fail with EFBIG (SIGXFSZ is ignored, so the program sees the
// error instead of being killed); uid: runs as that user and its group (root only);
// memory: the address space is limited to BYTES; sigchld=ignore: the program inherits an
// ignored SIGCHLD; stdout=closed: its standard output is a pipe that nobody reads any more
// (SIGPIPE at its default).
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strncmp(argv[first], "fsize=", 6) == 0) {
      rlim_t limit = std::strtoull(argv[first] + 6, nullptr, 10);
      rlimit file_size{limit, limit};
      if (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &file_size) != 0) {
        return 120;
      }
    } else if (std::strncmp(argv[first], "uid=", 4) == 0) {
      auto id = static_cast<uid_t>(std::strtoul(argv[first] + 4, nullptr, 10));
      if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) return 121;
    } else if (std::strncmp(argv[first], "memory=", 7) == 0) {
      rlim_t limit = std::strtoull(argv[first] + 7, nullptr, 10);
      rlimit address_space{limit, limit};
      if (setrlimit(RLIMIT_AS, &address_space) != 0) return 124;
    } else if (std::strcmp(argv[first], "sigchld=ignore") == 0) {
      if (signal(SIGCHLD, SIG_IGN) == SIG_ERR) return 125;
    } else if (std::strcmp(argv[first], "stdout=closed") == 0) {
      int ends[2];
      if (pipe(ends) != 0 || close(ends[0]) != 0 || dup2(ends[1], 1) != 1 || close(ends[1]) != 0 ||
          signal(SIGPIPE, SIG_DFL) == SIG_ERR) {
        return 126;
      }
    } else {
      break;
    }
  }
  if (first == argc) return 122;
  execv(argv[first], argv + first);
  std::perror("execv");
  return 123;
}
