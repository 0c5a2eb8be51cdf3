#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "process/command_line.h"
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

std::string ExecutableSuffix() { return ".exe"; }

bool LauncherUnderMemcheck() { return false; }  // valgrind runs POSIX programs only

std::vector<std::string> LauncherCommand(const std::string& launcher) { return {launcher}; }

namespace {

std::string EnvironmentBlock(const RunOptions& options) {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
    std::string text(entry);
    std::string name = text.substr(0, text.find('=', 1));
    bool overridden = false;
    for (const auto& change : options.environment) {
      if (_stricmp(change.first.c_str(), name.c_str()) == 0) overridden = true;
    }
    if (!overridden) block += text + '\0';
  }
  FreeEnvironmentStringsA(strings);
  for (const auto& [name, value] : options.environment) {
    if (value) block += name + "=" + *value + '\0';
  }
  block += '\0';
  return block;
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

StartedProgram StartProgram(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path) {
  std::string command_line;
  for (const std::string& arg : argv) {
    if (!command_line.empty()) command_line += ' ';
    command_line += tolvarine::QuoteArgument(arg);
  }
  HANDLE in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = InheritableFile(out_path, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(err_path, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process;
  std::string environment = EnvironmentBlock(options);
  BOOL ok = CreateProcessA(
      nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
      options.working_directory.empty() ? nullptr : options.working_directory.c_str(), &startup,
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
