// Runs the converter: the configured template, the Java runtime and the captured run together.
#ifndef TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
#define TOLVARINE_LAUNCHER_RUN_CONVERTER_H_

#include <string>

namespace tolvarine {

/// Builds the converter's command line from the configuration and `argument_string`, runs
/// it, and returns everything it wrote; empty when nothing was run.
std::string RunConverter(const std::string& argument_string);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
