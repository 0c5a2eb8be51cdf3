// Windows implementation of the platform layer.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/failure.h"
#include "platform/platform.h"
#include "platform/profile_reader.h"

namespace tolvarine::platform {

const char kPathSeparator = '\\';
const char kPathListSeparator = ';';
const char kExecutableSuffix[] = ".exe";
const char kWindowlessSuffix[] = "w";
const bool kStartsCommandText = true;

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

// Texts are UTF-8 inside the program and UTF-16 at the system's wide functions, so that no
// name outside the ANSI code page is lost on the way. `code_page` is CP_ACP for text that the
// system's ANSI functions gave.
std::wstring Wide(const std::string& text, UINT code_page = CP_UTF8) {
  if (text.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                      length);
  return wide;
}

// UTF-16 to the given code page (CP_UTF8 for the program's own texts).
std::string Narrow(const wchar_t* wide, std::size_t size, UINT code_page = CP_UTF8) {
  if (size == 0) return std::string();
  int length =
      WideCharToMultiByte(code_page, 0, wide, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide, static_cast<int>(size), text.data(), length, nullptr,
                      nullptr);
  return text;
}

std::string Narrow(const std::wstring& wide, UINT code_page = CP_UTF8) {
  return Narrow(wide.data(), wide.size(), code_page);
}

// Hands on the reason of a failed call (GetLastError's text) and returns false, for
// `return Failed("CreateFileW");`. The last error is kept for the caller.
bool Failed(const char* call) {
  DWORD error = GetLastError();
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = length > 0 ? Narrow(text, length) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
    reason.pop_back();
  }
  ReportFailure(call, reason + " (error " + std::to_string(error) + ")");
  SetLastError(error);
  return false;
}

// A missing file or folder is an answer, not a failure; anything else is reported.
bool FailedUnlessMissing(const char* call) {
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  return Failed(call);
}

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The ANSI file functions stop at MAX_PATH characters. Paths go through the wide functions,
// long ones as extended-length paths, so that a name of any length works.
std::wstring ExtendedPath(const std::wstring& wide) {
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

std::wstring WidePath(const std::string& path) { return ExtendedPath(Wide(path)); }

}  // namespace

// --- Locations and files -------------------------------------------------------------------

namespace {

std::wstring WideExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      Failed("GetModuleFileNameW");
      return std::wstring();
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // Cut at the buffer's end: try again with room to spare.
  }
}

}  // namespace

std::string ExecutablePath() { return Narrow(WideExecutablePath()); }

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

FileState ReadFileState(const std::string& path) {
  FileState state;
  if (path.empty()) return state;
  // Asking for no access right reads the attributes even of a file another program holds
  // open for writing.
  Handle file(CreateFileW(WidePath(path).c_str(), 0,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file.valid()) {
    // No file is an expected answer; anything else is worth its reason.
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) Failed("CreateFileW");
    return state;
  }
  if (!GetFileInformationByHandle(file.get(), &info)) {
    Failed("GetFileInformationByHandle");
    return state;
  }
  state.exists = true;
  state.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  state.modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  state.volume = info.dwVolumeSerialNumber;
  state.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return state;
}

bool RenamePath(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  std::wstring source = WidePath(from);
  DWORD attributes = GetFileAttributesW(source.c_str());
  bool is_folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (MoveFileExW(source.c_str(), WidePath(to).c_str(),
                  is_folder ? 0 : MOVEFILE_REPLACE_EXISTING) != 0) {
    return true;
  }
  return Failed("MoveFileExW");
}

