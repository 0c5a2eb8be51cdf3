#include "launcher/arguments.h"

#include <cstddef>

#include "process/command_line.h"

namespace tolvarine {

namespace {

char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualsIgnoringAsciiCase(const std::string& text, const char* lower) {
  std::size_t i = 0;
  for (; i < text.size() && lower[i] != '\0'; ++i) {
    if (FoldAsciiCase(text[i]) != lower[i]) return false;
  }
  return i == text.size() && lower[i] == '\0';
}

}  // namespace

bool IsHelpSwitch(const std::string& argument) {
  return EqualsIgnoringAsciiCase(argument, "-h") || EqualsIgnoringAsciiCase(argument, "-help") ||
         EqualsIgnoringAsciiCase(argument, "--help") || argument == "-?";
}

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
  ParsedArguments parsed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (IsHelpSwitch(argument)) {
      parsed.show_help = true;
      return parsed;
    }
    if ((argument == "-o" || argument == "--outfile") && i + 1 < arguments.size()) {
      parsed.output_file_name = arguments[i + 1];
    }
    if (argument == "-debug") {
      parsed.debug_mode = true;
      continue;
    }
    parsed.argument_list.push_back(argument);
  }
  if (parsed.output_file_name.empty() && arguments.size() > 1) {
    parsed.output_file_name = arguments.back();
  }
  return parsed;
}

std::string BuildArgumentString(const std::vector<std::string>& argument_list) {
  std::string argument_string;
  for (std::size_t i = 1; i < argument_list.size(); ++i) {
    if (i > 1) argument_string += ' ';
    argument_string += QuoteArgument(argument_list[i]);
  }
  return argument_string;
}

}  // namespace tolvarine
