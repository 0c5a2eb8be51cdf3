#include "config/search_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/test_support.h"

namespace tolvarine {
namespace {

using testing_support::Installation;
using testing_support::RunOptions;
using Answers = std::vector<std::string>;

const std::string kSeparator(1, platform::kPathSeparator);
const std::string kListSeparator(1, platform::kPathListSeparator);

// The pieces of a PATH joined by the platform's list separator.
std::string List(const std::vector<std::string>& entries) {
  std::string list;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    list += (i > 0 ? kListSeparator : "") + entries[i];
  }
  return list;
}

TEST(ComposeSearchPathTest, LauncherFolderThenLibraryFolderThenTheOldValue) {
  const std::string tools = "tools";
  EXPECT_EQ(ComposeSearchPath(tools, "bin", "old"),
            List({tools + kSeparator, tools + kSeparator + "bin", "old"}));
  // Without a library folder the launcher's folder is named twice.
  EXPECT_EQ(ComposeSearchPath(tools, "", "old"),
            List({tools + kSeparator, tools + kSeparator, "old"}));
  EXPECT_EQ(ComposeSearchPath(tools, "bin", ""),
            List({tools + kSeparator, tools + kSeparator + "bin", ""}));
  // The old value follows byte for byte, even when it names the same folders already.
  std::string old_value = List({tools + kSeparator, "", "x", ""});
  EXPECT_EQ(ComposeSearchPath(tools, "lib", old_value),
            List({tools + kSeparator, tools + kSeparator + "lib", old_value}));
}

RunOptions WithPath(std::optional<std::string> value) {
  RunOptions options;
  options.environment["PATH"] = std::move(value);
  return options;
}

TEST(SetUpSearchPathTest, ChildrenSeeTheInstallationInFrontOfTheOldPath) {
  Installation install;
  std::string dir = install.dir();
  std::string old_value = List({"first", "second", ""});
  EXPECT_EQ(install.Probe({"search-path"}, WithPath(old_value)),
            (Answers{List({dir + kSeparator, dir + kSeparator, old_value})}));
  std::filesystem::create_directory(install.File("lib"));
  std::filesystem::create_directory(install.File("libs"));
  EXPECT_EQ(install.Probe({"search-path"}, WithPath(old_value)),
            (Answers{List({dir + kSeparator, dir + kSeparator + "lib", old_value})}));
  install.Write("bin", "a plain file counts too");
  EXPECT_EQ(install.Probe({"search-path"}, WithPath(old_value)),
            (Answers{List({dir + kSeparator, dir + kSeparator + "bin", old_value})}));
}

TEST(SetUpSearchPathTest, EntriesAreAddedAgainEveryTime) {
  Installation install;
  std::string dir = install.dir();
  std::string entries = List({dir + kSeparator, dir + kSeparator});
  EXPECT_EQ(install.Probe({"search-path", "search-path"}, WithPath("old")),
            (Answers{List({entries, "old"}), List({entries, entries, "old"})}));
}

TEST(SetUpSearchPathTest, UnsetOrEmptyPathCountsAsTheDefaultSearchPath) {
  Installation install;
  install.Write("bin/x", "");
  std::string dir = install.dir();
  // POSIX: the system's default path, never an empty entry (the current folder).
  // Windows: nothing, so the value ends with the list separator.
  std::string expected =
      List({dir + kSeparator, dir + kSeparator + "bin", platform::DefaultSearchPath()});
  EXPECT_EQ(install.Probe({"search-path"}, WithPath(std::nullopt)), (Answers{expected}));
  EXPECT_EQ(install.Probe({"search-path"}, WithPath("")), (Answers{expected}));
  if (testing_support::ExecutableSuffix().empty()) {
    EXPECT_FALSE(platform::DefaultSearchPath().empty());
    EXPECT_EQ(expected.find(kListSeparator + kListSeparator), std::string::npos);
    EXPECT_NE(expected.back(), platform::kPathListSeparator);
  }
}

}  // namespace
}  // namespace tolvarine
