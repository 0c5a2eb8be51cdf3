// Windows implementation of the platform layer.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"

namespace tolvarine::platform {

const char kPathSeparator = '\\';
const char kPathListSeparator = ';';
const char kPrivateJavaPath[] = "jre\\bin\\javaw.exe";
const char kDefaultJavaName[] = "javaw.exe";
const char kDownloaderName[] = "wget.exe";
const char kUnpackerName[] = "7z.exe";

namespace {

// Owns one kernel handle and closes it on every path.
class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(handle_);  // Nothing useful can be done about a failed close.
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Hands on the reason of a failed call (GetLastError's text) and returns false, for
// `return Failed("CreateFileW");`. The last error is kept for the caller.
bool Failed(const char* call) {
  DWORD error = GetLastError();
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = length > 0 ? std::string(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  ReportFailure(call, reason + " (error " + std::to_string(error) + ")");
  SetLastError(error);
  return false;
}

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The ANSI file functions stop at MAX_PATH characters. Paths go through the wide functions,
// long ones as extended-length paths, so that a name of any length works.
std::wstring WidePath(const std::string& path) {
  int length =
      MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
  // Below this length even a folder name fits the classic limit (which keeps 12 for 8.3 names).
  if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  DWORD got = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return wide;
  full.resize(got);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace

// --- Locations and files -------------------------------------------------------------------

std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // Cut at the buffer's end: try again with room to spare.
  }
}

bool EntryExists(const std::string& path) {
  return !path.empty() && GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanOpenForReading(const std::string& path) {
  if (path.empty()) return false;
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  FILE* file = _wfopen(wide.c_str(), L"r");
  if (file == nullptr) return false;
  std::fclose(file);  // Opened only to learn that it can be; nothing was read.
  return true;
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RenamePath(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  std::wstring source = WidePath(from);
  DWORD attributes = GetFileAttributesW(source.c_str());
  bool is_folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  return MoveFileExW(source.c_str(), WidePath(to).c_str(),
                     is_folder ? 0 : MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveFile(const std::string& path) {
  return DeleteFileW(WidePath(path).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

void RemoveTree(const std::string& path) {
  if (path.empty()) return;
  std::wstring wide = WidePath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A junction or link is removed itself; what it points to is left alone.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..") RemoveTree(path + "\\" + name);
      } while (FindNextFileA(search, &entry));
      FindClose(search);
    }
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    RemoveDirectoryW(wide.c_str());  // What cannot be removed stays; only our own is removed.
  } else {
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide.c_str());
  }
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

void File::Close() {
  if (IsOpen()) CloseHandle(AsHandle(handle_));  // Data was written with WriteFile already.
  handle_ = -1;
}

namespace {

std::intptr_t OpenExisting(const std::string& path, DWORD access) {
  if (path.empty()) return -1;
  HANDLE handle = CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return -1;
  }
  return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace

File File::OpenForReading(const std::string& path) {
  return File(OpenExisting(path, GENERIC_READ));
}

File File::OpenForUpdate(const std::string& path) {
  return File(OpenExisting(path, GENERIC_READ | GENERIC_WRITE));
}

bool File::IsOpen() const { return handle_ != -1; }

std::optional<std::uint64_t> File::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

namespace {

OVERLAPPED AtOffset(std::uint64_t offset) {
  OVERLAPPED overlapped;
  std::memset(&overlapped, 0, sizeof overlapped);
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

constexpr std::size_t kMaxTransfer = 1u << 30;

}  // namespace

bool File::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  char* out = static_cast<char*>(buffer);
  while (size > 0) {
    OVERLAPPED at = AtOffset(offset);
    DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), out, want, &got, &at) || got == 0) return false;
    out += got;
    offset += got;
    size -= got;
  }
  return true;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t size) {
  const char* in = static_cast<const char*>(buffer);
  while (size > 0) {
    OVERLAPPED at = AtOffset(offset);
    DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), in, want, &put, &at) || put == 0) return false;
    in += put;
    offset += put;
    size -= put;
  }
  return true;
}

// --- Environment ---------------------------------------------------------------------------

std::optional<std::string> ReadEnvironmentVariable(const std::string& name) {
  std::string value(256, '\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length =
        GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // Too small: `length` is the size needed, terminator included.
  }
}

bool WriteEnvironmentVariable(const std::string& name, const std::string& value) {
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

std::string DefaultSearchPath() { return std::string(); }

std::string TempDirectory() {
  DWORD needed = GetTempPathA(0, nullptr);
  if (needed == 0) return std::string();
  std::string folder(needed, '\0');
  DWORD length = GetTempPathA(needed, folder.data());
  if (length == 0 || length >= needed) return std::string();
  folder.resize(length);
  if (folder.back() != kPathSeparator) folder += kPathSeparator;
  return folder;
}

// --- Configuration -------------------------------------------------------------------------

std::size_t ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& default_value, char* buffer, std::size_t size,
                              const std::string& path) {
  if (size == 0) return 0;
  // An empty path means that no file was found, but the system's reader would look in the
  // Windows folder for it; and it cannot open a path of MAX_PATH characters or more. The
  // portable reader gives the system's results (a test holds the two together), reads the
  // empty path as a missing file, and takes a path of any length.
  if (path.empty() || path.size() >= MAX_PATH) {
    return ReadProfileFile(section, key, default_value, buffer, size, path);
  }
  return GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buffer,
                                  static_cast<DWORD>(size), path.c_str());
}

