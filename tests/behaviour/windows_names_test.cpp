// Names outside the ANSI code page, programs named without a folder, batch-file converters and
// the reasons of failed starts: what the launcher hands to the system and takes from it.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

// "é" has a place in the ANSI code page (1252); "Ж" and the emoji (two UTF-16 units) have none.
const std::string kE = "\xC3\xA9";
const std::string kZhe = "\xD0\x96";
const std::string kSmile = "\xF0\x9F\x98\x80";

TEST(WindowsNamesTest, NamesOutsideTheCodePage) {
  const std::string output = kE + kZhe + "out.pdf";
  // Written into a pipe, the launcher's own line is in the ANSI code page, where "Ж" is a "?".
  RunCases(
      {{"arguments, output, installation folder and PATH", kConv, Args{kE, kZhe, kSmile, output},
        Framed("{DIR}\\;{DIR}\\;{DIR}\\tools " + kZhe + ";C:\\windows\n") +
            "[OK] Create \"\xE9?out.pdf\" file successful.\n",
        1, "[" + kE + "][" + kZhe + "][" + kSmile + "][" + output + "]\n",
        Environment{{"PATH", "{DIR}\\tools " + kZhe + ";C:\\windows"},
                    {"FAKE_CONV_DO", "path|out:\\n|write:" + output + "=%PDF-1.4"}},
        Files{{"tools " + kZhe, "<dir>"}}, kNoFiles, "windows"},
       // config.dat is ANSI text: its "\xE9" is the code page's "é".
       {"an ANSI byte in config.dat", "[Info]\nRunEXE={CONV} caf\xE9\n", Args{"out.pdf"}, Failed(),
        0, "[caf" + kE + "][out.pdf]\n", kSameEnv, kNoFiles, kNoFiles, "windows"}},
      "inst " + kZhe + kE);
}

TEST(WindowsNamesTest, ProgramsNamedWithoutAFolderNeverComeFromTheCurrentFolder) {
  // Planted in the folder the user works in: a "java" that passes the version test, and a
  // converter that cannot start.
  const std::string path = kWindows ? "{DIR}\\tools;C:\\windows" : "{DIR}/tools:/usr/bin";
  RunCases(
      {{"converter and Java by bare names", "[Info]\nRunEXE=conv{EXE} [{JAVAEXE}]\n", kArgs,
        Missing("{DIR}{SEP}wget{EXE}") + Failed(), 0, "[{JAVA}]" + kRan,
        Environment{{"PATH", path}, {"FAKE_JAVA_DO", "out:Java(TM) SE Runtime Environment"}},
        Files{{"work/java", "<helper>"}, {"work/conv{EXE}", "planted"}, {"tools/conv", "<helper>"}},
        Files{{"JAVA.txt", "<none>"}}}});
}

TEST(WindowsNamesTest, BatchFileConverterGetsItsArgumentsOrNothingRuns) {
  const std::string config = "[Info]\nRunEXE=conv.bat\n";
  const Files files = {
      {"conv.bat", "@echo off\r\n\"%~dp0conv.exe\" %*\r\n"},
      {"work/conv.bat", "@echo off\r\necho PLANTED\r\n"}};  // cmd.exe looks here first
  std::vector<Case> rows = {{"safe arguments", config, Args{"a b", "c&d", "e^f|g<h>", "out.pdf"},
                             Failed(), 0, "[a b][c&d][e^f|g<h>][out.pdf]\n", kSameEnv, files,
                             kNoFiles, "windows"}};
  for (std::string arg : {"x\" & echo INJECTED & \"", "100%PATH%", "two\nlines"}) {
    rows.push_back({"unsafe argument", config, Args{arg, "out.pdf"},
                    "[Error] The argument [" + arg +
                        "] cannot be passed safely to the batch file \"conv.bat\": nothing was "
                        "run.\n" +
                        Failed(),
                    0, "<none>", kSameEnv, files, kNoFiles, "windows"});
  }
  RunCases(rows);
}

TEST(WindowsNamesTest, StartsThatFailShowTheirReasonUnderDebug) {
  // The launcher's own command line fits; the converter's, with the template's text in front
  // of the same argument, does not.
  const std::string arg(30000, 'a');
  auto row = [](const char* what, const std::string& run_exe, const std::string& arg,
                const std::string& reason) {
    return Case{
        what,
        "[Info]\nRunEXE=" + run_exe + "\n",
        Args{"-debug", arg, "out.pdf"},
        "[Cmd] \"" + arg + "\" \"out.pdf\"\n[Debug] CreateProcessW: " + reason + "*\n" + Failed(),
        0,
        "<none>",
        kSameEnv,
        kNoFiles,
        kNoFiles,
        "windows"};
  };
  RunCases({row("not there", "[{EXEDIR}\\missing.exe]", "x", ""),
            row("not found", "missing.exe", "x", "\"missing.exe\" is in neither"),
            row("too long", "{CONV} " + std::string(2900, 't'), arg, "the command line has ")});
}

}  // namespace
}  // namespace behaviour
