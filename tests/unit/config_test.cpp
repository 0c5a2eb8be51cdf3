// The converter's command template and the search path children inherit.
#include <gtest/gtest.h>

#include "config/command_template.h"
#include "config/search_path.h"
#include "platform/platform.h"

namespace tolvarine {
namespace {

TEST(CommandTemplate, QuotesAndPlaceholdersOfTheTemplateOnly) {
  // template, folder, Java executable, command line
  const std::string rows[][4] = {
      {R"([{JAVAEXE}] -jar [{EXEDIR}\c.jar])", R"(D:\t)", R"(D:\j.exe)",
       R"("D:\j.exe" -jar "D:\t\c.jar")"},
      {"x []", "d", "j", "x \""},
      {"a\"\"b \"\"\" \"\"\"\"", "d", "j", "a\"b \"\" \"\""},
      {"[[]]", "d", "j", "\"\""},
      {"{EXEJAVA} {JAVAEXE}{EXEDIR}{EXEDIR}", "d", "j", "j jdd"},
      {"[{JAVAEXE}] -x", "d", "", "\"\" -x"},
      {"{javaexe} {ExeDir} {EXEDIR {JAVAEXE", "d", "j", "{javaexe} {ExeDir} {EXEDIR {JAVAEXE"},
      {"{{EXEDIR}}", "d", "j", "{d}"},
      {"[{EXEDIR}/c] [{JAVAEXE}]", "/a[1]\"\"", "/j[2]", "\"/a[1]\"\"/c\" \"/j[2]\""},
      {"{EXEDIR} {JAVAEXE}", "/x{JAVAEXE}", "/y{EXEDIR}", "/x{JAVAEXE} /y{EXEDIR}"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ExpandCommandTemplate(row[0], row[1], row[2]), row[3]) << row[0];
  }
  EXPECT_TRUE(TemplateNeedsJava("[{JAVAEXE}] -jar x"));
  EXPECT_TRUE(TemplateNeedsJava("a{EXEJAVA}"));
  EXPECT_FALSE(TemplateNeedsJava("[{EXEDIR}/c] {javaexe} {ExeJava} {JAVAEXE"));
}

TEST(SearchPath, InstallationFoldersComeFirst) {
  const std::string s(1, platform::kPathSeparator);
  const std::string l(1, platform::kPathListSeparator);
  // launcher folder, library folder, old PATH, new PATH
  const std::string rows[][4] = {
      {"t", "bin", "old", "t" + s + l + "t" + s + "bin" + l + "old"},
      {"t", "", "old" + l + "x", "t" + s + l + "t" + s + l + "old" + l + "x"},
      {"t", "bin", "", "t" + s + l + "t" + s + "bin" + l},
      {"a" + l + "b", "bin", "old", "old"},
      {"t", "b" + l, "old", "old"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ComposeSearchPath(row[0], row[1], row[2]), row[3]) << row[0] << " " << row[1];
  }
}

}  // namespace
}  // namespace tolvarine
