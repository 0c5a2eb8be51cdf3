// A stand-in for the converter, steered by environment variables:
//   FAKE_CONVERTER_RECORD       file to receive its arguments, one "[arg]" line each
//   FAKE_CONVERTER_PRINT        text to print on standard output
//   FAKE_CONVERTER_PRINT_FILE   file whose bytes to copy to standard output
//   FAKE_CONVERTER_PATH_RECORD  file to receive the PATH it was started with
//   FAKE_CONVERTER_OUTPUT       output file to write FAKE_CONVERTER_CONTENT into
//   FAKE_CONVERTER_REPLACE      "NEW>OUT": removes OUT and renames NEW to OUT (a new file)
//   FAKE_CONVERTER_TOUCH        file whose modification time to set to now, bytes unchanged
//   FAKE_CONVERTER_EXIT         its exit code (0 when unset)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char* Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // Print the bytes as given, like a Unix converter.
#endif
  if (*Setting("FAKE_CONVERTER_RECORD") != '\0') {
    std::FILE* record = std::fopen(Setting("FAKE_CONVERTER_RECORD"), "wb");
    if (record == nullptr) return 99;
    for (int i = 1; i < argc; ++i) std::fprintf(record, "[%s]\n", argv[i]);
    std::fclose(record);
  }
  std::fputs(Setting("FAKE_CONVERTER_PRINT"), stdout);
  if (*Setting("FAKE_CONVERTER_PRINT_FILE") != '\0') {
    std::FILE* input = std::fopen(Setting("FAKE_CONVERTER_PRINT_FILE"), "rb");
    if (input == nullptr) return 97;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, input)) > 0)
      std::fwrite(buffer, 1, got, stdout);
    std::fclose(input);
  }
  if (*Setting("FAKE_CONVERTER_PATH_RECORD") != '\0') {
    std::FILE* record = std::fopen(Setting("FAKE_CONVERTER_PATH_RECORD"), "wb");
    if (record == nullptr) return 96;
    std::fputs(Setting("PATH"), record);
    std::fclose(record);
  }
  if (*Setting("FAKE_CONVERTER_OUTPUT") != '\0') {
    std::FILE* output = std::fopen(Setting("FAKE_CONVERTER_OUTPUT"), "wb");
    if (output == nullptr) return 98;
    const char* content = Setting("FAKE_CONVERTER_CONTENT");
    std::fwrite(content, 1, std::strlen(content), output);
    std::fclose(output);
  }
  std::string replace = Setting("FAKE_CONVERTER_REPLACE");
  if (!replace.empty()) {
    std::string from = replace.substr(0, replace.find('>'));
    std::string to = replace.substr(replace.find('>') + 1);
    if (std::remove(to.c_str()) != 0 || std::rename(from.c_str(), to.c_str()) != 0) return 95;
  }
  if (*Setting("FAKE_CONVERTER_TOUCH") != '\0') {
    std::error_code error;
    std::filesystem::last_write_time(Setting("FAKE_CONVERTER_TOUCH"),
                                     std::filesystem::file_time_type::clock::now(), error);
    if (error) return 94;
  }
  return std::atoi(Setting("FAKE_CONVERTER_EXIT"));
}
