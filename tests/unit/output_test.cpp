// The converter's output as the user sees it, and the producer text put into its file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/byte_search.h"
#include "output/console_filter.h"
#include "output/producer_patch.h"
#include "platform/platform.h"

namespace tolvarine {
namespace {

const std::string kHeader = "[Message]\n============================\n";
const std::string kFooter = "============================\n";

std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    text.append(buffer, got);
  }
  return text;
}

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
  std::string shown = ReadAll(out);
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
  EXPECT_EQ(Filtered("", 1, 2), "");
  EXPECT_EQ(Filtered(std::string(3, '\0'), 1, 2), "");
}

TEST(ConsoleFilter, ShowsEachLineOnceItsLineEndHasCome) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ConsoleFilter filter(out);
  filter.Feed("Gnumeri");
  EXPECT_EQ(ReadAll(out), kHeader);
  std::fseek(out, 0, SEEK_END);
  filter.Feed("c 1\nnot yet ended: cpd");
  EXPECT_EQ(ReadAll(out), kHeader + "Tolvarine 1\n");
  std::fseek(out, 0, SEEK_END);
  filter.Finish();
  EXPECT_EQ(ReadAll(out), kHeader + "Tolvarine 1\nnot yet ended: cpd\n" + kFooter);
  std::fclose(out);
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
      {"head" + c.substr(1), c, p, true, false, "head" + c.substr(1)},
      {"abcabc", "bc", "XYZ", true, true, "abcaXY"},
      {"abcabc", "bc", "X", false, true, "aX abc"},
      {"abc", "bc", "", true, false, "abc"},
      {"abc", "", "X", true, false, "abc"},
  };
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("tolvarine-patch-" + std::to_string(platform::CurrentProcessId())))
                               .string();
  for (const PatchRow& row : rows) {
    std::ofstream(path, std::ios::binary) << row.content;
    EXPECT_EQ(ReplaceTextInFile(path, row.search, row.replacement, row.from_end), row.found)
        << row.content;
    std::ostringstream after;
    after << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(after.str(), row.after) << row.content;
  }
  // An occurrence across the line between two blocks read, found from either end.
  std::string big = std::string(kFileSearchBlockSize - 7, 'x') + c + std::string(3000, 'y');
  std::ofstream(path, std::ios::binary) << big;
  EXPECT_TRUE(ReplaceTextInFile(path, c, p, true));
  EXPECT_EQ(FindBytesInFile(platform::File::OpenForReading(path), p, false),
            kFileSearchBlockSize - 7);
  std::filesystem::remove(path);
  EXPECT_FALSE(ReplaceTextInFile(path, c, p, true));
  EXPECT_FALSE(ReplaceTextInFile("", c, p, true));
}

TEST(ProducerPatch, ProductTextIsPaddedToTheConvertersLength) {
  EXPECT_EQ(sizeof kProductProducerText, sizeof kConverterProducerText);
  EXPECT_EQ(ProductProducerTextFor(kConverterProducerText), kProductProducerText);
  EXPECT_EQ(ProductProducerTextFor("(Tolvarine SVG to PDF Converter)"),
            "(Tolvarine SVG to PDF Converter)");
  EXPECT_EQ(ProductProducerTextFor("(short)"), "");
  EXPECT_EQ(ProductProducerTextFor(""), "");
}

}  // namespace
}  // namespace tolvarine
