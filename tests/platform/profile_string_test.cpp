// ReadProfileString as the configuration reads it: the system's reader in the Windows build,
// the portable one in the POSIX build. Under Wine the two are held together here.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/ini_vectors.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"
#include "support/test_support.h"

namespace tolvarine::platform {
namespace {

using testing_support::IniVector;
using testing_support::IniVectors;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ExpectedBuffer;
using testing_support::IsWindowsBuild;
using testing_support::kBufferSize;
using testing_support::kUntouched;

struct Read {
  std::size_t returned;
  std::string buffer;
};

template <typename Reader>
Read ReadWith(Reader reader, const std::string& section, const std::string& key,
              const std::string& default_value, std::size_t size, const std::string& path) {
  std::vector<char> buffer(kBufferSize, kUntouched);
  std::size_t returned = reader(section, key, default_value, buffer.data(), size, path);
  return {returned, std::string(buffer.begin(), buffer.end())};
}

Read System(const std::string& section, const std::string& key, const std::string& default_value,
            std::size_t size, const std::string& path) {
  return ReadWith(ReadProfileString, section, key, default_value, size, path);
}

Read Portable(const std::string& section, const std::string& key, const std::string& default_value,
              std::size_t size, const std::string& path) {
  return ReadWith(ReadProfileFile, section, key, default_value, size, path);
}

// Control and high bytes written out, so that a failing case can be read.
std::string Printable(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      text += c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
    }
  }
  return text;
}

TEST(ProfileStringTest, MeasuredVectors) {
  TempDir dir;
  int index = 0;
  for (const IniVector& vector : IniVectors()) {
    SCOPED_TRACE(testing::Message() << "row " << vector.row << ": " << vector.what);
    std::string path = dir / ("case" + std::to_string(index++) + ".ini");
    if (vector.file) WriteFile(path, *vector.file);
    // Windows hands non-ASCII text over in its own code page.
    if (vector.code_page_dependent && IsWindowsBuild()) continue;
    Read read = System(vector.section, vector.key, vector.default_value, vector.size, path);
    EXPECT_EQ(read.returned, vector.placed.size());
    EXPECT_EQ(Printable(read.buffer), Printable(ExpectedBuffer(vector)));
  }
}

TEST(ProfileStringTest, EmptyPathReadsLikeAMissingFile) {
  TempDir dir;
  for (const std::string default_value : {"def", "def   ", "\"def\"", "'x'  ", "   ", "", "ab"}) {
    for (std::size_t size : {1, 3, 64}) {
      SCOPED_TRACE(testing::Message() << "[" << default_value << "] size " << size);
      Read empty_path = System("Info", "RunEXE", default_value, size, "");
      Read missing = System("Info", "RunEXE", default_value, size, dir / "config.dat");
      EXPECT_EQ(empty_path.returned, missing.returned);
      EXPECT_EQ(Printable(empty_path.buffer), Printable(missing.buffer));
    }
  }
  Read quoted = System("Info", "RunEXE", "\"d e\"  ", 64, "");
  EXPECT_EQ(quoted.returned, 3u);
  EXPECT_EQ(quoted.buffer.substr(0, 4), std::string("d e", 4));
}

TEST(ProfileStringTest, FileBelowAVeryLongPathIsRead) {
  TempDir dir;
  std::filesystem::path folder = dir.path();
  for (int i = 0; i < 6; ++i) folder /= std::string(50, 'd');
  std::filesystem::create_directories(folder);
  std::string path = (folder / "config.dat").string();
  ASSERT_GT(path.size(), 300u);
  WriteFile(path, "[Info]\r\nRunEXE=far down\r\n");
  ASSERT_EQ(testing_support::ReadFile(path), "[Info]\r\nRunEXE=far down\r\n");
  Read read = System("Info", "RunEXE", "def", 64, path);
  EXPECT_EQ(read.returned, 8u);
  EXPECT_EQ(read.buffer.substr(0, 9), std::string("far down", 9));
  // Removing the folders one by one from below works for paths that remove_all cannot take.
  std::filesystem::remove(path);
  for (; folder != dir.path(); folder = folder.parent_path()) std::filesystem::remove(folder);
}

// What the configuration keeps of a value: the reader's text in the program's encoding.
std::string ConfiguredText(const std::string& path) {
  std::vector<char> buffer(64, '\0');
  ReadProfileString("Info", "RunEXE", "def", buffer.data(), buffer.size(), path);
  return ConfigurationText(buffer.data());
}

