// The help text and the diagnostic log.
#ifndef TOLVARINE_LAUNCHER_HELP_H_
#define TOLVARINE_LAUNCHER_HELP_H_

namespace tolvarine {

/// Prints the installation's help text, when there is one.
void ShowHelp();

/// Turns the diagnostic log on; nothing turns it off again.
void EnableDebugMode();

/// Whether the diagnostic log is on.
bool DebugMode();

/// Prints a printf-style line on standard output, only while the diagnostic log is on.
void LogDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_HELP_H_
