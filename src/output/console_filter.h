// The converter's console output as the user sees it: rebranded, filtered and framed.
#ifndef TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
#define TOLVARINE_OUTPUT_CONSOLE_FILTER_H_

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tolvarine {

/// Prints the converter's captured output between framing lines on standard output.
void ShowConverterOutput(std::string captured);

/// Writes to `out` the header, then each line of `captured` with the tool names replaced by
/// the product's words, unless it holds the warning marker or nothing is left of it once its
/// carriage returns (and any zero bytes) are removed, each ended by a line feed, then the
/// footer. Holds no copy of the text and no list of its lines.
void WriteConverterOutput(std::string_view captured, std::FILE* out);

/// Lines longer than this that name a tool are rebranded piece by piece as they are printed,
/// never copied whole: a 32-bit launcher may hold a huge output but not a second copy of it.
inline constexpr std::size_t kRebrandCopyLimit = 16 * 1024 * 1024;

/// WriteConverterOutput with lines longer than `copy_limit` bytes rebranded without a copy;
/// what is written is the same for every limit.
void WriteConverterOutput(std::string_view captured, std::FILE* out, std::size_t copy_limit);

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
