#include "output/console_filter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "output/text.h"

namespace tolvarine {

namespace {

struct RebrandPair {
  std::string_view search;
  std::string_view replacement;
};

// Applied in this order, each to the whole text, so a later pair sees what earlier ones wrote.
constexpr RebrandPair kRebrandPairs[] = {
    {"cpdf", "quillorand"},
    {"coherentpdf", "Quorvex"},
    {"tabula", "Quorvex"},
    {"Gnumeric", "Tolvarine"},
};
constexpr std::string_view kWarningMarker = "WARNING **:";
constexpr std::string_view kHeader = "[Message]\n============================\n";
constexpr std::string_view kFooter = "============================\n";
constexpr std::size_t kFlushSize = 64 * 1024;

// No search text or replacement holds a line feed, so no replacement ever reaches across
// lines or makes new ones, and rebranding each line on its own gives what the passes over the
// whole text give. That lets the filter work through the text one line at a time, with neither
// a rebranded copy of the whole text nor a list of its lines.
constexpr bool HoldsLineFeed(std::string_view text) {
  return text.find('\n') != std::string_view::npos;
}

constexpr bool RebrandingStaysWithinLines() {
  for (const RebrandPair& pair : kRebrandPairs) {
    if (pair.search.empty() || HoldsLineFeed(pair.search) || HoldsLineFeed(pair.replacement)) {
      return false;
    }
  }
  return !HoldsLineFeed(kWarningMarker);
}

static_assert(RebrandingStaysWithinLines(), "the filter rebrands one line at a time");

// Where the scan must look closer: the first two bytes of a search text or of the warning
// marker, and the bytes that are never printed (carriage returns, and zero bytes, which the
// capture drops as well and which would otherwise reach the console). Spelled out rather than
// read from the table, so that the compiler can test many bytes at once; the assertion below
// keeps the two in step.
constexpr bool IsStop(unsigned char byte, unsigned char next) {
  return ((byte == 'c') & ((next == 'p') | (next == 'o'))) | ((byte == 't') & (next == 'a')) |
         ((byte == 'G') & (next == 'n')) | ((byte == 'W') & (next == 'A')) | (byte == '\r') |
         (byte == '\0');
}

constexpr bool StopsAtTheStartOf(std::string_view text) {
  return text.size() >= 2 &&
         IsStop(static_cast<unsigned char>(text[0]), static_cast<unsigned char>(text[1]));
}

constexpr bool StopsAtEverySearchText() {
  for (const RebrandPair& pair : kRebrandPairs) {
    if (!StopsAtTheStartOf(pair.search)) return false;
  }
  return StopsAtTheStartOf(kWarningMarker);
}

static_assert(StopsAtEverySearchText(), "IsStop must stop where each search text begins");

// Finds the stops of a text in order. Each block of bytes is judged at once, so that the
// long stretches of a converter's output without a stop cost little.
class StopScanner {
 public:
  explicit StopScanner(std::string_view text)
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())), size_(text.size()) {}

  /// The first stop at or after `from`, or the text's size when there is none. Calls ask for
  /// positions that never go back.
  std::size_t NextFrom(std::size_t from) {
    if (!found_ || *found_ < from) found_ = Find(from);
    return *found_;
  }

 private:
  static constexpr std::size_t kBlock = 64;

  std::size_t Find(std::size_t from) {
    for (;;) {
      const std::size_t block_end = block_start_ + block_length_;
      if (from >= block_start_ && from < block_end) {
        const void* hit = std::memchr(flags_ + (from - block_start_), 1, block_end - from);
        if (hit != nullptr) return block_start_ + (static_cast<const unsigned char*>(hit) - flags_);
        from = block_end;
      }
      if (from >= size_) return size_;
      // Blocks without a stop are passed over without looking at their flags.
      while (!JudgeBlock(from)) {
        from += block_length_;
        if (from >= size_) return size_;
      }
    }
  }

  // Fills flags_ for the block at `start`; true when it holds a stop. A byte is judged with
  // the one after it, the text's last byte with a zero.
  bool JudgeBlock(std::size_t start) {
    block_start_ = start;
    unsigned char any = 0;
    if (size_ - start > kBlock) {
      block_length_ = kBlock;
      const unsigned char* bytes = bytes_ + start;
      // Judged into a local array, which cannot overlap the text, so the loop can be vectorised.
      unsigned char flags[kBlock];
      for (std::size_t i = 0; i < kBlock; ++i) {
        flags[i] = IsStop(bytes[i], bytes[i + 1]);
        any |= flags[i];
      }
      if (any != 0) std::memcpy(flags_, flags, kBlock);
      return any != 0;
    }
    block_length_ = size_ - start;
    for (std::size_t i = 0; i < block_length_; ++i) {
      const std::size_t at = start + i;
      flags_[i] = IsStop(bytes_[at], at + 1 < size_ ? bytes_[at + 1] : 0);
      any |= flags_[i];
    }
    return any != 0;
  }

