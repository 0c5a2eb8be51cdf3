// Prints each of its arguments between brackets, one a line: a stand-in that records argv.
#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
  return 0;
}
