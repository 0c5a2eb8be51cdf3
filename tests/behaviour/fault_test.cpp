// The runs that no case file can describe: a gate opened while the launcher runs, launchers
// started together, a system without /proc, and the shared temporary folder in others' hands.
#include "behaviour/cases.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace behaviour {
namespace {

// The converter stops at a gate that opens only once its first line is shown: a launcher that
// shows nothing before the converter's end makes the gate time out.
TEST(ConverterFaultTest, EachLineShownWhileTheConverterStillRuns) {
  Installation install;
  install.UseConverter();
  const std::string gate = install.File("gate");
  const std::string first = ConsoleText(Expand("[Message]\n{FRAME}first\n", install));
  RunOptions options{install.File("work"),
                     {{"FAKE_CONV_DO", "out:first\nsecond|gate:" + gate + "|out: half\n"}}};
  ProgramResult result =
      RunTogether({install.Command(kArgs)}, options, [&](const std::string& out) {
        if (out == first) WriteFile(gate, "");
      }).front();
  EXPECT_EQ(result.out,
            ConsoleText(Expand("[Message]\n{FRAME}first\nsecond half\n{FRAME}{FAILED}", install)));
  EXPECT_EQ(ReadFile(gate + ".timeout"), "<none>");
}

// Launchers started together: each ends with the whole runtime, none leaves a part behind.
TEST(JavaDownloadTest, LaunchersRacing) {
  Installation install;
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL={DIR}/served.zip\r\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  install.Write("served.zip", Expand("bin/{JAVA}\n", install));
  std::string expected;
  for (const ProgramResult& result :
       RunTogether(std::vector(8, install.Command(kArgs)), install.Options())) {
    EXPECT_EQ(result.out, ConsoleText(kFailed));
    EXPECT_EQ(result.exit_code, 0);
    expected += Expand("{KEPT}{RAN}", install);
  }
  EXPECT_EQ(ReadFile(install.File("CONV.txt")), expected);
  EXPECT_EQ(Listing(install.File("tmp")), "TolvarineJava TolvarineJava.zip");
}

#ifndef _WIN32
TEST(FileFaultTest, WithoutProcTheLauncherFindsItselfByNameOrSaysItCannot) {
  if (UnderMemcheck() || SANITIZED_BUILD) GTEST_SKIP() << "valgrind and the sanitizer need /proc";
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
    EXPECT_EQ(without_proc(command).out, (ran ? "" : cannot) + kFailed) << command;
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), ran ? "[--ran][in.svg][out.pdf]\n" : "<none>");
  }
}

// Without TMPDIR the runtime goes to /tmp/tolvarine-UID, which must be the user's alone.
TEST(FileFaultTest, SharedTemporaryFolderThatOthersControlIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run as another user";
  const std::string path = "/tmp/tolvarine-65534";
  auto shell = [&](const std::string& command) {
    return RunProgram({"/bin/sh", "-c", "P=" + path + "; rm -rf $P $P-x; " + command});
  };
  Installation install("", "/tmp");  // open to others, wherever the temp folder is
  for (const std::string& folder : {install.dir(), install.File("work")})
    fs::permissions(folder, fs::perms::all);
  install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL={DIR}/served.zip\r\n");
  install.Write("served.zip", "bin/java\n");
  for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
  RunOptions options = install.Options();
  options.environment["TMPDIR"] = std::nullopt;
  const std::string mine = " && chown -h 65534:65534 ", quoted = "\"" + path + "\"";
  // Root's, open to its group, a link to a folder of the user's, a file, and none.
  for (const auto& [made, why] : std::vector<std::pair<std::string, std::string>>{
           {"mkdir -m 700 $P", quoted + " belongs to another user"},
           {"mkdir -m 770 $P" + mine + "$P", "others can write " + quoted},
           {"mkdir -m 700 $P-x" + mine + "$P-x && ln -s $P-x $P" + mine + "$P",
            quoted + " is a link"},
           {": >$P" + mine + "$P", quoted + " is not a folder"},
           {"", ""}}) {
    shell(made);
    fs::remove(install.File("CONV.txt"));
    const ProgramResult result = RunProgram(
        {Helper(), "restricted", "uid=65534", install.launcher(), "in.svg", "out.pdf"}, options);
    const std::string looked = "Failed to find a Java runtime (looked for \"" +
                               install.File("jre/bin/java") + "\", \"java\" on PATH).\n";
    EXPECT_EQ(result.out, made.empty() ? kFailed
                                       : looked + "Failed to locate the temporary-files folder: " +
                                             why + ".\n" + kFailed)
        << made;
    EXPECT_EQ(
        ReadFile(install.File("CONV.txt")),
        (made.empty() ? "[" + path + "/TolvarineJava/bin/java]" : "[java]") + "[in.svg][out.pdf]\n")
        << made;
  }
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);  // made the user's own
  shell("");
}
#endif

}  // namespace
}  // namespace behaviour
