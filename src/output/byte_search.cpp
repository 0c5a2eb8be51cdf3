#include "output/byte_search.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tolvarine {

std::optional<std::size_t> FindBytes(std::string_view buffer, std::string_view sequence) {
  if (sequence.empty() || sequence.size() > buffer.size()) return std::nullopt;
  const std::size_t last_start = buffer.size() - sequence.size();
  for (std::size_t at = 0; at <= last_start; ++at) {
    // Jump to the next position whose first byte fits before comparing the rest.
    const void* hit = std::memchr(buffer.data() + at, sequence[0], last_start - at + 1);
    if (hit == nullptr) return std::nullopt;
    at = static_cast<std::size_t>(static_cast<const char*>(hit) - buffer.data());
    if (buffer.compare(at, sequence.size(), sequence) == 0) return at;
  }
  return std::nullopt;
}

std::optional<std::size_t> FindBytesReverse(std::string_view buffer, std::string_view sequence) {
  if (sequence.empty() || sequence.size() > buffer.size()) return std::nullopt;
  for (std::size_t at = buffer.size() - sequence.size() + 1; at-- > 0;) {
    if (buffer[at] == sequence[0] && buffer.compare(at, sequence.size(), sequence) == 0) {
      return at;
    }
  }
  return std::nullopt;
}

namespace {

// Consecutive windows overlap by one byte less than the sequence, so an occurrence that
// crosses the line between two windows lies whole inside one of them, and none is seen twice.
struct Window {
  std::uint64_t start;
  std::uint64_t end;
};

Window FirstWindow(std::uint64_t size, std::size_t block, bool from_end) {
  if (from_end) return {size > block ? size - block : 0, size};
  return {0, std::min<std::uint64_t>(size, block)};
}

// Nothing when the window just searched reached the file's far end.
std::optional<Window> NextWindow(Window window, std::uint64_t size, std::size_t block,
                                 std::size_t overlap, bool from_end) {
  if (from_end) {
    if (window.start == 0) return std::nullopt;
    std::uint64_t end = window.start + overlap;
    return Window{end > block ? end - block : 0, end};
  }
  if (window.end == size) return std::nullopt;
  std::uint64_t start = window.end - overlap;
  return Window{start, std::min<std::uint64_t>(size, start + block)};
}

}  // namespace

std::optional<std::uint64_t> FindBytesInFile(const platform::File& file, std::string_view sequence,
                                             bool from_end, std::size_t block_size) {
  std::optional<std::uint64_t> size = file.Size();
  if (sequence.empty() || !size || *size < sequence.size()) return std::nullopt;
  const std::size_t overlap = sequence.size() - 1;
  // Each window must move the search on by at least one byte.
  const std::size_t block = std::max(block_size, 2 * sequence.size());
  for (std::optional<Window> window = FirstWindow(*size, block, from_end); window;
       window = NextWindow(*window, *size, block, overlap, from_end)) {
    std::optional<std::string> buffer =
        file.ReadAt(window->start, static_cast<std::size_t>(window->end - window->start));
    if (!buffer) return std::nullopt;
    std::optional<std::size_t> found =
        from_end ? FindBytesReverse(*buffer, sequence) : FindBytes(*buffer, sequence);
    if (found) return window->start + *found;
  }
  return std::nullopt;
}

}  // namespace tolvarine
