// What the helper program needs of its platform.
#ifndef TOLVARINE_TESTS_HELPERS_HELPER_H_
#define TOLVARINE_TESTS_HELPERS_HELPER_H_

#include <string>

namespace helper {

/// Starts `program` with `mode` and `gate` as a grandchild that inherits this program's standard
/// streams, and does not wait for it; false when it cannot start.
bool StartHolder(const std::string& program, const std::string& mode, const std::string& gate);

/// POSIX: sets the limits that argv[2...] name, then runs the rest of argv in this process;
/// returns only on failure. Windows: returns 122 (it has no such limits for one process).
int RunRestricted(int argc, char** argv);

/// "open N\n" for each descriptor from 3 up this process holds (POSIX; "" elsewhere).
std::string InheritedFiles();

/// Ends this process as a kill does (SIGKILL on POSIX, an abnormal end elsewhere).
[[noreturn]] void Die();

}  // namespace helper

#endif  // TOLVARINE_TESTS_HELPERS_HELPER_H_
