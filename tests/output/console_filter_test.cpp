#include "output/console_filter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "output/text.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

const std::string kHeader = "[Message]\n============================\n";
const std::string kFooter = "============================\n";

// Writes through a real stream into a file of the test's own folder and reads it back.
class ConsoleFilterTest : public ::testing::Test {
 protected:
  std::string Filtered(const std::string& captured, std::size_t copy_limit = kRebrandCopyLimit) {
    const std::string path = dir_ / "console";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
      ADD_FAILURE() << "cannot open " << path;
      return std::string();
    }
    WriteConverterOutput(captured, out, copy_limit);
    EXPECT_EQ(std::fclose(out), 0);
    return testing_support::ReadFile(path);
  }

 private:
  testing_support::TempDir dir_;
};

std::string Framed(const std::string& lines) { return kHeader + lines + kFooter; }

// The filter as the product describes it: four passes over the whole text, the text cut into a
// list of lines, and each line judged on its own.
std::string Reference(std::string text) {
  ReplaceAll(text, "cpdf", "quillorand");
  ReplaceAll(text, "coherentpdf", "Quorvex");
  ReplaceAll(text, "tabula", "Quorvex");
  ReplaceAll(text, "Gnumeric", "Tolvarine");
  std::vector<std::string> lines;
  SplitString(text, "\n", lines);
  std::string shown;
  for (std::string line : lines) {
    if (line.find("WARNING **:") != std::string::npos) continue;
    ReplaceAll(line, "\r", "");
    ReplaceAll(line, std::string(1, '\0'), "");
    if (!line.empty()) shown += line + "\n";
  }
  return Framed(shown);
}

TEST_F(ConsoleFilterTest, FramesTheLinesBetweenHeaderAndFooter) {
  EXPECT_EQ(Filtered("cpdf version 2\n"), Framed("quillorand version 2\n"));
  EXPECT_EQ(Filtered("one\ntwo\n"), Framed("one\ntwo\n"));
  EXPECT_EQ(Filtered("last line without a line feed"), Framed("last line without a line feed\n"));
  EXPECT_EQ(Filtered("   \n"), Framed("   \n"));  // spaces are not a blank line
}

TEST_F(ConsoleFilterTest, RebrandsExactCaseSensitiveWordsAndWordParts) {
  EXPECT_EQ(Filtered("coherentpdf tabula Gnumeric\n"), Framed("Quorvex Quorvex Tolvarine\n"));
  EXPECT_EQ(Filtered("libcpdf tabular\n"), Framed("libquillorand Quorvexr\n"));
  EXPECT_EQ(Filtered("Tabula CPDF gnumeric Coherentpdf\n"),
            Framed("Tabula CPDF gnumeric Coherentpdf\n"));
  EXPECT_EQ(Filtered("cpdfcpdf ccpdf tabulabula\n"),
            Framed("quillorandquillorand cquillorand Quorvexbula\n"));
}

TEST_F(ConsoleFilterTest, PassesRunInTheirOrderSoEarlierOnesWin) {
  // "cpdf" is replaced first and takes the c that "Gnumeric" and "coherentpdf" would need.
  EXPECT_EQ(Filtered("Gnumericpdf\n"), Framed("Gnumeriquillorand\n"));
  EXPECT_EQ(Filtered("Gnumericoherentpdf\n"), Framed("GnumeriQuorvex\n"));
  EXPECT_EQ(Filtered("coherentcpdf\n"), Framed("coherentquillorand\n"));
}

TEST_F(ConsoleFilterTest, DropsWarningLinesOnly) {
  EXPECT_EQ(Filtered("before\n(process:12): GLib-WARNING **: message\nafter\n"),
            Framed("before\nafter\n"));
  EXPECT_EQ(Filtered("WARNING **:\nx WARNING **:\ncpdf WARNING **: y\n"), Framed(""));
  EXPECT_EQ(Filtered("GLib-warning **: lower case\nWARNING ** no colon\nWARNING *:\n"),
            Framed("GLib-warning **: lower case\nWARNING ** no colon\nWARNING *:\n"));
  // The marker is looked for before carriage returns are removed.
  EXPECT_EQ(Filtered("WARN\rING **: joined\n"), Framed("WARNING **: joined\n"));
}

TEST_F(ConsoleFilterTest, RemovesCarriageReturnsAfterRebrandingAndSkipsBlankLines) {
  EXPECT_EQ(Filtered("a\r\nb\r\n"), Framed("a\nb\n"));
  EXPECT_EQ(Filtered("Progress 10%\rProgress 20%\r\n"), Framed("Progress 10%Progress 20%\n"));
  EXPECT_EQ(Filtered("cp\rdf\n"), Framed("cpdf\n"));  // not a tool name when rebranded
  EXPECT_EQ(Filtered("\n\n\r\n\r\r\n\n"), Framed(""));
  EXPECT_EQ(Filtered("a\n\n\nb"), Framed("a\nb\n"));
}

