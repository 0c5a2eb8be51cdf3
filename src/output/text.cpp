#include "output/text.h"

#include "platform/platform.h"

namespace tolvarine {

void ReplaceAll(std::string& text, const std::string& search, const std::string& replacement) {
  if (search.empty()) return;
  std::size_t found = text.find(search);
  if (found == std::string::npos) return;
  if (search.size() == replacement.size()) {
    // Same length: overwrite in place, no allocation.
    for (; found != std::string::npos; found = text.find(search, found + search.size())) {
      text.replace(found, search.size(), replacement);
    }
    return;
  }
  // One pass into a new text: repeated in-place replacement would move the tail every time.
  std::string result;
  result.reserve(text.size() + (replacement.size() > search.size() ? text.size() / 8 : 0));
  std::size_t start = 0;
  for (; found != std::string::npos; found = text.find(search, start)) {
    result.append(text, start, found - start);
    result += replacement;
    start = found + search.size();
  }
  result.append(text, start, std::string::npos);
  text.swap(result);
}

void SplitString(const std::string& text, const std::string& separator,
                 std::vector<std::string>& pieces) {
  if (separator.empty()) {
    pieces.push_back(text);
    return;
  }
  std::size_t start = 0;
  for (;;) {
    std::size_t found = text.find(separator, start);
    if (found == std::string::npos) {
      pieces.emplace_back(text, start, std::string::npos);
      return;
    }
    pieces.emplace_back(text, start, found - start);
    start = found + separator.size();
    if (start >= text.size()) return;
  }
}

bool FileExists(const std::string& path) { return platform::CanOpenForReading(path); }

}  // namespace tolvarine