bool RemoveFile(const std::string& path) {
  if (DeleteFileW(WidePath(path).c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND) {
    return true;
  }
  return Failed("DeleteFileW");
}

namespace {

// Folder names stay wide all the way down: a name the ANSI code page cannot hold is removed too.
void RemoveWideTree(const std::wstring& wide) {
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A junction or link is removed itself; what it points to is left alone.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((wide + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveWideTree(ExtendedPath(wide + L"\\" + name));
      } while (FindNextFileW(search, &entry));
      if (GetLastError() != ERROR_NO_MORE_FILES) Failed("FindNextFileW");
      FindClose(search);
    } else {
      FailedUnlessMissing("FindFirstFileW");
    }
  }
  // What cannot be removed stays (and is reported); only our own folders are removed.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (!RemoveDirectoryW(wide.c_str())) Failed("RemoveDirectoryW");
  } else {
    if (!SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL)) Failed("SetFileAttributesW");
    if (!DeleteFileW(wide.c_str())) Failed("DeleteFileW");
  }
}

}  // namespace

void RemoveTree(const std::string& path) {
  if (!path.empty()) RemoveWideTree(WidePath(path));
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
  if (handle == INVALID_HANDLE_VALUE) {
    FailedUnlessMissing("CreateFileW");
    return -1;
  }
  // A pipe or a device is no file to read or patch; only a failed look is a failure.
  SetLastError(NO_ERROR);
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    if (GetLastError() != NO_ERROR) Failed("GetFileType");
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
  if (!IsOpen()) return std::nullopt;
  if (!GetFileSizeEx(AsHandle(handle_), &size)) {
    Failed("GetFileSizeEx");
    return std::nullopt;
  }
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

std::optional<std::string> File::ReadAt(std::uint64_t offset, std::size_t size) const {
  std::string bytes(size, '\0');
  char* out = bytes.data();
  while (size > 0) {
    OVERLAPPED at = AtOffset(offset);
    DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), out, want, &got, &at)) {
      Failed("ReadFile");
      return std::nullopt;
    }
    if (got == 0) return std::nullopt;  // The file ended early: no system failure to report.
    out += got;
    offset += got;
    size -= got;
  }
  return bytes;
}

bool File::WriteAt(std::uint64_t offset, std::string_view bytes) {
  const char* in = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    OVERLAPPED at = AtOffset(offset);
    DWORD want = static_cast<DWORD>(size < kMaxTransfer ? size : kMaxTransfer);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), in, want, &put, &at)) return Failed("WriteFile");
    if (put == 0) return false;
    in += put;
    offset += put;
    size -= put;
  }
  return true;
}

// --- Environment ---------------------------------------------------------------------------

namespace {

std::optional<std::wstring> WideEnvironmentVariable(const std::wstring& name) {
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    DWORD length =
        GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      DWORD error = GetLastError();
      if (error == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      if (error != ERROR_SUCCESS) Failed("GetEnvironmentVariableW");
      return std::wstring();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // Too small: `length` is the size needed, terminator included.
  }
}

}  // namespace

std::optional<std::string> ReadEnvironmentVariable(const std::string& name) {
  std::optional<std::wstring> value = WideEnvironmentVariable(Wide(name));
  if (!value) return std::nullopt;
  return Narrow(*value);
}

bool WriteEnvironmentVariable(const std::string& name, const std::string& value) {
  if (SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str()) != 0) return true;
  return Failed("SetEnvironmentVariableW");
}

std::string DefaultSearchPath() { return std::string(); }

std::string DistrustReason(const std::string& /*path*/) {
  return std::string();  // GetTempPathW gives a folder of the user's own.
}

std::string TempDirectory(std::string* /*why_not*/) {
  DWORD needed = GetTempPathW(0, nullptr);
  if (needed == 0) {
    Failed("GetTempPathW");
    return std::string();
  }
  std::wstring folder(needed, L'\0');
  DWORD length = GetTempPathW(needed, folder.data());
  if (length == 0 || length >= needed) {
    if (length == 0) Failed("GetTempPathW");
    return std::string();  // Changed between the two calls: no folder to trust.
  }
  folder.resize(length);
  if (folder.back() != L'\\') folder += L'\\';
  return Narrow(folder);
}

// --- Configuration -------------------------------------------------------------------------

