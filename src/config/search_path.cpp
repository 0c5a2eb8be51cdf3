#include "config/search_path.h"

namespace tolvarine {

void SetUpSearchPath() {}

}  // namespace tolvarine