TEST_F(ConsoleFilterTest, NothingToShowStillPrintsTheFrame) {
  EXPECT_EQ(Filtered(""), Framed(""));
  EXPECT_EQ(Filtered("\n"), Framed(""));
  EXPECT_EQ(Filtered("GLib-WARNING **: a\r\nGLib-WARNING **: b\r\n"), Framed(""));
}

TEST_F(ConsoleFilterTest, ZeroBytesAreDroppedAndNothingElse) {
  EXPECT_EQ(Filtered(std::string("a\0b\ncp\0df\n\0\n", 13)), Framed("ab\ncpdf\n"));
}

// Pieces that make tool names, near misses, markers and line ends meet in every way.
std::string RandomText(std::mt19937& random, int tokens) {
  static const std::vector<std::string> kTokens = {
      "cpdf", "coherentpdf", "tabula",      "Gnumeric", "Gnumeri", "coherent",
      "tab",  "ula",         "c",           "p",        "df",      "G",
      "W",    "A",           "WARNING **:", "WARNING ", "**:",     " ",
      "\r",   "\n",          "\r\n",        "x",        "Tabula",  std::string(1, '\0')};
  std::string text;
  for (int i = 0; i < tokens; ++i) text += kTokens[random() % kTokens.size()];
  return text;
}

TEST_F(ConsoleFilterTest, PrintsWhatThePassesAndTheLineListWouldPrint) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 1000; ++round) {
    const std::string text = RandomText(random, static_cast<int>(random() % 60));
    ASSERT_EQ(Filtered(text), Reference(text)) << "for the text [" << text << "]";
  }
}

TEST_F(ConsoleFilterTest, NamesAndMarkersAcrossTheScannersBlocksAreFound) {
  // The scanner judges the text in blocks of 64 bytes, each byte with the next one.
  for (std::size_t offset = 0; offset < 140; ++offset) {
    for (const std::string name : {"cpdf", "coherentpdf", "tabula", "Gnumeric", "WARNING **:"}) {
      const std::string text = std::string(offset, 'x') + name + "\r\n" + std::string(offset, 'y');
      ASSERT_EQ(Filtered(text), Reference(text)) << name << " at " << offset;
      const std::string at_end = std::string(offset, 'x') + name;
      ASSERT_EQ(Filtered(at_end), Reference(at_end)) << name << " at the end after " << offset;
    }
  }
}

TEST_F(ConsoleFilterTest, LargeOutputOfManyChunksAndVeryLongLines) {
  std::mt19937 random(7);
  std::string text;
  while (text.size() < (3u << 20)) text += RandomText(random, 200);
  // A progress line without any line feed, much longer than one write.
  std::string long_line;
  while (long_line.size() < 300000) long_line += "cpdf 1%\rtabula\r Gnumeric ";
  text += "\n" + long_line + "\n" + long_line;
  EXPECT_EQ(Filtered(text), Reference(text));
}

TEST_F(ConsoleFilterTest, LongLinesAreRebrandedInPiecesAsTheyWouldBeWhole) {
  // Names, markers and the passes' own interplay ("Gnumericpdf") placed across the 64 KiB
  // pieces in which a line too long to copy is rebranded.
  std::string line(3 * 65536, 'x');
  const std::pair<std::size_t, std::string> placed[] = {{65536 - 2, "cpdf"},
                                                        {2 * 65536 - 5, "coherentpdf"},
                                                        {2 * 65536 + 40, "tabula"},
                                                        {3 * 65536 - 9, "Gnumericpdf"},
                                                        {100, "Gnumeric"},
                                                        {70000, "\r\r"},
                                                        {80000, std::string(1, '\0')}};
  for (const auto& [at, text] : placed) line.replace(at, text.size(), text);
  const std::string warned = line.substr(0, 65533) + "WARNING **:" + line.substr(65544);
  const std::string blank = "cpdf" + std::string(70000, '\r');
  for (const std::string& captured :
       {line + "\n", warned + "\n" + line, "x\n" + blank + "\ny", std::string("cpdf\n\r\n")}) {
    const std::string expected = Reference(captured);
    EXPECT_EQ(Filtered(captured, 0), expected);
    EXPECT_EQ(Filtered(captured, 1000), expected);
    EXPECT_EQ(Filtered(captured), expected);
  }
  EXPECT_EQ(Filtered("x" + blank + "\n", 0), Framed("xquillorand\n"));
}

}  // namespace
}  // namespace tolvarine
