#include "process/run_and_wait.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/platform.h"
#include "process/command_line.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

using testing_support::IsWindowsBuild;

std::string Helper(const std::string& name, const std::vector<std::string>& args = {}) {
  std::string line = QuoteArgument(testing_support::HelperProgram(name));
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);
  return line;
}

std::int32_t RunChild(const std::vector<std::string>& args) {
  return RunAndWait(Helper("scripted_child", args), kShowNormal);
}

TEST(RunAndWaitTest, GivesBackTheChildsExitCode) {
  EXPECT_EQ(RunChild({}), 0);
  EXPECT_EQ(RunChild({"exit:3"}), 3);
  EXPECT_EQ(RunChild({"exit:255"}), 255);
}

TEST(RunAndWaitTest, ExitCodesFromTwoToThe31UpComeBackNegative) {
  if (!IsWindowsBuild()) GTEST_SKIP() << "a POSIX exit code is one byte, 0 to 255";
  EXPECT_EQ(RunChild({"exit:-1"}), -1);
  EXPECT_EQ(RunChild({"exit:-2"}), -2);
  EXPECT_EQ(RunChild({"exit:-2147483648"}), std::numeric_limits<std::int32_t>::min());
}

TEST(RunAndWaitTest, AChildEndedByASignalHasNoExitCode) {
  if (IsWindowsBuild()) GTEST_SKIP() << "Windows has no signals";
  EXPECT_EQ(RunChild({"terminate"}), -1);
}

TEST(RunAndWaitTest, WhatCannotStartGivesMinusOneAndPrintsNothing) {
  testing_support::TempDir folder;
  const std::string lines[] = {
      "", "tolvarine-no-such-program",
      QuoteArgument(testing_support::HostPath(folder / "missing-program")) + " x",
      QuoteArgument(folder.path().string()),  // A folder, not a program.
  };
  for (const std::string& line : lines) {
    std::int32_t result = 0;
    testing_support::StandardStreams streams =
        testing_support::CaptureStandardStreams([&] { result = RunAndWait(line, kShowNormal); });
    EXPECT_EQ(result, -1) << "[" << line << "]";
    EXPECT_EQ(streams.out + streams.err, "") << "[" << line << "]";
  }
}

TEST(RunAndWaitTest, TheCommandLineNeverReachesTheConsole) {
  testing_support::StandardStreams streams =
      testing_support::CaptureStandardStreams([] { EXPECT_EQ(RunChild({"exit:4"}), 4); });
  EXPECT_EQ(streams.out + streams.err, "");
}

TEST(RunAndWaitTest, TheChildWritesStraightToTheLaunchersStreams) {
  if (IsWindowsBuild()) {
    GTEST_SKIP() << "on Windows the child shares only a console, and the tests run without one";
  }
  testing_support::LeakableFile file;
  testing_support::StandardStreams streams = testing_support::CaptureStandardStreams([&] {
    EXPECT_EQ(RunChild({"out:to standard output", "err:to standard error"}), 0);
    // Nothing beyond the standard streams reaches the child.
    EXPECT_EQ(RunAndWait(Helper("probe_handles", {file.probe_argument()}), kShowNormal), 0);
  });
  EXPECT_EQ(streams.out, "to standard output");
  EXPECT_EQ(streams.err, "to standard error");
}

TEST(RunAndWaitTest, TheChildInheritsTheEnvironmentAndIsFoundOnPath) {
  std::string path = platform::ReadEnvironmentVariable("PATH").value_or("");
  testing_support::ScopedEnvironmentVariable search_path(
      "PATH", testing_support::HelpersDirectory() + platform::kPathListSeparator + path);
  testing_support::ScopedEnvironmentVariable marker("TOLVARINE_PROCESS_TEST", "inherited value");
  EXPECT_EQ(RunAndWait("scripted_child \"check-env:TOLVARINE_PROCESS_TEST=inherited value\" exit:5",
                       kShowNormal),
            5);
  EXPECT_EQ(RunAndWait("scripted_child check-env:TOLVARINE_PROCESS_TEST=other exit:5", kShowNormal),
            1);
}

}  // namespace
}  // namespace tolvarine