namespace {

// The path in the ANSI code page, or nothing when a character of it has no place there.
std::optional<std::string> AnsiPath(const std::string& path) {
  std::wstring wide = Wide(path);
  BOOL lost = FALSE;
  int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                   static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
  if (length <= 0 || lost) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                      ansi.data(), length, nullptr, nullptr);
  return ansi;
}

// True when the file starts with a byte-order mark, behind which the portable reader gives
// UTF-8 where the system's ANSI reader gives the ANSI code page.
bool StartsWithByteOrderMark(const std::string& path) {
  File file = File::OpenForReading(path);
  std::optional<std::uint64_t> size = file.Size();
  std::optional<std::string> start;
  if (!size || *size < 2 || !(start = file.ReadAt(0, *size < 3 ? 2 : 3))) return false;
  return start->rfind("\xFF\xFE", 0) == 0 || start->rfind("\xFE\xFF", 0) == 0 ||
         *start == "\xEF\xBB\xBF";
}

// The portable reader's result in the ANSI code page, as the system's reader gives it.
std::string ReadProfileFileAsAnsi(const std::string& section, const std::string& key,
                                  const std::string& default_value, std::size_t size,
                                  const std::string& path) {
  if (path.empty() || !StartsWithByteOrderMark(path)) {
    return ReadProfileFile(section, key, default_value, size, path);
  }
  // Every character the ANSI text can hold takes at most four bytes of UTF-8.
  std::string utf8 = ReadProfileFile(section, key, default_value, size * 4 + 1, path);
  std::string ansi = Narrow(Wide(utf8.c_str()), CP_ACP);
  if (ansi.size() > size - 1) ansi.resize(size - 1);
  return ansi;
}

}  // namespace

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& default_value, std::size_t size,
                              const std::string& path) {
  if (size == 0) return std::string();
  // An empty path means that no file was found, but the system's reader would look in the
  // Windows folder for it; and it cannot open a path of MAX_PATH characters or more, nor one
  // outside the ANSI code page. The portable reader gives the system's results (a test holds
  // the two together), reads the empty path as a missing file, and takes any path.
  std::optional<std::string> ansi_path = path.empty() ? std::nullopt : AnsiPath(path);
  if (!ansi_path || ansi_path->size() >= MAX_PATH) {
    return ReadProfileFileAsAnsi(section, key, default_value, size, path);
  }
  std::vector<char> buffer(size, '\0');
  DWORD count =
      GetPrivateProfileStringA(section.c_str(), key.c_str(), default_value.c_str(), buffer.data(),
                               static_cast<DWORD>(size), ansi_path->c_str());
  return std::string(buffer.data(), count);
}

std::string ConfigurationText(const std::string& text) { return Narrow(Wide(text, CP_ACP)); }

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
    if (size == 0 || !InitializeProcThreadAttributeList(list, 1, 0, &size)) {
      Failed("InitializeProcThreadAttributeList");
      return;
    }
    list_ = list;
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handle,
                                   sizeof(HANDLE), nullptr, nullptr)) {
      Failed("UpdateProcThreadAttribute");
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

// Sets the limits of `job` to `flags`.
bool LimitJob(HANDLE job, DWORD flags) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  std::memset(&limits, 0, sizeof limits);
  limits.BasicLimitInformation.LimitFlags = flags;
  return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) !=
         0;
}

// A job that ends every process in it when its last handle closes. The launcher holds the only
// one, so a launcher that is killed takes its child, and what the child started, with it.
HANDLE KillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) {
    Failed("CreateJobObjectW");
    return nullptr;
  }
  if (LimitJob(job, JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)) return job;
  Failed("SetInformationJobObject");
  CloseHandle(job);
  return nullptr;
}

// A started child's handles, closed process handle first, on every path.
struct Child {
  PROCESS_INFORMATION started{};
  HANDLE job = nullptr;  // the child's job, when it could be put in one
  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    // The child has ended by now; what it left running outlives the run, as it always did.
    if (job != nullptr && !LimitJob(job, 0)) Failed("SetInformationJobObject");
    if (job != nullptr) CloseHandle(job);
    if (started.hProcess != nullptr) CloseHandle(started.hProcess);
    if (started.hThread != nullptr) CloseHandle(started.hThread);
  }
};

