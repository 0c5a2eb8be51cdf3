#include "output/console_filter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace tolvarine {

namespace {

struct RebrandPair {
  std::string_view search;
  std::string_view replacement;
};

// Applied in this order, each to the whole output, so a later pair sees what earlier ones wrote.
constexpr RebrandPair kRebrandPairs[] = {
    {"cpdf", "quillorand"},
    {"coherentpdf", "Quorvex"},
    {"tabula", "Quorvex"},
    {"Gnumeric", "Tolvarine"},
};
constexpr std::size_t kPassCount = std::size(kRebrandPairs);
constexpr std::string_view kWarningMarker = "WARNING **:";
constexpr std::string_view kHeader = "[Message]\n============================\n";
constexpr std::string_view kFooter = "============================\n";
constexpr std::size_t kPrintBufferSize = 64 * 1024;
constexpr std::size_t kReadBackSize = 64 * 1024;

// No search text, replacement or marker holds a line feed, so no replacement reaches across
// lines or makes new ones: a pass never has to hold back a line end, and each line can be
// judged and printed as soon as its line feed has come through the passes.
constexpr bool HoldsLineFeed(std::string_view text) {
  return text.find('\n') != std::string_view::npos;
}

constexpr bool RebrandingStaysWithinLines() {
  for (const RebrandPair& pair : kRebrandPairs) {
    if (pair.search.empty() || HoldsLineFeed(pair.search) || HoldsLineFeed(pair.replacement)) {
      return false;
    }
  }
  return !kWarningMarker.empty() && !HoldsLineFeed(kWarningMarker);
}

static_assert(RebrandingStaysWithinLines(), "the filter prints each line once it is complete");

// Gathers what is printed and hands it on in large writes.
class Printer {
 public:
  explicit Printer(std::FILE* out) : out_(out) { buffer_.reserve(kPrintBufferSize); }

  void Append(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kPrintBufferSize) {
      WriteBuffer();
      if (bytes.size() >= kPrintBufferSize) return Write(bytes);
    }
    buffer_.append(bytes);
  }

  /// Hands everything appended so far to the console now.
  void Flush() {
    WriteBuffer();
    if (!unflushed_) return;
    unflushed_ = false;
    static_cast<void>(std::fflush(out_));  // Same as a failed write below.
  }

 private:
  void WriteBuffer() {
    Write(buffer_);
    buffer_.clear();
  }

  void Write(std::string_view bytes) {
    if (bytes.empty()) return;
    unflushed_ = true;
    // A console or pipe that refuses output leaves nothing to be done about it here: the run
    // goes on to its report, as every other step does.
    platform::PrintOutput(out_, bytes);
  }

  std::FILE* out_;
  std::string buffer_;
  bool unflushed_ = false;
};

struct FileCloser {
  // A temporary file that is going away: nothing of it is read after this.
  void operator()(std::FILE* file) const { static_cast<void>(std::fclose(file)); }
};

// What is shown of the line being gathered: in memory up to a limit, the rest in a temporary
// file, so that a line of any length costs no more memory than the limit. Where no temporary
// file can be had, or a write to it fails, what follows stays in memory as far as it fits.
class HeldLine {
 public:
  explicit HeldLine(std::size_t limit) : limit_(limit) {}

  bool empty() const { return memory_.empty() && in_file_ == 0; }

  void Append(std::string_view bytes) {
    if (memory_.size() + bytes.size() > limit_ && HasFile()) {
      memory_.erase(0, WriteToFile(memory_));
      if (memory_.empty()) bytes.remove_prefix(WriteToFile(bytes));
    }
    // Without a temporary file, memory may not hold a huge line: what came first is kept.
    try {
      memory_.append(bytes);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }

  /// Prints the line and starts an empty one.
  void PrintTo(Printer& printer) {
    PrintFile(printer);
    printer.Append(memory_);
    Clear();
  }

  /// Starts an empty line.
  void Clear() {
    memory_.clear();
    if (in_file_ > 0) Rewind();
    in_file_ = 0;
  }

 private:
  bool HasFile() {
    if (failed_) return false;
    if (file_ == nullptr) {
      file_.reset(std::tmpfile());
      // Unbuffered: every write is at least the limit's size, and a count that fwrite reports
      // is then what the file holds.
      failed_ = file_ == nullptr || std::setvbuf(file_.get(), nullptr, _IONBF, 0) != 0;
    }
    return !failed_;
  }

  // How many of `bytes` the file took, behind what it holds.
  std::size_t WriteToFile(std::string_view bytes) {
    if (failed_ || bytes.empty()) return 0;
    const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_.get());
    in_file_ += written;
    failed_ = written != bytes.size();
    return written;
  }

  void PrintFile(Printer& printer) {
    if (in_file_ == 0) return;
    // A file that cannot be read back costs that part of this line, never the rest.
    bool readable = Rewind();
    buffer_.resize(kReadBackSize);
    for (std::uint64_t left = in_file_; left > 0 && readable;) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(left, kReadBackSize));
      const std::size_t got = std::fread(buffer_.data(), 1, want, file_.get());
      readable = got == want;
      printer.Append(std::string_view(buffer_.data(), got));
      left -= got;
    }
  }

  // The next read, or the next line's first write, starts at the file's beginning; a file
  // that cannot go back there takes no more writes.
  bool Rewind() {
    const bool rewound = std::fseek(file_.get(), 0, SEEK_SET) == 0;
    failed_ = failed_ || !rewound;
    return rewound;
  }

  std::size_t limit_;
  std::string memory_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint64_t in_file_ = 0;
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace

