// The diagnostic log that "-debug" turns on: the command line and why steps failed.
#ifndef TOLVARINE_LAUNCHER_DEBUG_LOG_H_
#define TOLVARINE_LAUNCHER_DEBUG_LOG_H_

namespace tolvarine {

/// Turns the diagnostic log on; nothing turns it off again.
void EnableDebugMode();

/// Prints a printf-style line on standard output, only while the diagnostic log is on.
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_DEBUG_LOG_H_
