// The RunEXE template expansion on arbitrary templates, folders and Java paths, held against
// a plain reading of its rules: the three quote rules over the template's own text, then one
// pass that puts the folder and the Java executable, unchanged, where the placeholders stand.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "config/command_template.h"
#include "fuzz_support.h"
#include "output/text.h"

namespace {

std::string Expected(std::string text, const std::string& folder, const std::string& java) {
  tolvarine::ReplaceAll(text, "[", "\"");
  tolvarine::ReplaceAll(text, "]", "\"");
  tolvarine::ReplaceAll(text, "\"\"", "\"");
  std::string result;
  for (std::size_t at = 0; at < text.size();) {
    if (text.compare(at, 8, "{EXEDIR}") == 0) {
      result += folder;
      at += 8;
    } else if (text.compare(at, 9, "{JAVAEXE}") == 0 || text.compare(at, 9, "{EXEJAVA}") == 0) {
      result += java;
      at += 9;
    } else {
      result += text[at++];
    }
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string folder = input.ConsumeRandomLengthString(32);
  const std::string java = input.ConsumeRandomLengthString(32);
  const std::string command_template = input.ConsumeRemainingBytesAsString();
  const bool needs_java = command_template.find("{JAVAEXE}") != std::string::npos ||
                          command_template.find("{EXEJAVA}") != std::string::npos;
  FUZZ_CHECK(tolvarine::TemplateNeedsJava(command_template) == needs_java);
  FUZZ_CHECK(tolvarine::ExpandCommandTemplate(command_template, folder, java) ==
             Expected(command_template, folder, java));
  return 0;
}
