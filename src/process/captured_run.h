// Running a child with its standard output and standard error captured into one text.
#ifndef TOLVARINE_PROCESS_CAPTURED_RUN_H_
#define TOLVARINE_PROCESS_CAPTURED_RUN_H_

#include <string>

namespace tolvarine {

/// Runs `command_line` (program found as the system finds it, on PATH included) with no
/// standard input, appends everything it writes on both streams to `output` (zero bytes
/// dropped), and returns once it has ended. False, `output` unchanged, when it cannot start.
/// When memory cannot hold more, `output` keeps what came first and the rest is read and
/// dropped.
bool RunCaptured(const std::string& command_line, std::string& output);

}  // namespace tolvarine

#endif  // TOLVARINE_PROCESS_CAPTURED_RUN_H_