// The longest command line CreateProcessW takes, its terminating zero included.
constexpr std::size_t kMaxCommandLine = 32767;

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsAbsolute(const std::wstring& path) {
  return path.rfind(L"\\\\", 0) == 0 ||
         (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'));
}

std::wstring FolderOf(const std::wstring& path) {
  std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::wstring SystemFolder(UINT(WINAPI* get)(LPWSTR, UINT), const char* call) {
  wchar_t folder[MAX_PATH];
  UINT length = get(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    if (length == 0) Failed(call);
    return std::wstring();
  }
  return std::wstring(folder, length);
}

// Where the system looks for a program named without a folder, less the current folder, which
// may be one of the user's own (a folder of drawings with a planted java.exe): the launcher's
// folder, the system folders, then PATH's entries. A relative PATH entry would name the
// current folder again, so it is skipped too.
std::vector<std::wstring> ProgramFolders() {
  std::wstring windows = SystemFolder(GetWindowsDirectoryW, "GetWindowsDirectoryW");
  std::vector<std::wstring> folders = {FolderOf(WideExecutablePath()),
                                       SystemFolder(GetSystemDirectoryW, "GetSystemDirectoryW"),
                                       windows.empty() ? windows : windows + L"\\System", windows};
  std::wstring path = WideEnvironmentVariable(L"PATH").value_or(std::wstring());
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(L';', start);
    if (end == std::wstring::npos) end = path.size();
    std::wstring entry = path.substr(start, end - start);
    if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"') {
      entry = entry.substr(1, entry.size() - 2);
    }
    if (IsAbsolute(entry)) folders.push_back(entry);
    start = end + 1;
  }
  return folders;
}

// The full path of a program named without a folder, found as the system would find it but
// never in the current folder; empty when there is none.
std::wstring FindProgram(const std::wstring& name) {
  // As the system does, a name without an extension means the ".exe" of that name.
  std::wstring file = name.find(L'.') == std::wstring::npos ? name + L".exe" : name;
  for (const std::wstring& folder : ProgramFolders()) {
    if (folder.empty()) continue;
    std::wstring candidate = folder;
    if (candidate.back() != L'\\' && candidate.back() != L'/') candidate += L'\\';
    candidate += file;
    if (IsFile(candidate)) return candidate;
  }
  return std::wstring();
}

// The file name that Windows opens for `program`: its last component, without a stream
// suffix (":stream", "::$DATA", which names the file itself) and without the trailing dots and
// blanks that the system drops.
std::wstring NameWindowsRuns(const std::wstring& program) {
  std::size_t separator = program.find_last_of(L"\\/");
  std::wstring name = separator == std::wstring::npos ? program : program.substr(separator + 1);
  // A colon before the last separator belongs to a drive; one in the last component starts
  // the stream, except in a bare "C:name", whose colon is a drive's too.
  std::size_t colon = name.find(L':');
  if (separator == std::wstring::npos && colon == 1) colon = name.find(L':', 2);
  if (colon != std::wstring::npos) name.resize(colon);
  std::size_t end = name.find_last_not_of(L". ");
  name.resize(end == std::wstring::npos ? 0 : end + 1);
  return name;
}

bool IsBatchFile(const std::wstring& program) {
  std::wstring name = NameWindowsRuns(program);
  std::size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos) return false;
  std::wstring extension = name.substr(dot);
  return _wcsicmp(extension.c_str(), L".bat") == 0 || _wcsicmp(extension.c_str(), L".cmd") == 0;
}

