// Writes "open N" for every descriptor from 3 up that it was started with: a child of the
// launcher must have none but its standard streams. Its arguments are ignored here (the
// Windows build names the handles to look for).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

int main() {
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) limit = 65536;
  for (int fd = 3; fd < limit; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) std::printf("open %d\n", fd);
  }
  return 0;
}
