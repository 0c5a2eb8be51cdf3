// The converter's console output as the user sees it: rebranded, filtered and framed, shown
// piece by piece as the converter writes it.
#ifndef TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
#define TOLVARINE_OUTPUT_CONSOLE_FILTER_H_

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tolvarine {

/// How much of one line the filter holds in memory; the rest of a longer line waits in a
/// temporary file until the line is complete.
inline constexpr std::size_t kLineHeldInMemory = 1 << 20;

/// Shows the converter's output on `out` as it arrives. The whole output, with its zero bytes
/// dropped, has the tool names replaced by the product's words; each of its lines that holds
/// the warning marker, or nothing once its carriage returns are removed, is dropped; the rest
/// is printed line by line, each ended by a line feed, between the opening and the closing
/// framing lines. An output without any other byte than zero bytes prints nothing at all.
/// How the output is cut into pieces changes nothing of what is printed.
class ConsoleFilter {
 public:
  /// `held_in_memory` is how much of one line stays in memory (tests choose small values).
  explicit ConsoleFilter(std::FILE* out, std::size_t held_in_memory = kLineHeldInMemory);
  ConsoleFilter(const ConsoleFilter&) = delete;
  ConsoleFilter& operator=(const ConsoleFilter&) = delete;
  ~ConsoleFilter();

  /// Takes the next piece of the output and prints, at once, every line it completes.
  void Feed(std::string_view piece);
  /// The output has ended: prints its last line (one without a line end) and the closing line.
  void Finish();

 private:
  class Stages;
  std::unique_ptr<Stages> stages_;
};

}  // namespace tolvarine

#endif  // TOLVARINE_OUTPUT_CONSOLE_FILTER_H_
