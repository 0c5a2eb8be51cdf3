// Opens the gate named by its first argument (a named pipe that the test owns) and blocks
// reading it until the test lets it through. Started as a grandchild, it holds the pipe it
// inherited for as long as the test keeps the gate shut. With "flood" as its second argument
// it also writes '#' without pause meanwhile, until its standard output fails.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void Flood() {
  char block[4096];
  std::memset(block, '#', sizeof block);
  while (std::fwrite(block, 1, sizeof block, stdout) == sizeof block && std::fflush(stdout) == 0) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::FILE* gate = std::fopen(argv[1], "rb");
  if (gate == nullptr) return 3;
  if (argc > 2 && std::strcmp(argv[2], "flood") == 0) std::thread(Flood).detach();
  std::fgetc(gate);  // The test's release: the end of the gate, or an error.
  std::_Exit(0);     // The flood may still be writing.
}
