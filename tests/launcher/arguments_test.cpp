#include "launcher/arguments.h"

#include <gtest/gtest.h>

namespace tolvarine {
namespace {

using Args = std::vector<std::string>;

ParsedArguments Parse(Args rest) {
  rest.insert(rest.begin(), "tolvarine");
  return ParseArguments(rest);
}

TEST(ParseArgumentsTest, HelpSwitchesInAnyCaseStopTheWalk) {
  for (const char* help : {"-h", "-H", "-help", "-HeLp", "--help", "--HELP", "-?"}) {
    ParsedArguments parsed = Parse({"in.svg", help, "-debug"});
    EXPECT_TRUE(parsed.show_help) << help;
    EXPECT_FALSE(parsed.debug_mode) << help;  // not reached
  }
  EXPECT_TRUE(Parse({"-debug", "-h"}).debug_mode);
  for (const char* other : {"-hh", "help", "-he", "---help", "-?x", "-"}) {
    EXPECT_FALSE(Parse({other}).show_help) << other;
  }
}

TEST(ParseArgumentsTest, LastArgumentNamesTheOutputByDefault) {
  ParsedArguments parsed = Parse({"in.svg", "out.pdf"});
  EXPECT_EQ(parsed.output_file_name, "out.pdf");
  EXPECT_EQ(parsed.argument_list, (Args{"tolvarine", "in.svg", "out.pdf"}));
  EXPECT_FALSE(parsed.show_help);
  EXPECT_FALSE(parsed.debug_mode);
}

TEST(ParseArgumentsTest, OutputSwitchNamesTheFileAndStaysInTheList) {
  ParsedArguments parsed = Parse({"-o", "out.pdf", "in.svg"});
  EXPECT_EQ(parsed.output_file_name, "out.pdf");
  EXPECT_EQ(parsed.argument_list, (Args{"tolvarine", "-o", "out.pdf", "in.svg"}));
  EXPECT_EQ(Parse({"-o", "a.pdf", "--outfile", "b.pdf", "in.svg"}).output_file_name, "b.pdf");
  EXPECT_EQ(Parse({"--outfile", "x", "y"}).output_file_name, "x");
}

TEST(ParseArgumentsTest, OutputSwitchIsExactAndNeedsAValue) {
  EXPECT_EQ(Parse({"-O", "out.pdf", "in.svg"}).output_file_name, "in.svg");
  EXPECT_EQ(Parse({"--outfile=x.pdf", "in.svg"}).output_file_name, "in.svg");
  ParsedArguments last = Parse({"in.svg", "-o"});
  EXPECT_EQ(last.output_file_name, "-o");
  EXPECT_EQ(last.argument_list, (Args{"tolvarine", "in.svg", "-o"}));
}

TEST(ParseArgumentsTest, ValueAfterOutputSwitchIsVisitedInItsTurn) {
  EXPECT_TRUE(Parse({"-o", "-help"}).show_help);
  ParsedArguments parsed = Parse({"-o", "-debug", "in.svg"});
  EXPECT_EQ(parsed.output_file_name, "-debug");
  EXPECT_TRUE(parsed.debug_mode);
  EXPECT_EQ(parsed.argument_list, (Args{"tolvarine", "-o", "in.svg"}));
}

TEST(ParseArgumentsTest, DebugIsExactAndTakenOutButMayNameTheOutput) {
  ParsedArguments parsed = Parse({"in.svg", "out.pdf", "-debug"});
  EXPECT_TRUE(parsed.debug_mode);
  EXPECT_EQ(parsed.output_file_name, "-debug");
  EXPECT_EQ(parsed.argument_list, (Args{"tolvarine", "in.svg", "out.pdf"}));
  ParsedArguments upper = Parse({"-DEBUG"});
  EXPECT_FALSE(upper.debug_mode);
  EXPECT_EQ(upper.argument_list, (Args{"tolvarine", "-DEBUG"}));
}

TEST(ParseArgumentsTest, EmptyLastArgumentLeavesTheNameEmpty) {
  EXPECT_EQ(Parse({"in.svg", ""}).output_file_name, "");
  EXPECT_EQ(ParseArguments({"tolvarine"}).output_file_name, "");
}

TEST(BuildArgumentStringTest, QuotesEachArgumentAndSkipsArgumentZero) {
  EXPECT_EQ(BuildArgumentString({"tolvarine"}), "");
  EXPECT_EQ(BuildArgumentString({}), "");
  EXPECT_EQ(BuildArgumentString({"tolvarine", "in.svg", "-o", "out file.pdf"}),
            "\"in.svg\" \"-o\" \"out file.pdf\"");
  EXPECT_EQ(BuildArgumentString({"tolvarine", "say \"hi\"", "C:\\dir\\"}),
            R"("say \"hi\"" "C:\dir\\")");
}

}  // namespace
}  // namespace tolvarine
