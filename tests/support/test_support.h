// What the tests share: temp folders, files, running programs, and installation folders.
#ifndef TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
#define TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

/// A fresh folder for one test: removed when the test passed, kept (and its path printed)
/// when it failed.
class TempDir {
 public:
  explicit TempDir(const fs::path& base = fs::temp_directory_path());
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

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

/// True in the Windows build (run under Wine).
bool IsWindowsBuild();
/// True when the tests run with the POSIX superuser's rights (never on Windows).
bool RunsAsSuperuser();
/// "" or ".exe".
std::string Exe();
/// The separator the launcher's platform puts in paths ("/" or "\\").
std::string Sep();
/// The multi-call helper program of this build.
std::string Helper();
/// True when the launcher's runs go through valgrind's memcheck (TOLVARINE_TEST_VALGRIND set
/// in a POSIX build); a run with a memory error then fails its test.
bool UnderMemcheck();
/// True in the AddressSanitizer build, whose programs need far more address space.
bool UnderSanitizer();
/// What the launcher prints for `text`: a line feed becomes CR LF on Windows (text mode).
std::string ConsoleText(const std::string& text);

/// Paths in the tests are UTF-8 texts, as the launcher keeps them on every platform.
void WriteFile(const std::string& path, const std::string& content);
/// The file's bytes, or "<none>" when it cannot be read.
std::string ReadFile(const std::string& path);

/// An installation folder in a temp dir: the launcher copied in (not linked), a "work"
/// folder below it for the runs' current folder, and files written as a test asks.
class Installation {
 public:
  /// An installation in the temp folder itself, or in a sub-folder of that name.
  explicit Installation(const std::string& folder_name = "",
                        const fs::path& base = fs::temp_directory_path());
  const TempDir& temp() const { return temp_; }
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
  /// The launcher's command (under memcheck when asked) with `args`.
  std::vector<std::string> Command(const std::vector<std::string>& args) const;
  /// Runs the launcher from the work folder; under memcheck a memory error fails the test.
  ProgramResult Run(const std::vector<std::string>& args, RunOptions options = {}) const;

 private:
  TempDir temp_;
  fs::path dir_;
};

}  // namespace testing_support

#endif  // TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
