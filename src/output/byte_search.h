// Exact byte searches: in a buffer, and in a file read a block at a time.
#ifndef TOLVARINE_OUTPUT_BYTE_SEARCH_H_
#define TOLVARINE_OUTPUT_BYTE_SEARCH_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace tolvarine {

/// How much of a file one read of FindBytesInFile takes (before the overlap between reads).
inline constexpr std::size_t kFileSearchBlockSize = 64 * 1024;

/// The position of the first occurrence of `sequence` in `buffer`; nothing when there is none,
/// when `sequence` is empty or longer than `buffer`.
std::optional<std::size_t> FindBytes(std::string_view buffer, std::string_view sequence);

/// The position of the last occurrence of `sequence` in `buffer`; nothing when there is none,
/// when `sequence` is empty or longer than `buffer`.
std::optional<std::size_t> FindBytesReverse(std::string_view buffer, std::string_view sequence);

/// The offset of the last (`from_end`) or the first occurrence of `sequence` in the open
/// `file`, read `block_size` bytes at a time from that end, so that a large file is never held
/// whole. Nothing when there is none, when `sequence` is empty, or when a read fails.
std::optional<std::uint64_t> FindBytesInFile(const platform::File& file, std::string_view sequence,
                                             bool from_end,
                                             std::size_t block_size = kFileSearchBlockSize);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_BYTE_SEARCH_H_
