// The files, folders and limits of a user's machine: config.dat of the wrong kind, with a huge
// value, or replaced while the launcher runs; no /proc; the temporary-files folder missing or in
// others' hands; the output file's writes refused. Each run ends with the report and status the
// launcher always gives, and loses nothing.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

const std::string kDownload =
    "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL={DIR}/served.zip\n";

TEST(FileFaultTest, ConfigStates) {
  auto config = [](const std::string& kind) { return Files{{"config.dat", kind}}; };
  RunCases({
      {"a folder", "", kArgs, Failed(), 0, "<none>", kSameEnv, config("<dir>")},
      {"a named pipe without a writer", "", kArgs, Failed(), 0, "<none>", kSameEnv,
       config("<fifo>"), kNoFiles, "posix"},
      {"a dangling link", "", kArgs, Failed(), 0, "<none>", kSameEnv, config("<link>nothing"),
       kNoFiles, "posix"},
      // The version test's "java" swaps config.dat for a folder after RunEXE was read and
      // before the download address is: every read looks at the file system again.
      {"replaced while the launcher runs", kDownload, kArgs,
       "Failed to read \"JavaDownloadURL\" value from config file.\n" + Failed(), 0,
       "[{JAVA}]" + kRan,
       Environment{{"FAKE_JAVA_DO", "replace:{DIR}/replacement>{DIR}/config.dat"}},
       Files{{"bin/java", "<helper>"}, {"wget", "<helper>"}, {"replacement", "<dir>"}},
       Files{{"WGET.txt", "<none>"}}},
  });
}

TEST(FileFaultTest, HugeValueReadInBoundedMemoryAndCut) {
  if (IsWindowsBuild() || UnderMemcheck() || UnderSanitizer()) {
    GTEST_SKIP() << "POSIX's setrlimit, without valgrind's or the sanitizer's own memory";
  }
  // 200 MB in one line under a 150 MB address-space limit: the template is cut at its length
  // (2999 characters), and the converter runs with what is left.
  Installation install;
  install.UseConverter(" " + std::string(200 * 1024 * 1024, 'a'));
  RunOptions options{install.work(), {{"FAKE_CONV_RECORD", install.File("argv.txt")}}};
  ProgramResult result = RunProgram(
      {Helper(), "restricted", "memory=157286400", install.launcher(), "in.svg", "out.pdf"},
      options);
  EXPECT_EQ(result.out, Failed());
  EXPECT_EQ(ReadFile(install.File("argv.txt")),
            "[" + std::string(2999 - 16, 'a') + "][in.svg][out.pdf]\n");
}

TEST(FileFaultTest, WithoutProcTheLauncherFindsItselfByNameOrSaysItCannot) {
  if (IsWindowsBuild() || UnderMemcheck() || UnderSanitizer()) {
    GTEST_SKIP() << "/proc is POSIX's; valgrind and the sanitizer's leak check need it";
  }
  Installation install;
  install.UseConverter(" --ran");
  RunOptions options{install.work(), {{"FAKE_CONV_RECORD", install.File("argv.txt")}}};
  auto without_proc = [&](const std::string& command) {
    return RunProgram({"/usr/bin/unshare", "-m", "sh", "-c",
                       "mount -t tmpfs none /proc && test ! -e /proc/self && " + command,
                       install.launcher(), install.dir()},
                      options);
  };
  if (without_proc("true").exit_code != 0) GTEST_SKIP() << "cannot hide /proc here";
  const std::string cannot =
      "[Error] Failed to locate the launcher's own folder: its installation cannot be used.\n";
  for (const auto& [command, out] : std::vector<std::pair<std::string, std::string>>{
           {"exec \"$0\" in.svg out.pdf", Failed()},
           {"PATH=\"$1:/usr/bin:/bin\" exec tolvarine in.svg out.pdf", Failed()},
           {"exec bash -c 'exec -a tolvarine \"$0\" in.svg out.pdf' \"$0\"", cannot + Failed()}}) {
    fs::remove(install.File("argv.txt"));
    EXPECT_EQ(without_proc(command).out, out) << command;
    EXPECT_EQ(ReadFile(install.File("argv.txt")),
              out == cannot + Failed() ? "<none>" : "[--ran]" + kRan);
  }
}

TEST(FileFaultTest, TemporaryFilesFolderMissingOrAFile) {
  const Files tools = {{"bin/java", "<helper>"},
                       {"wget", "<helper>"},
                       {"7z", "<helper>"},
                       {"a-file", "not a folder"}};
  auto temp = [](const std::string& folder) {
    return Environment{{"TMPDIR", folder}, {"TMP", folder}, {"TEMP", folder}};
  };
  RunCases({
      {"missing", kDownload, kArgs, Missing("{DIR}{SEP}none{SEP}TolvarineJava.zip") + Failed(), 0,
       "[{JAVA}]" + kRan, temp("{DIR}{SEP}none"), tools, Files{{"none", "<none>"}}, "speed"},
      {"a file", kDownload, kArgs, Missing("{DIR}{SEP}a-file{SEP}TolvarineJava.zip") + Failed(), 0,
       "[{JAVA}]" + kRan, temp("{DIR}{SEP}a-file"), tools, Files{{"a-file", "not a folder"}},
       "speed"},
  });
}

