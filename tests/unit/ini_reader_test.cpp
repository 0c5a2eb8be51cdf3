// config.dat values as the platform reads them from a real file: on Windows the system's own
// reader (the portable one for paths it cannot take), elsewhere the portable reader, held to
// the same table of cases that Windows' reader was measured on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform/profile_reader.h"
#include "rows.h"

namespace tolvarine {
namespace {

namespace fs = std::filesystem;

// Writes `bytes` to a file of its own and gives its path; "<none>": nothing is there, and
// "<empty-path>": the empty path.
class IniReader : public testing::Test {
 protected:
  void TearDown() override { fs::remove(path_); }
  std::string File(const std::string& bytes) {
    if (bytes == "<empty-path>") return "";
    fs::remove(path_);
    if (bytes != "<none>") std::ofstream(path_, std::ios::binary) << bytes;
    return path_;
  }
  const std::string path_ = testdata::ScratchPath("ini");
};

TEST_F(IniReader, GivesWhatWindowsReaderGives) {
  std::vector<testdata::Row> rows = testdata::ReadRows("ini_vectors.txt");
  ASSERT_GT(rows.size(), 80u);
  const bool ansi = platform::kPathSeparator == '\\';
  for (const testdata::Row& row : rows) {
    if (ansi && row[6] == "utf8") continue;
    std::string path = File(row[0]);
    std::size_t size = std::stoul(row[4]);
    EXPECT_EQ(platform::ReadProfileString(row[1], row[2], row[3], size, path), row[5]) << row[7];
  }
}

TEST_F(IniReader, PortableReaderPutsAValueTogetherAcrossReads) {
  // The file is read 64 KiB at a time: this value starts in the first read and ends in the next.
  std::string filler(64 * 1024 - 10, 'x');
  std::string value(300, 'v');
  std::string path = File("[f]\r\nk=" + filler + "\r\n[s]\r\nkey=" + value + "\r\n");
  EXPECT_EQ(platform::ReadProfileFile("s", "key", "d", 400, path), value);
  EXPECT_EQ(platform::ReadProfileFile("s", "key", "d", 100, path), value.substr(0, 99));
  // A line of another section, skipped unread, that runs on into the next read.
  path = File("[f]\r\nk=" + filler + filler + "\r\n[s]\r\nkey=" + value + "\r\n");
  EXPECT_EQ(platform::ReadProfileFile("s", "key", "d", 400, path), value);
  // UTF-16 with its high byte first, beyond Latin-1: "Ж" is 04 16.
  path = File(std::string("\xFE\xFF\0[\0s\0]\0\n\0k\0=\x04\x16", 16));
  EXPECT_EQ(platform::ReadProfileFile("s", "k", "d", 64, path), "\xD0\x96");
}

}  // namespace
}  // namespace tolvarine
