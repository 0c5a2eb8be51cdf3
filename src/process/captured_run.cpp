#include "process/captured_run.h"

#include <algorithm>
#include <iterator>

#include "process/command_line.h"

namespace tolvarine {

bool RunCaptured(const std::string& command_line, const platform::OutputSink& sink) {
  return platform::RunCapturedProcess(MakeCommandLine(command_line), sink).has_value();
}

std::string CaptureOutput(const std::string& command_line) {
  std::string output;
  RunCaptured(command_line, [&output](std::string_view piece) {
    // Text that a zero byte must not cut short: each zero byte is dropped on its own.
    std::remove_copy(piece.begin(), piece.end(), std::back_inserter(output), '\0');
  });
  return output;
}

}  // namespace tolvarine
