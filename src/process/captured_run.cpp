#include "process/captured_run.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"
#include "process/command_line.h"

namespace tolvarine {

namespace {

// The output is gathered in pieces of this size and joined once the child has ended. One text
// grown by doubling would hold its old and its new buffer together at every growth: twice the
// output at the peak, when the output ends just past a doubling. Joined piece by piece, each
// piece released once copied, the peak stays at the output's size and one piece.
constexpr std::size_t kPieceSize = 1 << 20;

// A 32-bit launcher cannot hold every output: when memory runs out, the collector keeps what
// came first, whole, and the rest is read and dropped, so that the child is never blocked and
// the run still ends with its report.
class PieceCollector {
 public:
  // A child's output is text that a zero byte must not cut short: each zero byte is dropped
  // on its own and every other byte kept, wherever the pipe's reads happened to split it.
  void AppendWithoutZeros(const char* data, std::size_t size) {
    const char* end = data + size;
    while (data < end && !full_) {
      const void* zero = std::memchr(data, '\0', static_cast<std::size_t>(end - data));
      const char* stop = zero != nullptr ? static_cast<const char*>(zero) : end;
      Append(data, static_cast<std::size_t>(stop - data));
      data = stop + (zero != nullptr ? 1 : 0);
    }
  }

  /// Appends what was gathered to `output` (as much of it, from its start, as memory holds)
  /// and leaves the collector empty.
  void MoveTo(std::string& output) {
    if (pieces_.size() == 1 && output.empty()) {
      output.swap(pieces_.front());  // Most outputs fit one piece: no copy at all.
    } else {
      ReserveForAsManyAsFit(output);
      for (std::string& piece : pieces_) {
        output.append(piece);
        std::string().swap(piece);
      }
    }
    pieces_.clear();
  }

 private:
  void Append(const char* data, std::size_t size) {
    try {
      while (size > 0) {
        if (pieces_.empty() || pieces_.back().size() == kPieceSize) {
          pieces_.emplace_back();
          pieces_.back().reserve(kPieceSize);
        }
        std::string& piece = pieces_.back();
        const std::size_t take = std::min(size, kPieceSize - piece.size());
        piece.append(data, take);
        data += take;
        size -= take;
      }
    } catch (const std::bad_alloc&) {
      full_ = true;
    }
  }

  // Joining needs the whole output in one block: the last pieces give way until it fits.
  void ReserveForAsManyAsFit(std::string& output) {
    for (;;) {
      std::size_t total = output.size();
      for (const std::string& piece : pieces_) total += piece.size();
      try {
        output.reserve(total);
        return;
      } catch (const std::length_error&) {  // more than a text may hold at all
      } catch (const std::bad_alloc&) {     // more than memory holds in one block now
      }
      if (pieces_.empty()) return;
      pieces_.pop_back();
    }
  }

  std::vector<std::string> pieces_;
  bool full_ = false;
};

}  // namespace

bool RunCaptured(const std::string& command_line, std::string& output) {
  PieceCollector collector;
  const bool started = platform::RunCapturedProcess(
      MakeCommandLine(command_line), [&collector](const char* data, std::size_t size) {
        collector.AppendWithoutZeros(data, size);
      });
  collector.MoveTo(output);
  return started;
}

}  // namespace tolvarine
