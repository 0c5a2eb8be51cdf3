// The few operating-system operations the launcher needs. Everything above this layer is
// portable C++; platform_posix.cpp and platform_win32.cpp implement it, one per build.
#ifndef TOLVARINE_PLATFORM_PLATFORM_H_
#define TOLVARINE_PLATFORM_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvarine::platform {

/// The separator between a folder and a name in a path ('\\' on Windows, '/' on POSIX).
extern const char kPathSeparator;
/// The separator between the entries of PATH (';' on Windows, ':' on POSIX).
extern const char kPathListSeparator;
/// What ends an executable's file name (".exe" on Windows, nothing on POSIX).
extern const char kExecutableSuffix[];
/// What a program's name adds for its variant that opens no console window of its own ("w",
/// as in javaw, on Windows; nothing on POSIX, where programs have no such variant).
extern const char kWindowlessSuffix[];

// --- The process ---------------------------------------------------------------------------

/// Sets the process up for a run; called first. POSIX: SIGPIPE is ignored (a closed standard
/// output makes writes fail instead of ending the run; children still start with the
/// default), SIGCHLD is reset to its default (so that children can be waited for), and
/// `program` (argument 0) is kept to find the executable where the system cannot tell.
/// Nothing on Windows.
void PrepareProcess(const std::string& program);

/// False only when no running process has the identifier `id`; one that this process may
/// not examine counts as running.
bool ProcessIsRunning(unsigned long id);

// --- Locations and files -------------------------------------------------------------------

/// The full path of the running executable: as the system reports it, or on POSIX where it
/// cannot, from argument 0 and the PATH of the start. Empty when neither tells.
std::string ExecutablePath();

/// True when something (file, folder, anything) exists at `path`.
bool EntryExists(const std::string& path);

/// True when `path` names something that is not a folder and can be opened for reading now.
/// Never blocks, even on a named pipe.
bool CanOpenForReading(const std::string& path);

/// The size in bytes of the entry at `path`, or nothing when it cannot be examined.
std::optional<std::uint64_t> FileSize(const std::string& path);

/// What tells one version of a file from another: whether it exists, its size, its last
/// modification time and its identity on its volume (device and inode on POSIX; volume serial
/// number and file index on Windows). A file rewritten in place or replaced by a rename differs
/// in at least one of them.
struct FileState {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own unit and epoch, only ever compared
  std::uint64_t volume = 0;
  std::uint64_t index = 0;

  bool operator==(const FileState& other) const {
    return exists == other.exists && size == other.size && modified == other.modified &&
           volume == other.volume && index == other.index;
  }
  bool operator!=(const FileState& other) const { return !(*this == other); }
};

/// The state of the file at `path` (links followed); `exists` is false when nothing is there
/// or it cannot be examined.
FileState ReadFileState(const std::string& path);

/// Renames a file or folder. A file replaces an existing one; a folder never replaces a
/// folder that holds anything. False when nothing was renamed.
bool RenamePath(const std::string& from, const std::string& to);

/// Removes a file; false when it is still there.
bool RemoveFile(const std::string& path);

/// Removes a folder with everything in it, never following links out of it.
void RemoveTree(const std::string& path);

/// The names of a folder's entries, without "." and ".."; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& path);

/// This process's identifier, for names no other running launcher uses.
unsigned long CurrentProcessId();

/// An open file, closed when the object goes away. Reads and writes address absolute offsets,
/// so no file position is shared between them.
class File {
 public:
  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  /// Opens an existing file for reading; a folder or a missing file gives an unopened File.
  static File OpenForReading(const std::string& path);
  /// Opens an existing file for reading and writing in place: never created, never truncated.
  static File OpenForUpdate(const std::string& path);

  bool IsOpen() const;
  /// The file's current size, or nothing when it cannot be examined.
  std::optional<std::uint64_t> Size() const;
  /// Exactly `size` bytes read at `offset`; nothing on any error or a short read.
  std::optional<std::string> ReadAt(std::uint64_t offset, std::size_t size) const;
  /// Writes all of `bytes` at `offset`; false on any error or a short write.
  bool WriteAt(std::uint64_t offset, std::string_view bytes);

 private:
  explicit File(std::intptr_t handle) : handle_(handle) {}
  void Close();
  std::intptr_t handle_ = -1;
};

// --- Environment ---------------------------------------------------------------------------

/// The value of an environment variable, or nothing when it is not set.
std::optional<std::string> ReadEnvironmentVariable(const std::string& name);

/// Sets an environment variable of this process (inherited by later children).
bool WriteEnvironmentVariable(const std::string& name, const std::string& value);

/// What stands for an unset or empty PATH: the system's default search path on POSIX, the
/// empty text on Windows.
std::string DefaultSearchPath();

