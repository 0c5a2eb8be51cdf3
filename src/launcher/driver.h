// The launcher's whole run, from its command line to its exit status.
#ifndef TOLVARINE_LAUNCHER_DRIVER_H_
#define TOLVARINE_LAUNCHER_DRIVER_H_

#include <string>
#include <vector>

namespace tolvarine {

/// Runs the launcher once with its arguments (argument 0 first) and returns the exit status:
/// 1 when the output file exists with content at the end, else 0.
int RunLauncher(const std::vector<std::string>& arguments);

/// Prints the report line for the output file and, on success, puts the product's producer
/// text into it. Returns the exit status.
int ReportOutputFile(const std::string& output_file_name);

}  // namespace tolvarine

#endif  // TOLVARINE_LAUNCHER_DRIVER_H_