// The batch file that the system runs for `line` given no program; empty when it runs none.
// An unquoted name with blanks is tried up to each blank in turn, and the first file found
// runs: "C:\my dir\conv.bat x" runs "C:\my dir\conv.bat" when there is no "C:\my.exe".
std::wstring BatchFileRunBy(const std::wstring& line, const std::wstring& program) {
  if (IsBatchFile(program)) return program;
  if (line.empty() || line[0] == L'"') return std::wstring();
  for (std::size_t end = 0; end != std::wstring::npos;) {
    end = line.find_first_of(L" \t", end + 1);
    std::wstring name = line.substr(0, end);
    // A name without an extension means its ".exe", which is no batch file.
    bool bare = NameWindowsRuns(name).find(L'.') == std::wstring::npos;
    if (IsFile(ExtendedPath(bare ? name + L".exe" : name))) {
      return bare || !IsBatchFile(name) ? std::wstring() : name;
    }
  }
  return std::wstring();
}

// A batch file runs in cmd.exe, which reads the command line by rules of its own: a double
// quote ends the quoting that keeps "&" or "|" from starting another command, a percent sign
// expands a variable even inside quotes, and a line break ends the command. An argument with
// any of them is refused, and nothing runs.
bool ArgumentsSafeForBatchFile(const CommandLine& command, const std::string& batch_file) {
  for (std::size_t i = 1; i < command.argv.size(); ++i) {
    if (command.argv[i].find_first_of("\"%\r\n") == std::string::npos) continue;
    PrintText("[Error] The argument [" + command.argv[i] +
              "] cannot be passed safely to the batch file \"" + batch_file +
              "\": nothing was run.\n");
    return false;
  }
  return true;
}

// Where the program's name ends in a command line: the first blank outside double quotes.
std::size_t ProgramEnd(const std::wstring& line) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < line.size(); ++i) {
    if (line[i] == L'"') quoted = !quoted;
    if (!quoted && (line[i] == L' ' || line[i] == L'\t')) break;
  }
  return i;
}

// Puts the suspended child into a job that ends it with the launcher, and lets it run.
bool JoinJobAndResume(Child& child) {
  child.job = KillOnCloseJob();
  if (child.job != nullptr && !AssignProcessToJobObject(child.job, child.started.hProcess)) {
    // An older system puts no job inside the one that may hold the launcher: the child then
    // runs without it, as it always did.
    Failed("AssignProcessToJobObject");
    CloseHandle(child.job);
    child.job = nullptr;
  }
  if (ResumeThread(child.started.hThread) != static_cast<DWORD>(-1)) return true;
  Failed("ResumeThread");
  // A child that never ran is ended; the result does not change the failed start.
  static_cast<void>(TerminateProcess(child.started.hProcess, 1));
  return false;
}

// Starts `command` with CreateProcessW. A program named without a folder is looked for as
// ProgramFolders says and started by its full path; a batch file is named by its full path in
// the command line too, since cmd.exe would look in the current folder first.
bool StartProcess(const CommandLine& command, BOOL inherit, DWORD flags, STARTUPINFOW* startup,
                  Child& child) {
  std::wstring line = Wide(command.text);
  std::wstring program = command.argv.empty() ? std::wstring() : Wide(command.argv[0]);
  std::wstring application;
  if (!program.empty() && program.find_first_of(L"\\/:") == std::wstring::npos) {
    application = FindProgram(program);
    if (application.empty()) {
      ReportFailure("CreateProcessW", "\"" + command.argv[0] +
                                          "\" is in neither the launcher's folder, the system "
                                          "folders nor a folder of PATH");
      return false;
    }
  }
  std::wstring batch_file = application.empty()        ? BatchFileRunBy(line, program)
                            : IsBatchFile(application) ? program
                                                       : std::wstring();
  if (!batch_file.empty()) {
    if (!ArgumentsSafeForBatchFile(command, Narrow(batch_file))) return false;
    if (!application.empty()) line = L"\"" + application + L"\"" + line.substr(ProgramEnd(line));
  }
  if (line.size() >= kMaxCommandLine) {
    ReportFailure("CreateProcessW", "the command line has " + std::to_string(line.size()) +
                                        " characters, more than the " +
                                        std::to_string(kMaxCommandLine - 1) + " Windows takes");
    return false;
  }
  // Started suspended, so that it runs nothing before it is in its job.
  if (CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                     nullptr, inherit, flags | CREATE_SUSPENDED, nullptr, nullptr, startup,
                     &child.started) == 0) {
    return Failed("CreateProcessW");
  }
  return JoinJobAndResume(child);
}

