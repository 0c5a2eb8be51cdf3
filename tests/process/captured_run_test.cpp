#include "process/captured_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>

#include "helpers/pattern.h"
#include "output/text.h"
#include "platform/platform.h"
#include "process/argv_vectors.h"
#include "process/command_line.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

using testing_support::ConsoleText;
using namespace std::string_literals;

// A helper program's command line, every part quoted as the launcher quotes arguments.
std::string Helper(const std::string& name, const std::vector<std::string>& args = {}) {
  std::string line = QuoteArgument(testing_support::HelperProgram(name));
  for (const std::string& arg : args) line += " " + QuoteArgument(arg);
  return line;
}

// Every piece as it came, joined.
std::string Captured(const std::string& command_line) {
  std::string output;
  EXPECT_TRUE(RunCaptured(command_line, [&output](const char* data, std::size_t size) {
    output.append(data, size);
  })) << command_line;
  return output;
}

std::string WithoutZeros(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

TEST(RunCapturedTest, JoinsBothStreamsInTheOrderTheyWereWritten) {
  EXPECT_EQ(Captured(Helper("scripted_child", {"out:one ", "err:two ", "out:three ", "err:four"})),
            "one two three four");
}

TEST(RunCapturedTest, KeepsTheBytesAsTheChildWroteThem) {
  // The child's own runtime writes a line feed as CR LF on Windows; the run changes nothing.
  EXPECT_EQ(Captured(Helper("scripted_child", {R"(out:a\r\nb\tc\xE9\xFF\x1A "q" [x])"})),
            ConsoleText("a\r\nb\tc\xE9\xFF\x1A \"q\" [x]"));
}

TEST(RunCapturedTest, KeepsEveryByteOfAnOutputFarLargerThanThePipe) {
  std::string output = Captured(Helper("scripted_child", {"err:<", "bytes:3000000", "err:>"}));
  ASSERT_EQ(output.size(), 3000002u);
  EXPECT_TRUE(output == "<" + helpers::Pattern(3000000) + ">") << "the bytes differ";
}

TEST(RunCapturedTest, AppendsALargeOutputBehindWhatTheTextHeld) {
  std::string output = "held:";
  ASSERT_TRUE(RunCaptured(Helper("scripted_child", {"bytes:2500000"}), output));
  EXPECT_TRUE(output == "held:" + helpers::Pattern(2500000)) << "size " << output.size();
  output = "held:";
  ASSERT_TRUE(RunCaptured(Helper("scripted_child", {"out:small"}), output));
  EXPECT_EQ(output, "held:small");
}

TEST(RunCapturedTest, TheWholeTextDropsEachZeroByteAndKeepsEverythingElse) {
  // Zeros first of all, side by side, and at every 7th byte through many reads.
  const std::string line =
      Helper("scripted_child", {R"(out:\0\0ab\0c)", "bytes:200000:7", R"(out:\0end\0)"});
  const std::string raw = "\0\0ab\0c"s + helpers::Pattern(200000, 7) + "\0end\0"s;
  EXPECT_TRUE(Captured(line) == raw) << "the pieces differ from the bytes written";
  std::string whole;
  ASSERT_TRUE(RunCaptured(line, whole));
  ASSERT_EQ(whole.size(), WithoutZeros(raw).size());
  EXPECT_TRUE(whole == WithoutZeros(raw)) << "the bytes differ";
}

TEST(RunCapturedTest, KeepsTheLastBytesWrittenJustBeforeTheEnd) {
  // Repeated, since losing them would depend on the moment the child's end is seen.
  for (int run = 0; run < 20; ++run) {
    std::string output =
        Captured(Helper("scripted_child", {"bytes:60000", "out:last", "err:!", "exit:0"}));
    ASSERT_EQ(output.size(), 60005u) << "run " << run;
    ASSERT_EQ(output.substr(60000), "last!") << "run " << run;
  }
}

TEST(RunCapturedTest, SucceedsWhateverTheChildsEnd) {
  EXPECT_EQ(Captured(Helper("scripted_child")), "");
  EXPECT_EQ(Captured(Helper("scripted_child", {"out:three", "exit:3"})), "three");
  EXPECT_EQ(Captured(Helper("scripted_child", {"out:minus one", "exit:-1"})), "minus one");
  // A signal on POSIX, exit code 3 on Windows: the output is kept either way.
  EXPECT_EQ(Captured(Helper("scripted_child", {"out:terminated", "terminate"})), "terminated");
}

TEST(RunCapturedTest, TheChildHasNoInputEvenWhereTheLauncherHasSome) {
  testing_support::WithStandardInput("the launcher's input", [] {
    EXPECT_EQ(Captured(Helper("scripted_child", {"stdin", "out: read"})), "stdin:0 read");
  });
}

TEST(RunCapturedTest, WhatCannotStartFailsSilentlyAndLeavesTheOutputAlone) {
  testing_support::TempDir folder;
  const std::string lines[] = {
      "",
      "tolvarine-no-such-program",
      "tolvarine-no-such-program " + QuoteArgument("an argument"),
      QuoteArgument(testing_support::HostPath(folder / "missing-program")) + " x",
      QuoteArgument(folder.path().string()),  // A folder, not a program.
  };
  for (const std::string& line : lines) {
    std::string output = "kept";
    bool started = true;
    testing_support::StandardStreams streams =
        testing_support::CaptureStandardStreams([&] { started = RunCaptured(line, output); });
    EXPECT_FALSE(started) << "[" << line << "]";
    EXPECT_EQ(output, "kept") << "[" << line << "]";
    EXPECT_EQ(streams.out + streams.err, "") << "[" << line << "]";
  }
}

TEST(RunCapturedTest, TheChildInheritsEnvironmentAndFolderAndIsFoundOnPath) {
  std::string path = platform::ReadEnvironmentVariable("PATH").value_or("");
  testing_support::ScopedEnvironmentVariable search_path(
      "PATH", testing_support::HelpersDirectory() + platform::kPathListSeparator + path);
  testing_support::ScopedEnvironmentVariable marker("TOLVARINE_PROCESS_TEST", "inherited value");
  testing_support::TempDir folder;
  std::filesystem::path old_folder = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  std::string output = Captured("scripted_child env:TOLVARINE_PROCESS_TEST out:| cwd");
  std::filesystem::current_path(old_folder);
  std::size_t bar = output.find('|');
  ASSERT_NE(bar, std::string::npos) << output;
  EXPECT_EQ(output.substr(0, bar), "inherited value");
  EXPECT_TRUE(std::filesystem::equivalent(output.substr(bar + 1), folder.path())) << output;
}

TEST(RunCapturedTest, NothingOfTheLaunchersLeaksIntoTheChild) {
  // The probe names every descriptor beyond the standard ones on POSIX (the pipe's read end
  // included), and the test's own inheritable file on Windows.
  testing_support::LeakableFile file;
  EXPECT_EQ(Captured(Helper("probe_handles", {file.probe_argument()})), "");
}

// Runs a child that leaves a grandchild holding the pipe (and, with "flood", writing into it
// without pause) until the gate is released; gives back what the run captured.
std::string CaptureWithGrandchild(const std::string& grandchild_mode) {
  testing_support::Gate gate;
  std::string output;
  std::string line = Helper(
      "spawn_holder", {testing_support::HelperProgram("wait_gate"), gate.path(), grandchild_mode});
  std::future<bool> run = std::async(std::launch::async, [&] { return RunCaptured(line, output); });
  // Not a timing: only a run that never returns gets this far, and fails rather than hangs.
  bool returned = run.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  gate.Release();  // The grandchild has held the pipe until now.
  EXPECT_TRUE(returned) << "the run waited for the grandchild";
  EXPECT_TRUE(run.get());
  return output;
}

TEST(RunCapturedTest, ReturnsOnceTheChildEndsThoughAGrandchildHoldsThePipe) {
  EXPECT_EQ(CaptureWithGrandchild("quiet"), ConsoleText("spawned\n"));
}

TEST(RunCapturedTest, ReturnsOnceTheChildEndsThoughAGrandchildKeepsWriting) {
  std::string output = CaptureWithGrandchild("flood");
  // What the grandchild wrote before the child's end may be there, the child's text must.
  output.erase(std::remove(output.begin(), output.end(), '#'), output.end());
  EXPECT_EQ(output, ConsoleText("spawned\n"));
}

TEST(RunCapturedTest, ArgumentsArriveAsTheWindowsRulesSplitThem) {
  // Every row whose program is "prog" alone, with the helper in its place; rows 37-42 name
  // the program in ways that Wine's runtime reads differently.
  const std::string program = QuoteArgument(testing_support::HelperProgram("print_args"));
  int compared = 0;
  for (const ArgvVector& vector : kArgvVectors) {
    std::string line = vector.line;
    // The measured byte \xE9 is the ANSI code page's "é"; the launcher's texts are UTF-8 on
    // Windows, and the ANSI helper prints the byte again.
    if (testing_support::IsWindowsBuild()) ReplaceAll(line, "\xE9", "\xC3\xA9");
    bool program_alone =
        line.rfind("prog", 0) == 0 && (line.size() == 4 || line[4] == ' ' || line[4] == '\t');
    if (!program_alone || (vector.row >= 37 && vector.row <= 42)) continue;
    std::string expected;
    for (std::size_t i = 1; i < vector.argv.size(); ++i) expected += "[" + vector.argv[i] + "]\n";
    EXPECT_EQ(Captured(program + line.substr(4)), ConsoleText(expected)) << "row " << vector.row;
    ++compared;
  }
  EXPECT_EQ(compared, 37);
}

}  // namespace
}  // namespace tolvarine
