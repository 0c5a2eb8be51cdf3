#include "java/java_runtime.h"

#include "config/installation.h"
#include "java/java_download.h"
#include "platform/platform.h"
#include "process/captured_run.h"

namespace tolvarine {

bool FindPrivateJava(std::string& result) {
  result = MakeLauncherPath(platform::kPrivateJavaPath);
  return platform::EntryExists(result);
}

bool IsSystemJavaUsable() {
  std::string version_text;
  RunCaptured("java -version", version_text);
  return version_text.find(kJavaRuntimePhrase) != std::string::npos;
}

bool ResolveJavaExecutable(std::string& result) {
  if (FindPrivateJava(result)) return true;
  std::string java_name = ReadConfigValue(kConfigSection, kDefaultJavaExeKey,
                                          platform::kDefaultJavaName, kDefaultJavaExeSize);
  if (IsSystemJavaUsable() || !ObtainDownloadedJava(java_name, result)) result = java_name;
  return true;
}

}  // namespace tolvarine
