// Runs one command with its output thrown away and prints its wall time in seconds, its peak
// resident memory in kilobytes, its exit status and the CPU seconds that it and its children
// used (what a busy machine's other work does not inflate as much as the wall time). Small on
// purpose: a child's peak memory counts the memory of whoever started it until it runs its own
// program, so a large starter (a Python interpreter) would hide the launcher's own figure.
//
//   measure PROGRAM [ARGUMENT...]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (devnull < 0) return 2;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0 ||
      posix_spawn_file_actions_adddup2(&actions, devnull, 1) != 0 ||
      posix_spawn_file_actions_adddup2(&actions, devnull, 2) != 0) {
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[1], &actions, nullptr, argv + 1, environ) != 0) return 2;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return 2;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status)) return 3;
  double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::printf("%.6f %ld %d %.6f\n", wall, usage.ru_maxrss, WEXITSTATUS(status), cpu);
  return 0;
}