// --- Processes -----------------------------------------------------------------------------

namespace {

// One read takes at most this much, as the Windows launcher has always read.
constexpr DWORD kReadChunk = 8191;
// Room for the child to write ahead while the launcher is between two looks at the pipe.
// The system's default (a few KiB) would hold a child that writes a lot to a few KiB per look.
constexpr DWORD kPipeBuffer = 1 << 20;
// The first and the longest wait for the child's end while its pipe is empty.
constexpr DWORD kFirstIdleWaitMs = 1;
constexpr DWORD kIdleWaitMs = 100;

// The attribute list that limits what a child inherits to the handles named, so that no
// other inheritable handle of the launcher (its own parent's included) reaches it.
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE* handle) {
    SIZE_T size = 0;
    // Asked without a list, it only reports the size it needs (and "fails" doing so).
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle,
                                   sizeof(HANDLE), nullptr, nullptr)) {
      DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;
  ~InheritOnly() {
    if (list_ != nullptr) DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::vector<char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A started child's handles, closed process handle first, on every path.
struct Child {
  PROCESS_INFORMATION started{};
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (started.hProcess != nullptr) CloseHandle(started.hProcess);
    if (started.hThread != nullptr) CloseHandle(started.hThread);
  }
};

// Starts the child hidden, with no standard input and both output streams into `write_end`,
// which is the only handle it inherits. Fills `process` on success.
bool StartCaptured(const CommandLine& command, HANDLE write_end, PROCESS_INFORMATION& process) {
  HANDLE inherited = write_end;
  InheritOnly inherit(&inherited);
  if (inherit.get() == nullptr) return false;
  STARTUPINFOEXA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = nullptr;
  startup.StartupInfo.hStdOutput = write_end;
  startup.StartupInfo.hStdError = write_end;
  startup.lpAttributeList = inherit.get();
  std::string line = command.text;  // CreateProcessA may write into its command line.
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                     nullptr, nullptr, &startup.StartupInfo, &process) != 0) {
    return true;
  }
  return Failed("CreateProcessA");
}

// Reads `count` bytes that the pipe reports waiting (so the reads never block), in chunks.
bool ReadWaiting(HANDLE pipe, DWORD count, const OutputSink& sink) {
  char buffer[kReadChunk];
  while (count > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, count < kReadChunk ? count : kReadChunk, &got, nullptr) ||
        got == 0) {
      return false;
    }
    sink(buffer, got);
    count -= got;
  }
  return true;
}

