// The converter's command template and the search path children inherit.
#include <gtest/gtest.h>

#include "config/command_template.h"
#include "config/search_path.h"
#include "launcher/run_converter.h"
#include "platform/platform.h"
#include "rows.h"

namespace tolvarine {
namespace {

TEST(CommandTemplate, QuotesAndPlaceholdersOfTheTemplateOnly) {
  std::vector<testdata::Row> rows = testdata::ReadRows("template_vectors.txt");
  ASSERT_GT(rows.size(), 5u);
  for (const testdata::Row& row : rows) {
    EXPECT_EQ(ExpandCommandTemplate(row[0], row[1], row[2]), row[3]) << row[0];
    std::string words;
    for (const std::string& word : CommandTemplateWords(row[0], row[1], row[2]))
      words += "[" + word + "]";
    EXPECT_EQ(words, row[4]) << row[0];
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
