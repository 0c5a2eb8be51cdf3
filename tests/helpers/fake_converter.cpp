// A stand-in for the converter, steered by environment variables:
//   FAKE_CONVERTER_RECORD       file to receive its arguments, one "[arg]" line each
//   FAKE_CONVERTER_PRINT        text to print on standard output
//   FAKE_CONVERTER_PRINT_FILE   file whose bytes to copy to standard output
//   FAKE_CONVERTER_PATH_RECORD  file to receive the PATH it was started with
//   FAKE_CONVERTER_OUTPUT       output file to write FAKE_CONVERTER_CONTENT into
//   FAKE_CONVERTER_REPLACE      "NEW>OUT": removes OUT and renames NEW to OUT (a new file)
//   FAKE_CONVERTER_TOUCH        file whose modification time to set to now, bytes unchanged
//   FAKE_CONVERTER_EXIT         its exit code (0 when unset)
// Names and arguments are UTF-8 on every platform.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "helper_arguments.h"

namespace {

using helpers::PathOf;
using helpers::Setting;

bool WriteTo(const std::string& name, const std::string& content) {
  std::ofstream file(PathOf(name), std::ios::binary | std::ios::trunc);
  file << content;
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments = helpers::Arguments(argc, argv);
  if (!Setting("FAKE_CONVERTER_RECORD").empty()) {
    std::string record;
    for (std::size_t i = 1; i < arguments.size(); ++i) record += "[" + arguments[i] + "]\n";
    if (!WriteTo(Setting("FAKE_CONVERTER_RECORD"), record)) return 99;
  }
  tolvarine::platform::PrintBytes(Setting("FAKE_CONVERTER_PRINT"));
  if (!Setting("FAKE_CONVERTER_PRINT_FILE").empty()) {
    std::ifstream input(PathOf(Setting("FAKE_CONVERTER_PRINT_FILE")), std::ios::binary);
    if (!input) return 97;
    std::ostringstream content;
    content << input.rdbuf();
    tolvarine::platform::PrintBytes(content.str());
  }
  if (!Setting("FAKE_CONVERTER_PATH_RECORD").empty() &&
      !WriteTo(Setting("FAKE_CONVERTER_PATH_RECORD"), Setting("PATH"))) {
    return 96;
  }
  if (!Setting("FAKE_CONVERTER_OUTPUT").empty() &&
      !WriteTo(Setting("FAKE_CONVERTER_OUTPUT"), Setting("FAKE_CONVERTER_CONTENT"))) {
    return 98;
  }
  std::string replace = Setting("FAKE_CONVERTER_REPLACE");
  if (!replace.empty()) {
    std::filesystem::path from = PathOf(replace.substr(0, replace.find('>')));
    std::filesystem::path to = PathOf(replace.substr(replace.find('>') + 1));
    std::error_code error;
    if (!std::filesystem::remove(to, error) || error) return 95;
    std::filesystem::rename(from, to, error);
    if (error) return 95;
  }
  if (!Setting("FAKE_CONVERTER_TOUCH").empty()) {
    std::error_code error;
    std::filesystem::last_write_time(PathOf(Setting("FAKE_CONVERTER_TOUCH")),
                                     std::filesystem::file_time_type::clock::now(), error);
    if (error) return 94;
  }
  std::fflush(stdout);
  return std::atoi(Setting("FAKE_CONVERTER_EXIT").c_str());
}