TEST(ProfileStringTest, SameFileGivesTheSameTextFromAShortAndAVeryLongPath) {
  TempDir dir;
  std::filesystem::path folder = dir.path();
  for (int i = 0; i < 6; ++i) folder /= std::string(50, 'd');
  std::filesystem::create_directories(folder);
  std::string utf16 = "\xFF\xFE";  // UTF-16 little-endian: each Latin-1 byte, then a zero
  for (char c : std::string("[Info]\nRunEXE=caf\xE9\n")) utf16 += std::string(1, c) + '\0';
  struct Row {
    const char* what;
    std::string file;
    std::string text;  // in the program's encoding
  };
  // Windows reads a file without a mark in its ANSI code page (1252 here).
  const std::string ansi_e = IsWindowsBuild() ? "\xC3\xA9" : "\xE9";
  for (const Row& row :
       {Row{"no mark", "[Info]\r\nRunEXE=caf\xE9\r\n", "caf" + ansi_e},
        Row{"UTF-8 mark", "\xEF\xBB\xBF[Info]\r\nRunEXE=caf\xC3\xA9\r\n", "caf\xC3\xA9"},
        Row{"UTF-16 mark", utf16, "caf\xC3\xA9"}}) {
    SCOPED_TRACE(row.what);
    std::string short_path = dir / "config.dat";
    std::string long_path = (folder / "config.dat").string();
    WriteFile(short_path, row.file);
    WriteFile(long_path, row.file);
    EXPECT_EQ(Printable(ConfiguredText(short_path)), Printable(row.text));
    EXPECT_EQ(Printable(ConfiguredText(long_path)), Printable(row.text));
    std::filesystem::remove(long_path);
  }
  for (; folder != dir.path(); folder = folder.parent_path()) std::filesystem::remove(folder);
}

// Small INI texts made of the pieces that matter to the rules, with lookups that half match.
struct GeneratedCase {
  std::string file;
  std::string section;
  std::string key;
  std::string default_value;
  std::size_t size;
};

GeneratedCase Generate(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "[",    "]",   "=",  " ",           "\t",     "\r\n",
      "\n",   "\r",  "\"", "'",           "s",      "S",
      "k",    "K",   "v",  ";",           "x",      std::string(1, '\0'),
      "\x1A", "[s]", "k=", "\r\n[s]\r\n", "\r\nk=", "\r\n[S ]\r\nK = ",
      "\xE9", "\xA0"};
  static const std::vector<std::string> kSections = {"s", "S", " s", "", "x", "s]", "s "};
  static const std::vector<std::string> kKeys = {"k", "K ", "", " k", "x", "k v", ";k"};
  static const std::vector<std::string> kDefaults = {"def", "d  ", "\"d\"", "", " ", "'", "'ab'"};
  static const std::vector<std::size_t> kSizes = {1, 2, 3, 4, 5, 8, 64};
  auto pick = [&](const auto& list) { return list[random() % list.size()]; };
  GeneratedCase generated;
  bool utf8_mark = random() % 8 == 0;
  if (utf8_mark) generated.file = "\xEF\xBB\xBF";
  for (unsigned count = random() % 40; count > 0; --count) {
    std::string piece = pick(kPieces);
    // Behind a UTF-8 mark a lone high byte is no character: Windows makes it a '?'.
    if (utf8_mark && static_cast<unsigned char>(piece[0]) >= 0x80) continue;
    generated.file += piece;
  }
  generated.section = pick(kSections);
  generated.key = pick(kKeys);
  generated.default_value = pick(kDefaults);
  generated.size = pick(kSizes);
  return generated;
}

TEST(ProfileStringTest, PortableReaderAgreesWithTheSystemsOnGeneratedFiles) {
  if (!IsWindowsBuild()) {
    GTEST_SKIP() << "only the Windows build has the system's reader to compare with";
  }
  TempDir dir;
  std::mt19937 random(20240611);
  for (int index = 0; index < 600; ++index) {
    GeneratedCase generated = Generate(random);
    std::string path = dir / ("gen" + std::to_string(index) + ".ini");
    WriteFile(path, generated.file);
    Read system =
        System(generated.section, generated.key, generated.default_value, generated.size, path);
    Read portable =
        Portable(generated.section, generated.key, generated.default_value, generated.size, path);
    if (system.returned == portable.returned && system.buffer == portable.buffer) continue;
    ADD_FAILURE() << "file [" << Printable(generated.file) << "] section [" << generated.section
                  << "] key [" << generated.key << "] default [" << generated.default_value
                  << "] size " << generated.size << ": system " << system.returned << " ["
                  << Printable(system.buffer.substr(0, 70)) << "], portable " << portable.returned
                  << " [" << Printable(portable.buffer.substr(0, 70)) << "]";
  }
}

}  // namespace
}  // namespace tolvarine::platform
