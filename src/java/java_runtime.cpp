#include "java/java_runtime.h"

namespace tolvarine {

bool FindPrivateJava(std::string& result) {
  result.clear();
  return false;
}

bool IsSystemJavaUsable() { return false; }

bool ResolveJavaExecutable(std::string& result) {
  result.clear();
  return true;
}

}  // namespace tolvarine
