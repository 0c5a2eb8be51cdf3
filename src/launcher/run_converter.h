// Runs the converter: the configured template, the Java runtime and the captured run together.
#ifndef TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
#define TOLVARINE_LAUNCHER_RUN_CONVERTER_H_

#include <string>

#include "platform/platform.h"

namespace tolvarine {

/// Builds the converter's command line from the configuration and `argument_string`, runs
/// it, and hands `sink` everything it writes as it comes; false when nothing was run.
bool RunConverter(const std::string& argument_string, const platform::OutputSink& sink);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_RUN_CONVERTER_H_
