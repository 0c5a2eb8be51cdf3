// The help text, printed when the launcher is asked for it or given nothing to do.
#ifndef TOLVARINE_LAUNCHER_HELP_H_
#define TOLVARINE_LAUNCHER_HELP_H_

namespace tolvarine {

/// Prints the installation's help text (its bytes up to the first zero byte, then a line
/// end), when there is one; a missing or unreadable help file prints nothing.
void ShowHelp();

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_HELP_H_
