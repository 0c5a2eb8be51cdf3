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

class IniReader : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("tolvarine-ini-" + std::to_string(platform::CurrentProcessId()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(folder_);
  }
  // The file's path, with `bytes` in it ("<none>": nothing there; "<empty-path>": "").
  std::string File(const std::string& bytes) {
    if (bytes == "<empty-path>") return "";
    std::string path = (folder_ / "config.dat").string();
    fs::remove(path);
    if (bytes != "<none>") std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path folder_;
};

TEST_F(IniReader, GivesWhatWindowsReaderGives) {
  std::vector<unit::Row> rows = unit::ReadRows("ini_vectors.txt");
  ASSERT_GT(rows.size(), 80u);
  const bool ansi = platform::kPathSeparator == '\\';
  for (const unit::Row& row : rows) {
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
}

TEST(IniText, ByteOrderMarksDecide) {
  using platform::DecodeProfileText;
  EXPECT_EQ(DecodeProfileText("\xEF\xBB\xBFk=v"), "k=v");
  EXPECT_EQ(DecodeProfileText(std::string("\xFF\xFE\xE9\0=\0\xAC\x20\x3D\xD8\x00\xDE\x3D\xD8", 14)),
            "\xC3\xA9=\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD");
  EXPECT_EQ(DecodeProfileText(std::string("\xFE\xFF\0k\0", 5)), "k");
  EXPECT_EQ(DecodeProfileText("\xFF\xFF\xE9"), "\xFF\xFF\xE9");
  EXPECT_EQ(platform::FindProfileValue("[s]\nk\n", "s", "k"), std::nullopt);
  EXPECT_EQ(platform::FindProfileValue("[s]\nk=\n", "s", "k"), "");
}

}  // namespace
}  // namespace tolvarine
