#include "config/installation.h"

namespace tolvarine {

std::string LauncherDirectory() { return std::string(); }

std::string MakeLauncherPath(const std::string& name) { return name; }

std::string FindLibraryFolder() { return std::string(); }

std::string LocateInstallationFile(const std::string& /*file_name*/) { return std::string(); }

std::string ReadConfigString(const std::string& /*section*/, const std::string& /*key*/,
                             const std::string& default_value) {
  return default_value;
}

std::string ReadConfigValue(const std::string& /*section*/, const std::string& /*key*/,
                            const std::string& default_value, std::size_t /*buffer_size*/) {
  return default_value;
}

}  // namespace tolvarine
