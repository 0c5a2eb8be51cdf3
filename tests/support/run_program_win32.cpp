// Running programs on Windows: CreateProcessW with the streams sent into files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "support/test_support.h"

namespace testing_support {

std::string HostPath(const std::string& build_path) {
  // The build tree is a Unix path; Wine shows the Unix root as drive Z:.
  if (build_path.empty() || build_path[0] != '/') return build_path;
  std::string path = "Z:" + build_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool IsWindowsBuild() { return true; }
unsigned long OwnProcessId() { return GetCurrentProcessId(); }
bool RunsAsSuperuser() { return false; }

namespace {

// The tests' texts are UTF-8; the programs get them through the wide functions, so that a name
// outside the ANSI code page arrives whole.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring EnvironmentBlock(const RunOptions& options) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    std::wstring text(entry);
    std::wstring name = text.substr(0, text.find(L'=', 1));
    bool overridden = false;
    for (const auto& change : options.environment) {
      if (_wcsicmp(Wide(change.first).c_str(), name.c_str()) == 0) overridden = true;
    }
    if (!overridden) block += text + L'\0';
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : options.environment) {
    if (value) block += Wide(name + "=" + *value) + L'\0';
  }
  block += L'\0';
  return block;
}

// One argument as the runtime's command-line splitter reads it back: quoted, with the
// backslashes before a quote (and before the closing one) doubled.
std::string Quote(const std::string& arg) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '"') quoted.append(backslashes + 1, '\\');
    backslashes = c == '\\' ? backslashes + 1 : 0;
    quoted += c;
  }
  return quoted.append(backslashes, '\\') + '"';
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

StartedProgram StartProgram(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path) {
  std::string command_line;
  for (const std::string& arg : argv) {
    if (!command_line.empty()) command_line += ' ';
    command_line += Quote(arg);
  }
  HANDLE in =
      InheritableFile(options.input.empty() ? "NUL" : options.input, GENERIC_READ, OPEN_EXISTING);
  HANDLE out = InheritableFile(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process;
  std::wstring environment = EnvironmentBlock(options);
  std::wstring line = Wide(command_line);
  std::wstring folder = Wide(options.working_directory);
  BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                           environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup,
                           &process);
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  if (!ok) {
    ADD_FAILURE() << "cannot start " << command_line << ": error " << GetLastError();
    return -1;
  }
  CloseHandle(process.hThread);
  return reinterpret_cast<StartedProgram>(process.hProcess);
}

int WaitForProgram(StartedProgram program) {
  HANDLE process = reinterpret_cast<HANDLE>(program);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

}  // namespace testing_support
