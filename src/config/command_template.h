// The RunEXE template language: placeholders and bracket quotes.
#ifndef TOLVARINE_CONFIG_COMMAND_TEMPLATE_H_
#define TOLVARINE_CONFIG_COMMAND_TEMPLATE_H_

#include <string>

namespace tolvarine {

inline constexpr char kExeDirPlaceholder[] = "{EXEDIR}";
inline constexpr char kJavaExePlaceholder[] = "{JAVAEXE}";
inline constexpr char kExeJavaPlaceholder[] = "{EXEJAVA}";

/// Whether the template names the Java executable through a placeholder.
bool TemplateNeedsJava(const std::string& command_template);

/// The template with its quote notation ("[", "]" and a doubled quote) turned into double quotes.
std::string ReadQuoteNotation(const std::string& command_template);

/// `text` with its placeholders filled in, in one pass: the inserted folder and Java executable
/// are never changed, nor read for placeholders.
std::string FillPlaceholders(const std::string& text, const std::string& launcher_directory,
                             const std::string& java_executable);

/// The template with its quote notation turned into double quotes and its placeholders
/// filled in; the inserted folder and Java executable are never changed.
std::string ExpandCommandTemplate(const std::string& command_template,
                                  const std::string& launcher_directory,
                                  const std::string& java_executable);

}  // namespace tolvarine

#endif  // TOLVARINE_CONFIG_COMMAND_TEMPLATE_H_
