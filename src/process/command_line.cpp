#include "process/command_line.h"

#include <cstddef>

namespace tolvarine {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program name: quotes only group, backslashes are literal.
std::size_t ReadProgram(const std::string& line, std::string& program) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      program += c;
    }
  }
  return i;
}

// One argument from `i`, which is at a non-blank character; returns the position after it.
std::size_t ReadArgument(const std::string& line, std::size_t i, std::string& argument) {
  bool quoted = false;
  while (i < line.size()) {
    char c = line[i];
    if (c == '\\') {
      std::size_t run = 0;
      while (i < line.size() && line[i] == '\\') {
        ++run;
        ++i;
      }
      if (i < line.size() && line[i] == '"') {
        argument.append(run / 2, '\\');
        if (run % 2 == 1) {
          argument += '"';
          ++i;
        }
      } else {
        argument.append(run, '\\');
      }
    } else if (c == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        argument += '"';  // A doubled quote inside a quoted part is one literal quote.
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
    } else if (IsBlank(c) && !quoted) {
      break;
    } else {
      argument += c;
      ++i;
    }
  }
  return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& command_line) {
  std::vector<std::string> result(1);
  std::size_t i = ReadProgram(command_line, result[0]);
  for (;;) {
    while (i < command_line.size() && IsBlank(command_line[i])) ++i;
    if (i >= command_line.size()) break;
    result.emplace_back();
    i = ReadArgument(command_line, i, result.back());
  }
  return result;
}

std::string QuoteArgument(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(2 * backslashes + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Backslashes at the end stand before the closing quote, so they are doubled too.
  quoted.append(2 * backslashes, '\\');
  quoted += '"';
  return quoted;
}

platform::CommandLine MakeCommandLine(const std::string& command_line) {
  return platform::CommandLine{command_line, SplitCommandLine(command_line)};
}

}  // namespace tolvarine
