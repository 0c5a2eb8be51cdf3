#include "output/byte_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "platform/platform.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

using std::nullopt;

TEST(FindBytesTest, FirstAndLastOccurrence) {
  EXPECT_EQ(FindBytes("xabxab", "ab"), 1u);
  EXPECT_EQ(FindBytesReverse("xabxab", "ab"), 4u);
  EXPECT_EQ(FindBytes("abc", "abc"), 0u);
  EXPECT_EQ(FindBytesReverse("abc", "abc"), 0u);
  EXPECT_EQ(FindBytes("aaab", "ab"), 2u);
  EXPECT_EQ(FindBytesReverse("abaaa", "ab"), 0u);
  EXPECT_EQ(FindBytes(std::string("\0a\0b", 4), std::string("\0b", 2)), 2u);
  EXPECT_EQ(FindBytesReverse(std::string("\0b\0a", 4), std::string("\0b", 2)), 0u);
}

TEST(FindBytesTest, NothingWhenAbsentTooLongOrEmpty) {
  EXPECT_EQ(FindBytes("abcab", "ac"), nullopt);
  EXPECT_EQ(FindBytesReverse("abcab", "ac"), nullopt);
  EXPECT_EQ(FindBytes("xxa", "ab"), nullopt);  // a beginning at the very end is not a match
  EXPECT_EQ(FindBytesReverse("bxx", "ab"), nullopt);
  EXPECT_EQ(FindBytes("ab", "abc"), nullopt);
  EXPECT_EQ(FindBytesReverse("ab", "abc"), nullopt);
  EXPECT_EQ(FindBytes("", "a"), nullopt);
  EXPECT_EQ(FindBytesReverse("", "a"), nullopt);
  EXPECT_EQ(FindBytes("abc", ""), nullopt);
  EXPECT_EQ(FindBytesReverse("abc", ""), nullopt);
  EXPECT_EQ(FindBytes("Abc", "abc"), nullopt);  // byte for byte: no case folding
}

TEST(FindBytesTest, AgreesWithTryingEveryPosition) {
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    std::string buffer(random() % 12, 'a');
    for (char& byte : buffer) byte = "ab"[random() % 2];
    std::string sequence(1 + random() % 4, 'a');
    for (char& byte : sequence) byte = "ab"[random() % 2];
    std::optional<std::size_t> first, last;
    for (std::size_t at = 0; at + sequence.size() <= buffer.size(); ++at) {
      if (buffer.compare(at, sequence.size(), sequence) != 0) continue;
      if (!first) first = at;
      last = at;
    }
    ASSERT_EQ(FindBytes(buffer, sequence), first) << buffer << " / " << sequence;
    ASSERT_EQ(FindBytesReverse(buffer, sequence), last) << buffer << " / " << sequence;
  }
}

class FindBytesInFileTest : public ::testing::Test {
 protected:
  std::optional<std::uint64_t> Find(const std::string& content, const std::string& sequence,
                                    bool from_end, std::size_t block_size) {
    testing_support::WriteFile(path_, content);
    platform::File file = platform::File::OpenForReading(path_);
    EXPECT_TRUE(file.IsOpen());
    return FindBytesInFile(file, sequence, from_end, block_size);
  }

  testing_support::TempDir dir_;
  std::string path_ = dir_ / "file";
};

TEST_F(FindBytesInFileTest, FindsAnOccurrenceAnywhereWhateverTheBlockSize) {
  const std::string sequence = "(abcde)";
  for (std::size_t at = 0; at + sequence.size() <= 150; ++at) {
    std::string content(150, '.');
    content.replace(at, sequence.size(), sequence);
    testing_support::WriteFile(path_, content);
    platform::File file = platform::File::OpenForReading(path_);
    // Block sizes below, at and around the sequence's length and twice it, and larger ones,
    // so the occurrence straddles block lines at every offset.
    for (std::size_t block : {1u, 7u, 13u, 14u, 15u, 16u, 31u, 64u, 149u, 150u, 151u}) {
      ASSERT_EQ(FindBytesInFile(file, sequence, true, block), at) << "block " << block;
      ASSERT_EQ(FindBytesInFile(file, sequence, false, block), at) << "block " << block;
    }
  }
}

TEST_F(FindBytesInFileTest, LastFromTheEndAndFirstFromTheStart) {
  const std::string sequence = "(abcde)";
  for (std::size_t second = 20; second + sequence.size() <= 100; second += 3) {
    std::string content(100, '.');
    content.replace(5, sequence.size(), sequence);
    content.replace(second, sequence.size(), sequence);
    for (std::size_t block : {14u, 15u, 20u, 33u, 4096u}) {
      ASSERT_EQ(Find(content, sequence, true, block), second) << "block " << block;
      ASSERT_EQ(Find(content, sequence, false, block), 5u) << "block " << block;
    }
  }
}

TEST_F(FindBytesInFileTest, PartialOccurrencesAtEitherEndAreNotMatches) {
  EXPECT_EQ(Find("cde)......(abc", "(abcde)", true, 14), nullopt);
  EXPECT_EQ(Find("cde)......(abc", "(abcde)", false, 14), nullopt);
  EXPECT_EQ(Find("(abcd)(abcde", "(abcde)", true, 14), nullopt);
}

TEST_F(FindBytesInFileTest, DefaultBlocksStraddledNearTheEndAndTheStart) {
  const std::string sequence = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";
  const std::size_t size = 3 * kFileSearchBlockSize + 1000;
  for (std::size_t at : {size - kFileSearchBlockSize - 20, size - 2 * kFileSearchBlockSize + 30,
                         kFileSearchBlockSize - 1, kFileSearchBlockSize - 54}) {
    std::string content(size, '\0');
    content.replace(at, sequence.size(), sequence);
    EXPECT_EQ(Find(content, sequence, true, kFileSearchBlockSize), at);
    EXPECT_EQ(Find(content, sequence, false, kFileSearchBlockSize), at);
  }
}

TEST_F(FindBytesInFileTest, NothingForEmptyShortOrUnopenedFilesAndEmptySequences) {
  EXPECT_EQ(Find("", "(abcde)", true, 64), nullopt);
  EXPECT_EQ(Find("(abcde", "(abcde)", true, 64), nullopt);
  EXPECT_EQ(Find("(abcde)", "", true, 64), nullopt);
  EXPECT_EQ(Find("(abcde)", "", false, 64), nullopt);
  EXPECT_EQ(FindBytesInFile(platform::File(), "(abcde)", true), nullopt);
}

}  // namespace
}  // namespace tolvarine
