#include "output/producer_patch.h"

#include <optional>

#include "output/byte_search.h"
#include "platform/platform.h"

namespace tolvarine {

namespace {

// What goes over the occurrence: exactly as long as `search`, the replacement cut to that
// length or padded with spaces.
std::string PatchFor(const std::string& search, const std::string& replacement) {
  std::string patch = replacement.substr(0, search.size());
  patch.resize(search.size(), ' ');
  return patch;
}

}  // namespace

std::string ProductProducerTextFor(const std::string& converter_text) {
  const std::string name = kProductProducerName;
  if (converter_text.size() < name.size()) return std::string();
  return PatchFor(converter_text, name);
}

bool ReplaceTextInFile(const std::string& path, const std::string& search,
                       const std::string& replacement, bool from_end) {
  if (path.empty() || search.empty() || replacement.empty()) return false;
  if (!platform::EntryExists(path)) return false;
  // Only the occurrence's own bytes are written, in place, so a failing write (a full disk)
  // can never shorten the file or touch any other byte.
  platform::File file = platform::File::OpenForUpdate(path);
  if (!file.IsOpen()) {
    // Found but not writable: the file stays as it is, and that is not reported.
    return FindBytesInFile(platform::File::OpenForReading(path), search, from_end).has_value();
  }
  std::optional<std::uint64_t> found = FindBytesInFile(file, search, from_end);
  if (!found) return false;
  std::string patch = PatchFor(search, replacement);
  // A failed write is not reported either: the caller has already told the user the run
  // succeeded, and the file keeps its length whatever happened.
  static_cast<void>(file.WriteAt(*found, patch));
  return true;
}

}  // namespace tolvarine
