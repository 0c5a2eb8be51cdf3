// Runs the installation and configuration routines from wherever it is copied, so that a test
// can lay out an installation folder around it and see what the launcher would see there.
// Each reading command prints one line, "[result]"; the commands that change the folder between
// reads show that nothing is cached. The commands:
//   dir                             LauncherDirectory
//   path NAME                       MakeLauncherPath
//   library                         FindLibraryFolder
//   locate NAME                     LocateInstallationFile
//   string SECTION KEY DEFAULT      ReadConfigString
//   value SECTION KEY DEFAULT SIZE  ReadConfigValue
//   search-path                     SetUpSearchPath, then the PATH this process has
//   debug-on                        EnableDebugMode (prints nothing)
//   log TEXT                        LogDebug("[%s]\n", TEXT): a line only in debug mode
//   write NAME CONTENT | mkdir NAME | remove NAME    change the folder (print nothing)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "config/installation.h"
#include "config/search_path.h"
#include "launcher/debug_log.h"
#include "platform/platform.h"

namespace {

void Print(const std::string& result) { std::printf("[%s]\n", result.c_str()); }

std::string InFolder(const std::string& name) { return tolvarine::MakeLauncherPath(name); }

bool ChangeFolder(const std::string& command, char** arguments, int& index) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (command == "mkdir") {
    fs::create_directory(InFolder(arguments[index++]), error);
  } else if (command == "remove") {
    fs::remove_all(InFolder(arguments[index++]), error);
  } else if (command == "write") {
    std::ofstream file(InFolder(arguments[index]), std::ios::binary | std::ios::trunc);
    file << arguments[index + 1];
    index += 2;
  } else {
    return false;
  }
  return true;
}

// Runs the command at arguments[index - 1]; false when it is unknown.
bool RunCommand(const std::string& command, char** arguments, int& index) {
  if (command == "dir") {
    Print(tolvarine::LauncherDirectory());
  } else if (command == "path") {
    Print(tolvarine::MakeLauncherPath(arguments[index++]));
  } else if (command == "library") {
    Print(tolvarine::FindLibraryFolder());
  } else if (command == "locate") {
    Print(tolvarine::LocateInstallationFile(arguments[index++]));
  } else if (command == "string") {
    Print(
        tolvarine::ReadConfigString(arguments[index], arguments[index + 1], arguments[index + 2]));
    index += 3;
  } else if (command == "value") {
    std::size_t size = std::strtoul(arguments[index + 3], nullptr, 10);
    Print(tolvarine::ReadConfigValue(arguments[index], arguments[index + 1], arguments[index + 2],
                                     size));
    index += 4;
  } else if (command == "search-path") {
    tolvarine::SetUpSearchPath();
    Print(tolvarine::platform::ReadEnvironmentVariable("PATH").value_or("(unset)"));
  } else if (command == "debug-on") {
    tolvarine::EnableDebugMode();
  } else if (command == "log") {
    tolvarine::LogDebug("[%s]\n", arguments[index++]);
  } else {
    return ChangeFolder(command, arguments, index);
  }
  return true;
}

}  // namespace

// How many arguments each command takes.
int ArgumentCount(const std::string& command) {
  if (command == "value") return 4;
  if (command == "string") return 3;
  if (command == "write") return 2;
  if (command == "path" || command == "locate" || command == "log" || command == "mkdir" ||
      command == "remove") {
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  int index = 1;
  while (index < argc) {
    std::string command = argv[index++];
    if (index + ArgumentCount(command) > argc || !RunCommand(command, argv, index)) {
      std::fprintf(stderr, "config_probe: unknown command %s\n", command.c_str());
      return 2;
    }
  }
  return 0;
}
