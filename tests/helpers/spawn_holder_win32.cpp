// Starts its arguments as a grandchild (the first names the program), with this program's
// own standard handles inherited, so that the grandchild holds the pipe that captures this
// one; then writes "spawned" and ends at once without waiting for it.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string line;
  for (int i = 1; i < argc; ++i) line += std::string(i > 1 ? " \"" : "\"") + argv[i] + "\"";
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
    return 3;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("spawned\n");
  return 0;
}
