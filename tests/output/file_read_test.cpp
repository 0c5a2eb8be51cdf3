#include "output/file_read.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace tolvarine {
namespace {

TEST(ReadTextFileTest, RawBytesUpToTheFirstZeroByte) {
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "crlf", "a\r\nb\r\n");
  EXPECT_EQ(ReadTextFile(dir / "crlf"), "a\r\nb\r\n");
  testing_support::WriteFile(dir / "zero", std::string("before\0after", 12));
  EXPECT_EQ(ReadTextFile(dir / "zero"), "before");
  testing_support::WriteFile(dir / "empty", "");
  EXPECT_EQ(ReadTextFile(dir / "empty"), "");
  EXPECT_EQ(ReadTextFile(dir / "missing"), "");
  EXPECT_EQ(ReadTextFile(dir.path().string()), "");
  EXPECT_EQ(ReadTextFile(""), "");
}

}  // namespace
}  // namespace tolvarine
