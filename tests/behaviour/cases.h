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

 private:
  fs::path dir_;
};

inline const std::string kFailed = "[Error] Failed to create \"out.pdf\" file.\n";
inline const Args kArgs = {"in.svg", "out.pdf"};

/// One launcher run in an installation of its own. In a case file's group "[NAME]", "== WHAT"
/// starts one, "KEY VALUE" lines give its fields (before the first case: every case's), and a
/// "row" line gives, between " | ", the values of the last "table" line's columns ("KEY" or
/// "KEY NAME"), "~" for none. Texts may hold {CONV} (the converter as
/// config.dat names it), {DIR} (the installation), {TMP} (its temporary-files folder), {SEP},
/// {EXE}, {JAVA} (the Java program's default name), {PID} (the tests' process id), {RAN} (the
/// converter's record of a run with in.svg and out.pdf), {FAILED} and {CREATED} (the report on
/// out.pdf), {FRAME}, {CONVERTER} and {PRODUCT} (the producer texts), and {*N:TEXT} for N times
/// TEXT. Expected texts may hold '*' for any characters.
struct Case {
  std::string what;
  std::string config;          // config.dat, line feeds written as CR LF; none when empty
  Args args = kArgs;           // "args" in a case file: the arguments between '|'
  std::string out;             // what the launcher shows
  int status = 0;              // its exit status
  std::string ran = "<none>";  // "ran": what the converter recorded, one line a run
  /// "env NAME=VALUE", or "env NAME" to remove it; "does ACTIONS" for the converter's
  /// FAKE_CONV_DO (see the helper program).
  Environment env;
  /// "file PATH=CONTENT" to make first; "<dir>", "<helper>", "<fifo>" (POSIX) or
  /// "<link>TARGET" make one of these kinds, "<none>" nothing; "<mode OCTAL>" before one gives
  /// what is made that mode (POSIX).
  Files before;
  /// "after PATH=CONTENT": "<none>" for a missing file; a path ending in "/" gives the
  /// folder's names, sorted, between spaces.
  Files after;
  std::string only;    // any of "posix", "windows", "plain" (not under memcheck or sanitizer)
  std::string limit;   // one of the helper's limits to run under (POSIX), not under memcheck
  int runs = 1;        // the same run again; the last one is checked
  std::string folder;  // the installation's folder within its temp folder
};

/// `text` with the placeholders of a case replaced.
std::string Expand(std::string text, const Installation& install);
/// The names in a folder, sorted, between spaces.
std::string Listing(const std::string& folder);

}  // namespace behaviour

#endif  // TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
