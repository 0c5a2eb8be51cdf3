// Command lines: the Windows splitting rules, the quoting that survives them, and the
// launcher's walk over its own arguments.
#include <gtest/gtest.h>

#include "launcher/arguments.h"
#include "process/command_line.h"
#include "rows.h"

namespace tolvarine {
namespace {

TEST(CommandLine, SplitsAsTheWindowsRuntimeDoes) {
  std::vector<unit::Row> rows = unit::ReadRows("argv_vectors.txt");
  ASSERT_GT(rows.size(), 40u);
  for (const unit::Row& row : rows) {
    EXPECT_EQ(SplitCommandLine(row[0]), unit::Row(row.begin() + 1, row.end())) << row[0];
  }
  EXPECT_EQ(SplitCommandLine(""), unit::Row{""});
}

TEST(CommandLine, QuotedArgumentsComeBackWhole) {
  const std::vector<std::vector<std::string>> rows = {
      {"in.svg", "\"in.svg\""},       {"", "\"\""},
      {"a b\\c", "\"a b\\c\""},       {"say \"hi\"", R"("say \"hi\"")"},
      {"C:\\dir\\", R"("C:\dir\\")"}, {"a\\\"b", R"("a\\\"b")"},
      {"x\\\\", R"("x\\\\")"},        {"tab\tnew\nline", "\"tab\tnew\nline\""},
  };
  std::vector<std::string> arguments = {"tolvarine"};
  for (const auto& row : rows) {
    EXPECT_EQ(QuoteArgument(row[0]), row[1]) << row[0];
    EXPECT_EQ(SplitCommandLine("p " + QuoteArgument(row[0])), (unit::Row{"p", row[0]})) << row[0];
    arguments.push_back(row[0]);
  }
  unit::Row split = SplitCommandLine("p " + BuildArgumentString(arguments));
  EXPECT_EQ(unit::Row(split.begin() + 1, split.end()),
            unit::Row(arguments.begin() + 1, arguments.end()));
  EXPECT_EQ(BuildArgumentString({"tolvarine"}), "");
  EXPECT_EQ(BuildArgumentString({"tolvarine", "a", "b"}), "\"a\" \"b\"");
}

struct ArgumentsRow {
  std::vector<std::string> arguments;  // after argument 0
  std::string output;
  std::vector<std::string> passed;  // after argument 0
  bool debug;
  bool help;
};

TEST(CommandLine, LauncherArgumentsAreWalkedInOrder) {
  const ArgumentsRow rows[] = {
      {{"in.svg", "out.pdf"}, "out.pdf", {"in.svg", "out.pdf"}, false, false},
      {{"-o", "out.pdf", "in.svg"}, "out.pdf", {"-o", "out.pdf", "in.svg"}, false, false},
      {{"-o", "a", "--outfile", "b", "in"}, "b", {"-o", "a", "--outfile", "b", "in"}, false, false},
      {{"-O", "out.pdf", "in.svg"}, "in.svg", {"-O", "out.pdf", "in.svg"}, false, false},
      {{"--outfile=x", "in.svg"}, "in.svg", {"--outfile=x", "in.svg"}, false, false},
      {{"in.svg", "-o"}, "-o", {"in.svg", "-o"}, false, false},
      {{"in.svg", "out.pdf", "-debug"}, "-debug", {"in.svg", "out.pdf"}, true, false},
      {{"-o", "-debug", "in.svg"}, "-debug", {"-o", "in.svg"}, true, false},
      {{"-DEBUG"}, "-DEBUG", {"-DEBUG"}, false, false},
      {{"in.svg", ""}, "", {"in.svg", ""}, false, false},
      {{"-debug", "-HeLp", "x"}, "", {}, true, true},
      {{"in.svg", "-h", "-debug"}, "", {"in.svg"}, false, true},
      {{"-o", "--HELP"}, "--HELP", {"-o"}, false, true},
      {{"-H"}, "", {}, false, true},
      {{"-?"}, "", {}, false, true},
      {{"-hh", "help", "-?x", "---help", "-"},
       "-",
       {"-hh", "help", "-?x", "---help", "-"},
       false,
       false},
  };
  for (const ArgumentsRow& row : rows) {
    std::vector<std::string> arguments = {"tolvarine"};
    arguments.insert(arguments.end(), row.arguments.begin(), row.arguments.end());
    std::vector<std::string> passed = {"tolvarine"};
    passed.insert(passed.end(), row.passed.begin(), row.passed.end());
    ParsedArguments parsed = ParseArguments(arguments);
    std::string name = testing::PrintToString(row.arguments);
    EXPECT_EQ(parsed.show_help, row.help) << name;
    EXPECT_EQ(parsed.debug_mode, row.debug) << name;
    if (row.help) continue;  // the walk stopped: nothing else is looked at
    EXPECT_EQ(parsed.output_file_name, row.output) << name;
    EXPECT_EQ(parsed.argument_list, passed) << name;
  }
  EXPECT_EQ(ParseArguments({"tolvarine"}).output_file_name, "");
}

}  // namespace
}  // namespace tolvarine
