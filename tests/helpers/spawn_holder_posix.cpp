// Starts its arguments as a grandchild (the first names the program), with this program's
// own standard streams inherited, so that the grandchild holds the pipe that captures this
// one; then writes "spawned" and ends at once without waiting for it.
#include <spawn.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  pid_t pid;
  if (posix_spawn(&pid, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 3;
  std::printf("spawned\n");
  return 0;
}
