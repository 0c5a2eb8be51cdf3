// Running a child with its standard output and standard error captured into one stream.
#ifndef TOLVARINE_PROCESS_CAPTURED_RUN_H_
#define TOLVARINE_PROCESS_CAPTURED_RUN_H_

#include <string>

#include "platform/platform.h"

namespace tolvarine {

/// Runs `command_line` (program found as the system finds it, on PATH included) with no
/// standard input, hands `sink` everything it writes on both streams, piece by piece as it
/// comes, and returns once it has ended. False, `sink` never called, when it cannot start.
bool RunCaptured(const std::string& command_line, const platform::OutputSink& sink);

/// RunCaptured for a short output wanted whole: all of it, zero bytes dropped; empty when the
/// command could not start.
std::string CaptureOutput(const std::string& command_line);

}  // namespace tolvarine

#endif  // TOLVARINE_PROCESS_CAPTURED_RUN_H_
