// The launcher as a user runs it: exact standard output, nothing on standard error, and the
// exit status (1 only when this run wrote the output file).
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testing_support::ConsoleText;
using testing_support::Installation;
using testing_support::ProgramResult;

void ExpectRun(const ProgramResult& result, int status, const std::string& out) {
  EXPECT_EQ(result.exit_code, status);
  EXPECT_EQ(result.out, ConsoleText(out));
  EXPECT_EQ(result.err, "");
}

TEST(DriverTest, MissingOutputFileIsAnErrorWithStatusZero) {
  Installation install;
  ExpectRun(install.Run({"in.svg", "-o", "out dir/x.pdf"}), 0,
            "[Error] Failed to create \"out dir/x.pdf\" file.\n");
}

// Success means that this run wrote the file: it exists, is not empty, and differs from before
// the run in its size, its modification time or its identity. A file the converter left
// alone, or emptied, is a failure and stays as it is.
TEST(DriverTest, OnlyAFileThisRunWroteIsSuccess) {
  struct Row {
    const char* what;
    std::vector<std::string> args;
    std::optional<std::string> before;  // the file's content before the run, if any
    std::map<std::string, std::string> converter;
    int status;
    std::optional<std::string> after;
  };
  const std::string out = "out dir/x.pdf";
  const std::vector<Row> rows = {
      {"new file",
       {"in.svg", "-o", out},
       {},
       {{"OUTPUT", out}, {"CONTENT", "%PDF new"}},
       1,
       "%PDF new"},
      {"stale file, untouched", {"in.svg", out}, "%PDF old", {}, 0, "%PDF old"},
      {"rewritten with the same size",
       {"in.svg", out},
       "%PDF old",
       {{"OUTPUT", out}, {"CONTENT", "%PDF new"}},
       1,
       "%PDF new"},
      {"replaced by a rename, same size and time",
       {"in.svg", "-o", out},
       "%PDF old",
       {{"REPLACE", "new.pdf>" + out}},
       1,
       "%PDF new"},
      {"emptied", {"in.svg", out}, "%PDF old", {{"OUTPUT", out}, {"CONTENT", ""}}, 0, ""},
      {"new and empty", {"in.svg", out}, {}, {{"OUTPUT", out}, {"CONTENT", ""}}, 0, ""},
      {"not made", {"in.svg", out}, {}, {}, 0, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Installation install;
    install.UseFakeConverter();
    const std::string path = install.work() + "/" + out;
    std::filesystem::create_directories(install.work() + "/out dir");
    if (row.before) install.Write("work/" + out, *row.before);
    if (row.converter.count("REPLACE")) {
      // Only the identity tells the new file from the old one.
      install.Write("work/new.pdf", "%PDF new");
      std::filesystem::last_write_time(install.work() + "/new.pdf",
                                       std::filesystem::last_write_time(path));
    }
    testing_support::RunOptions options;
    for (const auto& [name, value] : row.converter) {
      options.environment["FAKE_CONVERTER_" + name] = value;
    }
    const std::string report = row.status == 1 ? "[OK] Create \"" + out + "\" file successful.\n"
                                               : "[Error] Failed to create \"" + out + "\" file.\n";
    ExpectRun(install.Run(row.args, options), row.status, report);
    EXPECT_EQ(std::filesystem::exists(path), row.after.has_value()) << row.what;
    if (row.after) {
      EXPECT_EQ(testing_support::ReadFile(path), *row.after) << row.what;
    }
  }
}

TEST(DriverTest, FolderNamedLikeTheOutputIsNotAFile) {
  Installation install;
  std::filesystem::create_directory(install.work() + "/x.pdf");
  ExpectRun(install.Run({"in.svg", "x.pdf"}), 0, "[Error] Failed to create \"x.pdf\" file.\n");
}

TEST(DriverTest, EmptyOutputNameIsReported) {
  Installation install;
  ExpectRun(install.Run({"in.svg", ""}), 0, "[Message] Output filename is empty.\n");
  ExpectRun(install.Run({"in.svg", "-o", "", "x"}), 0, "[Error] Failed to create \"x\" file.\n");
}

TEST(DriverTest, DebugSwitchAloneRunsNothingAndNamesTheOutput) {
  Installation install;
  // The "[Cmd]" line shows the empty argument string.
  ExpectRun(install.Run({"-debug"}), 0, "[Cmd] \n[Error] Failed to create \"-debug\" file.\n");
  // A file of that name is not this run's work.
  install.Write("work/-debug", "x");
  ExpectRun(install.Run({"-debug"}), 0, "[Cmd] \n[Error] Failed to create \"-debug\" file.\n");
}

TEST(DriverTest, HelpAndNoArgumentsEndWithStatusZeroAndNoReport) {
  Installation install;
  install.Write("work/out.pdf", "content");
  ExpectRun(install.Run({}), 0, "");
  ExpectRun(install.Run({"in.svg", "out.pdf", "--HELP"}), 0, "");
  ExpectRun(install.Run({"-o", "-?"}), 0, "");
}

TEST(DriverTest, OutputNamesOfAnyLengthAndWithFormatCharactersArePrintedWhole) {
  Installation install;
  std::string name = "100% %s %n done";
  for (int i = 0; i < 6; ++i) name = std::string(60, 'd') + "/" + name;
  std::filesystem::create_directories(
      std::filesystem::path(install.work() + "/" + name).parent_path());
  ExpectRun(install.Run({"in.svg", name}), 0, "[Error] Failed to create \"" + name + "\" file.\n");
  install.UseFakeConverter();
  testing_support::RunOptions options;
  options.environment["FAKE_CONVERTER_OUTPUT"] = name;
  options.environment["FAKE_CONVERTER_CONTENT"] = "x";
  ExpectRun(install.Run({"in.svg", name}, options), 1,
            "[OK] Create \"" + name + "\" file successful.\n");
}

}  // namespace
