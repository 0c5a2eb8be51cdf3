// What the behaviour tests share: temp folders and installations, running programs through the
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

namespace behaviour {

namespace fs = std::filesystem;

/// Variables to set (a value) or remove (nothing) for a run.
using Environment = std::map<std::string, std::optional<std::string>>;

struct RunOptions {
  std::string working_directory;  // empty: the tests' own
  Environment environment;
};

struct ProgramResult {
  int exit_code = -1;  // a signal on POSIX gives 128 + its number
  std::string out;     // standard output and standard error, as they came
};

/// Sees a program's whole output so far each time more of it comes.
using Watch = std::function<void(const std::string& out)>;

/// Runs the programs at once (argument 0 names each, with its folder), through the launcher's
/// own captured run, and waits for every one.
std::vector<ProgramResult> RunTogether(const std::vector<std::vector<std::string>>& argvs,
                                       const RunOptions& options = {}, const Watch& watch = {});
ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

bool IsWindowsBuild();   // run under Wine
bool RunsAsSuperuser();  // POSIX's root; never on Windows
std::string Exe();       // "" or ".exe"
std::string Sep();       // "/" or "\\"
std::string Helper();    // the multi-call helper program of this build
/// True when the launcher's runs go through valgrind's memcheck (TOLVARINE_TEST_VALGRIND set,
/// POSIX only).
bool UnderMemcheck();
/// True in the AddressSanitizer build, whose programs need far more address space.
bool UnderSanitizer();
/// What the launcher prints for `text`: a line feed becomes CR LF on Windows (text mode).
std::string ConsoleText(const std::string& text);

/// Paths in the tests are UTF-8 texts, as the launcher keeps them on every platform.
void WriteFile(const std::string& path, const std::string& content);
/// The file's bytes, or "<none>" when it cannot be read.
std::string ReadFile(const std::string& path);

/// An installation in a fresh temp folder (or a sub-folder of it named `folder_name`): the
/// launcher copied in, and a "work" folder for the runs' current folder. The temp folder is
/// removed when the test passed, kept (its path printed) when it failed.
class Installation {
 public:
  explicit Installation(const std::string& folder_name = "",
                        const fs::path& base = fs::temp_directory_path());
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;
  ~Installation();
  const fs::path& root() const { return root_; }
  std::string dir() const { return dir_.u8string(); }
  std::string launcher() const { return File("tolvarine" + Exe()); }
  std::string work() const { return File("work"); }
  std::string File(const std::string& relative) const {
    return (dir_ / fs::u8path(relative)).u8string();
  }
  /// Writes a file below the installation, making its folders.
  void Write(const std::string& relative, const std::string& content) const;
  /// Copies the helper in as `relative` + Exe(); what it does follows from that name.
  void AddHelper(const std::string& relative) const;
  /// Writes config.dat: "[Info]", RunEXE with the helper copied in as "conv" followed by
  /// `run_exe_tail`, then `more` (lines that end in CR LF).
  void UseConverter(const std::string& run_exe_tail = "", const std::string& more = "") const;
  /// The work folder as the current one, each fake program's record ("CONV.txt", "JAVA.txt",
  /// "WGET.txt", "7Z.txt") and the temporary-files folder "tmp", all in the installation.
  RunOptions Options() const;
  /// The launcher's command (under memcheck when asked) with `args`.
  std::vector<std::string> Command(const std::vector<std::string>& args) const;
  /// Runs the launcher from the work folder; under memcheck a memory error fails the test.
  ProgramResult Run(const std::vector<std::string>& args, RunOptions options = {}) const;

 private:
  fs::path root_;
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
/// The converter's output as the launcher frames it.
inline std::string Framed(const std::string& text) {
  return "[Message]\n" + kFrame + text + kFrame;
}
inline const std::string kConv = "[Info]\nRunEXE={CONV}\n";
inline const std::string kConverterText = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";
inline const std::string kProductText = "(Tolvarine SVG to PDF Converter)                       ";
inline const std::vector<std::string> kArgs = {"in.svg", "out.pdf"};
inline const std::string kRan = "[in.svg][out.pdf]\n";

using Files = std::map<std::string, std::string>;
using Args = std::vector<std::string>;
/// What the fake converter does: actions separated by '|' (see the helper program).
inline Environment Does(const std::string& actions) { return {{"FAKE_CONV_DO", actions}}; }
/// Typed empty fields: a bare "{}" would make the formatter give each field a line of its own.
inline const Environment kSameEnv;
inline const Files kNoFiles;

struct Case {
  const char* what;
  std::string config;  // none when empty
  Args args;
  std::string out;
  int status = 0;
  std::string ran = "<none>";  // what the converter recorded, one line a run
  Environment env = {};
  /// Files to make first: path -> content, "<dir>" for a folder, "<helper>" for the helper,
  /// "<fifo>" for a named pipe without a writer (POSIX), "<link>TARGET" for a link.
  Files before = {};
  /// Files after: path -> content ("<none>": missing, '*': any characters within a line); a
  /// path ending in "/" gives the names in that folder, sorted, each followed by a space.
  Files after = {};
  std::string only = "";   // any of "posix", "windows", "speed" (not under memcheck)
  std::string limit = "";  // one of the helper's limits to run under (POSIX), not memcheck
  int runs = 1;            // the same run again; the last one is checked
};

/// Texts may hold {CONV} (the converter, as config.dat names it), {DIR} (the installation),
/// {TMP} (its temporary-files folder), {SEP}, {EXE} and {JAVA} (the Java program's default name).
std::string Expand(std::string text, const Installation& install);
/// The names in a folder, sorted, each followed by a space.
std::string Listing(const std::string& folder);
/// Runs every row in an installation of its own (named `folder`) and checks it; config.dat's
/// line feeds are written as CR LF.
void RunCases(const std::vector<Case>& rows, const std::string& folder = "");

}  // namespace behaviour

#endif  // TOLVARINE_TESTS_BEHAVIOUR_CASES_H_
