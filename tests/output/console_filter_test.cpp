#include "output/console_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::string Framed(const std::string& lines) { return kHeader + lines + kFooter; }

// The filter as the product describes it, on the whole output at once: zero bytes dropped,
// four passes over the whole text, the text cut into a list of lines, each judged on its own.
std::string Reference(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  if (text.empty()) return "";
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
    if (!line.empty()) shown += line + "\n";
  }
  return Framed(shown);
}

// Writes through a real stream into a file of the test's own folder, which the test reads
// between the pieces as well as at the end.
class ConsoleFilterTest : public ::testing::Test {
 protected:
  // The output fed in pieces whose sizes cycle through `sizes`.
  std::string Filtered(const std::string& output, const std::vector<std::size_t>& sizes,
                       std::size_t held_in_memory = kLineHeldInMemory) {
    std::FILE* out = Open();
    if (out == nullptr) return "<cannot open>";
    {
      ConsoleFilter filter(out, held_in_memory);
      for (std::size_t at = 0, next = 0; at < output.size(); ++next) {
        const std::size_t size = sizes[next % sizes.size()];
        filter.Feed(std::string_view(output).substr(at, size));
        at += size;
      }
      filter.Finish();
    }
    EXPECT_EQ(std::fclose(out), 0);
    return Shown();
  }

  // The output fed whole, a byte at a time, and in two pieces cut at every place.
  void ExpectShown(const std::string& output, const std::string& expected) {
    EXPECT_EQ(Filtered(output, {output.size() + 1}), expected) << "[" << output << "] whole";
    EXPECT_EQ(Filtered(output, {1}), expected) << "[" << output << "] byte by byte";
    for (std::size_t cut = 1; cut < output.size(); ++cut) {
      ASSERT_EQ(Filtered(output, {cut, output.size()}), expected)
          << "[" << output << "] cut at " << cut;
    }
  }

  std::FILE* Open() {
    std::FILE* out = std::fopen(path_.c_str(), "wb");
    if (out == nullptr) ADD_FAILURE() << "cannot open " << path_;
    return out;
  }
  std::string Shown() const { return testing_support::ReadFile(path_); }

 private:
  testing_support::TempDir dir_;
  const std::string path_ = dir_ / "console";
};

struct Row {
  std::string output;
  std::string shown;  // the lines between the framing lines
};

TEST_F(ConsoleFilterTest, ShowsWhatTheRulesShowHoweverThePipeCutsTheOutput) {
  const std::vector<Row> rows = {
      {"cpdf version 2\n", "quillorand version 2\n"},
      {"one\ntwo\n", "one\ntwo\n"},
      {"last line without a line feed", "last line without a line feed\n"},
      {"   \n", "   \n"},  // spaces are not a blank line
      {"coherentpdf tabula Gnumeric\n", "Quorvex Quorvex Tolvarine\n"},
      {"libcpdf tabular\n", "libquillorand Quorvexr\n"},
      {"Tabula CPDF gnumeric Coherentpdf\n", "Tabula CPDF gnumeric Coherentpdf\n"},
      {"cpdfcpdf ccpdf tabulabula\n", "quillorandquillorand cquillorand Quorvexbula\n"},
      // "cpdf" is replaced first and takes the c that "Gnumeric" and "coherentpdf" would need.
      {"Gnumericpdf\n", "Gnumeriquillorand\n"},
      {"Gnumericoherentpdf\n", "GnumeriQuorvex\n"},
      {"coherentcpdf\n", "coherentquillorand\n"},
      {"before\n(process:12): GLib-WARNING **: message\nafter\n", "before\nafter\n"},
      {"WARNING **:\nx WARNING **:\ncpdf WARNING **: y\n", ""},
      {"GLib-warning **: lower\nWARNING ** no colon\nWARNING *:\n",
       "GLib-warning **: lower\nWARNING ** no colon\nWARNING *:\n"},
      // The marker is looked for before carriage returns are removed.
      {"WARN\rING **: joined\n", "WARNING **: joined\n"},
      {"a\r\nb\r\n", "a\nb\n"},
      {"Progress 10%\rProgress 20%\r\n", "Progress 10%Progress 20%\n"},
      {"cp\rdf\n", "cpdf\n"},  // not a tool name when rebranded
      {"\n\n\r\n\r\r\n\n", ""},
      {"a\n\n\nb", "a\nb\n"},
      {"\n", ""},
      {"GLib-WARNING **: a\r\nGLib-WARNING **: b\r\n", ""},
      // Zero bytes go before anything else looks at the output.
      {std::string("a\0b\ncp\0df\n\0\n", 13), "ab\nquillorand\n"},
  };
  for (const Row& row : rows) ExpectShown(row.output, Framed(row.shown));
}

TEST_F(ConsoleFilterTest, AnOutputOfZeroBytesOnlyShowsNothing) {
  ExpectShown("", "");
  ExpectShown(std::string(3, '\0'), "");
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

TEST_F(ConsoleFilterTest, RandomOutputsInRandomPiecesShowWhatTheWholeTextShows) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 1000; ++round) {
    const std::string text = RandomText(random, static_cast<int>(random() % 60));
    const std::vector<std::size_t> sizes = {1 + random() % 5, 1 + random() % 40, 1 + random() % 3};
    // Lines beyond a few bytes go through the temporary file.
    ASSERT_EQ(Filtered(text, sizes, random() % 8), Reference(text)) << "for [" << text << "]";
  }
}

TEST_F(ConsoleFilterTest, LongLinesWaitInATemporaryFileAndComeOutWhole) {
  std::mt19937 random(7);
  std::string line;
  while (line.size() < 3 * kLineHeldInMemory) line += "cpdf 1%\rtabula\r Gnumeric x";
  std::string text = RandomText(random, 2000);
  text += "\n" + line + "\n" + line + " WARNING **:\n" + line;
  EXPECT_EQ(Filtered(text, {8191, 65536, 3}), Reference(text));
}

TEST_F(ConsoleFilterTest, EachLineIsShownOnceItsLineEndHasCome) {
  std::FILE* out = Open();
  ASSERT_NE(out, nullptr);
  ConsoleFilter filter(out);
  filter.Feed(std::string(2, '\0'));
  EXPECT_EQ(Shown(), "");  // Nothing yet: no frame for an output of zero bytes.
  filter.Feed("Gnumeri");
  EXPECT_EQ(Shown(), kHeader);
  filter.Feed("c 1\nsecond line, not yet ended: cpd");
  EXPECT_EQ(Shown(), kHeader + "Tolvarine 1\n");
  filter.Feed("f\r\n");
  EXPECT_EQ(Shown(), kHeader + "Tolvarine 1\nsecond line, not yet ended: quillorand\n");
  filter.Feed("last");
  filter.Finish();
  EXPECT_EQ(Shown(), Framed("Tolvarine 1\nsecond line, not yet ended: quillorand\nlast\n"));
  EXPECT_EQ(std::fclose(out), 0);
}

}  // namespace
}  // namespace tolvarine