// Starts the child hidden, with no standard input and both output streams into `write_end`,
// which is the only handle it inherits. Fills `child` on success.
bool StartCaptured(const CommandLine& command, HANDLE write_end, Child& child) {
  HANDLE inherited = write_end;
  InheritOnly inherit(&inherited);
  if (inherit.get() == nullptr) return false;
  STARTUPINFOEXW startup;
  std::memset(&startup, 0, sizeof startup);
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = nullptr;
  startup.StartupInfo.hStdOutput = write_end;
  startup.StartupInfo.hStdError = write_end;
  startup.lpAttributeList = inherit.get();
  return StartProcess(command, TRUE, EXTENDED_STARTUPINFO_PRESENT, &startup.StartupInfo, child);
}

// True when a failed pipe call only means that every writer has closed the pipe.
bool PipeEnded(const char* call) {
  if (GetLastError() == ERROR_BROKEN_PIPE) return true;
  Failed(call);
  return false;
}

// Reads `count` bytes that the pipe reports waiting (so the reads never block), in chunks.
bool ReadWaiting(HANDLE pipe, DWORD count, const OutputSink& sink) {
  char buffer[kReadChunk];
  while (count > 0) {
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, count < kReadChunk ? count : kReadChunk, &got, nullptr)) {
      PipeEnded("ReadFile");
      return false;
    }
    if (got == 0) return false;
    sink(std::string_view(buffer, got));
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
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
      PipeEnded("PeekNamedPipe");
      return;
    }
    if (waiting > 0 && !ReadWaiting(pipe, waiting, sink)) return;
    // The anonymous pipe cannot be waited on together with the child. A child that paused
    // only between two writes is looked at again soon, one that stays silent ever less often.
    DWORD wait = WaitForSingleObject(process, waiting > 0 ? 0 : idle_wait);
    idle_wait = waiting > 0 ? kFirstIdleWaitMs : Longer(idle_wait);
    if (wait == WAIT_OBJECT_0) {
      if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
        ReadWaiting(pipe, waiting, sink);  // A failed read ends the run the same way.
      } else {
        PipeEnded("PeekNamedPipe");
      }
      return;
    }
    if (wait != WAIT_TIMEOUT) {
      Failed("WaitForSingleObject");
      return;
    }
  }
}

}  // namespace

std::optional<std::int32_t> RunCapturedProcess(const CommandLine& command, const OutputSink& sink) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  HANDLE read_handle = nullptr;
  HANDLE write_handle = nullptr;
  if (!CreatePipe(&read_handle, &write_handle, &attributes, kPipeBuffer)) {
    Failed("CreatePipe");
    return std::nullopt;
  }
  Child child;
  {
    Handle read_end(read_handle);
    {
      // Only the write end is inheritable, and the launcher closes its own copy at once, so
      // that only the child and its heirs hold it.
      Handle write_end(write_handle);
      if (!SetHandleInformation(write_handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        Failed("SetHandleInformation");
        return std::nullopt;
      }
      if (!StartCaptured(command, write_handle, child)) return std::nullopt;
    }
    CollectOutput(read_handle, child.started.hProcess, sink);
  }
  // The read end is closed by now, so a child still writing (after a failed read) fails its
  // write and ends rather than block for ever.
  DWORD code = 0;
  if (WaitForSingleObject(child.started.hProcess, INFINITE) == WAIT_FAILED) {
    Failed("WaitForSingleObject");  // Nothing left to wait for; the run goes on to its report.
  } else if (!GetExitCodeProcess(child.started.hProcess, &code)) {
    Failed("GetExitCodeProcess");
  } else {
    return static_cast<std::int32_t>(code);
  }
  return -1;
}

