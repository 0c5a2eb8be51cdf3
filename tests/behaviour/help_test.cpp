// The help text and the "[Cmd]" line as a user sees them: exact standard output, nothing on
// standard error, and the exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace {

using testing_support::ConsoleText;
using testing_support::Installation;
using testing_support::ProgramResult;

void ExpectRun(const ProgramResult& result, int status, const std::string& out) {
  EXPECT_EQ(result.exit_code, status);
  EXPECT_EQ(result.out, ConsoleText(out));
  EXPECT_EQ(result.err, "");
}

// The help file's bytes come out unchanged, its CR LF line ends included, and the launcher's
// own line end follows.
void ExpectHelp(const ProgramResult& result, const std::string& help) {
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, help + ConsoleText("\n"));
  EXPECT_EQ(result.err, "");
}

const char kHelp[] = "Usage: tolvarine input.svg -o output.pdf\r\n  100% done, %s %n\r\nend";

TEST(HelpTest, PrintedUnchangedWithOneLineEndAndStatusZero) {
  Installation install;
  install.Write("options.dat", kHelp);
  install.Write("work/out.pdf", "content");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"-h"}, {"-H"}, {"-help"}, {"--HELP"}, {"-?"}, {"in.svg", "out.pdf", "--Help"}}) {
    ExpectHelp(install.Run(args), kHelp);
  }
}

TEST(HelpTest, FoundBesideTheLauncherFirstThenInTheLibraryFolder) {
  Installation install;
  install.Write("lib/options.dat", "from lib");
  ExpectRun(install.Run({}), 0, "from lib\n");
  install.Write("options.dat", "beside\n");
  // A help text that ends with a line end is followed by one more: an empty last line.
  ExpectHelp(install.Run({"-h"}), "beside\n");
  std::filesystem::remove(install.File("options.dat"));
  std::filesystem::create_directory(install.File("options.dat"));
  ExpectRun(install.Run({"-h"}), 0, "from lib\n");
  install.Write("bin", "a plain file named bin hides lib");
  ExpectRun(install.Run({"-h"}), 0, "");
}

TEST(HelpTest, EndsAtItsFirstZeroByte) {
  Installation install;
  install.Write("options.dat", std::string("shown\0hidden\n", 13));
  ExpectRun(install.Run({"-?"}), 0, "shown\n");
}

TEST(HelpTest, MissingOrEmptyHelpPrintsNothing) {
  Installation install;
  ExpectRun(install.Run({}), 0, "");
  install.Write("options.dat", "");
  ExpectRun(install.Run({"--help"}), 0, "");
  install.Write("options.dat", std::string("\0after a zero byte", 18));
  ExpectRun(install.Run({"--help"}), 0, "");
}

TEST(DebugLineTest, ShowsTheArgumentsPassedOnBeforeTheReport) {
  Installation install;
  ExpectRun(install.Run({"-debug", "in.svg", "-o", "out.pdf", "a\"b"}), 0,
            "[Cmd] \"in.svg\" \"-o\" \"out.pdf\" \"a\\\"b\"\n"
            "[Error] Failed to create \"out.pdf\" file.\n");
  ExpectRun(install.Run({"in.svg", "-debug", "out.pdf"}), 0,
            "[Cmd] \"in.svg\" \"out.pdf\"\n[Error] Failed to create \"out.pdf\" file.\n");
}

TEST(DebugLineTest, OnlyTheExactDebugSwitchTurnsItOn) {
  Installation install;
  ExpectRun(install.Run({"in.svg", "out.pdf"}), 0, "[Error] Failed to create \"out.pdf\" file.\n");
  ExpectRun(install.Run({"-DEBUG", "in.svg", "out.pdf"}), 0,
            "[Error] Failed to create \"out.pdf\" file.\n");
  ExpectRun(install.Run({"-debug", "-DEBUG", "out.pdf"}), 0,
            "[Cmd] \"-DEBUG\" \"out.pdf\"\n[Error] Failed to create \"out.pdf\" file.\n");
}

TEST(DebugLineTest, LongLinesArePrintedWhole) {
  Installation install;
  std::string argument;
  while (argument.size() < 3000) argument += "100% %s %n ";
  ExpectRun(install.Run({"-debug", argument, "out.pdf"}), 0,
            "[Cmd] \"" + argument + "\" \"out.pdf\"\n[Error] Failed to create \"out.pdf\" file.\n");
}

TEST(DebugLineTest, HelpEndsTheRunBeforeTheLine) {
  Installation install;
  install.Write("options.dat", "help");
  ExpectRun(install.Run({"-debug", "in.svg", "--help"}), 0, "help\n");
}

}  // namespace
