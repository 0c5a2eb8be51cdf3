#include "launcher/driver.h"

#include <cstdio>
#include <utility>

#include "config/installation.h"
#include "config/search_path.h"
#include "launcher/arguments.h"
#include "launcher/debug_log.h"
#include "launcher/help.h"
#include "launcher/run_converter.h"
#include "output/console_filter.h"
#include "output/producer_patch.h"
#include "platform/platform.h"

namespace tolvarine {

namespace {

constexpr int kSuccess = 1;
constexpr int kFailure = 0;

// Only a file this run wrote counts: one left from an earlier run, kept by a converter that
// failed, or emptied by one that gave up, does not.
bool WrittenByThisRun(const std::string& path, const platform::FileState& before) {
  platform::FileState after = platform::ReadFileState(path);
  return after.exists && after.size > 0 && after != before && platform::CanOpenForReading(path);
}

// The converter's producer text as config.dat names it (the known text by default), and the
// product's in its place.
void PutProductProducerText(const std::string& path) {
  std::string converter_text = ReadConfigValue(kConfigSection, kConverterProducerTextKey,
                                               kConverterProducerText, kConverterProducerTextSize);
  std::string product_text = ProductProducerTextFor(converter_text);
  if (!product_text.empty()) ReplaceTextInFile(path, converter_text, product_text, true);
}

}  // namespace

int ReportOutputFile(const std::string& output_file_name, const platform::FileState& before,
                     bool converter_succeeded) {
  if (output_file_name.empty()) {
    std::printf("[Message] Output filename is empty.\n");
    return kFailure;
  }
  // A converter that failed wrote no file of this run's, even where another run changed it.
  if (!converter_succeeded || !WrittenByThisRun(output_file_name, before)) {
    platform::PrintText("[Error] Failed to create \"" + output_file_name + "\" file.\n");
    return kFailure;
  }
  platform::PrintText("[OK] Create \"" + output_file_name + "\" file successful.\n");
  std::fflush(stdout);  // The report stands even if patching the file goes wrong.
  PutProductProducerText(output_file_name);
  return kSuccess;
}

int RunLauncher(const std::vector<std::string>& arguments) {
  platform::PrepareProcess(arguments.empty() ? std::string() : arguments[0]);
  // Why a step failed is shown only under -debug, in the order the failures happen.
  platform::SetFailureObserver(
      [](const std::string& reason) { LogDebug("[Debug] %s\n", reason.c_str()); });
  if (!LauncherDirectoryKnown()) {
    std::printf(
        "[Error] Failed to locate the launcher's own folder: its installation cannot be "
        "used.\n");
  }
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
  platform::FileState before = platform::ReadFileState(parsed.output_file_name);
  // The output is shown as it comes; a converter that writes nothing leaves no frame.
  ConsoleFilter filter(stdout);
  std::optional<std::int32_t> status =
      RunConverter(parsed.argument_list, [&filter](std::string_view piece) { filter.Feed(piece); });
  filter.Finish();
  return ReportOutputFile(parsed.output_file_name, before, status == 0);
}

}  // namespace tolvarine
