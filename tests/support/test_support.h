// What the tests share: temp folders, files, running programs, and installation folders.
#ifndef TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
#define TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
#include <filesystem>
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
  /// In the system's temp folder, or in `base`.
  explicit TempDir(const fs::path& base = fs::temp_directory_path());
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const fs::path& path() const { return path_; }
  /// A path below the folder.
  std::string operator/(const std::string& name) const {
    return (path_ / fs::u8path(name)).u8string();
  }

 private:
  fs::path path_;
};

/// Variables to set (a value) or remove (nothing) in a child's environment.
using Environment = std::map<std::string, std::optional<std::string>>;

struct RunOptions {
  std::string working_directory;  // empty: the test's own
  Environment environment;
  std::string input = {};  // a file for standard input; empty: the null device
};

struct ProgramResult {
  int exit_code = -1;  // a signal on POSIX gives 128 + its number
  std::string out;
  std::string err;
};

/// A program that StartProgram started (its process id or handle), or -1.
using StartedProgram = std::intptr_t;

/// Starts a program (argument 0 names it) with its two output streams into the given files.
StartedProgram StartProgram(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path);
/// Waits for a started program to end; its exit code (on POSIX, 128 + a signal's number).
int WaitForProgram(StartedProgram program);
/// Starts all the programs at once, then waits for every one; what each wrote and its status.
std::vector<ProgramResult> RunTogether(const std::vector<std::vector<std::string>>& argvs,
                                       const RunOptions& options = {});
ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

/// True in the Windows build (run under Wine).
bool IsWindowsBuild();
/// The process id of the tests themselves: a process that is surely running.
unsigned long OwnProcessId();
/// True when the tests run with the POSIX superuser's rights (never on Windows).
bool RunsAsSuperuser();
/// A path of the build tree as this platform names it (Wine shows "/" as drive Z:).
std::string HostPath(const std::string& build_path);
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
/// What the launcher prints for `text` in text mode: a line feed becomes CR LF on Windows
/// (where it has no CR before it already).
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
  /// The launcher's command (under memcheck when asked) with `args`, from the work folder.
  std::vector<std::string> Command(const std::vector<std::string>& args) const;
  ProgramResult Run(const std::vector<std::string>& args, RunOptions options = {}) const;

 private:
  TempDir temp_;
  fs::path dir_;
};

/// Checks a launcher run: memcheck's verdict when it ran under memcheck, and takes valgrind's
/// own notices out of standard error.
ProgramResult CheckedByMemcheck(ProgramResult result);

}  // namespace testing_support

#endif  // TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
