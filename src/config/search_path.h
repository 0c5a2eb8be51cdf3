// The search path every child of the launcher inherits.
#ifndef TOLVARINE_CONFIG_SEARCH_PATH_H_
#define TOLVARINE_CONFIG_SEARCH_PATH_H_

namespace tolvarine {

/// Puts the launcher's folder and its library folder at the front of this process's PATH.
void SetUpSearchPath();

}  // namespace tolvarine

#endif  // TOLVARINE_CONFIG_SEARCH_PATH_H_
