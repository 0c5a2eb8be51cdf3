// The launcher's whole run, from its command line to its exit status.
#ifndef TOLVARINE_LAUNCHER_DRIVER_H_
#define TOLVARINE_LAUNCHER_DRIVER_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace tolvarine {

/// Runs the launcher once with its arguments (argument 0 first) and returns the exit status:
/// 1 when the converter ended with exit code 0 and this run wrote the output file (it exists,
/// is not empty, and differs from before the run), else 0.
int RunLauncher(const std::vector<std::string>& arguments);

/// Prints the report line for the output file, judged against its state `before` the run and
/// whether the converter succeeded, and, on success, puts the product's producer text into
/// it. Returns the exit status.
int ReportOutputFile(const std::string& output_file_name, const platform::FileState& before,
                     bool converter_succeeded);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_DRIVER_H_
