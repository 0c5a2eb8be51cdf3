// A conversion from the command line to the report, with a fake converter that records the
// arguments it was given and a fake "java" whose version text a test chooses.
#include <gtest/gtest.h>

#include <filesystem>

#include "output/producer_patch.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ConsoleText;
using testing_support::ExecutableSuffix;
using testing_support::HelperProgram;
using testing_support::Installation;
using testing_support::PathSeparator;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunOptions;

const std::string kPhrase = "Java(TM) SE Runtime Environment";

// An installation whose converter is the fake one, started through `run_exe`.
class ConversionTest : public ::testing::Test {
 protected:
  explicit ConversionTest(const std::string& folder = "") : install_(folder) {
    fs::copy_file(HelperProgram("fake_converter"), Converter());
    options_.environment["FAKE_CONVERTER_RECORD"] = Record();
  }

  std::string Converter() const { return install_.File("fake_converter" + ExecutableSuffix()); }
  std::string Record() const { return install_.File("argv.txt"); }
  std::string JavaRecord() const { return install_.File("java-runs.txt"); }
  std::string Sep() const { return PathSeparator(); }
  // The template that starts the fake converter from the installation's folder.
  std::string ConverterTemplate() const {
    return "[{EXEDIR}" + Sep() + "fake_converter" + ExecutableSuffix() + "]";
  }
  void WriteConfig(const std::string& info_lines) const {
    install_.Write("config.dat", "[Info]\r\n" + info_lines);
  }
  // A "java" that the launcher's own PATH entries find first, in the installation's bin.
  void InstallSystemJava(const std::string& version_text, const std::string& stream = "err") {
    fs::create_directories(install_.File("bin"));
    fs::copy_file(HelperProgram("fake_java"), install_.File("bin/java" + ExecutableSuffix()),
                  fs::copy_options::overwrite_existing);
    options_.environment["FAKE_JAVA_VERSION"] = version_text;
    options_.environment["FAKE_JAVA_STREAM"] = stream;
    options_.environment["FAKE_JAVA_RECORD"] = JavaRecord();
  }
  ProgramResult Run(const std::vector<std::string>& args) const {
    return install_.Run(args, options_);
  }
  std::string RecordedArguments() const { return ReadFile(Record()); }
  // The Java executable that reached the converter as its first argument.
  std::string JavaGiven() {
    Run({"in.svg", "out.pdf"});
    std::string record = RecordedArguments();
    std::size_t end = record.find("]\n");
    return end == std::string::npos ? "<not run>" : record.substr(1, end - 1);
  }

  Installation install_;
  RunOptions options_;
};

TEST_F(ConversionTest, ConverterGetsTheArgumentsAndTheReportFollows) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " --first\r\n");
  options_.environment["FAKE_CONVERTER_OUTPUT"] = "out.pdf";
  options_.environment["FAKE_CONVERTER_CONTENT"] = "%PDF-1.4";
  ProgramResult result = Run({"in.svg", "-o", "out.pdf"});
  EXPECT_EQ(RecordedArguments(), "[--first]\n[in.svg]\n[-o]\n[out.pdf]\n");
  EXPECT_EQ(result.out, ConsoleText("[OK] Create \"out.pdf\" file successful.\n"));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_FALSE(fs::exists(JavaRecord()));  // no Java placeholder: no version test
}

TEST_F(ConversionTest, EveryArgumentArrivesIntact) {
  WriteConfig("RunEXE=" + ConverterTemplate() + "\r\n");
  Run({"a \"quoted\" word", "C:\\dir\\", "[{JAVAEXE}] {EXEDIR}", "", "\\\\\"", "%s x.pdf"});
  EXPECT_EQ(RecordedArguments(),
            "[a \"quoted\" word]\n[C:\\dir\\]\n[[{JAVAEXE}] {EXEDIR}]\n[]\n[\\\\\"]\n[%s x.pdf]\n");
}

TEST_F(ConversionTest, NothingRunsWithoutArgumentsForItOrWithoutATemplate) {
  WriteConfig("RunEXE=" + ConverterTemplate() + "\r\n");
  ProgramResult debug_only = Run({"-debug"});
  EXPECT_FALSE(fs::exists(Record()));
  EXPECT_EQ(debug_only.exit_code, 0);
  WriteConfig("RunEXE=\r\n");
  Run({"in.svg", "out.pdf"});
  EXPECT_FALSE(fs::exists(Record()));
  fs::remove(install_.File("config.dat"));
  ProgramResult no_config = Run({"in.svg", "out.pdf"});
  EXPECT_FALSE(fs::exists(Record()));
  EXPECT_EQ(no_config.out, ConsoleText("[Error] Failed to create \"out.pdf\" file.\n"));
}

TEST_F(ConversionTest, ConverterThatCannotStartLeavesOnlyTheReport) {
  WriteConfig("RunEXE=[{EXEDIR}" + Sep() + "no-such-converter" + ExecutableSuffix() + "]\r\n");
  ProgramResult result = Run({"in.svg", "out.pdf"});
  EXPECT_EQ(result.out, ConsoleText("[Error] Failed to create \"out.pdf\" file.\n"));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ConversionTest, ClosedOutputStillGetsTheRunReportedAndTheFilePatched) {
  if (!ExecutableSuffix().empty()) GTEST_SKIP() << "Windows has no SIGPIPE";
  WriteConfig("RunEXE=" + ConverterTemplate() + "\r\n");
  const std::string converter = tolvarine::kConverterProducerText;
  const std::string product = tolvarine::kProductProducerText;
  options_.environment["FAKE_CONVERTER_OUTPUT"] = "out.pdf";
  options_.environment["FAKE_CONVERTER_CONTENT"] = "%PDF-1.4 /Producer " + converter;
  options_.environment["FAKE_CONVERTER_PRINT"] = "Batik line\nFOP line\n";
  for (const char* debug : {"", "-debug"}) {
    std::vector<std::string> argv = {HelperProgram("restricted_run"), "stdout=closed",
                                     install_.launcher()};
    if (*debug != '\0') argv.push_back(debug);
    argv.insert(argv.end(), {"in.svg", "out.pdf"});
    ProgramResult result =
        testing_support::RunProgram(argv, {install_.work(), options_.environment});
    EXPECT_EQ(result.exit_code, 1) << debug;
    EXPECT_EQ(result.err, "") << debug;
    EXPECT_EQ(ReadFile(install_.work() + "/out.pdf"), "%PDF-1.4 /Producer " + product) << debug;
  }
}

