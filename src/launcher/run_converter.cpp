#include "launcher/run_converter.h"

#include "config/command_template.h"
#include "config/installation.h"
#include "java/java_runtime.h"
#include "launcher/arguments.h"
#include "launcher/debug_log.h"
#include "process/command_line.h"

namespace tolvarine {

namespace {

// The command as the system starts it. Windows starts text: the filled template and the
// quoted arguments. POSIX starts words: the template's, and the user's arguments as they are.
platform::CommandLine ConverterCommand(const std::string& command_template,
                                       const std::string& java_executable,
                                       const std::vector<std::string>& argument_list) {
  std::string directory = LauncherDirectory();
  platform::CommandLine command;
  if (platform::kStartsCommandText) {
    command.text = ExpandCommandTemplate(command_template, directory, java_executable) + " " +
                   BuildArgumentString(argument_list);
    command.argv = SplitCommandLine(command.text);
    return command;
  }
  command.argv = CommandTemplateWords(command_template, directory, java_executable);
  command.argv.insert(command.argv.end(), argument_list.begin() + 1, argument_list.end());
  for (const std::string& word : command.argv) {
    command.text += (command.text.empty() ? "" : " ") + QuoteArgument(word);
  }
  return command;
}

}  // namespace

std::vector<std::string> CommandTemplateWords(const std::string& command_template,
                                              const std::string& launcher_directory,
                                              const std::string& java_executable) {
  std::vector<std::string> words = SplitCommandLine(ReadQuoteNotation(command_template));
  for (std::string& word : words)
    word = FillPlaceholders(word, launcher_directory, java_executable);
  return words;
}

std::optional<std::int32_t> RunConverter(const std::vector<std::string>& argument_list,
                                         const platform::OutputSink& sink) {
  if (argument_list.size() <= 1) return std::nullopt;
  std::string command_template = ReadConfigString(kConfigSection, kRunExeKey, "");
  if (command_template.empty()) return std::nullopt;
  // Java splits even a -jar path into class path entries at this separator; the parts would
  // name other folders, relative ones among them, below wherever the user happens to be.
  if (TemplateNeedsJava(command_template) &&
      command_template.find(kExeDirPlaceholder) != std::string::npos &&
      LauncherDirectory().find(platform::kPathListSeparator) != std::string::npos) {
    platform::PrintText("[Error] The installation's folder \"" + LauncherDirectory() +
                        "\" holds a \"" + platform::kPathListSeparator +
                        "\", which Java cannot take in a class path: nothing was run.\n");
    return std::nullopt;
  }
  std::string java_executable =
      TemplateNeedsJava(command_template) ? ResolveJavaExecutable() : std::string();
  platform::CommandLine command =
      ConverterCommand(command_template, java_executable, argument_list);
  LogDebug("[Debug] command: %s\n", command.text.c_str());
  platform::FailureStep step("converter");
  return platform::RunConversion(command, sink);
}

}  // namespace tolvarine
