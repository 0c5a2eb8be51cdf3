#include "platform/profile_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// The name of a section header line: what stands between the opening bracket and the last
// closing one. A line that opens a bracket and never closes it is an ordinary line.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.front() != '[') return std::nullopt;
  std::size_t closing = line.rfind(']');
  if (closing == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, closing - 1));
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

// UTF-16 text after its two-byte mark, as UTF-8. A lone surrogate becomes U+FFFD; an odd last
// byte is not a character and is dropped.
std::string Utf16ToUtf8(const std::string& bytes, bool big_endian) {
  auto unit_at = [&](std::size_t index) -> std::uint32_t {
    auto first = static_cast<unsigned char>(bytes[2 * index]);
    auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
    return big_endian ? (first << 8 | second) : (second << 8 | first);
  };
  std::size_t unit_count = bytes.size() / 2;
  std::string text;
  text.reserve(unit_count);
  for (std::size_t index = 1; index < unit_count; ++index) {
    std::uint32_t code = unit_at(index);
    if (code >= 0xD800 && code < 0xDC00 && index + 1 < unit_count) {
      std::uint32_t low = unit_at(index + 1);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        ++index;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
    AppendUtf8(text, code);
  }
  return text;
}

std::string_view WithoutTrailingSpaces(std::string_view text) {
  std::size_t end = text.size();
  while (end > 1 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  File file = File::OpenForReading(path);
  std::optional<std::uint64_t> size = file.Size();
  if (!size || *size > SIZE_MAX / 2) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(*size), '\0');
  if (!bytes.empty() && !file.ReadAt(0, bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace

std::string DecodeProfileText(const std::string& bytes) {
  if (bytes.compare(0, 3, kUtf8Mark) == 0) return bytes.substr(3);
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return Utf16ToUtf8(bytes, false);
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) return Utf16ToUtf8(bytes, true);
  return bytes;
}

std::optional<std::string> FindProfileValue(const std::string& text, const std::string& section,
                                            const std::string& key) {
  const std::string_view wanted_section = Trim(UpToZero(section));
  const std::string_view wanted_key = Trim(UpToZero(key));
  const std::string_view whole(text);
  bool inside = wanted_section.empty();
  std::size_t position = 0;
  while (position < whole.size()) {
    std::size_t end = std::min(whole.find_first_of("\r\n", position), whole.size());
    std::string_view line = Trim(whole.substr(position, end - position));
    position = end + 1;
    if (line.empty()) continue;
    if (std::optional<std::string_view> header = SectionName(line)) {
      if (inside) return std::nullopt;  // A later section of the same name is never read.
      inside = NamesMatch(*header, wanted_section);
      continue;
    }
    if (!inside) continue;
    std::size_t equals = line.find('=');
    std::string_view name =
        equals == std::string_view::npos ? line : TrimEnd(line.substr(0, equals));
    if (!NamesMatch(name, wanted_key)) continue;
    // The first line of the key decides, even one without a value.
    if (equals == std::string_view::npos) return std::nullopt;
    return std::string(TrimStart(line.substr(equals + 1)));
  }
  return std::nullopt;
}

std::size_t PlaceProfileString(const std::optional<std::string>& value,
                               const std::string& default_value, char* buffer, std::size_t size) {
  if (size == 0) return 0;
  std::string_view text = value ? UpToZero(*value) : WithoutTrailingSpaces(UpToZero(default_value));
  bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                text.back() == text.front();
  if (quoted) text.remove_prefix(1);
  std::size_t count = std::min(text.size(), size - 1);
  // Windows copies what follows the opening quote, as far as the buffer holds it, and then
  // drops the last character copied whenever the buffer is at least as long as that text, so
  // a buffer one byte short of the closing quote loses a character of the value as well.
  if (quoted && size >= text.size() && count > 0) --count;
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return count;
}

std::size_t ReadProfileFile(const std::string& section, const std::string& key,
                            const std::string& default_value, char* buffer, std::size_t size,
                            const std::string& path) {
  if (size == 0) return 0;
  std::optional<std::string> value;
  if (std::optional<std::string> bytes = ReadWholeFile(path)) {
    value = FindProfileValue(DecodeProfileText(*bytes), section, key);
  }
  return PlaceProfileString(value, default_value, buffer, size);
}

}  // namespace tolvarine::platform