TEST_F(ConversionTest, ConverterSeesTheInstallationAtTheFrontOfPath) {
  WriteConfig("RunEXE=" + ConverterTemplate() + "\r\n");
  fs::create_directories(install_.File("lib"));
  options_.environment["FAKE_CONVERTER_PATH_RECORD"] = install_.File("path.txt");
  Run({"in.svg", "out.pdf"});
  std::string list = ExecutableSuffix().empty() ? ":" : ";";
  std::string expected_front =
      install_.dir() + Sep() + list + install_.dir() + Sep() + "lib" + list;
  EXPECT_EQ(ReadFile(install_.File("path.txt")).substr(0, expected_front.size()), expected_front);
}

TEST_F(ConversionTest, PrivateRuntimeWinsWithoutAnyVersionTest) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " [{JAVAEXE}]\r\n");
  InstallSystemJava(kPhrase);
  std::string private_java = ExecutableSuffix().empty() ? "jre/bin/java" : "jre\\bin\\javaw.exe";
  install_.Write(ExecutableSuffix().empty() ? "jre/bin/java" : "jre/bin/javaw.exe", "");
  EXPECT_EQ(JavaGiven(), install_.dir() + Sep() + private_java);
  EXPECT_FALSE(fs::exists(JavaRecord()));
}

TEST_F(ConversionTest, SystemJavaPassingThePhraseTestIsNamedByJavaName) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " {EXEJAVA} x {JAVAEXE}\r\n");
  InstallSystemJava("java version \"1.8.0\"\n" + kPhrase + " (build 1.8.0)\n");
  std::string default_name = ExecutableSuffix().empty() ? "java" : "javaw.exe";
  EXPECT_EQ(JavaGiven(), default_name);
  EXPECT_EQ(RecordedArguments(),
            "[" + default_name + "]\n[x]\n[" + default_name + "]\n[in.svg]\n[out.pdf]\n");
  EXPECT_EQ(ReadFile(JavaRecord()), "-version\n");  // resolved once for both placeholders

  options_.environment["FAKE_JAVA_STREAM"] = "out";
  WriteConfig("RunEXE=" + ConverterTemplate() + " [{JAVAEXE}]\r\nDefaultJavaEXE = java.exe\r\n");
  EXPECT_EQ(JavaGiven(), "java.exe");
  WriteConfig("RunEXE=" + ConverterTemplate() + " [{JAVAEXE}]\r\nDefaultJavaEXE=\r\n");
  EXPECT_EQ(JavaGiven(), "");
}

TEST_F(ConversionTest, JavaFailingThePhraseTestFallsBackToJavaName) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " [{JAVAEXE}]\r\nDefaultJavaEXE=my-java\r\n");
  InstallSystemJava("openjdk version \"17\"\nOpenJDK Runtime Environment (build 17)\n");
  EXPECT_EQ(JavaGiven(), "my-java");
  EXPECT_EQ(ReadFile(JavaRecord()), "-version\n");
  InstallSystemJava("java(tm) se runtime environment");  // the phrase is case-sensitive
  EXPECT_EQ(JavaGiven(), "my-java");
}

TEST_F(ConversionTest, LowerCasePlaceholderNeitherResolvesJavaNorChanges) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " {javaexe}\r\n");
  InstallSystemJava(kPhrase);
  EXPECT_EQ(JavaGiven(), "{javaexe}");
  EXPECT_FALSE(fs::exists(JavaRecord()));
}

class ListSeparatorFolderConversionTest : public ConversionTest {
 protected:
  ListSeparatorFolderConversionTest()
      : ConversionTest(ExecutableSuffix().empty() ? "co:lon" : "co;lon") {}
};

TEST_F(ListSeparatorFolderConversionTest, FolderIsNotPutOnPathAndTheConverterStillRuns) {
  // Its name would come apart into entries, one of them relative to the current folder.
  WriteConfig("RunEXE=" + ConverterTemplate() + "\r\n");
  options_.environment["FAKE_CONVERTER_PATH_RECORD"] = install_.File("path.txt");
  const std::string old_path = ExecutableSuffix().empty() ? "/usr/bin:/bin" : "C:\\windows";
  options_.environment["PATH"] = old_path;
  Run({"in.svg", "out.pdf"});
  EXPECT_EQ(RecordedArguments(), "[in.svg]\n[out.pdf]\n");
  EXPECT_EQ(ReadFile(install_.File("path.txt")), old_path);
}

class BracketFolderConversionTest : public ConversionTest {
 protected:
  BracketFolderConversionTest() : ConversionTest("inst [1]") {}
};

TEST_F(BracketFolderConversionTest, BracketsInTheFolderAreNotQuotes) {
  WriteConfig("RunEXE=" + ConverterTemplate() + " [{EXEDIR}]\r\n");
  Run({"in.svg", "out.pdf"});
  EXPECT_EQ(RecordedArguments(), "[" + install_.dir() + "]\n[in.svg]\n[out.pdf]\n");
}

}  // namespace
