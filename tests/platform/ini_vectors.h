// INI reading cases with the results of Windows' private profile reader: the measured rows of
// the project's ini-vectors table (its row numbers kept), and cases of our own.
#ifndef TOLVARINE_TESTS_PLATFORM_INI_VECTORS_H_
#define TOLVARINE_TESTS_PLATFORM_INI_VECTORS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct IniVector {
  int row;  // 0 for a case of our own
  const char* what;
  std::optional<std::string> file;  // the file's bytes; nothing: no file
  std::string section;
  std::string key;
  std::string default_value;
  std::size_t size;
  std::string placed;  // the text placed in front of the terminator; its length is returned
  // Windows hands the text over in its ANSI code page, the POSIX build in UTF-8: `placed` is
  // the POSIX build's, and the two builds' readers are not held to the same bytes.
  bool code_page_dependent = false;
};

// The buffer each case is read into, filled beforehand with a byte no reader writes, so that
// a write past the terminator shows.
constexpr char kUntouched = '\x0C';
constexpr std::size_t kBufferSize = 600;

// The whole buffer as it must look: the text, its terminator, and every later byte untouched.
inline std::string ExpectedBuffer(const IniVector& vector) {
  std::string expected = vector.placed;
  if (vector.size > 0) expected += '\0';
  expected.resize(kBufferSize, kUntouched);
  return expected;
}

// A value of 280 characters, longer than any fixed line buffer of 256.
inline std::string LongDigits() {
  std::string digits;
  for (int i = 0; i < 28; ++i) digits += "0123456789";
  return digits;
}

