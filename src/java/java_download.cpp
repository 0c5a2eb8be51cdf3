#include "java/java_download.h"

namespace tolvarine {

bool ObtainDownloadedJava(const std::string& /*java_name*/, std::string& result) {
  result.clear();
  return false;
}

bool UnpackArchive(const std::string& /*archive*/, const std::string& /*destination*/) {
  return false;
}

}  // namespace tolvarine
