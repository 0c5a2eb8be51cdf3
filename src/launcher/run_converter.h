// Runs the converter: the configured template, the Java runtime and the captured run together.
#ifndef TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
#define TOLVARINE_LAUNCHER_RUN_CONVERTER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvarine {

/// The template's words: its text, quote notation read, split by the Windows rules, and only
/// then each word's placeholders filled in, so that no character of the folder or the Java
/// path can split or join words.
std::vector<std::string> CommandTemplateWords(const std::string& command_template,
                                              const std::string& launcher_directory,
                                              const std::string& java_executable);

/// Builds the converter's command from the configuration and `argument_list` (argument 0
/// first, then the converter's arguments), runs it, and hands `sink` everything it writes as
/// it comes. Its exit code, or nothing when nothing was run.
std::optional<std::int32_t> RunConverter(const std::vector<std::string>& argument_list,
                                         const platform::OutputSink& sink);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
