// The Java runtime kept in the temporary-files folder: reused, unpacked from a kept archive, or
// downloaded and unpacked, with a fake downloader and unpacker that record how they were run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/platform.h"
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
using testing_support::WriteFile;

bool OnWindows() { return !ExecutableSuffix().empty(); }

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

class JavaDownloadTest : public ::testing::Test {
 protected:
  explicit JavaDownloadTest(const std::string& folder = "") : install_(folder) {
    fs::copy_file(HelperProgram("fake_converter"), install_.File("fake_converter" + Exe()));
    // A system "java" that fails the version test, whatever the machine has installed.
    fs::create_directories(install_.File("bin"));
    fs::copy_file(HelperProgram("fake_java"), install_.File("bin/java" + Exe()));
    options_.environment["FAKE_JAVA_VERSION"] = "OpenJDK Runtime Environment";
    fs::create_directories(temp_);
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options_.environment[name] = temp_;
    options_.environment["FAKE_CONVERTER_RECORD"] = install_.File("argv.txt");
    options_.environment["FAKE_WGET_RECORD"] = install_.File("wget.txt");
    options_.environment["FAKE_7Z_RECORD"] = install_.File("7z.txt");
    WriteFile(served_, "bin/" + java_name_ + "\n");
    WriteConfig("JavaDownloadURL=" + served_ + "\r\n");
  }

  static std::string Exe() { return ExecutableSuffix(); }
  std::string Sep() const { return PathSeparator(); }
  std::string Folder() const { return temp_ + Sep() + "TolvarineJava"; }
  std::string Archive() const { return Folder() + ".zip"; }
  std::string Downloaded() const { return Folder() + Sep() + "bin" + Sep() + java_name_; }
  void WriteConfig(const std::string& lines) const {
    install_.Write("config.dat", "[Info]\r\nRunEXE=[{EXEDIR}" + Sep() + "fake_converter" + Exe() +
                                     "] [{JAVAEXE}]\r\n" + lines);
  }
  void InstallTools() const {
    fs::copy_file(HelperProgram("fake_wget"), install_.File("wget" + Exe()));
    fs::copy_file(HelperProgram("fake_7z"), install_.File("7z" + Exe()));
  }
  ProgramResult Run() const { return install_.Run({"in.svg", "out.pdf"}, options_); }
  std::string JavaGiven() const {
    std::string record = ReadFile(install_.File("argv.txt"));
    return record.substr(1, record.find("]\n") - 1);
  }
  std::string WgetRuns() const { return ReadFile(install_.File("wget.txt")); }
  std::string UnpackerRuns() const { return ReadFile(install_.File("7z.txt")); }
  std::string Report() const { return "[Error] Failed to create \"out.pdf\" file.\n"; }
  // What the temporary-files folder holds: no partial download or unpacking may be left.
  std::vector<std::string> TempEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(temp_))) {
      names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  Installation install_;
  RunOptions options_;
  std::string temp_ = install_.File("tmp");
  std::string served_ = install_.File("served.zip");
  std::string java_name_ = OnWindows() ? "javaw.exe" : "java";
};

using Names = std::vector<std::string>;

TEST_F(JavaDownloadTest, UnpackedRuntimeIsReusedWithoutRunningAnything) {
  install_.Write("tmp/TolvarineJava/bin/" + java_name_, "");
  ProgramResult result = Run();
  EXPECT_EQ(JavaGiven(), Downloaded());
  EXPECT_EQ(result.out, ConsoleText(Report()));  // no tools there, and nothing reported
  EXPECT_EQ(WgetRuns(), "");
}

TEST_F(JavaDownloadTest, KeptArchiveIsUnpackedWithoutADownload) {
  InstallTools();
  WriteFile(Archive(), "bin/" + java_name_ + "\n");
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), Downloaded());
  EXPECT_EQ(WgetRuns(), "");
  std::string prefix = "x | -y | -o" + Folder() + ".unpacking-";
  EXPECT_EQ(UnpackerRuns().substr(0, prefix.size()), prefix);
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
}

TEST_F(JavaDownloadTest, MissingRuntimeIsDownloadedUnpackedAndKeptForLaterRuns) {
  InstallTools();
  Run();
  EXPECT_EQ(JavaGiven(), Downloaded());
  std::string wget = WgetRuns();
  std::string prefix = "-O | " + Archive() + ".part-";
  EXPECT_EQ(wget.substr(0, prefix.size()), prefix);
  EXPECT_NE(wget.find(" | " + served_ + "\n"), std::string::npos) << wget;
  EXPECT_EQ(wget.find("certificate"), std::string::npos);  // certificates stay checked
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
  Run();
  EXPECT_EQ(WgetRuns(), wget);  // nothing fetched or unpacked again
  EXPECT_EQ(Lines(UnpackerRuns()), 1);
}

TEST_F(JavaDownloadTest, TemporaryFolderOutsideTheCodePageHoldsTheDownload) {
  temp_ = install_.File("tmp \xD0\x96");  // "Ж" has no place in the ANSI code page
  fs::create_directories(fs::u8path(temp_));
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options_.environment[name] = temp_;
  InstallTools();
  Run();
  EXPECT_EQ(JavaGiven(), Downloaded());
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
}

