#include "output/producer_patch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "output/byte_search.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

const std::string kConverter = kConverterProducerText;
const std::string kProduct = kProductProducerText;

TEST(ProducerTextTest, BothTextsAre55BytesAndTheProductsIsParenthesisedAndPadded) {
  EXPECT_EQ(kConverter, "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)");
  ASSERT_EQ(kProduct.size(), 55u);
  EXPECT_EQ(kProduct.front(), '(');
  const std::size_t close = kProduct.find(')');
  ASSERT_NE(close, std::string::npos);
  EXPECT_EQ(kProduct.find_first_not_of(' ', close + 1), std::string::npos);
  EXPECT_EQ(kProduct.substr(0, close + 1), "(Tolvarine SVG to PDF Converter)");
}

class ReplaceTextInFileTest : public ::testing::Test {
 protected:
  // Writes `content`, replaces, and returns the file's content afterwards.
  std::string Patched(const std::string& content, bool expect_found, bool from_end = true,
                      const std::string& replacement = kProduct) {
    WriteFile(path_, content);
    EXPECT_EQ(ReplaceTextInFile(path_, kConverter, replacement, from_end), expect_found);
    return ReadFile(path_);
  }

  testing_support::TempDir dir_;
  std::string path_ = dir_ / "out.pdf";
};

TEST_F(ReplaceTextInFileTest, OnlyTheLastOccurrenceFromTheEndOnlyTheFirstFromTheStart) {
  const std::string content = "%PDF-1.4 /Producer " + kConverter + " mid " + kConverter + " end";
  EXPECT_EQ(Patched(content, true, true),
            "%PDF-1.4 /Producer " + kConverter + " mid " + kProduct + " end");
  EXPECT_EQ(Patched(content, true, false),
            "%PDF-1.4 /Producer " + kProduct + " mid " + kConverter + " end");
}

TEST_F(ReplaceTextInFileTest, OccurrencesAtTheFirstAndTheLastByte) {
  EXPECT_EQ(Patched(kConverter, true), kProduct);
  EXPECT_EQ(Patched(kConverter + "tail", true), kProduct + "tail");
  EXPECT_EQ(Patched("head" + kConverter, true), "head" + kProduct);
  EXPECT_EQ(Patched(kConverter + "x" + kConverter, true, false), kProduct + "x" + kConverter);
}

TEST_F(ReplaceTextInFileTest, NoOccurrenceLeavesTheFileUntouched) {
  const std::string near_miss = kConverter.substr(0, 54) + "]" + kConverter.substr(1);
  EXPECT_EQ(Patched(near_miss, false), near_miss);
  EXPECT_EQ(Patched("", false), "");
  EXPECT_EQ(Patched(kConverter.substr(0, 54), false), kConverter.substr(0, 54));
  EXPECT_EQ(Patched(kConverter.substr(1), false), kConverter.substr(1));
}

TEST_F(ReplaceTextInFileTest, ShorterReplacementIsPaddedLongerIsCutLengthKept) {
  EXPECT_EQ(Patched("<" + kConverter + ">", true, true, "(short)"),
            "<(short)" + std::string(48, ' ') + ">");
  EXPECT_EQ(Patched("<" + kConverter + ">", true, true, std::string(60, 'L')),
            "<" + std::string(55, 'L') + ">");
}

TEST_F(ReplaceTextInFileTest, RefusesMissingPathsFoldersAndEmptyTexts) {
  WriteFile(path_, kConverter);
  EXPECT_FALSE(ReplaceTextInFile("", kConverter, kProduct, true));
  EXPECT_FALSE(ReplaceTextInFile(dir_ / "missing.pdf", kConverter, kProduct, true));
  EXPECT_FALSE(ReplaceTextInFile(dir_.path().string(), kConverter, kProduct, true));
  EXPECT_FALSE(ReplaceTextInFile(path_, "", kProduct, true));
  EXPECT_FALSE(ReplaceTextInFile(path_, kConverter, "", true));
  EXPECT_EQ(ReadFile(path_), kConverter);
  EXPECT_FALSE(fs::exists(dir_ / "missing.pdf"));  // never created
}

TEST_F(ReplaceTextInFileTest, OccurrenceAcrossTheLineBetweenTwoReadBlocks) {
  const std::size_t size = 2 * kFileSearchBlockSize + 77;
  for (std::size_t at : {size - kFileSearchBlockSize - 1, size - kFileSearchBlockSize - 54,
                         size - 2 * kFileSearchBlockSize + 20}) {
    std::string content(size, '\x7f');
    content.replace(at, kConverter.size(), kConverter);
    std::string expected = content;
    expected.replace(at, kProduct.size(), kProduct);
    EXPECT_EQ(Patched(content, true), expected) << "at " << at;
  }
}

TEST_F(ReplaceTextInFileTest, LargeFileIsPatchedNearItsEndAndKeepsItsLength) {
  // Sparse, past 4 GiB: offsets must not wrap, and the file is never read whole (a 32-bit
  // process could not even hold it).
  const std::uint64_t size = 5ull << 30;
  const std::uint64_t at = size - 1000;
  {
    std::ofstream create(path_, std::ios::binary);
    create << kConverter;  // an earlier occurrence at the start, which must stay
  }
  fs::resize_file(path_, size);
  {
    platform::File file = platform::File::OpenForUpdate(path_);
    ASSERT_TRUE(file.WriteAt(at, kConverter.data(), kConverter.size()));
  }
  EXPECT_TRUE(ReplaceTextInFile(path_, kConverter, kProduct, true));
  EXPECT_EQ(fs::file_size(path_), size);
  platform::File file = platform::File::OpenForReading(path_);
  std::string around(kConverter.size() + 2, '?'), start(kConverter.size(), '?');
  ASSERT_TRUE(file.ReadAt(at - 1, around.data(), around.size()));
  ASSERT_TRUE(file.ReadAt(0, start.data(), start.size()));
  EXPECT_EQ(around, std::string(1, '\0') + kProduct + std::string(1, '\0'));
  EXPECT_EQ(start, kConverter);
}

TEST_F(ReplaceTextInFileTest, FileThatCannotBeOpenedForWritingIsFoundButUnchanged) {
  WriteFile(path_, "x" + kConverter + "y");
  fs::permissions(path_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (platform::File::OpenForUpdate(path_).IsOpen()) {
    fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
    GTEST_SKIP() << "the read-only bits do not stop this user (root, natively or under Wine); "
                    "the behavioural test with the launcher's own running image covers a file "
                    "that cannot be opened for writing";
  }
  EXPECT_TRUE(ReplaceTextInFile(path_, kConverter, kProduct, true));
  EXPECT_EQ(ReadFile(path_), "x" + kConverter + "y");
  EXPECT_FALSE(ReplaceTextInFile(path_, "absent", kProduct, true));
  fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
}  // namespace tolvarine
