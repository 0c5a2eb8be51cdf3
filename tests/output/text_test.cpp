#include "output/text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace tolvarine {
namespace {

std::string Replaced(std::string text, const std::string& search, const std::string& with) {
  ReplaceAll(text, search, with);
  return text;
}

TEST(ReplaceAllTest, ScansLeftToRightWithoutOverlapsOrRescanning) {
  EXPECT_EQ(Replaced("aaa", "aa", "b"), "ba");
  EXPECT_EQ(Replaced("abab", "ab", "abab"), "abababab");
  EXPECT_EQ(Replaced("aaaa", "a", "aa"), "aaaaaaaa");
  EXPECT_EQ(Replaced("xaxax", "a", "a"), "xaxax");
}

TEST(ReplaceAllTest, GrowsShrinksDeletesAndLeavesUnmatchedTextAlone) {
  EXPECT_EQ(Replaced("a cpdf b cpdf", "cpdf", "quillorand"), "a quillorand b quillorand");
  EXPECT_EQ(Replaced("[x] [y]", "[", "\""), "\"x] \"y]");
  EXPECT_EQ(Replaced("\r\na\rb\r", "\r", ""), "\nab");
  EXPECT_EQ(Replaced("Tabula", "tabula", "Quorvex"), "Tabula");
  EXPECT_EQ(Replaced("", "x", "y"), "");
  EXPECT_EQ(Replaced("abc", "abcd", ""), "abc");
  EXPECT_EQ(Replaced("abc", "", "x"), "abc");  // must end, and change nothing
}

TEST(ReplaceAllTest, KeepsEveryByteIncludingZeros) {
  std::string text("a\0b\0a", 5);
  ReplaceAll(text, std::string("\0", 1), "--");
  EXPECT_EQ(text, "a--b--a");
  std::string binary;
  for (int i = 0; i < 256; ++i) binary += static_cast<char>(i);
  std::string copy = binary;
  ReplaceAll(copy, "zz", "y");
  EXPECT_EQ(copy, binary);
}

std::vector<std::string> Split(const std::string& text, const std::string& separator = "\n") {
  std::vector<std::string> pieces;
  SplitString(text, separator, pieces);
  return pieces;
}

using Pieces = std::vector<std::string>;

TEST(SplitStringTest, FinalSeparatorAddsNoEmptyPiece) {
  EXPECT_EQ(Split("a\nb"), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a\nb\n"), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("a\n\nb"), (Pieces{"a", "", "b"}));
  EXPECT_EQ(Split(""), (Pieces{""}));
  EXPECT_EQ(Split("\n"), (Pieces{""}));
  EXPECT_EQ(Split("\n\n"), (Pieces{"", ""}));
  EXPECT_EQ(Split("abc"), (Pieces{"abc"}));
  EXPECT_EQ(Split("a::b::", "::"), (Pieces{"a", "b"}));
  EXPECT_EQ(Split("abc", ""), (Pieces{"abc"}));
}

TEST(SplitStringTest, AppendsToWhatTheListHolds) {
  std::vector<std::string> pieces{"x"};
  SplitString("a\nb", "\n", pieces);
  EXPECT_EQ(pieces, (Pieces{"x", "a", "b"}));
}

TEST(FileExistsTest, OnlyReadableFilesCount) {
  testing_support::TempDir dir;
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(dir / "missing"));
  EXPECT_FALSE(FileExists(dir.path().string()));
  testing_support::WriteFile(dir / "empty", "");
  testing_support::WriteFile(dir / "full", "content");
  EXPECT_TRUE(FileExists(dir / "empty"));
  EXPECT_TRUE(FileExists(dir / "full"));
}

}  // namespace
}  // namespace tolvarine
