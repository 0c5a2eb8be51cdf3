// A converter that misbehaves: killed, flooding the pipe, writing huge lines or mixing its two
// streams, pausing, or leaving a grandchild that holds the pipe. The launcher shows what it
// wrote as it comes, reports the output file as always, and ends.
#include <chrono>
#include <thread>

#include "behaviour/cases.h"

namespace behaviour {
namespace {

const std::string kConv = "[Info]\nRunEXE={CONV}\n";
const std::vector<std::string> kArgs = {"in.svg", "out.pdf"};
const std::string kRan = "[in.svg][out.pdf]\n";

Environment Does(const std::string& actions) { return {{"FAKE_CONV_DO", actions}}; }

TEST(ConverterFaultTest, OutputShownWhateverTheEnd) {
  const std::string kLong(40 << 20, 'A');
  RunCases({
      {"both streams in the order written", kConv, kArgs, Framed("one\ntwo\nthree\n") + Failed(), 0,
       kRan, Files(), Does("out:one\\n|err:two\\n|out:three\\n")},
      {"zero bytes dropped, the rest kept", kConv, kArgs, Framed("abc\n") + Failed(), 0, kRan,
       Files(), Does("out:\\x00a\\x00\\x00b|out:c\\n")},
      {"terminated", kConv, kArgs, Framed("written\n") + Failed(), 0, kRan, Files(),
       Does("out:written\\n|terminate")},
      {"aborted", kConv, kArgs, Framed("written\n") + Failed(), 0, kRan, Files(),
       Does("out:written\\n|abort"), Files(), Args(), 1, "posix"},
      // A file from before the run is not a killed converter's work: it stays as it was.
      {"killed with an old output", kConv, kArgs, Failed(), 0, kRan,
       Files{{"work/out.pdf", "%PDF " + kConverterText}}, Does("terminate"),
       Files{{"work/out.pdf", "%PDF " + kConverterText}}},
      // 1 GiB of warning lines, which the filter drops, then a line it shows: the last bytes
      // come after the whole flood.
      {"a gigabyte of warnings", kConv, kArgs, Framed("the end\n") + Failed(), 0, kRan, Files(),
       Does("warnings:1048576|out:the end\\n"), Files(), Args(), 1, "posix speed"},
      // One line of a gigabyte that names a tool and is carriage returns otherwise. (A gigabyte
      // through Wine's pipes takes a minute; the 40 MB lines below pass them there.)
      {"a gigabyte line", kConv, kArgs, Framed("quillorand\n") + Failed(), 0, kRan, Files(),
       Does("out:cpdf|fill:1073741824:0d|out:\\n"), Files(), Args(), 1, "posix speed"},
      // Lines far longer than the filter keeps in memory come out whole, or not at all.
      {"a long line shown", kConv, kArgs, Framed("quillorand" + kLong + " Tolvarine\n") + Failed(),
       0, kRan, Files(), Does("out:cpdf|fill:41943040:41|out: Gnumeric\\n"), Files(), Args(), 1,
       "speed"},
      {"a long warning dropped", kConv, kArgs, Framed("after\n") + Failed(), 0, kRan, Files(),
       Does("fill:41943040:41|out: WARNING **:\\nafter"), Files(), Args(), 1, "speed"},
  });
}

// The converter reads nothing of the user's input and holds none of the launcher's files.
TEST(ConverterFaultTest, NoInputAndNoOpenFilesReachTheConverter) {
  Installation install;
  install.UseConverter();
  install.Write("input", "typed by the user\n");
  RunOptions options{install.work(), Does("stdin|files"), install.File("input")};
  EXPECT_EQ(install.Run(kArgs, options).out, ConsoleText(Framed("stdin:0\n") + Failed()));
}

// Waits (a minute at most) until `path` holds `text`; what it holds then.
std::string AwaitFile(const std::string& path, const std::string& text) {
  std::string shown;
  for (int wait = 0; wait < 3000 && shown != text; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    shown = ReadFile(path);
  }
  return shown;
}

TEST(ConverterFaultTest, EachLineShownWhileTheConverterStillRuns) {
  Installation install;
  install.UseConverter();
  const std::string gate = install.File("gate");
  RunOptions options{install.work(), Does("out:first\\nsecond|gate:" + gate + "|out: half\\n")};
  const std::string out = install.File("stdout");
  StartedProgram launcher = StartProgram(install.Command(kArgs), options, out, install.File("err"));
  ASSERT_NE(launcher, -1);
  // Not a timing: a launcher that shows nothing before the converter's end fails here.
  EXPECT_EQ(AwaitFile(out, ConsoleText("[Message]\n" + kFrame + "first\n")),
            ConsoleText("[Message]\n" + kFrame + "first\n"));
  WriteFile(gate, "");
  EXPECT_EQ(WaitForProgram(launcher), 0);  // 99 would be a memory error under memcheck
  EXPECT_EQ(ReadFile(out), ConsoleText(Framed("first\nsecond half\n") + Failed()));
}

// The grandchild keeps the pipe open (and, flooding, writes into it) until the gate opens after
// the launcher's end; a launcher that waited for the pipe's end would let the gate time out.
TEST(ConverterFaultTest, GrandchildHoldingThePipeDoesNotHoldTheLauncher) {
  for (const char* spawn : {"spawn", "spawnflood"}) {
    SCOPED_TRACE(spawn);
    Installation install;
    install.UseConverter();
    const std::string gate = install.File("gate");
    ProgramResult result = install.Run(
        kArgs, {install.work(), Does("out:spawned\\n|" + std::string(spawn) + ":" + gate)});
    WriteFile(gate, "");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(ReadFile(gate + ".timeout"), "<none>");
    const std::string shown = ConsoleText("[Message]\n" + kFrame + "spawned\n");
    EXPECT_EQ(result.out.substr(0, shown.size()), shown);
    if (std::string(spawn) == "spawn") {
      EXPECT_EQ(result.out, ConsoleText(Framed("spawned\n") + Failed()));
    }
  }
}

}  // namespace
}  // namespace behaviour
