// The converter's output as the user sees it, and the producer text put into its file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "output/byte_search.h"
#include "output/console_filter.h"
#include "output/producer_patch.h"
#include "platform/platform.h"
#include "rows.h"

namespace tolvarine {
namespace {

const std::string kHeader = "[Message]\n============================\n";
const std::string kFooter = "============================\n";

// What the filter prints for `output` fed in pieces of `piece` bytes, holding `held` bytes of
// a line in memory.
std::string Filtered(const std::string& output, std::size_t piece, std::size_t held) {
  std::FILE* out = std::tmpfile();
  if (out == nullptr) return "<no temporary file>";
  {
    ConsoleFilter filter(out, held);
    for (std::size_t at = 0; at < output.size(); at += piece) {
      filter.Feed(std::string_view(output).substr(at, piece));
    }
    filter.Finish();
  }
  std::string shown(4096, '\0');
  std::rewind(out);
  shown.resize(std::fread(shown.data(), 1, shown.size(), out));
  std::fclose(out);
  return shown;
}

TEST(ConsoleFilter, RebrandsDropsBlankAndWarningLinesAndFrames) {
  std::vector<testdata::Row> rows = testdata::ReadRows("filter_vectors.txt");
  ASSERT_GT(rows.size(), 10u);
  for (const testdata::Row& row : rows) {
    const std::string expected = kHeader + row[1] + kFooter;
    EXPECT_EQ(Filtered(row[0], row[0].size() + 1, kLineHeldInMemory), expected) << row[0];
    // Byte by byte, with lines past two bytes waiting in the temporary file.
    EXPECT_EQ(Filtered(row[0], 1, 2), expected) << row[0];
  }
  EXPECT_EQ(Filtered(std::string(3, '\0'), 1, 2), "");
}

TEST(ProducerPatch, OverwritesOneOccurrenceInPlace) {
  const std::string path = testdata::ScratchPath("patch");
  std::vector<testdata::Row> rows = testdata::ReadRows("patch_vectors.txt");
  ASSERT_GT(rows.size(), 5u);
  for (const testdata::Row& row : rows) {
    std::ofstream(path, std::ios::binary) << row[0];
    EXPECT_EQ(ReplaceTextInFile(path, row[1], row[2], row[3] == "end"), row[0] != row[4]) << row[0];
    std::ifstream after(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), row[4]) << row[0];
  }
  std::filesystem::remove(path);
  const std::string c = kConverterProducerText;
  const std::string p = kProductProducerText;
  EXPECT_FALSE(ReplaceTextInFile(path, c, p, true));
  EXPECT_FALSE(ReplaceTextInFile("", c, p, true));
  // The product's text in the converter's place: padded to its length, or none that fits.
  EXPECT_EQ(ProductProducerTextFor(c), p);
  EXPECT_EQ(ProductProducerTextFor("(Tolvarine SVG to PDF Converter)"),
            "(Tolvarine SVG to PDF Converter)");
  EXPECT_EQ(ProductProducerTextFor("(short)"), "");
}

TEST(ProducerPatch, FileSearchFindsOccurrencesAcrossBlockLines) {
  const std::string path = testdata::ScratchPath("search");
  for (std::size_t at = 0; at <= 12; ++at) {
    std::string content = std::string(16, 'a');
    content.replace(at, 3, "abc");
    std::ofstream(path, std::ios::binary) << content << "ab";
    platform::File file = platform::File::OpenForReading(path);
    for (std::size_t block = 1; block <= 9; ++block) {
      EXPECT_EQ(FindBytesInFile(file, "abc", true, block), at) << at << " " << block;
      EXPECT_EQ(FindBytesInFile(file, "abc", false, block), at) << at << " " << block;
    }
  }
  EXPECT_EQ(FindBytesInFile(platform::File::OpenForReading(path), "", true), std::nullopt);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tolvarine
