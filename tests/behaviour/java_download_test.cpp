// The Java runtime kept in the temporary-files folder: reused, unpacked from a kept archive, or
// downloaded and unpacked, with the helper as downloader and unpacker, recording their runs. The
// system's "java" fails the version test, so only a runtime there is taken.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

const std::string kConfig = "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL={DIR}/served.zip\n";
const std::string kGot = "[{TMP}{SEP}TolvarineJava{SEP}bin{SEP}{JAVA}]" + kRan;
const std::string kNotGot = "[{JAVA}]" + kRan;
const std::string kKept = "TolvarineJava TolvarineJava.zip ";
const std::string kFetched = "[-O][{TMP}{SEP}TolvarineJava.zip.part-*][{DIR}/served.zip]\n";
const std::string kUnpacked = "[x][-y][-o{TMP}{SEP}TolvarineJava.unpacking-*][*]\n";

Files With(const Files& more) {
  Files files = {{"bin/java", "<helper>"}, {"served.zip", "bin/{JAVA}\n"}};
  for (const auto& [path, content] : more) files[path] = content;
  return files;
}
Files Tools(Files more = {}) {
  more.insert({{"wget", "<helper>"}, {"7z", "<helper>"}});
  return With(more);
}
Environment Temp(const std::string& folder) {
  return {{"TMPDIR", folder}, {"TMP", folder}, {"TEMP", folder}};
}

