#include "platform/profile_reader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace tolvarine::platform {

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";

// Windows' reader counts ^Z (an old end-of-file mark) among the blanks.
bool IsBlank(char c) { return (c >= '\t' && c <= '\r') || c == '\x1A' || c == ' '; }

std::string_view TrimStart(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimEnd(TrimStart(text)); }

// Names and values are zero-ended texts to Windows' reader: a zero byte ends them early.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool NamesMatch(std::string_view name, std::string_view wanted) {
  name = UpToZero(name);
  return name.size() == wanted.size() &&
         std::equal(name.begin(), name.end(), wanted.begin(),
                    [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

void AppendUtf8(std::string& text, std::uint32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
    return;
  }
  int continuation_count = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLeadMarks[] = {0, 0xC0, 0xE0, 0xF0};
  text += static_cast<char>(kLeadMarks[continuation_count] | (code >> (6 * continuation_count)));
  for (int shift = 6 * (continuation_count - 1); shift >= 0; shift -= 6) {
    text += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
  }
}

std::string_view WithoutTrailingSpaces(std::string_view text) {
  std::size_t end = text.size();
  while (end > 1 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

// Turns the bytes of an INI-form file into its text piece by piece, as they are read: a UTF-8
// byte-order mark is dropped, UTF-16 behind its mark becomes UTF-8 (a lone surrogate becomes
// U+FFFD, an odd last byte is dropped), other bytes pass as they are.
class TextDecoder {
 public:
  /// Appends the text of the next bytes to `text`.
  void Feed(std::string_view bytes, std::string& text) {
    if (mode_ == Mode::kUndecided) {
      head_.append(bytes);
      if (head_.size() < 3) return;
      Decide(text);
      return;
    }
    Pass(bytes, text);
  }
  /// Appends what the last bytes give once no more come.
  void Finish(std::string& text) {
    if (mode_ == Mode::kUndecided) Decide(text);
    if (high_surrogate_ != 0) AppendUtf8(text, kReplacement);
    high_surrogate_ = 0;
  }

 private:
  enum class Mode { kUndecided, kBytes, kLittleEndian, kBigEndian };
  static constexpr std::uint32_t kReplacement = 0xFFFD;

  void Decide(std::string& text) {
    std::string_view rest(head_);
    if (rest.compare(0, 3, kUtf8Mark) == 0) {
      mode_ = Mode::kBytes;
      rest.remove_prefix(3);
    } else if (rest.compare(0, 2, "\xFF\xFE") == 0 || rest.compare(0, 2, "\xFE\xFF") == 0) {
      mode_ = rest[0] == '\xFF' ? Mode::kLittleEndian : Mode::kBigEndian;
      rest.remove_prefix(2);
    } else {
      mode_ = Mode::kBytes;
    }
    Pass(rest, text);
    head_ = std::string();
  }

  void Pass(std::string_view bytes, std::string& text) {
    if (mode_ == Mode::kBytes) {
      text.append(bytes);
      return;
    }
    for (char byte : bytes) {
      if (!odd_byte_) {
        odd_byte_ = byte;
        continue;
      }
      auto first = static_cast<unsigned char>(*odd_byte_);
      auto second = static_cast<unsigned char>(byte);
      odd_byte_.reset();
      Unit(mode_ == Mode::kBigEndian ? (first << 8 | second) : (second << 8 | first), text);
    }
  }

  void Unit(std::uint32_t unit, std::string& text) {
    bool is_low = unit >= 0xDC00 && unit < 0xE000;
    if (high_surrogate_ != 0) {
      std::uint32_t high = high_surrogate_;
      high_surrogate_ = 0;
      if (is_low) {
        AppendUtf8(text, 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
        return;
      }
      AppendUtf8(text, kReplacement);
    }
    if (unit >= 0xD800 && unit < 0xDC00) {
      high_surrogate_ = unit;
    } else {
      AppendUtf8(text, is_low ? kReplacement : unit);
    }
  }

  Mode mode_ = Mode::kUndecided;
  std::string head_;
  std::optional<char> odd_byte_;
  std::uint32_t high_surrogate_ = 0;
};

// One part of a line (a name, a value) as its characters come, in bounded memory: leading
// blanks are dropped, the first `limit` characters before any zero byte are kept, and enough
// is counted to tell the part's text once its end is known: what stands before its trailing
// blanks, cut at its first zero byte.
class LinePart {
 public:
  explicit LinePart(std::size_t limit) : limit_(limit) {}

  void Add(char c) {
    if (count_ == 0 && IsBlank(c)) return;
    if (c == '\0' && zero_ == kNone) {
      zero_ = count_;
      before_zero_ = previous_;
    }
    if (zero_ == kNone && kept_.size() < limit_) kept_ += c;
    previous_ = c;
    ++count_;
    if (!IsBlank(c)) {
      trimmed_ = count_;
      last_nonblank_ = c;
    }
  }
  /// The count of characters up to the last one that is not blank.
  std::size_t Trimmed() const { return trimmed_; }
  /// Whether the part, ended after `trimmed` characters, names `wanted` (ASCII case ignored).
  bool Names(std::string_view wanted, std::size_t trimmed) const {
    std::size_t length = std::min(zero_, trimmed);
    return length == wanted.size() && NamesMatch(std::string_view(kept_).substr(0, length), wanted);
  }
  /// The part's text, or when it is longer than `limit` + 1 characters, its first `limit`
  /// characters and its last one: what placing it in a buffer of `limit` - 1 bytes looks at.
  std::string Text() const {
    std::size_t length = std::min(zero_, trimmed_);
    if (length <= kept_.size()) return kept_.substr(0, length);
    return kept_ + (zero_ < trimmed_ ? before_zero_ : last_nonblank_);
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t limit_;
  std::string kept_;
  std::size_t count_ = 0;
  std::size_t trimmed_ = 0;
  std::size_t zero_ = kNone;
  char previous_ = '\0';
  char before_zero_ = '\0';
  char last_nonblank_ = '\0';
};

// Looks for one key's value in an INI-form text that comes in pieces, line by line, holding
// no more of a line than the names and the value's kept characters.
class ValueFinder {
 public:
  ValueFinder(const std::string& section, const std::string& key, std::size_t value_limit)
      : section_(Trim(UpToZero(section))),
        key_(Trim(UpToZero(key))),
        value_limit_(value_limit),
        inside_(section_.empty()) {
    StartLine();
  }

  /// Takes the next piece of text; false once the answer is known and no more is needed.
  bool Feed(std::string_view text) {
    std::size_t position = 0;
    while (position < text.size() && !done_) {
      if (skipping_) {
        position = text.find_first_of("\r\n", position);
        if (position == std::string_view::npos) return true;
      }
      char c = text[position++];
      if (c == '\r' || c == '\n') {
        EndLine();
      } else {
        Add(c);
      }
    }
    return !done_;
  }
  /// The value, once the text has ended.
  std::optional<std::string> Finish() {
    if (!done_) EndLine();
    done_ = true;
    return value_;
  }

 private:
  void StartLine() {
    started_ = bracket_ = skipping_ = equals_ = false;
    header_ = LinePart(section_.size());
    header_end_.reset();
    name_ = LinePart(key_.size());
    name_end_ = 0;
    value_part_ = LinePart(value_limit_);
  }

  void Add(char c) {
    if (!started_) {
      if (IsBlank(c)) return;
      started_ = true;
      bracket_ = c == '[';
      // Outside the section only a header can matter.
      skipping_ = !bracket_ && !inside_;
      if (skipping_) return;
    } else if (bracket_) {
      // A header's name runs to its last closing bracket.
      if (c == ']') header_end_ = header_.Trimmed();
      header_.Add(c);
    }
    if (!inside_) return;
    if (equals_) {
      value_part_.Add(c);
    } else if (c == '=') {
      equals_ = true;
      name_end_ = name_.Trimmed();
    } else {
      name_.Add(c);
    }
  }

  void EndLine() {
    if (started_ && !skipping_) {
      if (bracket_ && header_end_) {
        // A later section of the same name is never read.
        done_ = inside_;
        inside_ = header_.Names(section_, *header_end_);
      } else if (inside_ && name_.Names(key_, equals_ ? name_end_ : name_.Trimmed())) {
        // The first line of the key decides, even one without a value.
        done_ = true;
        if (equals_) value_ = value_part_.Text();
      }
    }
    StartLine();
  }

  std::string_view section_;
  std::string_view key_;
  std::size_t value_limit_;
  bool inside_;
  bool done_ = false;
  std::optional<std::string> value_;
  bool started_ = false;
  bool bracket_ = false;
  bool skipping_ = false;
  bool equals_ = false;
  LinePart header_{0};
  std::optional<std::size_t> header_end_;
  LinePart name_{0};
  std::size_t name_end_ = 0;
  LinePart value_part_{0};
};

// Reads so much of the file at a time: memory stays the same whatever the file's size.
constexpr std::size_t kReadChunk = 64 * 1024;

std::optional<std::string> FindValueInFile(const std::string& path, const std::string& section,
                                           const std::string& key, std::size_t value_limit) {
  File file = File::OpenForReading(path);
  std::optional<std::uint64_t> size = file.Size();
  if (!size) return std::nullopt;
  TextDecoder decoder;
  ValueFinder finder(section, key, value_limit);
  std::string text;
  for (std::uint64_t offset = 0; offset < *size;) {
    std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, *size - offset));
    std::optional<std::string> bytes = file.ReadAt(offset, count);
    if (!bytes) return std::nullopt;
    offset += count;
    text.clear();
    decoder.Feed(*bytes, text);
    if (!finder.Feed(text)) return finder.Finish();
  }
  text.clear();
  decoder.Finish(text);
  finder.Feed(text);
  return finder.Finish();
}

}  // namespace

std::string DecodeProfileText(const std::string& bytes) {
  TextDecoder decoder;
  std::string text;
  decoder.Feed(bytes, text);
  decoder.Finish(text);
  return text;
}

std::optional<std::string> FindProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key) {
  ValueFinder finder(section, key, static_cast<std::size_t>(-1));
  finder.Feed(text);
  return finder.Finish();
}

std::string PlaceProfileString(const std::optional<std::string>& value,
                               const std::string& default_value, std::size_t size) {
  if (size == 0) return std::string();
  std::string_view text = value ? UpToZero(*value) : WithoutTrailingSpaces(UpToZero(default_value));
  bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                text.back() == text.front();
  if (quoted) text.remove_prefix(1);
  std::size_t count = std::min(text.size(), size - 1);
  // Windows copies what follows the opening quote, as far as the buffer holds it, and then
  // drops the last character copied whenever the buffer is at least as long as that text, so
  // a buffer one byte short of the closing quote loses a character of the value as well.
  if (quoted && size >= text.size() && count > 0) --count;
  return std::string(text.substr(0, count));
}

std::string ReadProfileFile(const std::string& section, const std::string& key,
                            const std::string& default_value, std::size_t size,
                            const std::string& path) {
  if (size == 0) return std::string();
  // Placing looks at no more than size + 1 characters of a value and its last one.
  std::size_t kept = size < SIZE_MAX ? size + 1 : size;
  return PlaceProfileString(FindValueInFile(path, section, key, kept), default_value, size);
}

}  // namespace tolvarine::platform
