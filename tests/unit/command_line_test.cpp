// Command lines: the Windows splitting rules, the quoting that survives them, and the
// launcher's walk over its own arguments.
#include <gtest/gtest.h>

#include "launcher/arguments.h"
#include "process/command_line.h"
#include "rows.h"

namespace tolvarine {
namespace {

TEST(CommandLine, SplitsAsTheWindowsRuntimeDoes) {
  std::vector<testdata::Row> rows = testdata::ReadRows("argv_vectors.txt");
  ASSERT_GT(rows.size(), 40u);
  for (const testdata::Row& row : rows) {
    EXPECT_EQ(SplitCommandLine(row[0]), testdata::Row(row.begin() + 1, row.end())) << row[0];
  }
  EXPECT_EQ(SplitCommandLine(""), testdata::Row{""});
}

TEST(CommandLine, QuotedArgumentsComeBackWhole) {
  std::vector<std::string> arguments = {"tolvarine"};
  for (const testdata::Row& row : testdata::ReadRows("quote_vectors.txt")) {
    EXPECT_EQ(QuoteArgument(row[0]), row[1]) << row[0];
    EXPECT_EQ(SplitCommandLine("p " + QuoteArgument(row[0])), (testdata::Row{"p", row[0]}))
        << row[0];
    arguments.push_back(row[0]);
  }
  ASSERT_GT(arguments.size(), 5u);
  EXPECT_EQ(SplitCommandLine("tolvarine " + BuildArgumentString(arguments)), arguments);
  EXPECT_EQ(BuildArgumentString({"tolvarine"}), "");
  EXPECT_EQ(BuildArgumentString({"tolvarine", "a", "b"}), "\"a\" \"b\"");
}

TEST(CommandLine, LauncherArgumentsAreWalkedInOrder) {
  std::vector<testdata::Row> rows = testdata::ReadRows("arguments_vectors.txt");
  ASSERT_GT(rows.size(), 10u);
  for (const testdata::Row& row : rows) {
    ParsedArguments parsed = ParseArguments(testdata::Fields("tolvarine " + row[0], ' '));
    EXPECT_EQ(parsed.debug_mode, row[3].find("debug") != std::string::npos) << row[0];
    EXPECT_EQ(parsed.show_help, row[3].find("help") != std::string::npos) << row[0];
    if (parsed.show_help) continue;  // the walk stopped: nothing else is looked at
    EXPECT_EQ(parsed.output_file_name, row[1]) << row[0];
    EXPECT_EQ(parsed.argument_list, testdata::Fields("tolvarine " + row[2], ' ')) << row[0];
  }
  EXPECT_EQ(ParseArguments({"tolvarine"}).output_file_name, "");
}

}  // namespace
}  // namespace tolvarine
