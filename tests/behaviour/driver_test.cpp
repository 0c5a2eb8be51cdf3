// The launcher as a user runs it: exact standard output, nothing on standard error, and the
// exit status (1 only when the output file exists with content).
#include <gtest/gtest.h>

#include <filesystem>

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

TEST(DriverTest, MissingOutputFileIsAnErrorWithStatusZero) {
  Installation install;
  ExpectRun(install.Run({"in.svg", "-o", "out dir/x.pdf"}), 0,
            "[Error] Failed to create \"out dir/x.pdf\" file.\n");
}

TEST(DriverTest, ExistingOutputFileIsSuccessWithStatusOne) {
  Installation install;
  install.Write("work/out dir/x.pdf", "%PDF-1.4 content");
  ExpectRun(install.Run({"in.svg", "-o", "out dir/x.pdf"}), 1,
            "[OK] Create \"out dir/x.pdf\" file successful.\n");
  // The default rule: the last argument names the file.
  ExpectRun(install.Run({"in.svg", "out dir/x.pdf"}), 1,
            "[OK] Create \"out dir/x.pdf\" file successful.\n");
}

TEST(DriverTest, EmptyOutputFileCountsAsAFailedConversion) {
  Installation install;
  install.Write("work/x.pdf", "");
  ExpectRun(install.Run({"in.svg", "x.pdf"}), 0, "[Error] Failed to create \"x.pdf\" file.\n");
  EXPECT_TRUE(std::filesystem::exists(install.work() + "/x.pdf"));  // left where it is
}

TEST(DriverTest, FolderNamedLikeTheOutputIsNotAFile) {
  Installation install;
  std::filesystem::create_directory(install.work() + "/x.pdf");
  ExpectRun(install.Run({"in.svg", "x.pdf"}), 0, "[Error] Failed to create \"x.pdf\" file.\n");
}

TEST(DriverTest, EmptyOutputNameIsReported) {
  Installation install;
  ExpectRun(install.Run({"in.svg", ""}), 0, "[Message] Output filename is empty.\n");
  ExpectRun(install.Run({"in.svg", "-o", "", "x"}), 0, "[Error] Failed to create \"x\" file.\n");
}

TEST(DriverTest, DebugSwitchAloneRunsNothingAndNamesTheOutput) {
  Installation install;
  // The "[Cmd]" line shows the empty argument string.
  ExpectRun(install.Run({"-debug"}), 0, "[Cmd] \n[Error] Failed to create \"-debug\" file.\n");
  install.Write("work/-debug", "x");
  ExpectRun(install.Run({"-debug"}), 1, "[Cmd] \n[OK] Create \"-debug\" file successful.\n");
}

TEST(DriverTest, HelpAndNoArgumentsEndWithStatusZeroAndNoReport) {
  Installation install;
  install.Write("work/out.pdf", "content");
  ExpectRun(install.Run({}), 0, "");
  ExpectRun(install.Run({"in.svg", "out.pdf", "--HELP"}), 0, "");
  ExpectRun(install.Run({"-o", "-?"}), 0, "");
}

TEST(DriverTest, OutputNamesOfAnyLengthAndWithFormatCharactersArePrintedWhole) {
  Installation install;
  std::string name = "100% %s %n done";
  for (int i = 0; i < 6; ++i) name = std::string(60, 'd') + "/" + name;
  std::filesystem::create_directories(
      std::filesystem::path(install.work() + "/" + name).parent_path());
  ExpectRun(install.Run({"in.svg", name}), 0, "[Error] Failed to create \"" + name + "\" file.\n");
  install.Write("work/" + name, "x");
  ExpectRun(install.Run({"in.svg", name}), 1, "[OK] Create \"" + name + "\" file successful.\n");
}

}  // namespace
