// What the helper programs read and write by name, in UTF-8 on every platform: on Windows the
// arguments come from the wide command line and the settings from the wide environment, so
// that a name outside the ANSI code page reaches the test whole.
#ifndef TOLVARINE_TESTS_HELPERS_HELPER_ARGUMENTS_H_
#define TOLVARINE_TESTS_HELPERS_HELPER_ARGUMENTS_H_

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "process/command_line.h"

namespace helpers {

/// The program's arguments, argument 0 first.
inline std::vector<std::string> Arguments(int argc, char** argv) {
  std::optional<std::string> line = tolvarine::platform::OwnCommandLine();
  if (line) return tolvarine::SplitCommandLine(*line);
  return std::vector<std::string>(argv, argv + argc);
}

/// An environment variable's value, empty when it is not set.
inline std::string Setting(const char* name) {
  return tolvarine::platform::ReadEnvironmentVariable(name).value_or("");
}

/// A file named in UTF-8.
inline std::filesystem::path PathOf(const std::string& name) {
  return std::filesystem::u8path(name);
}

}  // namespace helpers

#endif  // TOLVARINE_TESTS_HELPERS_HELPER_ARGUMENTS_H_