TEST_F(JavaDownloadTest, MissingDownloaderIsReportedOnALineOfItsOwn) {
  std::string message = "Failed to locate \"" + install_.File("wget" + Exe()) + "\" file.\n";
  EXPECT_EQ(Run().out, ConsoleText(message + Report()));
  EXPECT_EQ(JavaGiven(), java_name_);
  WriteConfig("");  // no address either: still only the downloader is reported
  EXPECT_EQ(Run().out, ConsoleText(message + Report()));
}

TEST_F(JavaDownloadTest, MissingAddressIsReportedAndNothingIsFetched) {
  InstallTools();
  WriteConfig("JavaDownloadURL=\r\n");
  EXPECT_EQ(Run().out,
            ConsoleText("Failed to read \"JavaDownloadURL\" value from config file.\n" + Report()));
  EXPECT_EQ(WgetRuns(), "");
  EXPECT_EQ(JavaGiven(), java_name_);
}

TEST_F(JavaDownloadTest, FailedTransferLeavesNoArchiveAndTheNextRunFetchesAgain) {
  InstallTools();
  for (const char* mode : {"fail", "empty"}) {
    options_.environment["FAKE_WGET_MODE"] = mode;
    EXPECT_EQ(Run().out, ConsoleText("Failed to locate \"" + Archive() + "\" file.\n" + Report()));
    EXPECT_EQ(JavaGiven(), java_name_);
    EXPECT_EQ(TempEntries(), Names{}) << mode;
  }
  options_.environment["FAKE_WGET_MODE"] = "copy";
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), Downloaded());
}

TEST_F(JavaDownloadTest, DownloaderKilledHalfWayLeavesNothingAndTheNextRunFetchesAgain) {
  InstallTools();
  options_.environment["FAKE_WGET_MODE"] = "killed";
  EXPECT_EQ(Run().out, ConsoleText("Failed to locate \"" + Archive() + "\" file.\n" + Report()));
  EXPECT_EQ(JavaGiven(), java_name_);
  EXPECT_EQ(TempEntries(), Names{});
  options_.environment["FAKE_WGET_MODE"] = "copy";
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), Downloaded());
}

TEST_F(JavaDownloadTest, MissingUnpackerIsReportedAndTheArchiveIsKept) {
  fs::copy_file(HelperProgram("fake_wget"), install_.File("wget" + Exe()));
  std::string message = "Failed to locate \"" + install_.File("7z" + Exe()) + "\" file.\n";
  EXPECT_EQ(Run().out, ConsoleText(message + Report()));
  EXPECT_EQ(TempEntries(), Names{"TolvarineJava.zip"});
  install_.Write("tmp/TolvarineJava/bin/" + java_name_, "");
  EXPECT_EQ(Run().out, ConsoleText(Report()));  // the runtime is there: nothing to report
  EXPECT_EQ(JavaGiven(), Downloaded());
}

TEST_F(JavaDownloadTest, UnpackerWarningsStillCountAsUnpacked) {
  InstallTools();
  WriteFile(Archive(), "bin/" + java_name_ + "\n");
  options_.environment["FAKE_7Z_MODE"] = "warn";  // all unpacked, exit status 1
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), Downloaded());
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
}

TEST_F(JavaDownloadTest, LeftoversOfLaunchersThatAreGoneAreRemoved) {
  // 2147483647 is no running process's id on either system; the test's own id is running.
  const std::string gone = "2147483647";
  const std::string running = std::to_string(tolvarine::platform::CurrentProcessId());
  install_.Write("tmp/TolvarineJava/bin/" + java_name_, "");
  WriteFile(Archive(), "bin/" + java_name_ + "\n");
  for (const std::string& owner : {gone, running}) {
    WriteFile(Archive() + ".part-" + owner, "half an archive");
    install_.Write("tmp/TolvarineJava.unpacking-" + owner + "/bin/" + java_name_, "");
    install_.Write("tmp/TolvarineJava.stale-" + owner + "/bin/old", "");
  }
  install_.Write("tmp/TolvarineJava.unpacking-" + gone + "x", "not a launcher's");
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), Downloaded());
  Names kept = {"TolvarineJava",
                "TolvarineJava.zip",
                "TolvarineJava.unpacking-" + gone + "x",
                "TolvarineJava.zip.part-" + running,
                "TolvarineJava.unpacking-" + running,
                "TolvarineJava.stale-" + running};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(TempEntries(), kept);
}

TEST_F(JavaDownloadTest, InheritedIgnoredChildSignalChangesNothing) {
  if (OnWindows()) GTEST_SKIP() << "Windows has no SIGCHLD";
  InstallTools();
  for (int run = 0; run < 2; ++run) {
    ProgramResult result =
        testing_support::RunProgram({HelperProgram("restricted_run"), "sigchld=ignore",
                                     install_.launcher(), "in.svg", "out.pdf"},
                                    {install_.work(), options_.environment});
    EXPECT_EQ(result.out, Report()) << run;
    EXPECT_EQ(JavaGiven(), Downloaded()) << run;
  }
  EXPECT_EQ(Lines(WgetRuns()), 1);  // kept from the first run
  EXPECT_EQ(Lines(UnpackerRuns()), 1);
}

