#include "config/command_template.h"

namespace tolvarine {

bool TemplateNeedsJava(const std::string& /*command_template*/) { return false; }

std::string ExpandCommandTemplate(const std::string& command_template,
                                  const std::string& /*launcher_directory*/,
                                  const std::string& /*java_executable*/) {
  return command_template;
}

}  // namespace tolvarine