// Runs as the user "nobody" need the installation open to it and a record it may write; false
// when a folder above the temp folder is closed to others.
bool OpenToNobody(Installation& install, RunOptions& options) {
  for (fs::path up = install.root().parent_path(); up != up.root_path(); up = up.parent_path()) {
    if ((fs::status(up).permissions() & fs::perms::others_exec) == fs::perms::none) return false;
  }
  for (const fs::path& folder :
       {install.root(), fs::path(install.dir()), fs::path(install.work())}) {
    fs::permissions(folder, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  }
  fs::create_directory(install.File("records"));
  fs::permissions(install.File("records"), fs::perms::all);
  options = {install.work(), {{"FAKE_CONV_RECORD", install.File("records/argv.txt")}}};
  return true;
}

ProgramResult RunAsNobody(const Installation& install, const RunOptions& options) {
  return RunProgram({Helper(), "restricted", "uid=65534", install.launcher(), "in.svg", "out.pdf"},
                    options);
}

// Without TMPDIR the runtime goes to /tmp/tolvarine-UID, which must be the user's alone.
TEST(FileFaultTest, SharedTemporaryFolderThatOthersControlIsRefused) {
  if (!RunsAsSuperuser()) GTEST_SKIP() << "needs root to run as another user";
  const std::string path = "/tmp/tolvarine-65534";
  auto clear = [&] {
    fs::remove_all(path);
    fs::remove_all(path + "-elsewhere");
  };
  auto own = [](const std::string& file, const char* who) {
    EXPECT_EQ(RunProgram({"/bin/chown", "-h", std::string(who) + ":" + who, file}).exit_code, 0);
  };
  const std::string refused = "Failed to locate the temporary-files folder.\n" + Failed();
  Installation install("", "/tmp");  // whatever the temp folder is, open to others
  RunOptions options;
  if (!OpenToNobody(install, options)) GTEST_SKIP() << "the temp folder is closed to others";
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL=" + install.File("served.zip") + "\r\n");
  install.Write("served.zip", "bin/java\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  options.environment["TMPDIR"] = std::nullopt;
  for (int state = 0; state < 5; ++state) {
    clear();
    if (state == 0 || state == 1) fs::create_directory(path);
    if (state == 0) fs::permissions(path, fs::perms::owner_all);  // root's
    if (state == 1) fs::permissions(path, fs::perms::owner_all | fs::perms::group_all);
    if (state == 2) {  // a link to a folder of the user's
      fs::create_directory(path + "-elsewhere");
      fs::permissions(path + "-elsewhere", fs::perms::owner_all);
      own(path + "-elsewhere", "65534");
      fs::create_symlink(path + "-elsewhere", path);
    }
    if (state == 3) WriteFile(path, "");
    if (state != 0 && state != 4) own(path, "65534");
    fs::remove(install.File("records/argv.txt"));
    EXPECT_EQ(RunAsNobody(install, options).out, state == 4 ? Failed() : refused) << state;
    EXPECT_EQ(
        ReadFile(install.File("records/argv.txt")),
        (state == 4 ? "[" + path + "/TolvarineJava/bin/java]" : "[java]") + "[in.svg][out.pdf]\n")
        << state;
  }
  // Missing, it was made the user's own.
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);
  clear();
}

TEST(FileFaultTest, RefusedWritesNeverChangeTheFilesLength) {
  const std::string content =
      "%PDF-1.4\n" + std::string(100000, 'z') + "\n<< /Producer " + kConverterText + " >>\n%%EOF\n";
  const std::size_t at = content.find(kConverterText);
  std::string partly = content;
  partly.replace(at, 10, kProductText.substr(0, 10));
  const Files before = {{"work/out.pdf", content}};
  const Environment touch = Does("touch:out.pdf");
  auto limit = [](std::size_t bytes) { return "fsize=" + std::to_string(bytes); };
  // The limit falls before the text (the write fails at once) or inside it (it stops part-way,
  // as on a disk that fills up meanwhile).
  RunCases({
      {"limit before the text", kConv, kArgs, Created(), 1, kRan, touch, before, before, "posix",
       limit(at)},
      {"limit inside the text", kConv, kArgs, Created(), 1, kRan, touch, before,
       Files{{"work/out.pdf", partly}}, "posix", limit(at + 10)},
      // The only reason shown is the write's: the run itself went without a fault.
      {"the reason under -debug", kConv, Args{"-debug", "in.svg", "out.pdf"},
       "[Cmd] \"in.svg\" \"out.pdf\"\n" + Framed("converted\n") + Created() +
           "[Debug] pwrite: File too large\n",
       1, kRan, Does("out:converted\\n|touch:out.pdf"), before, before, "posix", limit(at)},
  });
}

}  // namespace
}  // namespace behaviour
