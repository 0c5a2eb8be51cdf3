// What the behaviour tests share: temp installations of the launcher, programs run through the
// launcher's own captured run, and one launcher run as a row of a table.
#ifndef TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
#define TOLVARINE_TESTS_BEHAVIOUR_CASES_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace behaviour {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
/// Variables to set (a value) or remove (nothing) for a run.
using Environment = std::map<std::string, std::optional<std::string>>;

inline const bool kWindows = tolvarine::platform::kPathSeparator == '\\';  // run under Wine
inline const std::string kExe = kWindows ? ".exe" : "";
inline const std::string kSep = kWindows ? "\\" : "/";
/// The multi-call helper program of this build, as this platform names it.
std::string Helper();
/// TOLVARINE_TEST_VALGRIND set: the launcher (not its children) runs under memcheck (POSIX).
bool UnderMemcheck();

struct RunOptions {
  std::string folder;  // the current one; empty: the tests' own
  Environment environment;
};
struct ProgramResult {
  int exit_code = -1;  // a signal on POSIX gives 128 + its number
  std::string out;     // standard output and standard error, as they came
};
/// Runs the programs at once (argument 0 names each, with its folder) and waits for them all;
/// `watch` sees a program's whole output so far each time more of it comes.
std::vector<ProgramResult> RunTogether(const std::vector<Args>& argvs, const RunOptions& options,
                                       const std::function<void(const std::string&)>& watch = {});
ProgramResult RunProgram(const Args& argv, const RunOptions& options = {});

/// Paths are UTF-8 texts, as the launcher keeps them on every platform.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);  // "<none>" when it cannot be read
/// What the launcher prints for `text`: on Windows a line feed becomes CR LF.
std::string ConsoleText(const std::string& text);

/// The launcher copied into a fresh temp folder (or its sub-folder `name`), with "work" as the
/// runs' current folder and "tmp" as their temporary-files folder. Removed when the test
/// passed, kept (its path printed) when it failed.
class Installation {
 public:
  explicit Installation(const std::string& name = "",
                        const fs::path& base = fs::temp_directory_path());
  ~Installation();
  fs::path root;  // the temp folder
  std::string dir() const { return dir_.u8string(); }
  std::string File(const std::string& relative) const {
    return (dir_ / fs::u8path(relative)).u8string();
  }
  std::string launcher() const { return File("tolvarine" + kExe); }
  void Write(const std::string& relative, const std::string& content) const;  // makes folders
  /// Copies the helper in as `relative` + kExe; what it does follows from that name.
  void AddHelper(const std::string& relative) const;
  /// Adds the helper as "conv" and writes config.dat naming it, followed by `tail` and `more`.
  void UseConverter(const std::string& tail = "", const std::string& more = "") const;
  /// "work" as the current folder, "tmp" for temporary files, and the fake programs' records
  /// ("CONV.txt", "JAVA.txt", "WGET.txt", "7Z.txt") in the installation.
  RunOptions Options() const;
  Args Command(const Args& args) const;  // the launcher with `args`, under memcheck when asked
  ProgramResult Run(const Args& args, const RunOptions& options) const;

 private:
  fs::path dir_;
};

inline std::string Failed(const std::string& name = "out.pdf") {
  return "[Error] Failed to create \"" + name + "\" file.\n";
}
inline std::string Created(const std::string& name = "out.pdf") {
  return "[OK] Create \"" + name + "\" file successful.\n";
}
inline std::string Missing(const std::string& file) {
  return "Failed to locate \"" + file + "\" file.\n";
}
inline const std::string kFrame = "============================\n";
inline std::string Framed(const std::string& text) {
  return "[Message]\n" + kFrame + text + kFrame;
}
inline const std::string kConv = "[Info]\nRunEXE={CONV}\n";
inline const std::string kConverterText = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";
inline const std::string kProductText = "(Tolvarine SVG to PDF Converter)                       ";
inline const Args kArgs = {"in.svg", "out.pdf"};
inline const std::string kRan = "[in.svg][out.pdf]\n";
/// What the fake converter does: actions separated by '|' (see the helper program).
inline Environment Does(const std::string& actions) { return {{"FAKE_CONV_DO", actions}}; }
/// Typed empty fields: a bare "{}" would make the formatter give each field a line of its own.
inline const Environment kSameEnv;
inline const Files kNoFiles;

/// One launcher run. Texts may hold {CONV} (the converter as config.dat names it), {DIR} (the
/// installation), {TMP} (its temporary-files folder), {SEP}, {EXE} and {JAVA} (the Java
/// program's default name). Expected texts may hold '*' for any characters.
struct Case {
  const char* what;
  std::string config;  // config.dat, line feeds written as CR LF; none when empty
  Args args;
  std::string out;
  int status = 0;
  std::string ran = "<none>";  // what the converter recorded, one line a run
  Environment env = {};
  /// Files to make first: "<dir>", "<helper>", "<fifo>" (POSIX) or "<link>TARGET" make one of
  /// these kinds; other texts are the content.
  Files before = {};
  /// Files after: "<none>" for a missing one; a path ending in "/" gives the folder's names,
  /// sorted, each followed by a space.
  Files after = {};
  /// Any of "posix", "windows", "plain" (skipped under memcheck and the sanitizer).
  std::string only = "";
  std::string limit = "";  // one of the helper's limits to run under (POSIX), not memcheck
  int runs = 1;            // the same run again; the last one is checked
};

std::string Expand(std::string text, const Installation& install);
/// The names in a folder, sorted, each followed by a space.
std::string Listing(const std::string& folder);
/// Runs every row in an installation of its own (the sub-folder `name` of a temp folder),
/// opens the gate "{DIR}/gate" after the runs, and checks the row.
void RunCases(const std::vector<Case>& rows, const std::string& name = "");

}  // namespace behaviour

#endif  // TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
