#include "config/command_template.h"

#include <cstddef>

namespace tolvarine {

namespace {

// `text` with every occurrence of `search` (never empty) replaced, left to right without
// overlaps; replaced text is not searched again.
std::string ReplaceAll(const std::string& text, const char* search, const char* replacement) {
  const std::size_t search_length = std::char_traits<char>::length(search);
  std::string result;
  std::size_t start = 0;
  for (std::size_t found = text.find(search); found != std::string::npos;
       found = text.find(search, start)) {
    result.append(text, start, found - start);
    result += replacement;
    start = found + search_length;
  }
  result.append(text, start, std::string::npos);
  return result;
}

struct Placeholder {
  const char* name;
  std::size_t length;
  const std::string* value;
};

// One left-to-right pass over all placeholders at once, so that no inserted text is ever
// scanned again: a folder whose name holds a placeholder is inserted as it is.
std::string FillPlaceholders(const std::string& text, const Placeholder (&placeholders)[3]) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at)) {
    const Placeholder* match = nullptr;
    for (const Placeholder& placeholder : placeholders) {
      if (text.compare(at, placeholder.length, placeholder.name) == 0) match = &placeholder;
    }
    if (match == nullptr) {
      ++at;
      continue;
    }
    result.append(text, start, at - start);
    result += *match->value;
    at += match->length;
    start = at;
  }
  result.append(text, start, std::string::npos);
  return result;
}

}  // namespace

bool TemplateNeedsJava(const std::string& command_template) {
  return command_template.find(kExeJavaPlaceholder) != std::string::npos ||
         command_template.find(kJavaExePlaceholder) != std::string::npos;
}

std::string ReadQuoteNotation(const std::string& command_template) {
  return ReplaceAll(ReplaceAll(ReplaceAll(command_template, "[", "\""), "]", "\""), "\"\"", "\"");
}

std::string FillPlaceholders(const std::string& text, const std::string& launcher_directory,
                             const std::string& java_executable) {
  const Placeholder placeholders[3] = {
      {kExeDirPlaceholder, sizeof kExeDirPlaceholder - 1, &launcher_directory},
      {kExeJavaPlaceholder, sizeof kExeJavaPlaceholder - 1, &java_executable},
      {kJavaExePlaceholder, sizeof kJavaExePlaceholder - 1, &java_executable},
  };
  return FillPlaceholders(text, placeholders);
}

std::string ExpandCommandTemplate(const std::string& command_template,
                                  const std::string& launcher_directory,
                                  const std::string& java_executable) {
  // The quote notation applies to the template's own text only: a "[", "]" or doubled quote
  // in the installation's folder or the Java path must reach the command line unchanged.
  return FillPlaceholders(ReadQuoteNotation(command_template), launcher_directory, java_executable);
}

}  // namespace tolvarine
