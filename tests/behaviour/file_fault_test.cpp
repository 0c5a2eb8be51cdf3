// The files, folders and variables the launcher reads, in states a user's machine can be in:
// missing, unreadable, of the wrong kind, a named pipe, huge, binary, replaced while the
// launcher runs; PATH unset or very long; the output file's disk full or its writes refused.
// Each run ends, with the report and status the launcher always gives, and loses nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>

#include "output/producer_patch.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ConsoleText;
using testing_support::ExecutableSuffix;
using testing_support::HelperProgram;
using testing_support::Installation;
using testing_support::IsWindowsBuild;
using testing_support::MakeNamedPipe;
using testing_support::PathSeparator;
using testing_support::ProgramResult;
using testing_support::ReadFile;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::WriteFile;

const std::string kFailed = "[Error] Failed to create \"out.pdf\" file.\n";
const std::string kCreated = "[OK] Create \"out.pdf\" file successful.\n";

// An installation with the fake converter, which records its arguments when it runs.
class ReadFaultTest : public ::testing::Test {
 protected:
  ReadFaultTest() {
    fs::copy_file(HelperProgram("fake_converter"), install_.File("fake_converter" + Exe()));
    options_.environment["FAKE_CONVERTER_RECORD"] = Record();
  }
  static std::string Exe() { return ExecutableSuffix(); }
  std::string Record() const { return install_.File("argv.txt"); }
  std::string Config() const { return install_.File("config.dat"); }
  std::string RunExeLine() const {
    return "RunEXE=[{EXEDIR}" + PathSeparator() + "fake_converter" + Exe() + "] --ran\r\n";
  }
  ProgramResult Run(const std::vector<std::string>& args = {"in.svg", "out.pdf"}) const {
    return install_.Run(args, options_);
  }
  // A run whose converter never started: the report alone, status 0, nothing on stderr.
  void ExpectNothingRan(const std::string& what) {
    ProgramResult result = Run();
    EXPECT_EQ(result.out, ConsoleText(kFailed)) << what;
    EXPECT_EQ(result.err, "") << what;
    EXPECT_EQ(result.exit_code, 0) << what;
    EXPECT_FALSE(fs::exists(Record())) << what;
  }
  void Reset(const std::string& path) const {
    std::error_code error;
    fs::remove_all(path, error);
  }
  // Lets the user "nobody" reach the installation and write the converter's record, for runs
  // through RunAsNobody.
  void OpenToNobody() {
    for (const std::string& folder :
         {install_.temp().path().string(), install_.dir(), install_.work()}) {
      fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
    }
    fs::create_directory(install_.File("records"));
    fs::permissions(install_.File("records"), fs::perms::all);
    options_.environment["FAKE_CONVERTER_RECORD"] = install_.File("records/argv.txt");
  }
  ProgramResult RunAsNobody() const {
    return RunProgram({HelperProgram("restricted_run"), "uid=" + std::to_string(kNobody),
                       install_.launcher(), "in.svg", "out.pdf"},
                      RunOptions{install_.work(), options_.environment});
  }
  static constexpr int kNobody = 65534;

  Installation install_;
  RunOptions options_;
};

