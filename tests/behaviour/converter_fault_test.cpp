// A converter that misbehaves: killed by a signal, ending without a word, flooding the pipe,
// writing huge lines, pausing for a long time, or leaving a grandchild that holds the pipe
// open. The launcher shows what it wrote as it comes, reports the output file as always, and
// ends.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "output/producer_patch.h"
#include "support/test_support.h"

namespace {

using testing_support::ConsoleText;
using testing_support::Gate;
using testing_support::HelperProgram;
using testing_support::Installation;
using testing_support::LauncherCommand;
using testing_support::LauncherUnderMemcheck;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::StartedProgram;
using testing_support::StartProgram;
using testing_support::WaitForProgram;

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

TEST_F(ConverterFaultTest, GigabyteOutputsAndLinesPassThroughWhole) {
  if (LauncherUnderMemcheck()) {
    GTEST_SKIP() << "a gigabyte under memcheck takes many minutes; the sanitizer build runs it";
  }
  const std::string kLong = std::string(40 << 20, 'A');
  const struct {
    std::string converter;
    std::string shown;
  } rows[] = {
      // 1 GiB of warning lines, which the filter drops, then one line it shows: the last
      // bytes arrive after the whole flood, so the line shows that nothing was cut short.
      {"warnings:1048576 out:the\\x20end\\n", "the end\n"},
      // One line of a gigabyte that names a tool and is carriage returns otherwise.
      {"out:cpdf fill:1073741824:0d out:\\n", "quillorand\n"},
      // Lines far longer than the filter keeps in memory come out whole, or not at all.
      {"out:cpdf fill:41943040:41 out:\\x20Gnumeric\\n", "quillorand" + kLong + " Tolvarine\n"},
      {"fill:41943040:41 out:\\x20WARNING\\x20**:\\nafter", "after\n"},
  };
  for (const auto& row : rows) {
    UseConverter("scripted_child", row.converter);
    ProgramResult result = Run();
    EXPECT_TRUE(result.out == ConsoleText(kHeader + row.shown + kFooter + kFailed))
        << row.converter << ": " << result.out.size() << " bytes shown";
    EXPECT_EQ(result.exit_code, 0) << row.converter;
    EXPECT_EQ(result.err, "") << row.converter;
  }
}

TEST_F(ConverterFaultTest, EachLineIsShownWhileTheConverterStillRuns) {
  Gate gate;  // shut until the first line has been shown
  UseConverter("scripted_child", "out:first\\nsecond [gate:" + gate.path() + "] out:\\x20half\\n");
  const std::string out = install_.temp() / "stdout";
  const std::string err = install_.temp() / "stderr";
  std::vector<std::string> argv = LauncherCommand(install_.launcher());
  argv.insert(argv.end(), {"in.svg", "out.pdf"});
  RunOptions options;
  options.working_directory = install_.work();
  StartedProgram launcher = StartProgram(argv, options, out, err);
  ASSERT_NE(launcher, -1);
  // Not a timing: a launcher that shows nothing before the converter's end never shows the
  // line here, and the test fails after a minute rather than waiting for ever.
  const std::string first = ConsoleText(kHeader + "first\n");
  std::string shown;
  for (int wait = 0; wait < 3000 && shown != first; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    shown = ReadFile(out);
  }
  gate.Release();
  EXPECT_EQ(shown, first);
  EXPECT_EQ(WaitForProgram(launcher), 0);  // 99 would be a memory error under memcheck
  EXPECT_EQ(ReadFile(out), ConsoleText(kHeader + "first\nsecond half\n" + kFooter + kFailed));
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
