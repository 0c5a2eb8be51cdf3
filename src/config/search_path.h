// The search path every child of the launcher inherits.
#ifndef TOLVARINE_CONFIG_SEARCH_PATH_H_
#define TOLVARINE_CONFIG_SEARCH_PATH_H_

#include <string>

namespace tolvarine {

/// Puts the launcher's folder and its library folder at the front of this process's PATH.
/// An unset or empty PATH counts as the platform's default search path, so no empty entry
/// (which would mean the current folder) is ever added on POSIX.
void SetUpSearchPath();

/// The new PATH: `launcher_directory` and a path separator, the list separator, the same
/// folder with `library_folder` below it (the first entry again when that is empty), the list
/// separator, and `old_value` unchanged. `old_value` alone when the folder's name holds the
/// list separator.
std::string ComposeSearchPath(const std::string& launcher_directory,
                              const std::string& library_folder, const std::string& old_value);

}  // namespace tolvarine

#endif  // TOLVARINE_CONFIG_SEARCH_PATH_H_
