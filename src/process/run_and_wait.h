// Running a child in the launcher's console until it ends.
#ifndef TOLVARINE_PROCESS_RUN_AND_WAIT_H_
#define TOLVARINE_PROCESS_RUN_AND_WAIT_H_

#include <cstdint>

#include "platform/platform.h"

namespace tolvarine {

/// The show state of a child that opens a window: shown normally.
inline constexpr int kShowNormal = 1;

/// Runs `command` in the launcher's console, nothing redirected, and waits for it without a
/// limit: Windows starts its text, POSIX its list of arguments as they are, never split again.
/// Returns its exit code as a signed value; -1 when it cannot start.
std::int32_t RunAndWait(const platform::CommandLine& command, int show_state);

}  // namespace tolvarine

#endif  // TOLVARINE_PROCESS_RUN_AND_WAIT_H_