TEST_F(ReadFaultTest, ConfigThatCannotBeReadRunsNothingAndEndsWithTheReport) {
  ExpectNothingRan("missing");
  fs::create_directory(Config());
  ExpectNothingRan("a folder");
  Reset(Config());
  if (MakeNamedPipe(Config())) {  // no writer: a blocking open or read would never return
    ExpectNothingRan("a named pipe");
    Reset(Config());
  }
  if (!IsWindowsBuild()) {
    fs::create_symlink("no-such-file", Config());
    ExpectNothingRan("a dangling link");
    Reset(Config());
    fs::create_symlink("config.dat", Config());
    ExpectNothingRan("a link to itself");
    Reset(Config());
  }
  install_.Write("config.dat", "[Info]\r\n" + RunExeLine());
  fs::permissions(Config(), fs::perms::none);
  if (ReadFile(Config()).empty()) ExpectNothingRan("no read permission");  // not for root
  fs::permissions(Config(), fs::perms::owner_all);
  EXPECT_EQ(Run().out, ConsoleText(kFailed));  // the same file, readable again, is used
  EXPECT_EQ(ReadFile(Record()), "[--ran]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, ConfigTheUserMayNotReadRunsNothing) {
  if (IsWindowsBuild()) GTEST_SKIP() << "Windows has no other user to run the launcher as here";
  if (!testing_support::RunsAsSuperuser()) GTEST_SKIP() << "needs root to run as another user";
  OpenToNobody();
  install_.Write("config.dat", "[Info]\r\n" + RunExeLine());
  fs::permissions(Config(), fs::perms::owner_read | fs::perms::owner_write);  // root's alone
  ProgramResult result = RunAsNobody();
  EXPECT_EQ(result.out, kFailed);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_FALSE(fs::exists(install_.File("records/argv.txt")));
  fs::permissions(Config(), fs::perms::others_read, fs::perm_options::add);
  EXPECT_EQ(RunAsNobody().out, kFailed);
  EXPECT_EQ(ReadFile(install_.File("records/argv.txt")), "[--ran]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, HugeConfigIsReadToItsEnd) {
  std::string filler;
  const std::string line = "; " + std::string(1000, '-') + "\r\n";
  while (filler.size() < 50 * 1024 * 1024) filler += line;
  install_.Write("config.dat", "[Other]\r\n" + filler + "[Info]\r\n" + filler + RunExeLine());
  EXPECT_EQ(Run().out, ConsoleText(kFailed));
  EXPECT_EQ(ReadFile(Record()), "[--ran]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, HugeValueIsReadInBoundedMemoryAndCut) {
  if (IsWindowsBuild()) GTEST_SKIP() << "the memory limit is set with POSIX's setrlimit";
  if (testing_support::LauncherUnderMemcheck()) GTEST_SKIP() << "valgrind needs more memory";
  // 200 MB in one line, read under a 150 MB address-space limit: the template is cut at its
  // documented length, and the converter runs with what is left.
  const std::string head = "[{EXEDIR}/fake_converter] ";
  std::string config = "[Info]\r\nRunEXE=" + head;
  config.append(200 * 1024 * 1024, 'a');
  install_.Write("config.dat", config + "\r\n");
  ProgramResult result =
      RunProgram({HelperProgram("restricted_run"), "memory=" + std::to_string(150 * 1024 * 1024),
                  install_.launcher(), "in.svg", "out.pdf"},
                 RunOptions{install_.work(), options_.environment});
  EXPECT_EQ(result.out, kFailed);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(Record()),
            "[" + std::string(2999 - head.size(), 'a') + "]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, WithoutProcTheLauncherFindsItselfByItsNameOrSaysItCannot) {
  if (IsWindowsBuild()) GTEST_SKIP() << "/proc is the POSIX build's";
  if (testing_support::LauncherUnderMemcheck()) GTEST_SKIP() << "valgrind needs /proc";
  if (!fs::exists("/usr/bin/unshare")) GTEST_SKIP() << "needs unshare to hide /proc";
  install_.Write("config.dat", "[Info]\r\n" + RunExeLine());
  // A mount namespace of its own with nothing at /proc, then the command.
  auto run_without_proc = [&](const std::string& command) {
    return RunProgram({"/usr/bin/unshare", "-m", "sh", "-c",
                       "mount -t tmpfs none /proc && test ! -e /proc/self && " + command,
                       install_.launcher(), install_.dir()},
                      RunOptions{install_.work(), options_.environment});
  };
  if (run_without_proc("true").exit_code != 0) GTEST_SKIP() << "cannot hide /proc here";
  const std::string ran = "[--ran]\n[in.svg]\n[out.pdf]\n";
  struct Row {
    const char* what;
    std::string command;
    std::string out;
  };
  for (const Row& row : std::vector<Row>{
           {"by its path", "exec \"$0\" in.svg out.pdf", kFailed},
           {"found on PATH", "PATH=\"$1:/usr/bin:/bin\" exec tolvarine in.svg out.pdf", kFailed},
           {"nowhere", "exec bash -c 'exec -a tolvarine \"$0\" in.svg out.pdf' \"$0\"",
            "[Error] Failed to locate the launcher's own folder: its installation cannot be "
            "used.\n" +
                kFailed}}) {
    Reset(Record());
    ProgramResult result = run_without_proc(row.command);
    EXPECT_EQ(result.out, row.out) << row.what;
    EXPECT_EQ(result.err, "") << row.what;
    EXPECT_EQ(fs::exists(Record()) ? ReadFile(Record()) : "<not run>",
              row.out == kFailed ? ran : "<not run>")
        << row.what;
  }
}

TEST_F(ReadFaultTest, BinaryConfigGivesWhatItsLinesHold) {
  std::mt19937 random(8);
  std::string noise(1024 * 1024, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  install_.Write("config.dat", noise);
  ExpectNothingRan("noise alone");
  // The same bytes around the section: only its own lines count.
  install_.Write("config.dat", noise + "\n[Info]\r\n" + RunExeLine() + noise);
  EXPECT_EQ(Run().out, ConsoleText(kFailed));
  EXPECT_EQ(ReadFile(Record()), "[--ran]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, ConfigReplacedWhileTheLauncherRunsIsReadAsItIsThen) {
  // The version test's "java" swaps config.dat for a folder after RunEXE was read and before
  // the download address is: every read looks at the file system again.
  install_.Write("config.dat",
                 "[Info]\r\nRunEXE=[{EXEDIR}" + PathSeparator() + "fake_converter" + Exe() +
                     "] [{JAVAEXE}]\r\nJavaDownloadURL=http://127.0.0.1:9/jre.zip\r\n");
  fs::create_directories(install_.File("bin"));
  fs::copy_file(HelperProgram("fake_java"), install_.File("bin/java" + Exe()));
  fs::copy_file(HelperProgram("fake_wget"), install_.File("wget" + Exe()));
  fs::create_directory(install_.File("replacement"));
  options_.environment["FAKE_JAVA_REPLACE"] = install_.File("replacement") + "|" + Config();
  options_.environment["FAKE_WGET_RECORD"] = install_.File("wget.txt");
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options_.environment[name] = install_.work();
  ProgramResult result = Run();
  EXPECT_EQ(result.out,
            ConsoleText("Failed to read \"JavaDownloadURL\" value from config file.\n" + kFailed));
  EXPECT_TRUE(fs::is_directory(Config()));
  EXPECT_FALSE(fs::exists(install_.File("wget.txt")));  // nothing fetched
  EXPECT_EQ(ReadFile(Record()), std::string("[") + (IsWindowsBuild() ? "javaw.exe" : "java") +
                                    "]\n[in.svg]\n[out.pdf]\n");
}

TEST_F(ReadFaultTest, HelpFileThatCannotBeReadPrintsNothing) {
  fs::create_directory(install_.File("options.dat"));
  ProgramResult result = Run({"--help"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
  Reset(install_.File("options.dat"));
  if (!MakeNamedPipe(install_.File("options.dat"))) {
    GTEST_SKIP() << "Windows keeps named pipes in their own name space, not at file paths";
  }
  result = Run({"--help"});
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.exit_code, 0);
}

TEST_F(ReadFaultTest, OutputThatIsANamedPipeIsNotAResult) {
  if (!MakeNamedPipe(install_.work() + "/out.pdf")) {
    GTEST_SKIP() << "Windows keeps named pipes in their own name space, not at file paths";
  }
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(kFailed));
  EXPECT_EQ(result.exit_code, 0);
}

// --- The search path ------------------------------------------------------------------------

class SearchPathFaultTest : public ReadFaultTest {
 protected:
  SearchPathFaultTest() {
    install_.Write("config.dat", "[Info]\r\n" + RunExeLine());
    options_.environment["FAKE_CONVERTER_PATH_RECORD"] = install_.File("path.txt");
  }
  std::string Front() const {
    const std::string list = IsWindowsBuild() ? ";" : ":";
    return install_.dir() + PathSeparator() + list + install_.dir() + PathSeparator() + list;
  }
  std::string PathSeen() const { return ReadFile(install_.File("path.txt")); }
};

TEST_F(SearchPathFaultTest, UnsetPathBecomesTheDefaultBehindTheInstallation) {
  options_.environment["PATH"] = std::nullopt;
  ProgramResult result = Run();
  EXPECT_EQ(result.out, ConsoleText(kFailed));
  const std::string path = PathSeen();
  ASSERT_EQ(path.substr(0, Front().size()), Front());
  if (!IsWindowsBuild()) {
    // The system's default list, never an empty entry (which would mean the current folder).
    EXPECT_EQ(path.substr(Front().size()), "/bin:/usr/bin");
  }
}

TEST_F(SearchPathFaultTest, VeryLongPathIsPassedOnWhole) {
  if (IsWindowsBuild()) {
    GTEST_SKIP() << "Windows holds an environment variable to 32767 characters at most";
  }
  std::string long_path;
  for (int i = 0; long_path.size() < 100 * 1024; ++i) {
    long_path += "/nonexistent/folder-" + std::to_string(i) + ":";
  }
  long_path += "/usr/bin";
  options_.environment["PATH"] = long_path;
  EXPECT_EQ(Run().out, ConsoleText(kFailed));
  EXPECT_EQ(PathSeen(), Front() + long_path);
}

// --- The temporary-files folder --------------------------------------------------------------

// No runtime anywhere but the one the launcher downloads into its temporary-files folder.
class TempFolderFaultTest : public ReadFaultTest {
 protected:
  TempFolderFaultTest() {
    install_.Write("config.dat", "[Info]\r\nRunEXE=[{EXEDIR}" + PathSeparator() + "fake_converter" +
                                     Exe() + "] [{JAVAEXE}]\r\nJavaDownloadURL=" + Served() +
                                     "\r\n");
    WriteFile(Served(), "bin/" + JavaName() + "\n");
    fs::create_directories(install_.File("bin"));
    fs::copy_file(HelperProgram("fake_java"), install_.File("bin/java" + Exe()));
    fs::copy_file(HelperProgram("fake_wget"), install_.File("wget" + Exe()));
    fs::copy_file(HelperProgram("fake_7z"), install_.File("7z" + Exe()));
  }
  std::string Served() const { return install_.File("served.zip"); }
  static std::string JavaName() { return IsWindowsBuild() ? "javaw.exe" : "java"; }
  void UseTempFolder(const std::optional<std::string>& folder) {
    for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options_.environment[name] = folder;
  }
  std::string Refused() const { return "Failed to locate the temporary-files folder.\n" + kFailed; }
  std::string GivenJavaOnly() const { return "[" + JavaName() + "]\n[in.svg]\n[out.pdf]\n"; }
};

TEST_F(TempFolderFaultTest, MissingFolderOrAFileInItsPlaceLeavesNoArchiveAndTheBareName) {
  if (testing_support::LauncherUnderMemcheck()) {
    GTEST_SKIP() << "valgrind keeps its own files in TMPDIR and cannot start without one";
  }
  const std::string missing = install_.File("no-such-folder");
  const std::string file = install_.File("a-file");
  WriteFile(file, "not a folder");
  for (const std::string& folder : {missing, file}) {
    UseTempFolder(folder);
    ProgramResult result = Run();
    EXPECT_EQ(result.out, ConsoleText("Failed to locate \"" + folder + PathSeparator() +
                                      "TolvarineJava.zip\" file.\n" + kFailed));
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(ReadFile(Record()), GivenJavaOnly()) << folder;
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(ReadFile(file), "not a folder");
}

// The per-user folder in /tmp, for the user "nobody", as the tests prepare it; removed after.
class SharedTempFolder {
 public:
  static constexpr int kUser = 65534;  // nobody
  SharedTempFolder() { Clear(); }
  SharedTempFolder(const SharedTempFolder&) = delete;
  SharedTempFolder& operator=(const SharedTempFolder&) = delete;
  ~SharedTempFolder() { Clear(); }
  std::string path() const { return "/tmp/tolvarine-" + std::to_string(kUser); }
  void Clear() const {
    std::error_code error;
    fs::remove_all(path(), error);
    fs::remove_all(path() + "-elsewhere", error);
  }
  // Gives `path` to the user, or to root when `to_user` is false.
  void Own(const std::string& path, bool to_user) const {
    const std::string owner = to_user ? std::to_string(kUser) : "0";
    EXPECT_EQ(RunProgram({"/bin/chown", "-h", owner + ":" + owner, path}).exit_code, 0) << path;
  }
};

TEST_F(TempFolderFaultTest, SharedFolderThatOthersControlIsRefused) {
  if (IsWindowsBuild()) GTEST_SKIP() << "the per-user folder in /tmp is the POSIX build's";
  if (!testing_support::RunsAsSuperuser()) GTEST_SKIP() << "needs root to run as another user";
  SharedTempFolder shared;
  OpenToNobody();
  UseTempFolder(std::nullopt);
  auto run_as_user = [&] { return RunAsNobody(); };
  const std::string path = shared.path();
  const auto user_only = fs::perms::owner_all;
  struct Case {
    const char* what;
    std::function<void()> prepare;
  };
  const Case cases[] = {
      {"owned by root",
       [&] {
         fs::create_directory(path);
         fs::permissions(path, user_only);
       }},
      {"group-writable",
       [&] {
         fs::create_directory(path);
         fs::permissions(path, user_only | fs::perms::group_all);
         shared.Own(path, true);
       }},
      {"a link to the user's folder",
       [&] {
         fs::create_directory(path + "-elsewhere");
         fs::permissions(path + "-elsewhere", user_only);
         shared.Own(path + "-elsewhere", true);
         fs::create_symlink(path + "-elsewhere", path);
         shared.Own(path, true);
       }},
      {"a file",
       [&] {
         WriteFile(path, "");
         shared.Own(path, true);
       }},
  };
  for (const Case& one : cases) {
    shared.Clear();
    one.prepare();
    ProgramResult result = run_as_user();
    EXPECT_EQ(result.out, Refused()) << one.what;
    EXPECT_EQ(result.err, "") << one.what;
    EXPECT_EQ(ReadFile(install_.File("records/argv.txt")), GivenJavaOnly()) << one.what;
    EXPECT_FALSE(fs::exists(path + "/TolvarineJava.zip")) << one.what;
  }
  // Missing, it is made the user's own, and the runtime goes there.
  shared.Clear();
  ProgramResult result = run_as_user();
  EXPECT_EQ(result.out, kFailed);
  EXPECT_EQ(fs::status(path).permissions(), user_only);
  EXPECT_EQ(ReadFile(install_.File("records/argv.txt")),
            "[" + path + "/TolvarineJava/bin/java]\n[in.svg]\n[out.pdf]\n");
}

// --- The output file's writes fail -----------------------------------------------------------

const std::string kConverterText = tolvarine::kConverterProducerText;
const std::string kProductText = tolvarine::kProductProducerText;

std::string PdfWithProducer(std::size_t filler) {
  return "%PDF-1.4\n" + std::string(filler, 'z') + "\n<< /Producer " + kConverterText +
         " >>\n%%EOF\n";
}

// A file system of 64 KiB mounted for one test, and taken down after it.
class SmallFileSystem {
 public:
  explicit SmallFileSystem(const std::string& folder) : folder_(folder) {
    fs::create_directories(folder);
    mounted_ =
        fs::exists("/bin/mount") &&
        RunProgram({"/bin/mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}).exit_code == 0;
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  ~SmallFileSystem() {
    if (mounted_) {
      EXPECT_EQ(RunProgram({"/bin/umount", folder_}).exit_code, 0);
    }
  }
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

TEST(OutputWriteFaultTest, FullDiskLeavesTheOutputFileItsLengthAndPatchesItInPlace) {
  if (IsWindowsBuild()) GTEST_SKIP() << "mounting a small file system is a POSIX test's tool";
  Installation install;
  SmallFileSystem disk(install.work() + "/full");
  if (!disk.mounted()) GTEST_SKIP() << "this user may not mount a file system (needs root)";
  const std::string output = install.work() + "/full/out.pdf";
  const std::string content = PdfWithProducer(20000);
  WriteFile(output, content);
  // Fill every block that is left, so that any write that needs a new block fails.
  {
    std::FILE* filler = std::fopen((install.work() + "/full/filler").c_str(), "wb");
    ASSERT_NE(filler, nullptr);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }
  install.UseFakeConverter();
  RunOptions options;
  options.environment["FAKE_CONVERTER_TOUCH"] = "full/out.pdf";
  ProgramResult result = install.Run({"in.svg", "full/out.pdf"}, options);
  EXPECT_EQ(result.out, ConsoleText("[OK] Create \"full/out.pdf\" file successful.\n"));
  EXPECT_EQ(result.exit_code, 1);
  // The text's own bytes are rewritten where they are, which needs no new block.
  std::string expected = content;
  expected.replace(expected.find(kConverterText), kProductText.size(), kProductText);
  EXPECT_EQ(ReadFile(output), expected);
}

TEST(OutputWriteFaultTest, RefusedWriteNeverChangesTheFilesLength) {
  if (IsWindowsBuild()) GTEST_SKIP() << "Windows has no file-size limit for one process";
  Installation install;
  install.UseFakeConverter();
  const std::string output = install.work() + "/out.pdf";
  const std::string content = PdfWithProducer(100000);
  const std::size_t at = content.find(kConverterText);
  // The limit falls before the text (the write fails at once) or inside it (the write stops
  // part-way, as on a disk that fills up meanwhile).
  for (std::size_t limit : {at, at + 10}) {
    WriteFile(output, content);
    RunOptions options;
    options.working_directory = install.work();
    options.environment["FAKE_CONVERTER_TOUCH"] = "out.pdf";
    ProgramResult result =
        RunProgram({HelperProgram("restricted_run"), "fsize=" + std::to_string(limit),
                    install.launcher(), "in.svg", "out.pdf"},
                   options);
    EXPECT_EQ(result.out, kCreated) << limit;
    EXPECT_EQ(result.err, "") << limit;
    EXPECT_EQ(result.exit_code, 1) << limit;
    std::string after = ReadFile(output);
    ASSERT_EQ(after.size(), content.size()) << limit;
    EXPECT_EQ(after.substr(0, at), content.substr(0, at));
    EXPECT_EQ(after.substr(at + kConverterText.size()), content.substr(at + kConverterText.size()));
    EXPECT_EQ(after.substr(at, limit - at), kProductText.substr(0, limit - at));
  }
  // Under -debug the system's reason follows the report.
  WriteFile(output, content);
  RunOptions options{install.work(), {{"FAKE_CONVERTER_TOUCH", "out.pdf"}}};
  ProgramResult result = RunProgram({HelperProgram("restricted_run"), "fsize=" + std::to_string(at),
                                     install.launcher(), "-debug", "in.svg", "out.pdf"},
                                    options);
  EXPECT_EQ(result.out,
            "[Cmd] \"in.svg\" \"out.pdf\"\n" + kCreated + "[Debug] pwrite: File too large\n");
}

}  // namespace
