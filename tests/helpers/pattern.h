// The bytes that the helper programs write when a test asks for a long output, and that the
// tests expect back: no zero byte, no line end, and no short period, so that a lost or
// repeated piece shows.
#ifndef TOLVARINE_TESTS_HELPERS_PATTERN_H_
#define TOLVARINE_TESTS_HELPERS_PATTERN_H_

#include <cstddef>
#include <string>

namespace helpers {

inline char PatternByte(std::size_t index) {
  std::size_t mixed = (index * 2654435761u) ^ (index >> 7);
  return static_cast<char>('a' + mixed % 26);
}

/// `size` bytes of the pattern, with a zero byte at every position i where
/// i % zero_every == zero_every - 1 (none when zero_every is 0).
inline std::string Pattern(std::size_t size, std::size_t zero_every = 0) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    if (zero_every == 0 || i % zero_every != zero_every - 1) bytes[i] = PatternByte(i);
  }
  return bytes;
}

}  // namespace helpers

#endif  // TOLVARINE_TESTS_HELPERS_PATTERN_H_