// The stages the output goes through: zero bytes dropped, the rebranding passes, the lines
// judged and printed.
class ConsoleFilter::Stages {
 public:
  Stages(std::FILE* out, std::size_t held_in_memory) : printer_(out), line_(held_in_memory) {}

  void Feed(std::string_view piece) {
    while (!piece.empty()) {
      const void* zero = std::memchr(piece.data(), '\0', piece.size());
      const std::size_t run =
          zero == nullptr ? piece.size() : static_cast<const char*>(zero) - piece.data();
      if (run > 0) {
        Frame();
        Rebrand(0, piece.substr(0, run));
      }
      piece.remove_prefix(std::min(run + 1, piece.size()));
    }
    printer_.Flush();
  }

  void Finish() {
    if (!framed_) return;
    for (std::size_t pass = 0; pass < kPassCount; ++pass) {
      std::string rest;
      rest.swap(passes_[pass].pending);
      Rebrand(pass + 1, rest);
    }
    EndLine();
    printer_.Append(kFooter);
    printer_.Flush();
    framed_ = false;
  }

 private:
  struct Pass {
    std::string pending;  // the last bytes, which the next piece may make an occurrence
    std::string out;
  };

  void Frame() {
    if (framed_) return;
    framed_ = true;
    printer_.Append(kHeader);
  }

  // Pass `index` over the next piece of its text; what it gives on, put together, is what one
  // replacement of every occurrence, left to right, makes of the whole text.
  void Rebrand(std::size_t index, std::string_view text) {
    if (index == kPassCount) return TakeLines(text);
    const RebrandPair& pair = kRebrandPairs[index];
    std::string& pending = passes_[index].pending;
    std::string& out = passes_[index].out;
    pending.append(text);
    out.clear();
    std::size_t start = 0;
    for (std::size_t at = pending.find(pair.search); at != std::string::npos;
         at = pending.find(pair.search, start)) {
      out.append(pending, start, at - start).append(pair.replacement);
      start = at + pair.search.size();
    }
    std::size_t keep_from =
        pending.size() - std::min(pending.size() - start, pair.search.size() - 1);
    for (std::size_t at = pending.size(); at > keep_from; --at) {
      if (pending[at - 1] == '\n') keep_from = at;
    }
    out.append(pending, start, keep_from - start);
    pending.erase(0, keep_from);
    Rebrand(index + 1, out);
  }

  void TakeLines(std::string_view text) {
    for (;;) {
      const std::size_t end = text.find('\n');
      AddToLine(text.substr(0, end));
      if (end == std::string_view::npos) return;
      EndLine();
      text.remove_prefix(end + 1);
    }
  }

  void AddToLine(std::string_view part) {
    if (line_is_warning_ || part.empty()) return;
    if (HoldsMarker(part)) {
      line_is_warning_ = true;
      line_.Clear();
      return;
    }
    // Carriage returns are never shown, wherever they stand in a line.
    while (!part.empty()) {
      const void* found = std::memchr(part.data(), '\r', part.size());
      const std::size_t run =
          found == nullptr ? part.size() : static_cast<const char*>(found) - part.data();
      line_.Append(part.substr(0, run));
      part.remove_prefix(std::min(run + 1, part.size()));
    }
  }

  // Whether the marker ends in `part` of the current line; keeps the line's last bytes, in
  // which a marker that the next part completes would begin.
  bool HoldsMarker(std::string_view part) {
    const std::size_t held = kWarningMarker.size() - 1;
    line_tail_.append(part.substr(0, held));
    const bool found = line_tail_.find(kWarningMarker) != std::string::npos ||
                       part.find(kWarningMarker) != std::string_view::npos;
    const std::size_t keep = std::min(line_tail_.size(), held);
    if (part.size() >= held) {
      line_tail_.assign(part.substr(part.size() - held));
    } else {
      line_tail_.erase(0, line_tail_.size() - keep);
    }
    return found;
  }

  // Lines that hold the marker, and blank ones, are not shown.
  void EndLine() {
    if (!line_is_warning_ && !line_.empty()) {
      line_.PrintTo(printer_);
      printer_.Append("\n");
    }
    line_.Clear();
    line_is_warning_ = false;
    line_tail_.clear();
  }

  Printer printer_;
  HeldLine line_;
  std::array<Pass, kPassCount> passes_;
  bool framed_ = false;
  bool line_is_warning_ = false;
  std::string line_tail_;
};

ConsoleFilter::ConsoleFilter(std::FILE* out, std::size_t held_in_memory)
    : stages_(std::make_unique<Stages>(out, held_in_memory)) {}

ConsoleFilter::~ConsoleFilter() = default;

void ConsoleFilter::Feed(std::string_view piece) { stages_->Feed(piece); }

void ConsoleFilter::Finish() { stages_->Finish(); }

}  // namespace tolvarine
