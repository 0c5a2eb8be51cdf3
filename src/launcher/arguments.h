// The launcher's view of its command line: its own switches, and what goes to the converter.
#ifndef TOLVARINE_LAUNCHER_ARGUMENTS_H_
#define TOLVARINE_LAUNCHER_ARGUMENTS_H_

#include <string>
#include <vector>

namespace tolvarine {

struct ParsedArguments {
  /// Argument 0 followed by every argument for the converter, in command-line order.
  std::vector<std::string> argument_list;
  /// The file whose existence decides the outcome, exactly as typed; may be empty.
  std::string output_file_name;
  /// "-debug" was given (before a help switch, when there is one).
  bool debug_mode = false;
  /// A help switch was met; the arguments after it were not looked at.
  bool show_help = false;
};

/// True for "-h", "-help", "--help" and "-?" in any letter case.
bool IsHelpSwitch(const std::string& argument);

/// Walks the arguments (argument 0 first) as the launcher does: help switches stop the walk,
/// "-o"/"--outfile" name the output file without consuming it, "-debug" is taken out, and
/// without an output switch the last argument names the output file.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

/// The converter's arguments (the list from its second element), each quoted so that it
/// reaches the converter intact, joined by single spaces; empty for a list of one.
std::string BuildArgumentString(const std::vector<std::string>& argument_list);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_ARGUMENTS_H_