  const unsigned char* bytes_;
  std::size_t size_;
  std::optional<std::size_t> found_;
  std::size_t block_start_ = 0;
  std::size_t block_length_ = 0;
  unsigned char flags_[kBlock] = {};
};

// Gathers what is printed and hands it on in large writes.
class Printer {
 public:
  explicit Printer(std::FILE* out) : out_(out) { buffer_.reserve(kFlushSize); }
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;
  ~Printer() { Flush(); }

  void Append(std::string_view bytes) {
    if (bytes.empty()) return;
    written_ += bytes.size();
    if (buffer_.size() + bytes.size() <= kFlushSize) {
      buffer_.append(bytes);
      return;
    }
    Flush();
    if (bytes.size() >= kFlushSize) {
      Write(bytes);
    } else {
      buffer_.append(bytes);
    }
  }

  /// How many bytes were appended so far.
  std::uint64_t written() const { return written_; }

 private:
  void Flush() {
    Write(buffer_);
    buffer_.clear();
  }

  void Write(std::string_view bytes) {
    // A console or pipe that refuses output leaves nothing to be done about it here: the run
    // goes on to its report, as every other step does.
    if (!bytes.empty()) static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), out_));
  }

  std::FILE* out_;
  std::string buffer_;
  std::uint64_t written_ = 0;
};

bool IsRemoved(char byte) { return byte == '\r' || byte == '\0'; }

// `at` is a stop, so text[at] exists; looking at it first spares most comparisons.
bool StartsAt(std::string_view text, std::size_t at, std::string_view search) {
  return text[at] == search[0] && text.compare(at, search.size(), search) == 0;
}

// In rising precedence: a line that names a tool is judged only after rebranding.
enum class LineKind { kPlain, kHasRemovedBytes, kWarning, kNamesATool };

// What the line from `start` to `end` in `text` needs before it is printed.
LineKind Examine(std::string_view text, std::size_t start, std::size_t end, StopScanner& stops) {
  LineKind kind = LineKind::kPlain;
  for (std::size_t at = stops.NextFrom(start); at < end; at = stops.NextFrom(at + 1)) {
    for (const RebrandPair& pair : kRebrandPairs) {
      if (StartsAt(text, at, pair.search)) return LineKind::kNamesATool;
    }
    if (StartsAt(text, at, kWarningMarker)) {
      kind = LineKind::kWarning;
    } else if (IsRemoved(text[at]) && kind == LineKind::kPlain) {
      kind = LineKind::kHasRemovedBytes;
    }
  }
  return kind;
}

void AppendWithoutRemovedBytes(std::string_view line, Printer& printer) {
  std::size_t run_start = 0;
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (!IsRemoved(line[at])) continue;
    printer.Append(line.substr(run_start, at - run_start));
    run_start = at + 1;
  }
  printer.Append(line.substr(run_start));
}

// A line that names a tool goes through the rebranding passes one after the other, as the whole
// text would, on a copy of that line only.
void PrintRebranded(std::string_view line, Printer& printer, std::string& copy) {
  static const std::string kCarriageReturn = "\r";
  static const std::string kZeroByte(1, '\0');
  static const std::string kNothing;
  static const std::vector<std::pair<std::string, std::string>> kPairs = [] {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const RebrandPair& pair : kRebrandPairs) pairs.emplace_back(pair.search, pair.replacement);
    return pairs;
  }();
  copy.assign(line);
  for (const auto& [search, replacement] : kPairs) ReplaceAll(copy, search, replacement);
  if (copy.find(kWarningMarker) != std::string::npos) return;
  ReplaceAll(copy, kCarriageReturn, kNothing);
  ReplaceAll(copy, kZeroByte, kNothing);
  if (copy.empty()) return;
  printer.Append(copy);
  printer.Append("\n");
}

using PieceSink = std::function<void(std::string_view)>;

