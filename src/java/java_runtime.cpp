#include "java/java_runtime.h"

#include "config/installation.h"
#include "java/java_download.h"
#include "platform/platform.h"
#include "process/captured_run.h"

namespace tolvarine {

std::string DefaultJavaName() {
  return std::string("java") + platform::kWindowlessSuffix + platform::kExecutableSuffix;
}

namespace {

std::string PrivateJavaPath() {
  return MakeLauncherPath(std::string("jre") + platform::kPathSeparator + "bin" +
                          platform::kPathSeparator + DefaultJavaName());
}

}  // namespace

std::optional<std::string> FindPrivateJava() {
  std::string path = PrivateJavaPath();
  if (!platform::EntryExists(path)) return std::nullopt;
  return path;
}

bool IsSystemJavaUsable() {
  platform::FailureStep step("java -version");
  return CaptureOutput("java -version").find(kJavaRuntimePhrase) != std::string::npos;
}

std::string ResolveJavaExecutable() {
  if (std::optional<std::string> private_java = FindPrivateJava()) return *private_java;
  std::string java_name =
      ReadConfigValue(kConfigSection, kDefaultJavaExeKey, DefaultJavaName(), kDefaultJavaExeSize);
  if (IsSystemJavaUsable()) return java_name;
  std::string private_path = PrivateJavaPath();
  std::string places =
      (private_path.empty() ? "" : "\"" + private_path + "\", ") + "\"java\" on PATH";
  return ObtainDownloadedJava(java_name, places).value_or(java_name);
}

}  // namespace tolvarine