TEST(JavaDownloadTest, RuntimeKeptFetchedOrUnpacked) {
  const std::string gone = "2147483647";  // no running process's id on either system
  const std::string own = std::to_string(tolvarine::platform::CurrentProcessId());
  Files leftovers = {{"tmp/TolvarineJava/bin/{JAVA}", ""},
                     {"tmp/TolvarineJava.zip", "bin/{JAVA}\n"},
                     {"tmp/TolvarineJava.unpacking-" + gone + "x", "not a launcher's"},
                     {"outside/f1", "keep"}};
  std::vector<std::string> names = {"TolvarineJava", "TolvarineJava.zip",
                                    "TolvarineJava.unpacking-" + gone + "x"};
  for (const std::string& owner : {gone, own}) {
    leftovers["tmp/TolvarineJava.zip.part-" + owner] = "half an archive";
    leftovers["tmp/TolvarineJava.unpacking-" + owner + "/bin/{JAVA}"] = "";
    leftovers["tmp/TolvarineJava.stale-" + owner + "/bin/old"] = "";
  }
  // 0 and ids past the signed range would name process groups, or all processes, to kill().
  for (const char* never : {"0", "4294967295"})
    leftovers["tmp/TolvarineJava.unpacking-" + std::string(never) + "/x"] = "";
  if (!kWindows)
    leftovers["tmp/TolvarineJava.stale-" + gone + "/link"] = "<link>{DIR}/outside";
  for (const char* kind : {".zip.part-", ".unpacking-", ".stale-"})
    names.push_back("TolvarineJava" + std::string(kind) + own);
  std::sort(names.begin(), names.end());
  std::string kept;
  for (const std::string& name : names) kept += name + " ";
  const std::string odd = "{DIR}{SEP}tmp \xD0\x96";  // outside the ANSI code page
  const Files kept_archive = {{"tmp/TolvarineJava.zip", "bin/{JAVA}\n"}};
  RunCases({
      {"unpacked runtime reused", kConfig, kArgs, Failed(), 0, kGot, kSameEnv,
       With({{"tmp/TolvarineJava/bin/{JAVA}", ""}}), Files{{"WGET.txt", "<none>"}}},
      {"kept archive unpacked", kConfig, kArgs, Failed(), 0, kGot, kSameEnv, Tools(kept_archive),
       Files{{"WGET.txt", "<none>"}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}}},
      {"fetched, unpacked and kept for the next run", kConfig, kArgs, Failed(), 0, kGot + kGot,
       kSameEnv, Tools(), Files{{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}}, "",
       "", 2},
      {"a temporary folder outside the code page", kConfig, kArgs, Failed(), 0,
       "[" + odd + "{SEP}TolvarineJava{SEP}bin{SEP}{JAVA}]" + kRan, Temp(odd),
       Tools({{"tmp \xD0\x96", "<dir>"}}), Files{{"tmp \xD0\x96/", kKept}}},
      {"a temporary folder with a separator at its end", kConfig, kArgs, Failed(), 0, kGot,
       Temp("{TMP}{SEP}"), Tools()},
      {"a temporary folder that is missing", kConfig, kArgs,
       Missing("{DIR}{SEP}none{SEP}TolvarineJava.zip") + Failed(), 0, kNotGot,
       Temp("{DIR}{SEP}none"), Tools(), Files{{"none", "<none>"}}},
      {"a temporary folder that is a file", kConfig, kArgs,
       Missing("{DIR}{SEP}file{SEP}TolvarineJava.zip") + Failed(), 0, kNotGot,
       Temp("{DIR}{SEP}file"), Tools({{"file", "not a folder"}}), Files{{"file", "not a folder"}}},
      {"no downloader", kConfig, kArgs, Missing("{DIR}{SEP}wget{EXE}") + Failed(), 0, kNotGot,
       kSameEnv, With({})},
      {"empty address", "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL=\n", kArgs,
       "Failed to read \"JavaDownloadURL\" value from config file.\n" + Failed(), 0, kNotGot,
       kSameEnv, Tools(), Files{{"WGET.txt", "<none>"}}},
      {"no unpacker: the archive kept", kConfig, kArgs, Missing("{DIR}{SEP}7z{EXE}") + Failed(), 0,
       kNotGot, kSameEnv, With({{"wget", "<helper>"}}), Files{{"tmp/", "TolvarineJava.zip "}}},
      {"unpacker's warnings", kConfig, kArgs, Failed(), 0, kGot,
       Environment{{"FAKE_7Z_MODE", "warn"}}, Tools(kept_archive), Files{{"tmp/", kKept}}},
      {"leftovers of launchers that are gone removed, not what links lead to", kConfig, kArgs,
       Failed(), 0, kGot, kSameEnv, With(leftovers), Files{{"tmp/", kept}, {"outside/", "f1 "}}},
      {"inherited ignored SIGCHLD", kConfig, kArgs, Failed(), 0, kGot, kSameEnv, Tools(),
       Files{{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}}, "posix", "sigchld=ignore"},
      {"archive without the program at its top: unpacked every run", kConfig, kArgs, Failed(), 0,
       kNotGot + kNotGot, kSameEnv, Tools({{"tmp/TolvarineJava.zip", "runtime/bin/{JAVA}\n"}}),
       Files{{"7Z.txt", kUnpacked + kUnpacked}, {"tmp/", "TolvarineJava.zip "}}, "", "", 2},
      {"a folder without the program replaced", kConfig, kArgs, Failed(), 0, kGot, kSameEnv,
       Tools({{"tmp/TolvarineJava.zip", "bin/{JAVA}\n"}, {"tmp/TolvarineJava/bin/half", ""}}),
       Files{{"tmp/", kKept}, {"tmp/TolvarineJava/bin/half", "<none>"}}},
      {"configured name looked for in the runtime", kConfig + "DefaultJavaEXE=myjava\n", kArgs,
       Failed(), 0, "[{TMP}{SEP}TolvarineJava{SEP}bin{SEP}myjava]" + kRan, kSameEnv,
       Tools({{"served.zip", "bin/myjava\n"}})},
  });
  RunCases(
      {{"tools get quoted folders unchanged", kConfig, kArgs, Failed(), 0, "<none>", kSameEnv,
        Tools(), Files{{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}}, "posix"}},
      "in \"quoted\" folder");
}

TEST(JavaDownloadTest, FailuresLeaveNoPartAndTheNextRunTriesAgain) {
  std::vector<Case> rows;
  for (const char* mode : {"fail", "empty", "killed"}) {
    rows.push_back({"transfer", kConfig, kArgs, Missing("{TMP}{SEP}TolvarineJava.zip") + Failed(),
                    0, kNotGot + kNotGot, Environment{{"FAKE_WGET_MODE", mode}}, Tools(),
                    Files{{"tmp/", ""}, {"WGET.txt", kFetched + kFetched}}, "", "", 2});
    rows.push_back(
        {"unpacking", kConfig, kArgs, Failed(), 0, kNotGot + kNotGot,
         Environment{{"FAKE_7Z_MODE", mode == std::string("empty") ? "half" : mode}}, Tools(),
         Files{{"tmp/", "TolvarineJava.zip "}, {"7Z.txt", kUnpacked + kUnpacked}}, "", "", 2});
  }
  RunCases(rows);
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
    EXPECT_EQ(result.out, ConsoleText(Failed()));
    EXPECT_EQ(result.exit_code, 0);
    expected += Expand(kGot, install);
  }
  EXPECT_EQ(ReadFile(install.File("CONV.txt")), expected);
  EXPECT_EQ(Listing(install.File("tmp")), kKept);
}

}  // namespace
}  // namespace behaviour
