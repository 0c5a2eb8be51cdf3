#include "process/run_and_wait.h"

#include <cstdio>

#include "platform/platform.h"
#include "process/command_line.h"

namespace tolvarine {

std::int32_t RunAndWait(const std::string& command_line, int show_state) {
  if (command_line.empty()) return -1;
  return RunAndWait(MakeCommandLine(command_line), show_state);
}

std::int32_t RunAndWait(const platform::CommandLine& command, int show_state) {
  if (command.text.empty()) return -1;
  platform::SendToDebugger(command.text);
  platform::SendToDebugger("\n");
  // The child writes to the same console: what the launcher printed before must come first.
  std::fflush(stdout);
  return platform::RunProcessAndWait(command, show_state);
}

}  // namespace tolvarine
