#include "output/producer_patch.h"

namespace tolvarine {

bool ReplaceTextInFile(const std::string& /*path*/, const std::string& /*search*/,
                       const std::string& /*replacement*/, bool /*from_end*/) {
  return false;
}

}  // namespace tolvarine
