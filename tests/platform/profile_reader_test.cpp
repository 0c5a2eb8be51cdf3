#include "platform/profile_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ini_vectors.h"
#include "support/test_support.h"

namespace tolvarine::platform {
namespace {

using testing_support::IniVector;
using testing_support::IniVectors;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ExpectedBuffer;
using testing_support::kBufferSize;
using testing_support::kUntouched;

TEST(ProfileReaderTest, FilesGiveTheResultsOfWindowsReader) {
  TempDir dir;
  int index = 0;
  for (const IniVector& vector : IniVectors()) {
    SCOPED_TRACE(testing::Message() << "row " << vector.row << ": " << vector.what);
    std::string path = dir / ("case" + std::to_string(index++) + ".ini");
    if (vector.file) WriteFile(path, *vector.file);
    std::vector<char> buffer(kBufferSize, kUntouched);
    std::size_t returned = ReadProfileFile(vector.section, vector.key, vector.default_value,
                                           buffer.data(), vector.size, path);
    EXPECT_EQ(returned, vector.placed.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), ExpectedBuffer(vector));
  }
}

TEST(ProfileReaderTest, TextsGiveTheSameResultsWithoutAFile) {
  for (const IniVector& vector : IniVectors()) {
    SCOPED_TRACE(testing::Message() << "row " << vector.row << ": " << vector.what);
    std::optional<std::string> value;
    if (vector.file) {
      value = FindProfileValue(DecodeProfileText(*vector.file), vector.section, vector.key);
    }
    std::vector<char> buffer(kBufferSize, kUntouched);
    EXPECT_EQ(PlaceProfileString(value, vector.default_value, buffer.data(), vector.size),
              vector.placed.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), ExpectedBuffer(vector));
  }
}

TEST(ProfileReaderTest, WhatCannotBeReadGivesTheDefault) {
  TempDir dir;
  std::filesystem::create_directory(dir / "folder.ini");
  for (const std::string& path :
       {std::string(), dir / "folder.ini", dir / "missing.ini", dir / "no folder" + "/x.ini"}) {
    SCOPED_TRACE(path);
    char buffer[16];
    EXPECT_EQ(ReadProfileFile("s", "k", "'def'  ", buffer, sizeof buffer, path), 3u);
    EXPECT_STREQ(buffer, "def");
  }
}

TEST(ProfileReaderTest, NoValueIsNotAnEmptyValue) {
  EXPECT_EQ(FindProfileValue("[s]\nk=\n", "s", "k"), std::string());
  EXPECT_EQ(FindProfileValue("[s]\nk\n", "s", "k"), std::nullopt);
  EXPECT_EQ(FindProfileValue("[s]\nj=1\n", "s", "k"), std::nullopt);
  // Quotes stay with the found value; they go when it is placed.
  EXPECT_EQ(FindProfileValue("[s]\nk = \"a\" \n", "s", "k"), std::string("\"a\""));
}

TEST(ProfileReaderTest, Utf16BecomesUtf8) {
  using namespace std::string_literals;
  // U+00E9, U+20AC, U+1F600 (a surrogate pair), in both byte orders.
  EXPECT_EQ(DecodeProfileText("\xFF\xFE\xE9\0\xAC\x20\x3D\xD8\x00\xDE"s),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(DecodeProfileText("\xFE\xFF\0\xE9\x20\xAC\xD8\x3D\xDE\x00"s),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  // A lone surrogate is no character; an odd last byte is dropped.
  EXPECT_EQ(DecodeProfileText("\xFF\xFE\x00\xD8k\0x"s), "\xEF\xBF\xBDk");
  EXPECT_EQ(DecodeProfileText("\xFF\xFE"), "");
}

TEST(ProfileReaderTest, OtherBytesStayAsTheyAre) {
  EXPECT_EQ(DecodeProfileText("\xEF\xBB\xBF[s]"), "[s]");
  EXPECT_EQ(DecodeProfileText("\xEF\xBB[s]"), "\xEF\xBB[s]");
  EXPECT_EQ(DecodeProfileText("\xFF"), "\xFF");
  EXPECT_EQ(DecodeProfileText("[s]\r\nk=caf\xE9\r\n"), "[s]\r\nk=caf\xE9\r\n");
}

}  // namespace
}  // namespace tolvarine::platform
