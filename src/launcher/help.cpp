#include "launcher/help.h"

#include <cstdint>
#include <optional>
#include <string>

#include "config/installation.h"
#include "platform/platform.h"

namespace tolvarine {

namespace {

// The file's bytes up to its first zero byte; empty when it cannot be opened or read.
std::string ReadTextFile(const std::string& path) {
  platform::File file = platform::File::OpenForReading(path);
  std::optional<std::uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX / 2) return std::string();
  std::optional<std::string> text = file.ReadAt(0, static_cast<std::size_t>(*size));
  if (!text) return std::string();
  return text->substr(0, text->find('\0'));
}

}  // namespace

void ShowHelp() {
  std::string help_text = ReadTextFile(LocateInstallationFile(kHelpFileName));
  // The help file's bytes come out as they are (its own line ends included).
  if (!help_text.empty()) {
    platform::PrintBytes(help_text);
    platform::PrintText("\n");
  }
}

}  // namespace tolvarine