// One rebranding pass over a text that arrives in pieces: what it hands on, put together, is
// what ReplaceAll makes of the whole text. It holds back only the few last bytes that may
// begin an occurrence.
class StreamingReplace {
 public:
  StreamingReplace(const RebrandPair& pair, PieceSink next) : pair_(pair), next_(std::move(next)) {}

  void Feed(std::string_view piece) {
    pending_.append(piece);
    const std::string_view search = pair_.search;
    std::size_t start = 0;
    for (std::size_t at = pending_.find(search); at != std::string::npos;
         at = pending_.find(search, start)) {
      next_(std::string_view(pending_).substr(start, at - start));
      next_(pair_.replacement);
      start = at + search.size();
    }
    const std::size_t held = search.size() - 1;
    const std::size_t keep_from =
        std::max(start, pending_.size() > held ? pending_.size() - held : 0);
    next_(std::string_view(pending_).substr(start, keep_from - start));
    pending_.erase(0, keep_from);
  }

  void Finish() {
    next_(pending_);
    pending_.clear();
  }

 private:
  RebrandPair pair_;
  PieceSink next_;
  std::string pending_;
};

// Hands `sink` the line rebranded by all passes in their order, a piece at a time.
void RebrandInPieces(std::string_view line, const PieceSink& sink) {
  constexpr std::size_t kPassCount = std::size(kRebrandPairs);
  std::vector<StreamingReplace> passes;
  passes.reserve(kPassCount);  // No reallocation: each pass holds a pointer to the next.
  for (std::size_t i = kPassCount; i-- > 0;) {
    StreamingReplace* next = passes.empty() ? nullptr : &passes.back();
    passes.emplace_back(
        kRebrandPairs[i],
        next == nullptr ? sink : PieceSink([next](std::string_view piece) { next->Feed(piece); }));
  }
  // passes.back() is the first pass.
  constexpr std::size_t kPiece = 64 * 1024;
  for (std::size_t at = 0; at < line.size(); at += kPiece)
    passes.back().Feed(line.substr(at, kPiece));
  for (std::size_t i = kPassCount; i-- > 0;) passes[i].Finish();
}

// PrintRebranded for a line too long to copy: one run through the passes to judge the line,
// and one to print it.
void PrintRebrandedInPieces(std::string_view line, Printer& printer) {
  const std::size_t held = kWarningMarker.size() - 1;
  std::string tail;
  bool warning = false;
  bool shows_something = false;
  RebrandInPieces(line, [&](std::string_view piece) {
    if (warning || piece.empty()) return;
    tail.append(piece);
    warning = tail.find(kWarningMarker) != std::string::npos;
    if (tail.size() > held) tail.erase(0, tail.size() - held);
    for (char byte : piece) shows_something |= !IsRemoved(byte);
  });
  if (warning || !shows_something) return;
  RebrandInPieces(
      line, [&printer](std::string_view piece) { AppendWithoutRemovedBytes(piece, printer); });
  printer.Append("\n");
}

// Blank lines (nothing left once carriage returns are gone) and warning lines are not shown.
void PrintLine(std::string_view line, LineKind kind, Printer& printer, std::string& copy,
               std::size_t copy_limit) {
  if (kind == LineKind::kNamesATool) {
    if (line.size() > copy_limit) {
      PrintRebrandedInPieces(line, printer);
    } else {
      PrintRebranded(line, printer, copy);
    }
    return;
  }
  if (kind == LineKind::kWarning) return;
  const std::uint64_t before = printer.written();
  if (kind == LineKind::kPlain) {
    printer.Append(line);
  } else {
    AppendWithoutRemovedBytes(line, printer);
  }
  if (printer.written() != before) printer.Append("\n");
}

}  // namespace

void WriteConverterOutput(std::string_view captured, std::FILE* out) {
  WriteConverterOutput(captured, out, kRebrandCopyLimit);
}

void WriteConverterOutput(std::string_view captured, std::FILE* out, std::size_t copy_limit) {
  Printer printer(out);
  printer.Append(kHeader);
  StopScanner stops(captured);
  std::string copy;
  for (std::size_t start = 0; start < captured.size();) {
    std::size_t end = captured.find('\n', start);
    if (end == std::string_view::npos) end = captured.size();
    const LineKind kind = Examine(captured, start, end, stops);
    PrintLine(captured.substr(start, end - start), kind, printer, copy, copy_limit);
    start = end + 1;
  }
  printer.Append(kFooter);
}

void ShowConverterOutput(std::string captured) { WriteConverterOutput(captured, stdout); }

}  // namespace tolvarine
