// The Java runtime kept in the temporary-files folder: reused, unpacked from a kept archive, or
// downloaded and unpacked, with the helper as downloader and unpacker, recording their runs. The
// system's "java" fails the version test, so only a runtime there is taken.
#include "behaviour/cases.h"

namespace behaviour {
namespace {

const std::string kConfig = "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL={DIR}/served.zip\n";
const std::vector<std::string> kArgs = {"in.svg", "out.pdf"};
const std::string kGot = "[{TMP}{SEP}TolvarineJava{SEP}bin{SEP}{JAVA}][in.svg][out.pdf]\n";
const std::string kNotGot = "[{JAVA}][in.svg][out.pdf]\n";
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

TEST(JavaDownloadTest, RuntimeKeptFetchedOrUnpacked) {
  const Environment none = {};
  const std::string gone = "2147483647";  // no running process's id on either system
  const std::string own = std::to_string(OwnProcessId());
  Files leftovers = {{"tmp/TolvarineJava/bin/{JAVA}", ""},
                     {"tmp/TolvarineJava.zip", "bin/{JAVA}\n"},
                     {"tmp/TolvarineJava.unpacking-" + gone + "x", "not a launcher's"},
                     {"outside/f1", "keep"},
                     {"outside/f2", "keep"}};
  for (const std::string& owner : {gone, own}) {
    leftovers["tmp/TolvarineJava.zip.part-" + owner] = "half an archive";
    leftovers["tmp/TolvarineJava.unpacking-" + owner + "/bin/{JAVA}"] = "";
    leftovers["tmp/TolvarineJava.stale-" + owner + "/bin/old"] = "";
  }
  if (!IsWindowsBuild())
    leftovers["tmp/TolvarineJava.stale-" + gone + "/link"] = "<link>{DIR}/outside";
  std::vector<std::string> names = {"TolvarineJava",
                                    "TolvarineJava.zip",
                                    "TolvarineJava.unpacking-" + gone + "x",
                                    "TolvarineJava.zip.part-" + own,
                                    "TolvarineJava.unpacking-" + own,
                                    "TolvarineJava.stale-" + own};
  std::sort(names.begin(), names.end());
  std::string kept;
  for (const std::string& name : names) kept += name + " ";
  RunCases({
      {"unpacked runtime reused", kConfig, kArgs, Failed(), 0, kGot,
       With({{"tmp/TolvarineJava/bin/{JAVA}", ""}}), none, Files{{"WGET.txt", "<none>"}}},
      {"kept archive unpacked", kConfig, kArgs, Failed(), 0, kGot,
       Tools({{"tmp/TolvarineJava.zip", "bin/{JAVA}\n"}}), none,
       Files{{"WGET.txt", "<none>"}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}}},
      {"fetched, unpacked and kept for the next run", kConfig, kArgs, Failed(), 0, kGot + kGot,
       Tools(), none, Files{{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}}, Args(),
       2},
      {"a temporary folder outside the code page", kConfig, kArgs, Failed(), 0,
       "[{DIR}{SEP}tmp \xD0\x96{SEP}TolvarineJava{SEP}bin{SEP}{JAVA}][in.svg][out.pdf]\n",
       Tools({{"tmp \xD0\x96", "<dir>"}}),
       Environment{{"TMPDIR", "{DIR}{SEP}tmp \xD0\x96"},
                   {"TMP", "{DIR}{SEP}tmp \xD0\x96"},
                   {"TEMP", "{DIR}{SEP}tmp \xD0\x96"}},
       Files{{"tmp \xD0\x96/", kKept}}},
      {"a temporary folder with a separator at its end", kConfig, kArgs, Failed(), 0, kGot, Tools(),
       Environment{{"TMPDIR", "{TMP}{SEP}"}, {"TMP", "{TMP}{SEP}"}, {"TEMP", "{TMP}{SEP}"}}},
      {"no downloader", kConfig, kArgs, Missing("{DIR}{SEP}wget{EXE}") + Failed(), 0, kNotGot,
       With({})},
      {"no downloader, no address", "[Info]\nRunEXE={CONV} [{JAVAEXE}]\n", kArgs,
       Missing("{DIR}{SEP}wget{EXE}") + Failed(), 0, kNotGot, With({})},
      {"empty address", "[Info]\nRunEXE={CONV} [{JAVAEXE}]\nJavaDownloadURL=\n", kArgs,
       "Failed to read \"JavaDownloadURL\" value from config file.\n" + Failed(), 0, kNotGot,
       Tools(), none, Files{{"WGET.txt", "<none>"}}},
      {"no unpacker: the archive kept", kConfig, kArgs, Missing("{DIR}{SEP}7z{EXE}") + Failed(), 0,
       kNotGot, With({{"wget", "<helper>"}}), none, Files{{"tmp/", "TolvarineJava.zip "}}},
      {"unpacker's warnings", kConfig, kArgs, Failed(), 0, kGot,
       Tools({{"tmp/TolvarineJava.zip", "bin/{JAVA}\n"}}), Environment{{"FAKE_7Z_MODE", "warn"}},
       Files{{"tmp/", kKept}}},
      {"leftovers of launchers that are gone removed, not what links lead to", kConfig, kArgs,
       Failed(), 0, kGot, With(leftovers), none, Files{{"tmp/", kept}, {"outside/", "f1 f2 "}}},
      {"inherited ignored SIGCHLD", kConfig, kArgs, Failed(), 0, kGot + kGot, Tools(), none,
       Files{{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}}, Args{"sigchld=ignore"}, 2, "posix"},
      {"archive without the program at its top: unpacked every run", kConfig, kArgs, Failed(), 0,
       kNotGot + kNotGot, Tools({{"tmp/TolvarineJava.zip", "runtime/bin/{JAVA}\n"}}), none,
       Files{{"7Z.txt", kUnpacked + kUnpacked}, {"tmp/", "TolvarineJava.zip "}}, Args(), 2},
      {"a folder without the program replaced", kConfig, kArgs, Failed(), 0, kGot,
       Tools({{"tmp/TolvarineJava.zip", "bin/{JAVA}\n"}, {"tmp/TolvarineJava/bin/half", ""}}), none,
       Files{{"tmp/", kKept}, {"tmp/TolvarineJava/bin/half", "<none>"}}},
      {"configured name looked for in the runtime", kConfig + "DefaultJavaEXE=myjava\n", kArgs,
       Failed(), 0, "[{TMP}{SEP}TolvarineJava{SEP}bin{SEP}myjava][in.svg][out.pdf]\n",
       Tools({{"served.zip", "bin/myjava\n"}})},
  });
}

TEST(JavaDownloadTest, FailuresLeaveNoPartAndTheNextRunTriesAgain) {
  const std::string archive = Missing("{TMP}{SEP}TolvarineJava.zip");
  std::vector<Case> rows;
  for (const char* mode : {"fail", "empty", "killed"}) {
    rows.push_back({"transfer", kConfig, kArgs, archive + Failed(), 0, kNotGot + kNotGot, Tools(),
                    Environment{{"FAKE_WGET_MODE", mode}},
                    Files{{"tmp/", ""}, {"WGET.txt", kFetched + kFetched}}, Args(), 2});
  }
  for (const char* mode : {"fail", "half", "killed"}) {
    rows.push_back({"unpacking", kConfig, kArgs, Failed(), 0, kNotGot + kNotGot, Tools(),
                    Environment{{"FAKE_7Z_MODE", mode}},
                    Files{{"tmp/", "TolvarineJava.zip "}, {"7Z.txt", kUnpacked + kUnpacked}},
                    Args(), 2});
  }
  RunCases(rows);
}

TEST(JavaDownloadTest, ToolsGetQuotedFoldersUnchanged) {
  RunCases({{"quoted folder",
             kConfig,
             kArgs,
             Failed(),
             0,
             "<none>",
             Tools(),
             {},
             {{"WGET.txt", kFetched}, {"7Z.txt", kUnpacked}, {"tmp/", kKept}},
             {},
             1,
             "posix"}},
           "in \"quoted\" folder");
}

// Launchers started together: each ends with the whole runtime, none leaves a part behind.
TEST(JavaDownloadTest, LaunchersRacing) {
  for (int copies : {2, 8}) {
    Installation install;
    install.UseConverter(" [{JAVAEXE}]", "JavaDownloadURL=" + install.File("served.zip") + "\r\n");
    for (const char* tool : {"wget", "7z", "bin/java"}) install.AddHelper(tool);
    install.Write("served.zip", "bin/" + JavaName() + "\n");
    fs::create_directories(install.File("tmp"));
    RunOptions options{install.work(), {{"FAKE_CONV_RECORD", install.File("CONV.txt")}}};
    for (const char* name : {"TMPDIR", "TMP", "TEMP"})
      options.environment[name] = install.File("tmp");
    std::vector<ProgramResult> results =
        RunTogether(std::vector<std::vector<std::string>>(copies, install.Command(kArgs)), options);
    std::string expected;
    for (ProgramResult& result : results) {
      EXPECT_EQ(CheckedByMemcheck(result).out, ConsoleText(Failed()));
      expected += Expand(kGot, install);
    }
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), expected);
    EXPECT_EQ(Listing(install.File("tmp")), kKept);
  }
}

}  // namespace
}  // namespace behaviour
