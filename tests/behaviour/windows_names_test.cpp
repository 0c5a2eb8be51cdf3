// Names outside the ANSI code page, programs named without a folder, batch-file converters and
// the reasons of failed starts: what the Windows build hands to and takes from the system.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ConsoleText;
using testing_support::ExecutableSuffix;
using testing_support::HelperProgram;
using testing_support::Installation;
using testing_support::IsWindowsBuild;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunOptions;

// "é" has a place in the ANSI code page (1252); "Ж" and the emoji (two UTF-16 units) have none.
const std::string kE = "\xC3\xA9";
const std::string kZhe = "\xD0\x96";
const std::string kSmile = "\xF0\x9F\x98\x80";

void CopyHelper(const std::string& helper, const std::string& to) {
  fs::path target = fs::u8path(to);
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::u8path(HelperProgram(helper)), target, fs::copy_options::overwrite_existing);
}

std::string ListSeparator() { return IsWindowsBuild() ? ";" : ":"; }

TEST(WindowsNamesTest, ArgumentsOutputInstallationFolderAndPathOutsideTheCodePage) {
  if (!IsWindowsBuild()) GTEST_SKIP() << "the POSIX build passes names on as bytes";
  Installation install("inst " + kZhe + kE);
  CopyHelper("fake_converter", install.File("fake_converter.exe"));
  install.Write("config.dat", "[Info]\r\nRunEXE=[{EXEDIR}\\fake_converter.exe]\r\n");
  std::string path_entry = install.File("tools " + kZhe);
  fs::create_directories(fs::u8path(path_entry));
  std::string output = kE + kZhe + "out.pdf";
  RunOptions options;
  options.environment["PATH"] = path_entry + ";C:\\windows\\system32";
  options.environment["FAKE_CONVERTER_RECORD"] = install.File("argv.txt");
  options.environment["FAKE_CONVERTER_PATH_RECORD"] = install.File("path.txt");
  options.environment["FAKE_CONVERTER_OUTPUT"] = output;
  options.environment["FAKE_CONVERTER_CONTENT"] = "%PDF-1.4";
  ProgramResult result = install.Run({kE, kZhe, kSmile, output}, options);
  EXPECT_EQ(ReadFile(install.File("argv.txt")),
            "[" + kE + "]\n[" + kZhe + "]\n[" + kSmile + "]\n[" + output + "]\n");
  EXPECT_NE(ReadFile(install.File("path.txt")).find(";" + path_entry + ";C:\\windows"),
            std::string::npos);
  // Written to a file, the launcher's own line is in the ANSI code page, where "Ж" is a "?".
  EXPECT_EQ(result.out, ConsoleText("[OK] Create \"\xE9?out.pdf\" file successful.\n"));
  EXPECT_EQ(result.exit_code, 1);
}

TEST(WindowsNamesTest, ProgramsNamedWithoutAFolderNeverComeFromTheCurrentFolder) {
  Installation install;
  std::string exe = ExecutableSuffix();
  // Left in the folder the user works in, and believed if it ran: it passes the version test.
  CopyHelper("fake_java", install.File("work/java" + exe));
  CopyHelper("fake_java", install.File("work/conv" + exe));
  CopyHelper("fake_converter", install.File("tools/conv" + exe));
  install.Write("config.dat", "[Info]\r\nRunEXE=conv" + exe + " [{JAVAEXE}]\r\n");
  fs::create_directories(install.File("tmp"));
  RunOptions options;
  options.environment["PATH"] =
      install.File("tools") + ListSeparator() + (IsWindowsBuild() ? "C:\\windows" : "/usr/bin");
  options.environment["FAKE_JAVA_VERSION"] = "Java(TM) SE Runtime Environment";
  options.environment["FAKE_JAVA_RECORD"] = install.File("planted.txt");
  options.environment["FAKE_CONVERTER_RECORD"] = install.File("argv.txt");
  for (const char* name : {"TMPDIR", "TMP", "TEMP"})
    options.environment[name] = install.File("tmp");
  install.Run({"in.svg", "out.pdf"}, options);
  EXPECT_FALSE(fs::exists(install.File("planted.txt")));
  std::string java = IsWindowsBuild() ? "javaw.exe" : "java";
  EXPECT_EQ(ReadFile(install.File("argv.txt")), "[" + java + "]\n[in.svg]\n[out.pdf]\n");
}

