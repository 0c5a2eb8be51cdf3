// Opens the gate named by its argument (a named pipe that the test owns) and blocks reading
// it until the test lets it through. Started as a grandchild, it holds the pipe it inherited
// for as long as the test keeps the gate shut; it writes nothing.
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::FILE* gate = std::fopen(argv[1], "rb");
  if (gate == nullptr) return 3;
  std::fgetc(gate);  // The test's release: a byte, the end, or an error.
  std::fclose(gate);
  return 0;
}
