#include "config/search_path.h"

#include <optional>

#include "config/installation.h"
#include "platform/platform.h"

namespace tolvarine {

std::string ComposeSearchPath(const std::string& launcher_directory,
                              const std::string& library_folder, const std::string& old_value) {
  // Such a folder would come apart into other entries, relative ones among them, which name
  // folders below wherever the user happens to be.
  if ((launcher_directory + library_folder).find(platform::kPathListSeparator) !=
      std::string::npos) {
    return old_value;
  }
  std::string launcher_entry = launcher_directory + platform::kPathSeparator;
  std::string library_entry = launcher_entry + library_folder;
  return launcher_entry + platform::kPathListSeparator + library_entry +
         platform::kPathListSeparator + old_value;
}

void SetUpSearchPath() {
  if (!LauncherDirectoryKnown()) return;  // No entry at all rather than the root's.
  std::optional<std::string> old_value = platform::ReadEnvironmentVariable("PATH");
  if (!old_value || old_value->empty()) old_value = platform::DefaultSearchPath();
  std::string new_value = ComposeSearchPath(LauncherDirectory(), FindLibraryFolder(), *old_value);
  // A refused change leaves PATH as it was, and the run goes on without a word about it.
  platform::WriteEnvironmentVariable("PATH", new_value);
}

}  // namespace tolvarine