TEST(WindowsNamesTest, BatchFileConverterGetsItsArgumentsOrNothingRuns) {
  if (!IsWindowsBuild()) GTEST_SKIP() << "batch files are Windows' own";
  Installation install;
  CopyHelper("fake_converter", install.File("fake_converter.exe"));
  install.Write("conv.bat", "@echo off\r\n\"%~dp0fake_converter.exe\" %*\r\n");
  install.Write("config.dat", "[Info]\r\nRunEXE=conv.bat\r\n");
  // Planted where cmd.exe would look first for a bare name.
  install.Write("work/conv.bat", "@echo off\r\necho PLANTED\r\n");
  RunOptions options;
  options.environment["FAKE_CONVERTER_RECORD"] = install.File("argv.txt");
  install.Run({"a b", "c&d", "e^f|g<h>", "out.pdf"}, options);
  EXPECT_EQ(ReadFile(install.File("argv.txt")), "[a b]\n[c&d]\n[e^f|g<h>]\n[out.pdf]\n");
  for (const std::string& argument : {std::string("x\" & echo INJECTED & \""),
                                      std::string("100%PATH%"), std::string("two\nlines")}) {
    SCOPED_TRACE(argument);
    fs::remove(install.File("argv.txt"));
    ProgramResult result = install.Run({argument, "out.pdf"}, options);
    EXPECT_FALSE(fs::exists(install.File("argv.txt")));
    EXPECT_EQ(result.out,
              ConsoleText("[Error] The argument [" + argument +
                          "] cannot be passed safely to the batch file \"conv.bat\": nothing "
                          "was run.\n[Error] Failed to create \"out.pdf\" file.\n"));
  }
}

TEST(WindowsNamesTest, StartsThatFailShowTheirReasonUnderDebug) {
  if (!IsWindowsBuild()) GTEST_SKIP() << "the POSIX build's reasons are tested with its calls";
  Installation install;
  CopyHelper("fake_converter", install.File("fake_converter.exe"));
  RunOptions options;
  options.environment["FAKE_CONVERTER_RECORD"] = install.File("argv.txt");
  struct Row {
    std::string run_exe;
    std::vector<std::string> args;
    std::string reason;
  };
  for (const Row& row : std::vector<Row>{
           {"[{EXEDIR}\\missing.exe]", {"out.pdf"}, "[Debug] CreateProcessW: "},
           {"missing.exe", {"out.pdf"}, "[Debug] CreateProcessW: \"missing.exe\" is in neither"},
           // The launcher's own command line fits; the converter's, with the template's text
           // in front of the same argument, does not.
           {"[{EXEDIR}\\fake_converter.exe] " + std::string(2900, 't'),
            {std::string(30000, 'a'), "out.pdf"},
            "[Debug] CreateProcessW: the command line has "}}) {
    SCOPED_TRACE(row.run_exe);
    install.Write("config.dat", "[Info]\r\nRunEXE=" + row.run_exe + "\r\n");
    std::vector<std::string> args = {"-debug"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    ProgramResult result = install.Run(args, options);
    EXPECT_NE(result.out.find(row.reason), std::string::npos) << result.out.substr(0, 500);
    EXPECT_NE(result.out.find("[Error] Failed to create \"out.pdf\" file."), std::string::npos);
    EXPECT_FALSE(fs::exists(install.File("argv.txt")));
  }
}

}  // namespace
