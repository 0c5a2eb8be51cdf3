#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "helper.h"

namespace helper {

bool StartHolder(const std::string& program, const std::string& mode, const std::string& gate) {
  std::string line = "\"" + program + "\" " + mode + " \"" + gate + "\"";
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int RunRestricted(int, char**) { return 122; }

std::string InheritedFiles() { return ""; }

void Die() { std::abort(); }

}  // namespace helper
