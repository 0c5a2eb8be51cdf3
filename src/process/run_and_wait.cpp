#include "process/run_and_wait.h"

#include <cstdio>

#include "platform/platform.h"

namespace tolvarine {

std::int32_t RunAndWait(const platform::CommandLine& command, int show_state) {
  if (command.text.empty()) return -1;
  platform::SendToDebugger(command.text);
  platform::SendToDebugger("\n");
  // The child writes to the same console: what the launcher printed before must come first.
  std::fflush(stdout);
  return platform::RunProcessAndWait(command, show_state);
}

}  // namespace tolvarine
