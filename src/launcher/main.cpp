#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "launcher/driver.h"
#include "platform/platform.h"
#include "process/command_line.h"

int main(int argc, char** argv) {
  // Where the system keeps the command line itself (Windows), it is read from there, so that
  // no argument is narrowed to the ANSI code page on the way.
  std::optional<std::string> command_line = tolvarine::platform::OwnCommandLine();
  std::vector<std::string> arguments =
      command_line ? tolvarine::SplitCommandLine(*command_line)
                   : std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
  int status = tolvarine::RunLauncher(arguments);
  std::fflush(stdout);
  return status;
}
