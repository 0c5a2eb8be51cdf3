// Running a child in the launcher's console until it ends.
#ifndef TOLVARINE_PROCESS_RUN_AND_WAIT_H_
#define TOLVARINE_PROCESS_RUN_AND_WAIT_H_

#include <cstdint>
#include <string>

namespace tolvarine {

/// The show state of a child that opens a window: shown normally.
inline constexpr int kShowNormal = 1;

/// Runs `command_line` in the launcher's console, nothing redirected, and waits for it
/// without a limit. Returns its exit code as a signed value; -1 when it cannot start.
std::int32_t RunAndWait(const std::string& command_line, int show_state);

}  // namespace tolvarine

#endif  // TOLVARINE_PROCESS_RUN_AND_WAIT_H_
