// What the tests share: temp folders, running programs, and installation folders.
#ifndef TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
#define TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_

#include <cstdint>
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
  TempDir();
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

struct RunOptions {
  std::string working_directory;  // empty: the test's own
  /// Variables to set (a value) or remove (nothing) in the child's environment.
  std::map<std::string, std::optional<std::string>> environment;
};

struct ProgramResult {
  int exit_code = -1;  // a signal on POSIX gives 128 + its number
  std::string out;
  std::string err;
};

/// Runs a program with the given arguments (argument 0 is the program), no standard input,
/// and its standard output and standard error collected apart.
ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

/// Starts all the programs at once, then waits for every one of them.
std::vector<ProgramResult> RunProgramsTogether(const std::vector<std::vector<std::string>>& argvs,
                                               const RunOptions& options = {});

/// A program that StartProgram started (its process id or handle), or -1.
using StartedProgram = std::intptr_t;

/// Starts a program with no standard input and its two output streams into the given files.
StartedProgram StartProgram(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path);

/// Waits for a started program to end; its exit code (on POSIX, 128 + a signal's number).
int WaitForProgram(StartedProgram program);

/// A path of the build tree (given by the build in its own form) as this platform names it.
std::string HostPath(const std::string& build_path);

/// The launcher and the helper programs of this build.
std::string LauncherProgram();
/// True when the launcher's runs go through memcheck: TOLVARINE_TEST_VALGRIND is set and not
/// empty in a POSIX build.
bool LauncherUnderMemcheck();
/// What starts the launcher at `launcher`: the program itself, or valgrind's memcheck with
/// `launcher` when LauncherUnderMemcheck(), ending with status 99 on any memory error.
std::vector<std::string> LauncherCommand(const std::string& launcher);
std::string HelperProgram(const std::string& name);
/// The executable suffix of this platform ("" or ".exe").
std::string ExecutableSuffix();

/// What the launcher's standard output holds for `text` printed in text mode: line feeds
/// become CR LF on Windows.
std::string ConsoleText(const std::string& text);

/// Paths in the tests are UTF-8 texts, as the launcher keeps them on every platform.
void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

/// An installation folder in a temp dir: the launcher copied in (not linked), with
/// config.dat and options.dat written as a test asks.
class Installation {
 public:
  /// An installation in the temp folder itself, or in a sub-folder of that name.
  explicit Installation(const std::string& folder_name = "");
  const TempDir& temp() const { return temp_; }
  /// The installation's folder (the launcher's own folder).
  std::string dir() const { return dir_.u8string(); }
  std::string launcher() const;
  std::string File(const std::string& relative) const {
    return (dir_ / fs::u8path(relative)).u8string();
  }
  void Write(const std::string& relative, const std::string& content) const;
  /// A work folder below the installation, used as the current folder of runs.
  std::string work() const { return File("work"); }
  /// Makes the fake_converter helper, copied in, the installation's converter (config.dat's
  /// RunEXE, then `more_config`'s lines), steered by the FAKE_CONVERTER_ variables of each run.
  void UseFakeConverter(const std::string& more_config = "") const;
  /// Runs the launcher with `args` (without argument 0) from the work folder.
  ProgramResult Run(const std::vector<std::string>& args, RunOptions options = {}) const;
  /// Runs the config_probe helper, copied in beside the launcher, with `commands` from the
  /// work folder, and returns its answers (one per line, brackets removed). A probe that
  /// does not end with status 0 or writes to standard error fails the test.
  std::vector<std::string> Probe(const std::vector<std::string>& commands,
                                 RunOptions options = {}) const;
  /// Runs `copies` launchers with the same `args` at once.
  std::vector<ProgramResult> RunTogether(int copies, const std::vector<std::string>& args,
                                         RunOptions options = {}) const;

 private:
  TempDir temp_;
  fs::path dir_;
};

/// The separator the launcher's platform puts in paths ("/" or "\\").
std::string PathSeparator();
// --- Child processes ------------------------------------------------------------------------

/// True in the Windows build.
bool IsWindowsBuild();

/// Makes a named pipe (a FIFO) at `path`, with no writer; false where named pipes have no
/// file path (Windows keeps them in their own name space).
bool MakeNamedPipe(const std::string& path);

/// True when the tests run with the POSIX superuser's rights (never on Windows).
bool RunsAsSuperuser();

/// The folder of the helper programs, as this platform names it.
std::string HelpersDirectory();

/// Sets an environment variable of this process (so children inherit it) for as long as it
/// lives, then puts back the old value, or removes the variable when it had none.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const std::string& name, const std::string& value);
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;
  ~ScopedEnvironmentVariable();

 private:
  std::string name_;
  std::optional<std::string> old_value_;
};

/// A gate that the helper wait_gate waits at: a named pipe (a FIFO on POSIX) that keeps the
/// helper blocked in its read until the test releases it. Nothing here ever blocks the test.
class Gate {
 public:
  Gate();
  Gate(const Gate&) = delete;
  Gate& operator=(const Gate&) = delete;
  ~Gate() { Release(); }
  /// The name that the helper opens.
  std::string path() const { return path_; }
  /// Lets a waiting helper through (its read ends); one that comes later fails to open.
  void Release();

 private:
  TempDir folder_;
  std::string path_;
  std::intptr_t handle_ = -1;
};

/// An open file of this process that a child would inherit if the launcher let it (not
/// close-on-exec on POSIX, inheritable on Windows).
class LeakableFile {
 public:
  LeakableFile();
  LeakableFile(const LeakableFile&) = delete;
  LeakableFile& operator=(const LeakableFile&) = delete;
  ~LeakableFile();
  /// "HANDLE:SIZE", the argument the helper probe_handles looks for.
  std::string probe_argument() const;

 private:
  TempDir folder_;
  std::intptr_t handle_ = -1;
};

struct StandardStreams {
  std::string out;
  std::string err;
};

/// Runs `body` with this process's standard input reading `content` from a file, so that a
/// child that shares it could read it.
void WithStandardInput(const std::string& content, const std::function<void()>& body);

/// Runs `body` with this process's standard output and standard error sent into files, and
/// gives back what reached them (from this process and from children that share them).
StandardStreams CaptureStandardStreams(const std::function<void()>& body);

}  // namespace testing_support

#endif  // TOLVARINE_TESTS_SUPPORT_TEST_SUPPORT_H_
