// A converter that misbehaves: killed by a signal, ending without a word, flooding the pipe,
// or leaving a grandchild that holds the pipe open. The launcher shows what it wrote, reports
// the output file as always, and ends.
#include <gtest/gtest.h>

#include <string>

#include "output/producer_patch.h"
#include "support/test_support.h"

namespace {

using testing_support::ConsoleText;
using testing_support::Gate;
using testing_support::HelperProgram;
using testing_support::Installation;
using testing_support::IsWindowsBuild;
using testing_support::LauncherUnderMemcheck;
using testing_support::ProgramResult;
using testing_support::ReadFile;

const std::string kHeader = "[Message]\n============================\n";
const std::string kFooter = "============================\n";
const std::string kFailed = "[Error] Failed to create \"out.pdf\" file.\n";

class ConverterFaultTest : public ::testing::Test {
 protected:
  // The converter is `helper` with `arguments`, which come before the user's.
  void UseConverter(const std::string& helper, const std::string& arguments) const {
    install_.Write("config.dat",
                   "[Info]\r\nRunEXE=[" + HelperProgram(helper) + "] " + arguments + "\r\n");
  }
  ProgramResult Run() const { return install_.Run({"in.svg", "out.pdf"}); }

  Installation install_;
};

TEST_F(ConverterFaultTest, KilledConverterLeavesItsOutputAndTheReport) {
  const std::string kProducer = tolvarine::kConverterProducerText;
  for (const char* end : {"terminate", "abort"}) {
    UseConverter("scripted_child", std::string("out:written\\n ") + end);
    ProgramResult result = Run();
    // Windows' runtime may add a line of its own about the abnormal end.
    EXPECT_EQ(result.out.substr(0, ConsoleText(kHeader + "written\n").size()),
              ConsoleText(kHeader + "written\n"))
        << end;
    EXPECT_EQ(result.out.substr(result.out.size() - ConsoleText(kFooter + kFailed).size()),
              ConsoleText(kFooter + kFailed))
        << end;
    EXPECT_EQ(result.exit_code, 0) << end;
    EXPECT_EQ(result.err, "") << end;
  }
  // A file from before the run is not the killed converter's work: it stays as it was.
  install_.Write("work/out.pdf", "%PDF " + kProducer);
  ProgramResult result = Run();
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(install_.work() + "/out.pdf"), "%PDF " + kProducer);
}

TEST_F(ConverterFaultTest, ConverterWithoutOutputLeavesOnlyTheReport) {
  UseConverter("scripted_child", "exit:3");
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(kFailed));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(ConverterFaultTest, GigabyteOfOutputIsTakenWholeAndFiltered) {
  if (LauncherUnderMemcheck()) {
    GTEST_SKIP() << "a gigabyte under memcheck takes many minutes; the sanitizer build runs it";
  }
  // 1 GiB of warning lines, which the filter drops, then one line it shows: the last bytes
  // arrive after the whole flood, so the line shows that nothing was cut short.
  UseConverter("scripted_child", "warnings:1048576 out:the\\x20end\\n");
  ProgramResult result = Run();
  const std::string whole = ConsoleText(kHeader + "the end\n" + kFooter + kFailed);
  if (IsWindowsBuild() && result.out != whole) {
    // A 32-bit process has no gigabyte in one piece to spare: it keeps what came first (here
    // only warnings), drops the rest, and still ends with its report.
    EXPECT_EQ(result.out, ConsoleText(kHeader + kFooter + kFailed));
  } else {
    EXPECT_EQ(result.out, whole);
  }
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(ConverterFaultTest, HugeLineThatNamesAToolIsRebrandedWithoutASecondCopy) {
  if (LauncherUnderMemcheck()) {
    GTEST_SKIP() << "700 MB under memcheck takes many minutes; the sanitizer build runs it";
  }
  // One line of 700 MB that names a tool and is carriage returns otherwise, so that it prints
  // as one word: a 32-bit launcher holds what fits of it and has no room for a copy.
  UseConverter("scripted_child", "out:cpdf fill:734003200:0d out:\\n");
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(kHeader + "quillorand\n" + kFooter + kFailed));
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(ConverterFaultTest, GrandchildHoldingThePipeDoesNotHoldTheLauncher) {
  Gate gate;  // shut until the launcher has ended: the grandchild keeps the pipe open so long
  UseConverter("spawn_holder", "[" + HelperProgram("wait_gate") + "] [" + gate.path() + "]");
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(kHeader + "spawned\n" + kFooter + kFailed));
  EXPECT_EQ(result.exit_code, 0);
  gate.Release();
}

}  // namespace
