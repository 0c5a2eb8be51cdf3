#include "process/run_and_wait.h"

#include <cstdio>

#include "platform/platform.h"
#include "process/command_line.h"

namespace tolvarine {

std::int32_t RunAndWait(const std::string& command_line, int show_state) {
  if (command_line.empty()) return -1;
  platform::SendToDebugger(command_line);
  platform::SendToDebugger("\n");
  // The child writes to the same console: what the launcher printed before must come first.
  std::fflush(stdout);
  return platform::RunProcessAndWait(MakeCommandLine(command_line), show_state);
}

}  // namespace tolvarine