#ifndef _WIN32
/// The file a program named `name` is started from: `name` itself when it holds a '/', else
/// the first executable file of that name in a folder of this process's PATH. Empty and
/// relative entries are skipped: they name folders below wherever the user happens to be.
/// Empty, with errno set, when there is none.
std::string FindProgram(const std::string& name);
#endif

/// The user's temporary-files folder, always ending with kPathSeparator; empty when no safe
/// folder can be had, and then `why_not` (when given) says why, naming the folder ("\"/tmp/x\"
/// belongs to another user"), or stays empty where the system tells nothing.
std::string TempDirectory(std::string* why_not = nullptr);

/// Why what is at `path` (links followed) must not be trusted to hold programs this user runs:
/// "\"PATH\" belongs to another user" or "others can write \"PATH\""; empty when it is the user's
/// own and nobody else can write it, when nothing is there, and where the system keeps such
/// folders per user (Windows).
std::string DistrustReason(const std::string& path);

// --- Configuration -------------------------------------------------------------------------

/// Reads one value of an INI-form file with the rules of Windows' private profile reader: the
/// value or `default_value` as that reader places it in a buffer of `size` bytes (cut to
/// size - 1 characters; empty for size 0). The text is the configuration's own encoding (the
/// ANSI code page on Windows), the same for any path.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& path);

/// A text that ReadProfileString gave, in the program's encoding (UTF-8 on Windows).
std::string ConfigurationText(const std::string& text);

// --- Processes -----------------------------------------------------------------------------

/// A command line as one text (what Windows starts) together with the same line split into
/// a program and its arguments by the Windows rules (what POSIX starts).
struct CommandLine {
  std::string text;
  std::vector<std::string> argv;
};

/// Receives one piece of a child's output, in the order the bytes reached the pipe.
using OutputSink = std::function<void(std::string_view piece)>;

/// Runs a child with its standard output and standard error joined into one pipe and no
/// standard input, hands every byte it writes to `sink`, and returns once the child itself
/// has ended and what it left in the pipe is drained. Its exit code (POSIX: 128 + the signal's
/// number when a signal ended it; -1 when it cannot be told), or nothing when it could not be
/// started.
std::optional<std::int32_t> RunCapturedProcess(const CommandLine& command, const OutputSink& sink);

/// RunCapturedProcess for the converter, which must never outlive the launcher: POSIX passes
/// SIGINT, SIGTERM and SIGHUP on to it and, on Linux, has it stopped (SIGTERM, so that it can
/// remove what it was writing) when the launcher dies; it starts with LC_ALL=C.UTF-8 where the
/// launcher's locale can name only ASCII characters. Windows ties it to the launcher as every
/// captured child.
std::optional<std::int32_t> RunConversion(const CommandLine& command, const OutputSink& sink);

/// True where the system starts a command line's text (Windows), false where it starts the
/// split form (POSIX).
extern const bool kStartsCommandText;

/// Runs a child in this process's console and waits for it without a limit. Returns its
/// exit code as a signed 32-bit value, or -1 when it cannot be started or has none.
std::int32_t RunProcessAndWait(const CommandLine& command, int show_state);

/// Sends a text to the system debugger channel, where there is one; never to the console.
void SendToDebugger(const std::string& text);

// --- Command line and console --------------------------------------------------------------

/// The command line this process was started with, in the program's encoding, where the
/// system keeps one (Windows); nothing where the arguments come as a list (POSIX).
std::optional<std::string> OwnCommandLine();

/// Prints one of the launcher's own texts on standard output: readable on a console, in the
/// system's usual encoding when standard output is a file or a pipe.
void PrintText(const std::string& text);

/// Writes bytes to standard output exactly as they are, no line end changed.
void PrintBytes(const std::string& bytes);

/// Writes the converter's output to `out` as text. On a console (Windows) its bytes are read as
/// UTF-8 and shown as the characters they are, a character cut between two writes shown whole
/// with the second; elsewhere they go through `out` unchanged.
void PrintOutput(std::FILE* out, std::string_view bytes);

// --- Failure reasons -----------------------------------------------------------------------

/// Receives the reason of each failed system call as it happens: the call's name and the
/// system's error text, as in "open: No such file or directory".
using FailureObserver = std::function<void(const std::string& reason)>;

/// Sets the one observer of failure reasons; an empty one drops them (the default).
void SetFailureObserver(FailureObserver observer);

/// While it lives, each failure reason names the step it belongs to first, as in
/// "java -version: cannot start \"java\": No such file or directory"; the step before it comes
/// back when it ends.
class FailureStep {
 public:
  explicit FailureStep(std::string name);
  FailureStep(const FailureStep&) = delete;
  FailureStep& operator=(const FailureStep&) = delete;
  ~FailureStep();

 private:
  std::string outer_;
};

}  // namespace tolvarine::platform

#endif  // TOLVARINE_PLATFORM_PLATFORM_H_
