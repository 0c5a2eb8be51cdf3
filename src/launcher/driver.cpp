#include "launcher/driver.h"

#include <cstdio>
#include <utility>

#include "config/search_path.h"
#include "launcher/arguments.h"
#include "launcher/help.h"
#include "launcher/run_converter.h"
#include "output/console_filter.h"
#include "output/producer_patch.h"
#include "output/text.h"
#include "platform/platform.h"

namespace tolvarine {

namespace {

constexpr int kSuccess = 1;
constexpr int kFailure = 0;

// A failed conversion leaves an empty file behind (the converter opens its output before it
// converts), so an empty file must not count as a result.
bool HasContent(const std::string& path) {
  std::optional<std::uint64_t> size = platform::FileSize(path);
  return size && *size > 0;
}

}  // namespace

int ReportOutputFile(const std::string& output_file_name) {
  if (output_file_name.empty()) {
    std::printf("[Message] Output filename is empty.\n");
    return kFailure;
  }
  if (!FileExists(output_file_name) || !HasContent(output_file_name)) {
    std::printf("[Error] Failed to create \"%s\" file.\n", output_file_name.c_str());
    return kFailure;
  }
  std::printf("[OK] Create \"%s\" file successful.\n", output_file_name.c_str());
  std::fflush(stdout);  // The report stands even if patching the file goes wrong.
  ReplaceTextInFile(output_file_name, kConverterProducerText, kProductProducerText, true);
  return kSuccess;
}

int RunLauncher(const std::vector<std::string>& arguments) {
  // Why a step failed is shown only under -debug, in the order the failures happen.
  platform::SetFailureObserver(
      [](const std::string& reason) { LogDebug("[Debug] %s\n", reason.c_str()); });
  SetUpSearchPath();
  if (arguments.size() <= 1) {
    ShowHelp();
    return kFailure;
  }
  ParsedArguments parsed = ParseArguments(arguments);
  if (parsed.debug_mode) EnableDebugMode();
  if (parsed.show_help) {
    ShowHelp();
    return kFailure;
  }
  std::string argument_string = BuildArgumentString(parsed.argument_list);
  LogDebug("[Cmd] %s\n", argument_string.c_str());
  // The output is shown as it comes; a converter that writes nothing leaves no frame.
  ConsoleFilter filter(stdout);
  RunConverter(argument_string, [&filter](const char* data, std::size_t size) {
    filter.Feed({data, size});
  });
  filter.Finish();
  return ReportOutputFile(parsed.output_file_name);
}

}  // namespace tolvarine
