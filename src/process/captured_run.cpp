#include "process/captured_run.h"

#include <algorithm>
#include <iterator>

#include "process/command_line.h"

namespace tolvarine {

bool RunCaptured(const std::string& command_line, const platform::OutputSink& sink) {
  return platform::RunCapturedProcess(MakeCommandLine(command_line), sink);
}

bool RunCaptured(const std::string& command_line, std::string& output) {
  return RunCaptured(command_line, [&output](const char* data, std::size_t size) {
    // Text that a zero byte must not cut short: each zero byte is dropped on its own.
    std::remove_copy(data, data + size, std::back_inserter(output), '\0');
  });
}

}  // namespace tolvarine
