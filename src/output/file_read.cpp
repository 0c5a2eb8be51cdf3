#include "output/file_read.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/platform.h"

namespace tolvarine {

std::string ReadTextFile(const std::string& path) {
  platform::File file = platform::File::OpenForReading(path);
  std::optional<std::uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX / 2) return std::string();
  std::string text(static_cast<std::size_t>(*size), '\0');
  if (!text.empty() && !file.ReadAt(0, text.data(), text.size())) return std::string();
  text.resize(std::strlen(text.c_str()));
  return text;
}

}  // namespace tolvarine
