// A converter that misbehaves: killed, flooding the pipe, writing huge lines or mixing its two
// streams, pausing, or leaving a grandchild that holds the pipe. The launcher shows what it
// wrote as it comes, reports the output file as always, and ends.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

TEST(ConverterFaultTest, OutputShownWhateverTheEnd) {
  const Files old = {{"work/out.pdf", "%PDF " + kConverterText}};
  RunCases({
      {"both streams in the order written", kConv, kArgs, Framed("one\ntwo\nthree\n") + Failed(), 0,
       kRan, Does("out:one\\n|err:two\\n|out:three\\n")},
      {"terminated", kConv, kArgs, Framed("written\n") + Failed(), 0, kRan,
       Does("out:written\\n|terminate")},
      // A file from before the run is not a killed converter's work: it stays as it was.
      {"killed with an old output", kConv, kArgs, Failed(), 0, kRan, Does("terminate"), old, old},
      // No input, and none of the launcher's files, reach the converter.
      {"nothing inherited", kConv, kArgs, Framed("stdin:0\n") + Failed(), 0, kRan,
       Does("stdin|files"), Files{{"input", "typed by the user"}}, kNoFiles, "posix",
       "stdin={DIR}/input"},
      // One line of a gigabyte that names a tool and is carriage returns otherwise (POSIX only:
      // a gigabyte through Wine's pipes takes a minute).
      {"a gigabyte line", kConv, kArgs, Framed("quillorand\n") + Failed(), 0, kRan,
       Does("out:cpdf|fill:1073741824|out:\\n"), kNoFiles, kNoFiles, "posix plain"},
      // A grandchild keeps the pipe open (or floods it) until the gate opens after the runs: a
      // launcher that waited for the pipe's end would let the gate time out.
      {"a grandchild holding the pipe", kConv, kArgs, Framed("spawned\n") + Failed(), 0, kRan,
       Does("out:spawned\\n|spawn:{DIR}/gate"), kNoFiles, Files{{"gate.timeout", "<none>"}}},
      {"a grandchild flooding the pipe", kConv, kArgs, Framed("spawned\n*") + Failed(), 0, kRan,
       Does("out:spawned\\n|spawnflood:{DIR}/gate"), kNoFiles, Files{{"gate.timeout", "<none>"}}},
  });
}

// The converter stops at a gate that opens only once its first line is shown: a launcher that
// shows nothing before the converter's end makes the gate time out.
TEST(ConverterFaultTest, EachLineShownWhileTheConverterStillRuns) {
  Installation install;
  install.UseConverter();
  const std::string gate = install.File("gate");
  const std::string first = ConsoleText("[Message]\n" + kFrame + "first\n");
  RunOptions options{install.File("work"),
                     Does("out:first\\nsecond|gate:" + gate + "|out: half\\n")};
  ProgramResult result =
      RunTogether({install.Command(kArgs)}, options, [&](const std::string& out) {
        if (out == first) WriteFile(gate, "");
      }).front();
  EXPECT_EQ(result.out, ConsoleText(Framed("first\nsecond half\n") + Failed()));
  EXPECT_EQ(ReadFile(gate + ".timeout"), "<none>");
}

}  // namespace
}  // namespace behaviour