std::optional<std::int32_t> RunConversion(const CommandLine& command, const OutputSink& sink) {
  return RunCapturedProcess(command, sink);
}

std::int32_t RunProcessAndWait(const CommandLine& command, int show_state) {
  STARTUPINFOW startup;
  GetStartupInfoW(&startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_state);
  // The C runtime's table of the launcher's own inherited descriptors would name handles
  // that this child, which inherits none, does not have.
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;
  Child child;
  if (!StartProcess(command, FALSE, NORMAL_PRIORITY_CLASS, &startup, child)) return -1;
  DWORD wait = WaitForSingleObject(child.started.hProcess, INFINITE);
  if (wait != WAIT_OBJECT_0) {
    if (wait == WAIT_FAILED) Failed("WaitForSingleObject");
    return static_cast<std::int32_t>(wait);
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(child.started.hProcess, &code)) {
    Failed("GetExitCodeProcess");
    return -1;
  }
  return static_cast<std::int32_t>(code);
}

void SendToDebugger(const std::string& text) { OutputDebugStringW(Wide(text).c_str()); }

// --- Command line and console --------------------------------------------------------------

std::optional<std::string> OwnCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return Narrow(line, std::wcslen(line));
}

namespace {

// The console behind `out`, or nothing when `out` is a file or a pipe.
HANDLE ConsoleOf(std::FILE* out) {
  int fd = _fileno(out);
  HANDLE handle = fd < 0 ? INVALID_HANDLE_VALUE : AsHandle(_get_osfhandle(fd));
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
    return nullptr;
  }
  return handle;
}

// Shows `text` (UTF-8) on the console after what `out` printed before it, each line feed as CR
// LF. A failure is not reported: its report would be printed the same way.
bool WriteToConsole(HANDLE console, std::FILE* out, std::string_view text) {
  std::fflush(out);
  std::wstring lines;
  for (wchar_t c : Wide(std::string(text))) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  DWORD written = 0;
  return lines.empty() ||
         WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
}

// How much of `bytes` ends where a UTF-8 character ends: a character whose first bytes come
// last waits for the rest.
std::size_t CompleteLength(std::string_view bytes) {
  for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: its start is further back
    std::size_t length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
    return length > back ? bytes.size() - back : bytes.size();
  }
  return bytes.size();
}

}  // namespace

void PrintText(const std::string& text) {
  HANDLE console = ConsoleOf(stdout);
  if (console != nullptr && WriteToConsole(console, stdout, text)) return;
  // A file or a pipe gets the ANSI code page, as ever; the text mode adds the CR of each LF.
  std::string ansi = Narrow(Wide(text), CP_ACP);
  if (!ansi.empty()) static_cast<void>(std::fwrite(ansi.data(), 1, ansi.size(), stdout));
}

void PrintBytes(const std::string& bytes) {
  // Binary for these bytes only: the text mode would add a CR before every LF, even one that
  // a CR already stands before.
  std::fflush(stdout);
  int fd = _fileno(stdout);
  int old_mode = _setmode(fd, _O_BINARY);
  if (!bytes.empty()) static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), stdout));
  std::fflush(stdout);
  if (old_mode != -1) _setmode(fd, old_mode);
}

void PrintOutput(std::FILE* out, std::string_view bytes) {
  HANDLE console = ConsoleOf(out);
  if (console == nullptr) {
    // A file or a pipe gets the bytes; a refused write leaves nothing to be done here.
    if (!bytes.empty()) static_cast<void>(std::fwrite(bytes.data(), 1, bytes.size(), out));
    return;
  }
  // The start of a character that the last piece cut off; only the converter's output, which
  // goes to one console, comes here.
  static std::string held;
  held.append(bytes);
  std::size_t complete = CompleteLength(held);
  if (!WriteToConsole(console, out, std::string_view(held).substr(0, complete))) {
    static_cast<void>(std::fwrite(held.data(), 1, complete, out));  // as bytes, then
  }
  held.erase(0, complete);
}

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