// The next wait of a child that stays silent: twice the last, up to the longest.
DWORD Longer(DWORD idle_wait) { return idle_wait * 2 < kIdleWaitMs ? idle_wait * 2 : kIdleWaitMs; }

// Hands on the child's output until the child has ended (then takes only what the pipe
// holds at that moment, so that a grandchild holding the pipe cannot keep the run going), or
// until the pipe fails or every writer has closed it.
void CollectOutput(HANDLE pipe, HANDLE process, const OutputSink& sink) {
  DWORD idle_wait = kFirstIdleWaitMs;
  for (;;) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) return;
    if (waiting > 0 && !ReadWaiting(pipe, waiting, sink)) return;
    // The anonymous pipe cannot be waited on together with the child. A child that paused
    // only between two writes is looked at again soon, one that stays silent ever less often.
    DWORD wait = WaitForSingleObject(process, waiting > 0 ? 0 : idle_wait);
    idle_wait = waiting > 0 ? kFirstIdleWaitMs : Longer(idle_wait);
    if (wait == WAIT_OBJECT_0) {
      if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
        ReadWaiting(pipe, waiting, sink);  // A failed read ends the run the same way.
      }
      return;
    }
    if (wait != WAIT_TIMEOUT) return;
  }
}

}  // namespace

bool RunCapturedProcess(const CommandLine& command, const OutputSink& sink) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  HANDLE read_handle = nullptr;
  HANDLE write_handle = nullptr;
  if (!CreatePipe(&read_handle, &write_handle, &attributes, kPipeBuffer)) return false;
  Child child;
  {
    Handle read_end(read_handle);
    {
      // Only the write end is inheritable, and the launcher closes its own copy at once, so
      // that only the child and its heirs hold it.
      Handle write_end(write_handle);
      if (!SetHandleInformation(write_handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) ||
          !StartCaptured(command, write_handle, child.started)) {
        return false;
      }
    }
    CollectOutput(read_handle, child.started.hProcess, sink);
  }
  // The read end is closed by now, so a child still writing (after a failed read) fails its
  // write and ends rather than block for ever.
  WaitForSingleObject(child.started.hProcess, INFINITE);  // A failed wait: nothing to wait for.
  return true;
}

std::int32_t RunProcessAndWait(const CommandLine& command, int show_state) {
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_state);
  // The C runtime's table of the launcher's own inherited descriptors would name handles
  // that this child, which inherits none, does not have.
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;
  std::string line = command.text;  // CreateProcessA may write into its command line.
  Child child;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &child.started)) {
    return -1;
  }
  DWORD wait = WaitForSingleObject(child.started.hProcess, INFINITE);
  if (wait != WAIT_OBJECT_0) return static_cast<std::int32_t>(wait);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.started.hProcess, &code)) return -1;
  return static_cast<std::int32_t>(code);
}

void SendToDebugger(const std::string& text) { OutputDebugStringA(text.c_str()); }

// --- The process and leftovers ---------------------------------------------------------------

void PrepareProcess(const std::string& /*program*/) {
  // Windows has no signals to set up, and the system always knows the executable's path.
}

bool ProcessIsRunning(unsigned long id) {
  if (id == 0) return false;
  Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id)));
  if (!process.valid()) return GetLastError() != ERROR_INVALID_PARAMETER;  // denied: it runs
  DWORD code = 0;
  return !GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

std::vector<std::string> FolderEntries(const std::string& path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(WidePath(path + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    Failed("FindFirstFileW");
    return names;
  }
  do {
    int length = WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) continue;
    std::string name(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, entry.cFileName, -1, name.data(), length, nullptr, nullptr);
    name.resize(static_cast<std::size_t>(length - 1));
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

}  // namespace tolvarine::platform