TEST_F(JavaDownloadTest, ArchiveWithoutTheExecutableAtItsTopIsUnpackedAgainEveryRun) {
  InstallTools();
  WriteFile(Archive(), "runtime/bin/" + java_name_ + "\n");
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_EQ(JavaGiven(), java_name_);
  Run();
  EXPECT_EQ(Lines(UnpackerRuns()), 2);
  EXPECT_EQ(TempEntries(), Names{"TolvarineJava.zip"});
}

TEST_F(JavaDownloadTest, FailingUnpackerNeverLeavesAHalfRuntimeInPlace) {
  InstallTools();
  for (const char* mode : {"fail", "half", "killed"}) {
    options_.environment["FAKE_7Z_MODE"] = mode;
    EXPECT_EQ(Run().out, ConsoleText(Report()));
    EXPECT_EQ(JavaGiven(), java_name_);
    EXPECT_EQ(TempEntries(), Names{"TolvarineJava.zip"}) << mode;
  }
}

TEST_F(JavaDownloadTest, FolderLeftWithoutTheExecutableIsReplaced) {
  InstallTools();
  WriteFile(Archive(), "bin/" + java_name_ + "\n");
  install_.Write("tmp/TolvarineJava/bin/half-written", "");
  Run();
  EXPECT_EQ(JavaGiven(), Downloaded());
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
}

TEST_F(JavaDownloadTest, ConfiguredJavaNameIsLookedForInTheRuntime) {
  InstallTools();
  WriteConfig("JavaDownloadURL=" + served_ + "\r\nDefaultJavaEXE=myjava\r\n");
  WriteFile(served_, "bin/myjava\n");
  Run();
  EXPECT_EQ(JavaGiven(), Folder() + Sep() + "bin" + Sep() + "myjava");
}

TEST_F(JavaDownloadTest, TempFolderWithTrailingSeparatorGetsNoSecondOne) {
  InstallTools();
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options_.environment[name] = temp_ + Sep();
  Run();
  EXPECT_EQ(JavaGiven(), Downloaded());
}

TEST_F(JavaDownloadTest, LaunchersStartedTogetherAllEndWithTheWholeRuntime) {
  InstallTools();
  std::vector<ProgramResult> results = install_.RunTogether(4, {"in.svg", "out.pdf"}, options_);
  for (const ProgramResult& result : results) EXPECT_EQ(result.out, ConsoleText(Report()));
  EXPECT_TRUE(fs::exists(Downloaded()));
  EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"}));
}

TEST_F(JavaDownloadTest, TwoOrEightLaunchersRacingAllRunTheWholeRuntime) {
  // Each launcher's converter prints the Java executable it was given, so every run shows
  // its own.
  InstallTools();
  fs::copy_file(HelperProgram("print_args"), install_.File("print_args" + Exe()));
  install_.Write("config.dat", "[Info]\r\nRunEXE=[{EXEDIR}" + Sep() + "print_args" + Exe() +
                                   "] [{JAVAEXE}]\r\nJavaDownloadURL=" + served_ + "\r\n");
  const std::string shown = "[Message]\n============================\n[" + Downloaded() +
                            "]\n[in.svg]\n[out.pdf]\n============================\n";
  for (int copies : {2, 8}) {
    fs::remove_all(temp_);
    fs::create_directories(temp_);
    std::vector<ProgramResult> results =
        install_.RunTogether(copies, {"in.svg", "out.pdf"}, options_);
    for (const ProgramResult& result : results) {
      EXPECT_EQ(result.out, ConsoleText(shown + Report())) << copies;
      EXPECT_EQ(result.err, "") << copies;
    }
    EXPECT_EQ(TempEntries(), (Names{"TolvarineJava", "TolvarineJava.zip"})) << copies;
  }
}

class QuotedFolderDownloadTest : public JavaDownloadTest {
 protected:
  QuotedFolderDownloadTest() : JavaDownloadTest(OnWindows() ? "plain" : "in \"quoted\" folder") {}
};

TEST_F(QuotedFolderDownloadTest, ToolsGetTheirArgumentsUnchanged) {
  if (OnWindows()) GTEST_SKIP() << "Windows forbids double quotes in names";
  InstallTools();  // in the quoted folder, as is the temporary-files folder
  EXPECT_EQ(Run().out, ConsoleText(Report()));
  EXPECT_TRUE(fs::exists(Downloaded()));
  std::string wget = WgetRuns();
  std::string prefix = "-O | " + Archive() + ".part-";
  EXPECT_EQ(wget.substr(0, prefix.size()), prefix);
  std::string unpack = "x | -y | -o" + Folder() + ".unpacking-";
  EXPECT_EQ(UnpackerRuns().substr(0, unpack.size()), unpack);
}

}  // namespace
