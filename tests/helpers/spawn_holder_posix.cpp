// Starts its first argument as a grandchild, passing on the second, with this program's own
// standard streams inherited (so the grandchild holds the pipe that captures this one), then
// writes "spawned" and ends at once without waiting for it.
#include <spawn.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  char* grandchild_argv[] = {argv[1], argv[2], nullptr};
  pid_t pid;
  if (posix_spawn(&pid, argv[1], nullptr, nullptr, grandchild_argv, environ) != 0) return 3;
  std::printf("spawned\n");
  return 0;
}
