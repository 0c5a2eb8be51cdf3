// For each argument HANDLE:SIZE (a handle value of the test's process and the size of the
// file it has open), writes "open HANDLE" when this child has that handle on a file of that
// size, that is, when the handle leaked into it. Matching the size too keeps a handle of the
// child's own with the same value from counting.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char* colon = std::strchr(argv[i], ':');
    if (colon == nullptr) return 2;
    HANDLE handle = reinterpret_cast<HANDLE>(std::strtoul(argv[i], nullptr, 10));
    LARGE_INTEGER size;
    if (GetFileSizeEx(handle, &size) && size.QuadPart == std::strtoll(colon + 1, nullptr, 10)) {
      std::printf("open %.*s\n", static_cast<int>(colon - argv[i]), argv[i]);
    }
  }
  return 0;
}
