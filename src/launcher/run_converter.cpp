#include "launcher/run_converter.h"

#include "config/command_template.h"
#include "config/installation.h"
#include "java/java_runtime.h"
#include "process/captured_run.h"

namespace tolvarine {

std::string RunConverter(const std::string& argument_string) {
  if (argument_string.empty()) return std::string();
  std::string command_template = ReadConfigString(kConfigSection, kRunExeKey, "");
  if (command_template.empty()) return std::string();
  std::string java_executable;
  if (TemplateNeedsJava(command_template)) ResolveJavaExecutable(java_executable);
  std::string command_line =
      ExpandCommandTemplate(command_template, LauncherDirectory(), java_executable) + " " +
      argument_string;
  std::string output;
  RunCaptured(command_line, output);  // A child that cannot start leaves the text empty.
  return output;
}

}  // namespace tolvarine
