// The files, folders and limits of a user's machine: config.dat of the wrong kind, with a huge
// value, or replaced while the launcher runs; no /proc; the temporary-files folder missing or in
// others' hands; the output file's writes refused. Each run ends with the report and status the
// launcher always gives, and loses nothing.
#include "behaviour/cases.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace behaviour {
namespace {

TEST(FileFaultTest, ConfigStates) {
  auto config = [](const std::string& kind) { return Files{{"config.dat", kind}}; };
  // 200 MB in one line under a 150 MB address-space limit: the template is cut at its length.
  const std::string huge(200 * 1024 * 1024, 'a');
  RunCases({
      {"a folder", "", kArgs, Failed(), 0, "<none>", kSameEnv, config("<dir>")},
      {"a named pipe without a writer", "", kArgs, Failed(), 0, "<none>", kSameEnv,
       config("<fifo>"), kNoFiles, "posix"},
      {"a dangling link", "", kArgs, Failed(), 0, "<none>", kSameEnv, config("<link>nothing"),
       kNoFiles, "posix"},
      // The version test's "java" swaps config.dat for a folder after RunEXE was read and
      // before the download address is: every read looks at the file system again.
      {"replaced while the launcher runs",
       "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL={DIR}/served.zip\n", kArgs,
       "Failed to read \"JavaDownloadURL\" value from config file.\n" + Failed(), 0,
       "[{JAVA}]" + kRan,
       Environment{{"FAKE_JAVA_DO", "replace:{DIR}/replacement>{DIR}/config.dat"}},
       Files{{"bin/java", "<helper>"}, {"wget", "<helper>"}, {"replacement", "<dir>"}},
       Files{{"WGET.txt", "<none>"}}},
      {"a huge value read in bounded memory", "[Info]\nRunEXE={CONV} " + huge, kArgs, Failed(), 0,
       "[" + huge.substr(0, 2999 - 16) + "]" + kRan, kSameEnv, kNoFiles, kNoFiles, "posix plain",
       "memory=157286400"},
  });
}

TEST(FileFaultTest, WithoutProcTheLauncherFindsItselfByNameOrSaysItCannot) {
  if (kWindows || UnderMemcheck() || SANITIZED_BUILD) {
    GTEST_SKIP() << "/proc is POSIX's; valgrind and the sanitizer's leak check need it";
  }
  Installation install;
  install.UseConverter(" --ran");
  const RunOptions options = install.Options();
  auto without_proc = [&](const std::string& command) {
    return RunProgram({"/usr/bin/unshare", "-m", "sh", "-c",
                       "mount -t tmpfs none /proc && test ! -e /proc/self && " + command,
                       install.launcher(), install.dir()},
                      options);
  };
  if (without_proc("true").exit_code != 0) GTEST_SKIP() << "cannot hide /proc here";
  const std::string cannot =
      "[Error] Failed to locate the launcher's own folder: its installation cannot be used.\n";
  for (const auto& [command, ran] : std::vector<std::pair<std::string, bool>>{
           {"exec \"$0\" in.svg out.pdf", true},
           {"PATH=\"$1:/usr/bin:/bin\" exec tolvarine in.svg out.pdf", true},
           {"exec bash -c 'exec -a tolvarine \"$0\" in.svg out.pdf' \"$0\"", false}}) {
    fs::remove(install.File("CONV.txt"));
    EXPECT_EQ(without_proc(command).out, (ran ? "" : cannot) + Failed()) << command;
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), ran ? "[--ran]" + kRan : "<none>");
  }
}

#ifndef _WIN32
// Without TMPDIR the runtime goes to /tmp/tolvarine-UID, which must be the user's alone.
TEST(FileFaultTest, SharedTemporaryFolderThatOthersControlIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  const std::string path = "/tmp/tolvarine-65534";
  auto shell = [&](std::string command) {
    command = "rm -rf P P-x; " + command;
    for (std::size_t at = 0; (at = command.find('P', at)) != std::string::npos;)
      command.replace(at, 1, path);
    return RunProgram({"/bin/sh", "-c", command});
  };
  Installation install("", "/tmp");  // open to others, wherever the temp folder is
  for (const std::string& folder : {install.dir(), install.File("work")})
    fs::permissions(folder, fs::perms::all);
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL={DIR}/served.zip\r\n");
  install.Write("served.zip", "bin/java\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  RunOptions options = install.Options();
  options.environment["TMPDIR"] = std::nullopt;
  const std::string mine = " && chown -h 65534:65534 ";
  // Root's, open to its group, a link to a folder of the user's, a file, and none.
  for (const std::string& made :
       std::vector<std::string>{"mkdir -m 700 P", "mkdir -m 770 P" + mine + "P",
                                "mkdir -m 700 P-x" + mine + "P-x && ln -s P-x P" + mine + "P",
                                ": >P" + mine + "P", ""}) {
    shell(made);
    fs::remove(install.File("CONV.txt"));
    const ProgramResult result = RunProgram(
        {Helper(), "restricted", "uid=65534", install.launcher(), "in.svg", "out.pdf"}, options);
    EXPECT_EQ(result.out,
              made.empty() ? Failed() : "Failed to locate the temporary-files folder.\n" + Failed())
        << made;
    EXPECT_EQ(ReadFile(install.File("CONV.txt")),
              (made.empty() ? "[" + path + "/TolvarineJava/bin/java]" : "[java]") + kRan)
        << made;
  }
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);  // made the user's own
  shell("");
}
#endif

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