inline const std::vector<IniVector>& IniVectors() {
  using namespace std::string_literals;  // for texts that hold zero bytes
  static const std::vector<IniVector> vectors = {
      {1, "basic", "[s]\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {2, "section and key case-insensitive", "[SeC]\r\nKey=v\r\n", "sEc", "kEY", "def", 64, "v"},
      {3, "spaces around key and value", "[s]\r\n  k  =  v  x  \r\n", "s", "k", "def", 64, "v  x"},
      {4, "tabs around = and at the end", "[s]\r\n\tk\t=\tv\t\r\n", "s", "k", "def", 64, "v"},
      {5, "spaces inside [ ]", "[  s  ]\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {6, "lookup names are trimmed", "[s]\r\nk=v\r\n", "  s  ", " k ", "def", 64, "v"},
      {7, "key with an inner space", "[s]\r\nmy key = v\r\n", "s", "my key", "def", 64, "v"},
      {8, "inner spaces must match", "[s]\r\nmy key = v\r\n", "s", "my  key", "def", 64, "def"},
      {9, "double-quoted value", "[s]\r\nk=\"v x\"\r\n", "s", "k", "def", 64, "v x"},
      {10, "single-quoted value", "[s]\r\nk='v x'\r\n", "s", "k", "def", 64, "v x"},
      {11, "mismatched quotes kept", "[s]\r\nk=\"v'\r\n", "s", "k", "def", 64, "\"v'"},
      {12, "leading quote only kept", "[s]\r\nk=\"v\r\n", "s", "k", "def", 64, "\"v"},
      {13, "trailing quote only kept", "[s]\r\nk=v\"\r\n", "s", "k", "def", 64, "v\""},
      {14, "lone quote kept", "[s]\r\nk=\"\r\n", "s", "k", "def", 64, "\""},
      {15, "two quotes give the empty text", "[s]\r\nk=\"\"\r\n", "s", "k", "def", 64, ""},
      {16, "inner quote kept", "[s]\r\nk=\"a\"b\"\r\n", "s", "k", "def", 64, "a\"b"},
      {17, "spaces outside and inside quotes", "[s]\r\nk=  \" a \"  \r\n", "s", "k", "def", 64,
       " a "},
      {18, "quotes then text", "[s]\r\nk=\"a\" b\r\n", "s", "k", "def", 64, "\"a\" b"},
      {19, "; line does not hide the key", "[s]\r\n;k=x\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {20, "; line is a key named ;k", "[s]\r\n;k=x\r\n", "s", ";k", "def", 64, "x"},
      {21, "# is not a comment", "[s]\r\n#k=x\r\n", "s", "#k", "def", 64, "x"},
      {22, "inline ; kept in the value", "[s]\r\nk=v ;c\r\n", "s", "k", "def", 64, "v ;c"},
      {23, "line without = gives the default", "[s]\r\nk\r\n", "s", "k", "def", 64, "def"},
      {24, "empty value is empty", "[s]\r\nk=\r\n", "s", "k", "def", 64, ""},
      {25, "missing key", "[s]\r\nk=v\r\n", "s", "x", "def", 64, "def"},
      {26, "missing section", "[s]\r\nk=v\r\n", "t", "k", "def", 64, "def"},
      {27, "repeated key: the first wins", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "def", 64, "1"},
      {28, "repeated section: key in the first", "[s]\r\na=1\r\n[t]\r\nx=0\r\n[s]\r\nb=2\r\n", "s",
       "a", "def", 64, "1"},
      {29, "repeated section: key only in the second", "[s]\r\na=1\r\n[t]\r\nx=0\r\n[s]\r\nb=2\r\n",
       "s", "b", "def", 64, "def"},
      {30, "key above any header, section \"\"", "k=v\r\n[s]\r\nj=w\r\n", "", "k", "def", 64, "v"},
      {31, "key above any header, section s", "k=v\r\n[s]\r\nj=w\r\n", "s", "k", "def", 64, "def"},
      {32, "empty section name []", "[]\r\nk=v\r\n", "", "k", "def", 64, "def"},
      {33, "LF line ends", "[s]\nk=v\n", "s", "k", "def", 64, "v"},
      {34, "CR line ends", "[s]\rk=v\r", "s", "k", "def", 64, "v"},
      {35, "no final line end", "[s]\r\nk=v", "s", "k", "def", 64, "v"},
      {36, "UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {37, "UTF-8 byte-order mark, non-ASCII value",
       "\xEF\xBB\xBF[s]\r\nk=caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD\r\n", "s", "k", "def", 64,
       "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD", true},
      {38, "no mark, UTF-8 bytes kept", "[s]\r\nk=caf\xC3\xA9\r\n", "s", "k", "def", 64,
       "caf\xC3\xA9"},
      {39, "= inside the value", "[s]\r\nk=a=b\r\n", "s", "k", "def", 64, "a=b"},
      {40, "empty key name", "[s]\r\n=v\r\n", "s", "", "def", 64, "v"},
      {41, "text after ] ignored", "[s] junk\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {42, "the last ] closes the name", "[s]x]\r\nk=v\r\n", "s]x", "k", "def", 64, "v"},
      {43, "[ without ] is an ordinary line", "[s]\r\n[t\r\nk=v\r\n", "s", "k", "def", 64, "v"},
      {44, "indented header and key", "  [s]  \r\n   k=v\r\n", "s", "k", "def", 64, "v"},
      {45, "trailing tab, VT, FF trimmed", "[s]\r\nk=v\t\x0B\x0C\r\n", "s", "k", "def", 64, "v"},
      {46, "size 0 leaves the buffer alone", "[s]\r\nk=abcdef\r\n", "s", "k", "def", 0, ""},
      {47, "size 1", "[s]\r\nk=abcdef\r\n", "s", "k", "def", 1, ""},
      {48, "size 4 cuts", "[s]\r\nk=abcdef\r\n", "s", "k", "def", 4, "abc"},
      {49, "size 6 cuts by one", "[s]\r\nk=abcdef\r\n", "s", "k", "def", 6, "abcde"},
      {50, "size 7 fits exactly", "[s]\r\nk=abcdef\r\n", "s", "k", "def", 7, "abcdef"},
      {51, "quoted, size 7", "[s]\r\nk=\"abcd\"\r\n", "s", "k", "def", 7, "abcd"},
      {52, "quoted, size 6", "[s]\r\nk=\"abcd\"\r\n", "s", "k", "def", 6, "abcd"},
      {53, "quoted, size 5", "[s]\r\nk=\"abcd\"\r\n", "s", "k", "def", 5, "abc"},
      {54, "quoted, size 4", "[s]\r\nk=\"abcd\"\r\n", "s", "k", "def", 4, "abc"},
      {55, "default loses trailing spaces", "[s]\r\n", "s", "k", "def   ", 64, "def"},
      {56, "default keeps leading spaces", "[s]\r\n", "s", "k", "  def", 64, "  def"},
      {57, "default keeps a trailing tab", "[s]\r\n", "s", "k", "def\t", 64, "def\t"},
      {58, "default of spaces keeps one", "[s]\r\n", "s", "k", "   ", 64, " "},
      {59, "default loses its quotes", "[s]\r\n", "s", "k", "\"def\"", 64, "def"},
      {60, "empty default", "[s]\r\n", "s", "k", "", 64, ""},
      {61, "default cut", "[s]\r\n", "s", "k", "defgh", 4, "def"},
      {68, "empty key name, no =v line", "[s]\r\nk=v\r\n", "s", "", "def", 64, "def"},
      {69, "no file", std::nullopt, "s", "k", "def", 64, "def"},
      {70, "UTF-16LE with its mark", "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s, "s", "k", "def",
       64, "v"},
      {71, "blank key name", "[s]\r\n = v\r\n", "s", "", "def", 64, "v"},
      {75, "value longer than 256", "[s]\r\nk=" + LongDigits() + "\r\n", "s", "k", "def", 400,
       LongDigits()},
      {0, "line without = hides a later line of the key", "[s]\r\nk\r\nk=v\r\n", "s", "k", "def",
       64, "def"},
      {0, "first of two sections of one name decides", "[s]\r\n[S]\r\nk=v\r\n", "s", "k", "def", 64,
       "def"},
      {0, "zero byte ends the value", "[s]\r\nk=v\0w\r\n"s, "s", "k", "def", 64, "v"},
      {0, "zero byte ends the key name", "[s]\r\nk\0x=v\r\n"s, "s", "k", "def", 64, "v"},
      {0, "zero byte ends the section name", "[s\0x]\r\nk=v\r\n"s, "s", "k", "def", 64, "v"},
      {0, "^Z counts as a blank", "[s]\r\n\x1Ak=v\x1A\r\n", "s", "k", "def", 64, "v"},
      {0, "no-break space is not a blank", "[s]\r\nk=\xA0v\xA0\r\n", "s", "k", "def", 64,
       "\xA0v\xA0"},
      {0, "tabs around the lookup names", "[s]\r\nk=v\r\n", "\ts\t", "\tk", "def", 64, "v"},
      {0, "non-ASCII section name", "[caf\xE9]\r\nk=v\r\n", "caf\xE9", "k", "def", 64, "v"},
      {0, "UTF-16BE with its mark", "\xFE\xFF\0[\0s\0]\0\n\0k\0=\0v"s, "s", "k", "def", 64, "v"},
      {0, "empty file", "", "s", "k", "def", 64, "def"},
      {0, "[ line without ] holds a key", "[s]\r\n[t=1\r\n", "s", "[t", "def", 64, "1"},
      {0, "quotes and blanks after the value", "[s]\r\nk = \"v\"   \r\n", "s", "k", "def", 64, "v"},
      {0, "quoted value of one character", "[s]\r\nk='x'\r\n", "s", "k", "def", 64, "x"},
      {0, "quoted value, size 1", "[s]\r\nk=\"\"\r\n", "s", "k", "def", 1, ""},
      {0, "quoted default, size 3", "[s]\r\n", "s", "k", "\"abcd\"", 3, "ab"},
      {0, "quoted default without a file", std::nullopt, "s", "k", "'x'  ", 64, "x"},
      {0, "default of spaces and quotes", "[s]\r\n", "s", "k", "\" \"  ", 64, " "},
      {0, "blank lines and mixed line ends", "\r\n\r\r\n[s]\n\n\r  \t\r\nk=v\r\r", "s", "k", "def",
       64, "v"},
  };
  return vectors;
}

}  // namespace testing_support

#endif  // TOLVARINE_TESTS_PLATFORM_INI_VECTORS_H_
