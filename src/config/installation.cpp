#include "config/installation.h"

#include "platform/platform.h"

namespace tolvarine {

namespace {

constexpr const char* kLibraryFolderNames[] = {"bin", "lib", "libs"};

}  // namespace

std::string LauncherDirectory() {
  std::string path = platform::ExecutablePath();
  std::size_t last_separator = path.rfind(platform::kPathSeparator);
  if (last_separator == std::string::npos) return std::string();
  path.resize(last_separator);
  return path;
}

bool LauncherDirectoryKnown() { return !platform::ExecutablePath().empty(); }

std::string MakeLauncherPath(const std::string& name) {
  if (!LauncherDirectoryKnown()) return std::string();
  return LauncherDirectory() + platform::kPathSeparator + name;
}

std::string FindLibraryFolder() {
  for (const char* name : kLibraryFolderNames) {
    if (platform::EntryExists(MakeLauncherPath(name))) return name;
  }
  return std::string();
}

std::string LocateInstallationFile(const std::string& file_name) {
  std::string beside_launcher = MakeLauncherPath(file_name);
  if (platform::CanOpenForReading(beside_launcher)) return beside_launcher;
  std::string library_folder = FindLibraryFolder();
  if (!library_folder.empty()) library_folder += platform::kPathSeparator;
  std::string in_library = MakeLauncherPath(library_folder + file_name);
  if (platform::CanOpenForReading(in_library)) return in_library;
  return std::string();
}

std::string ReadConfigString(const std::string& section, const std::string& key,
                             const std::string& default_value) {
  return ReadConfigValue(section, key, default_value, kRunExeSize);
}

std::string ReadConfigValue(const std::string& section, const std::string& key,
                            const std::string& default_value, std::size_t buffer_size) {
  // An empty path (no config.dat in either place) makes the reader give the default.
  std::string path = LocateInstallationFile(kConfigFileName);
  return platform::ConfigurationText(
      platform::ReadProfileString(section, key, default_value, buffer_size, path));
}

}  // namespace tolvarine
