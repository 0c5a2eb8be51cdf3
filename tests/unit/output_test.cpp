// The converter's output as the user sees it, and the producer text put into its file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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
  const std::pair<std::string, std::string> rows[] = {
      {"cpdf version 2\n", "quillorand version 2\n"},
      {"last line without a line feed", "last line without a line feed\n"},
      {"   \n", "   \n"},
      {"coherentpdf tabula Gnumeric\n", "Quorvex Quorvex Tolvarine\n"},
      {"Tabula CPDF gnumeric Coherentpdf\n", "Tabula CPDF gnumeric Coherentpdf\n"},
      {"cpdfcpdf ccpdf tabulabula\n", "quillorandquillorand cquillorand Quorvexbula\n"},
      // "cpdf" goes first and takes the c that "Gnumeric" and "coherentpdf" would need.
      {"Gnumericpdf\n", "Gnumeriquillorand\n"},
      {"coherentcpdf\n", "coherentquillorand\n"},
      {"before\n(process:12): GLib-WARNING **: message\nafter\n", "before\nafter\n"},
      {"GLib-warning **: x\nWARNING ** y\n", "GLib-warning **: x\nWARNING ** y\n"},
      // The rest of the line comes in parts of its own, after the one that ends the marker.
      {"x WARNING **: a tail long enough to come in parts after the marker\nnext\n", "next\n"},
      // The marker is looked for before carriage returns go.
      {"WARN\rING **: joined\n", "WARNING **: joined\n"},
      {"Progress 10%\rProgress 20%\r\n", "Progress 10%Progress 20%\n"},
      {"cp\rdf\n", "cpdf\n"},
      {"a\n\n\r\n\r\rb", "a\nb\n"},
      {"\n\r\nWARNING **:\n", ""},
      {std::string("a\0b\ncp\0df\n\0\n", 13), "ab\nquillorand\n"},
  };
  for (const auto& [output, lines] : rows) {
    const std::string expected = kHeader + lines + kFooter;
    EXPECT_EQ(Filtered(output, output.size() + 1, kLineHeldInMemory), expected) << output;
    // Byte by byte, with lines past two bytes waiting in the temporary file.
    EXPECT_EQ(Filtered(output, 1, 2), expected) << output;
  }
  EXPECT_EQ(Filtered(std::string(3, '\0'), 1, 2), "");
}

struct PatchRow {
  std::string content;
  std::string search;
  std::string replacement;
  bool from_end;
  bool found;
  std::string after;
};

TEST(ProducerPatch, OverwritesOneOccurrenceInPlace) {
  const std::string c = kConverterProducerText;
  const std::string p = kProductProducerText;
  const PatchRow rows[] = {
      {"/P " + c + " mid " + c + " end", c, p, true, true, "/P " + c + " mid " + p + " end"},
      {"/P " + c + " mid " + c + " end", c, p, false, true, "/P " + p + " mid " + c + " end"},
      {c, c, p, true, true, p},
      {c + "x" + c, c, p, false, true, p + "x" + c},
      {"abcabc", "bc", "XYZ", true, true, "abcaXY"},
      {"abcabc", "bc", "X", false, true, "aX abc"},
      {"abc", "bc", "", true, false, "abc"},
      {"abc", "", "X", true, false, "abc"},
  };
  const std::string path = unit::ScratchPath("patch");
  for (const PatchRow& row : rows) {
    std::ofstream(path, std::ios::binary) << row.content;
    EXPECT_EQ(ReplaceTextInFile(path, row.search, row.replacement, row.from_end), row.found)
        << row.content;
    std::ostringstream after;
    after << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(after.str(), row.after) << row.content;
  }
  std::filesystem::remove(path);
  EXPECT_FALSE(ReplaceTextInFile(path, c, p, true));
  EXPECT_FALSE(ReplaceTextInFile("", c, p, true));
  // The product's text in the converter's place: padded to its length, or none that fits.
  EXPECT_EQ(ProductProducerTextFor(c), p);
  EXPECT_EQ(ProductProducerTextFor("(Tolvarine SVG to PDF Converter)"),
            "(Tolvarine SVG to PDF Converter)");
  EXPECT_EQ(ProductProducerTextFor("(short)"), "");
}

TEST(ProducerPatch, FileSearchFindsOccurrencesAcrossBlockLines) {
  const std::string path = unit::ScratchPath("search");
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
