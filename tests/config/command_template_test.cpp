#include "config/command_template.h"

#include <gtest/gtest.h>

namespace tolvarine {
namespace {

TEST(ExpandCommandTemplateTest, BracketsBecomeQuotesAndPlaceholdersAreFilled) {
  EXPECT_EQ(ExpandCommandTemplate(R"([{JAVAEXE}] -jar [{EXEDIR}\conv.jar])", R"(D:\tools)",
                                  R"(D:\jre\bin\javaw.exe)"),
            R"("D:\jre\bin\javaw.exe" -jar "D:\tools\conv.jar")");
  EXPECT_EQ(ExpandCommandTemplate("conv [a b] c", "/opt/t", "java"), "conv \"a b\" c");
}

TEST(ExpandCommandTemplateTest, DoubledQuotesCollapseLeftToRight) {
  EXPECT_EQ(ExpandCommandTemplate("x []", "d", "j"), "x \"");
  EXPECT_EQ(ExpandCommandTemplate("a\"\"b", "d", "j"), "a\"b");
  EXPECT_EQ(ExpandCommandTemplate("\"\"\"", "d", "j"), "\"\"");
  EXPECT_EQ(ExpandCommandTemplate("\"\"\"\"", "d", "j"), "\"\"");
  EXPECT_EQ(ExpandCommandTemplate("[[]]", "d", "j"), "\"\"");
}

TEST(ExpandCommandTemplateTest, EveryOccurrenceOfEitherJavaPlaceholderGetsTheSameText) {
  EXPECT_EQ(ExpandCommandTemplate("{EXEJAVA} {JAVAEXE} {EXEJAVA}{JAVAEXE} {EXEDIR}{EXEDIR}", "d",
                                  "j.exe"),
            "j.exe j.exe j.exej.exe dd");
  EXPECT_EQ(ExpandCommandTemplate("[{JAVAEXE}] -x {EXEJAVA}", "d", ""), "\"\" -x ");
}

TEST(ExpandCommandTemplateTest, PlaceholdersAreCaseSensitiveAndExact) {
  EXPECT_EQ(ExpandCommandTemplate("{javaexe} {ExeDir} {EXEDIR {JAVAEXE", "d", "j"),
            "{javaexe} {ExeDir} {EXEDIR {JAVAEXE");
  EXPECT_EQ(ExpandCommandTemplate("{{EXEDIR}}", "d", "j"), "{d}");
}

TEST(ExpandCommandTemplateTest, InsertedFolderAndJavaPathAreNeverRewritten) {
  EXPECT_EQ(ExpandCommandTemplate("[{EXEDIR}/c] [{JAVAEXE}]", "/a[1]/b\"\"c", "/j[2]\"\"/java"),
            "\"/a[1]/b\"\"c/c\" \"/j[2]\"\"/java\"");
  EXPECT_EQ(ExpandCommandTemplate("{EXEDIR} {JAVAEXE}", "/x{JAVAEXE}", "/y{EXEDIR}"),
            "/x{JAVAEXE} /y{EXEDIR}");
}

TEST(TemplateNeedsJavaTest, OnlyTheExactJavaPlaceholdersCount) {
  EXPECT_TRUE(TemplateNeedsJava("[{JAVAEXE}] -jar x"));
  EXPECT_TRUE(TemplateNeedsJava("{EXEJAVA}"));
  EXPECT_FALSE(TemplateNeedsJava("[{EXEDIR}/conv] {javaexe} {ExeJava}"));
  EXPECT_FALSE(TemplateNeedsJava(""));
}

}  // namespace
}  // namespace tolvarine
