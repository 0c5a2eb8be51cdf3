#include "launcher/run_converter.h"

#include "config/command_template.h"
#include "config/installation.h"
#include "java/java_runtime.h"
#include "process/captured_run.h"

namespace tolvarine {

bool RunConverter(const std::string& argument_string, const platform::OutputSink& sink) {
  if (argument_string.empty()) return false;
  std::string command_template = ReadConfigString(kConfigSection, kRunExeKey, "");
  if (command_template.empty()) return false;
  std::string java_executable =
      TemplateNeedsJava(command_template) ? ResolveJavaExecutable() : std::string();
  std::string command_line =
      ExpandCommandTemplate(command_template, LauncherDirectory(), java_executable) + " " +
      argument_string;
  return RunCaptured(command_line, sink);
}

}  // namespace tolvarine
