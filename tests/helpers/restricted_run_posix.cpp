// Runs a program with limits that only the system can set:
//   restricted_run [fsize=BYTES] [uid=N] PROGRAM ARGS...
// fsize: writes past BYTES fail with EFBIG (SIGXFSZ is ignored, so the program sees the
// error instead of being killed); uid: runs as that user and its group (root only).
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
    } else {
      break;
    }
  }
  if (first == argc) return 122;
  execv(argv[first], argv + first);
  std::perror("execv");
  return 123;
}
