#include <cstdio>
#include <string>
#include <vector>

#include "launcher/driver.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv, argv + (argc > 0 ? argc : 0));
  int status = tolvarine::RunLauncher(arguments);
  std::fflush(stdout);
  return status;
}
