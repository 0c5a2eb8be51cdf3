#include "process/command_line.h"

#include <gtest/gtest.h>

#include <random>

#include "process/argv_vectors.h"

namespace tolvarine {
namespace {

TEST(SplitCommandLineTest, MatchesTheWindowsRuntimeOnEveryMeasuredRow) {
  for (const ArgvVector& c : kArgvVectors) {
    EXPECT_EQ(SplitCommandLine(c.line), c.argv) << "row " << c.row << ": [" << c.line << "]";
  }
}

TEST(SplitCommandLineTest, EmptyLineGivesAnEmptyProgram) {
  EXPECT_EQ(SplitCommandLine(""), (Argv{""}));
}

TEST(QuoteArgumentTest, PlainArgumentsAreOnlyWrapped) {
  EXPECT_EQ(QuoteArgument("in.svg"), "\"in.svg\"");
  EXPECT_EQ(QuoteArgument("out file.pdf"), "\"out file.pdf\"");
  EXPECT_EQ(QuoteArgument(""), "\"\"");
  EXPECT_EQ(QuoteArgument(R"(C:\a\b c)"), R"("C:\a\b c")");
  EXPECT_EQ(QuoteArgument("[{JAVAEXE}]"), "\"[{JAVAEXE}]\"");
}

TEST(QuoteArgumentTest, EscapesQuotesAndTheBackslashesThatWouldEatThem) {
  EXPECT_EQ(QuoteArgument("a\"b"), R"("a\"b")");
  EXPECT_EQ(QuoteArgument(R"(a\"b)"), R"("a\\\"b")");
  EXPECT_EQ(QuoteArgument(R"(C:\dir\)"), R"("C:\dir\\")");
  EXPECT_EQ(QuoteArgument(R"(\\)"), R"("\\\\")");
  EXPECT_EQ(QuoteArgument("\" && del x"), R"("\" && del x")");
}

// Splitting a program and its quoted arguments must give back exactly the arguments.
void ExpectRoundTrip(const Argv& args) {
  std::string line = "prog";
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);
  Argv expected{"prog"};
  expected.insert(expected.end(), args.begin(), args.end());
  ASSERT_EQ(SplitCommandLine(line), expected) << line;
}

TEST(QuoteArgumentTest, SplittingGivesTheArgumentsBack) {
  ExpectRoundTrip({});
  ExpectRoundTrip({"", "", ""});
  ExpectRoundTrip({"a b", "\t", "\"", "\\", "\\\"", "\"\"", "a\\\\\"\"\\", " \" ", "x\n y"});
  // Random lists drawn mostly from the characters the rules treat specially.
  const char kAlphabet[] = {'\\', '"', ' ', '\t', 'a', 'b', '\n', '\xE9', '[', ']', '%'};
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    Argv args(random() % 5);
    for (std::string& arg : args) {
      std::size_t length = random() % 9;
      for (std::size_t i = 0; i < length; ++i) arg += kAlphabet[random() % sizeof kAlphabet];
    }
    ExpectRoundTrip(args);
  }
}

}  // namespace
}  // namespace tolvarine
