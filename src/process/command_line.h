// The Windows rules for command lines: how one text becomes a program and its arguments, and
// how an argument is quoted so that it comes back intact.
#ifndef TOLVARINE_PROCESS_COMMAND_LINE_H_
#define TOLVARINE_PROCESS_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvarine {

/// Splits a command line as the current Windows C runtime does. The first element, the
/// program, runs to the first blank outside double quotes, its quotes only grouping and its
/// backslashes literal; the arguments follow the full backslash-and-quote rules.
std::vector<std::string> SplitCommandLine(const std::string& command_line);

/// Wraps an argument in double quotes, escaping inner quotes and the backslashes before them
/// or at the end, so that SplitCommandLine gives it back unchanged. An argument without a
/// double quote and without a trailing backslash is only wrapped.
std::string QuoteArgument(const std::string& argument);

/// The command line as both platforms start it: the text, and its split form.
platform::CommandLine MakeCommandLine(const std::string& command_line);

}  // namespace tolvarine

#endif  // TOLVARINE_PROCESS_COMMAND_LINE_H_
