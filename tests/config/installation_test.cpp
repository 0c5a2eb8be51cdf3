// The installation routines run from an installation folder in a temp dir: the config_probe
// helper is copied in beside the launcher and answers for them.
#include "config/installation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

using testing_support::Installation;
using Answers = std::vector<std::string>;

// `name` below the installation's folder, as the launcher names it.
std::string Below(const Installation& install, const std::string& name) {
  return install.dir() + platform::kPathSeparator + name;
}

std::string InLibrary(const std::string& folder, const std::string& name) {
  return folder + platform::kPathSeparator + name;
}

TEST(LauncherDirectoryTest, IsTheProgramsFolderAndNamesAreJoinedUnchanged) {
  Installation install;
  const std::string relative = InLibrary("bin", "config.dat");
  EXPECT_EQ(install.Probe({"dir", "path", "config.dat", "path", "", "path", relative}),
            (Answers{install.dir(), Below(install, "config.dat"), Below(install, ""),
                     Below(install, relative)}));
}

TEST(LauncherDirectoryTest, FollowsTheProgramsRealPath) {
  if (testing_support::ExecutableSuffix() == ".exe") {
    GTEST_SKIP() << "Windows programs are not started through symbolic links";
  }
  Installation install;
  install.Write("config.dat", "[Info]\nRunEXE=real\n");
  install.Probe({});  // copies the probe in
  testing_support::TempDir elsewhere;
  std::string link = elsewhere / "probe-link";
  std::filesystem::create_symlink(install.File("config_probe"), link);
  testing_support::ProgramResult result =
      testing_support::RunProgram({link, "dir", "string", "Info", "RunEXE", "none"});
  EXPECT_EQ(result.out, "[" + install.dir() + "]\n[real]\n");
}

TEST(FindLibraryFolderTest, FirstOfBinLibLibsThatExistsAndOfAnyKind) {
  Installation install;
  EXPECT_EQ(install.Probe({"library", "mkdir", "libs", "library", "mkdir", "lib", "library",
                           "write", "bin", "a plain file", "library", "remove", "bin", "library",
                           "remove", "lib", "remove", "libs", "library"}),
            (Answers{"", "libs", "lib", "bin", "lib", ""}));
}

TEST(LocateInstallationFileTest, LauncherFolderFirstThenLibraryFolder) {
  Installation install;
  install.Write("config.dat", "x");
  install.Write("bin/config.dat", "x");
  install.Write("bin/options.dat", "x");
  EXPECT_EQ(install.Probe({"locate", "config.dat", "locate", "options.dat", "remove", "config.dat",
                           "locate", "config.dat", "remove", "bin", "locate", "config.dat",
                           "locate", "options.dat"}),
            (Answers{Below(install, "config.dat"), Below(install, InLibrary("bin", "options.dat")),
                     Below(install, InLibrary("bin", "config.dat")), "", ""}));
}

TEST(LocateInstallationFileTest, FolderNamedLikeTheFileDoesNotCount) {
  Installation install;
  std::filesystem::create_directory(install.File("config.dat"));
  EXPECT_EQ(install.Probe({"locate", "config.dat"}), (Answers{""}));
  install.Write("lib/config.dat", "x");
  EXPECT_EQ(install.Probe({"locate", "config.dat"}),
            (Answers{Below(install, InLibrary("lib", "config.dat"))}));
}

TEST(LocateInstallationFileTest, OnlyTheFirstLibraryFolderIsLookedAt) {
  Installation install;
  std::filesystem::create_directory(install.File("lib"));
  install.Write("libs/config.dat", "[Info]\nRunEXE=from libs\n");
  EXPECT_EQ(install.Probe({"locate", "config.dat", "string", "Info", "RunEXE", "default"}),
            (Answers{"", "default"}));
  // A plain file named bin is the library folder: lib and libs are no longer consulted.
  install.Write("lib/config.dat", "[Info]\nRunEXE=from lib\n");
  EXPECT_EQ(install.Probe({"string", "Info", "RunEXE", "default", "write", "bin", "", "locate",
                           "config.dat", "string", "Info", "RunEXE", "default"}),
            (Answers{"from lib", "", "default"}));
}

TEST(ReadConfigTest, ValuesFollowTheIniRules) {
  Installation install;
  install.Write("config.dat",
                "[Other]\r\nRunEXE=wrong\r\n[INFO]\r\n  RUNEXE = [x] y   \r\n"
                "DefaultJavaEXE=\r\nJavaDownloadURL=\"https://example.org/a b.zip\"\r\n");
  EXPECT_EQ(install.Probe({"string", "Info",    "RunEXE",          "",                   //
                           "value",  "Info",    "DefaultJavaEXE",  "javaw.exe", "300",   //
                           "value",  "Info",    "JavaDownloadURL", "",          "4096",  //
                           "value",  "Info",    "Missing",         "javaw.exe", "300",   //
                           "string", "Nowhere", "RunEXE",          "fallback"}),
            (Answers{"[x] y", "", "https://example.org/a b.zip", "javaw.exe", "fallback"}));
}

TEST(ReadConfigTest, LongValuesAreCutToTheirBuffers) {
  Installation install;
  std::string url(5000, 'u');
  std::string command(3500, 'c');
  install.Write("config.dat", "[Info]\nJavaDownloadURL=" + url + "\nRunEXE=" + command + "\n");
  EXPECT_EQ(install.Probe({"value", "Info", "JavaDownloadURL", "", "4096", "string", "Info",
                           "RunEXE", "", "value", "Info", "RunEXE", "", "5"}),
            (Answers{url.substr(0, 4095), command.substr(0, 2999), "cccc"}));
}

TEST(ReadConfigTest, MissingFileGivesTheDefaultAsAMissingKeyDoes) {
  Installation install;
  const Answers commands = {"string",
                            "Info",
                            "RunEXE",
                            "",
                            "value",
                            "Info",
                            "DefaultJavaEXE",
                            "javaw.exe",
                            "300",
                            "string",
                            "Info",
                            "RunEXE",
                            "\"quoted default\"  "};
  const Answers defaults = {"", "javaw.exe", "quoted default"};
  EXPECT_EQ(install.Probe(commands), defaults);
  install.Write("config.dat", "[Info]\nOther=1\n");
  EXPECT_EQ(install.Probe(commands), defaults);
}

TEST(ReadConfigTest, EveryReadLooksAgain) {
  Installation install;
  install.Write("bin/config.dat", "[Info]\nRunEXE=from bin\n");
  EXPECT_EQ(install.Probe({"string", "Info",       "RunEXE",
                           "none",                                             //
                           "write",  "config.dat", "[Info]\nRunEXE=beside\n",  //
                           "string", "Info",       "RunEXE",
                           "none",                                              //
                           "write",  "config.dat", "[Info]\nRunEXE=changed\n",  //
                           "string", "Info",       "RunEXE",
                           "none",  //
                           "remove", "config.dat", "string",
                           "Info",   "RunEXE",     "none",  //
                           "remove", "bin",        "string",
                           "Info",   "RunEXE",     "none"}),
            (Answers{"from bin", "beside", "changed", "from bin", "none"}));
}

}  // namespace
}  // namespace tolvarine
