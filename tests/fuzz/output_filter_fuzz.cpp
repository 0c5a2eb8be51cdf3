// The console filter on arbitrary captured output, held against the filter as the product
// describes it: four rebranding passes over the whole text, the text cut into lines, and each
// line judged on its own; with lines that name a tool copied (as usual) and rebranded piece
// by piece (as very long lines are).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "output/console_filter.h"
#include "output/text.h"

namespace {

std::string Reference(std::string text) {
  tolvarine::ReplaceAll(text, "cpdf", "quillorand");
  tolvarine::ReplaceAll(text, "coherentpdf", "Quorvex");
  tolvarine::ReplaceAll(text, "tabula", "Quorvex");
  tolvarine::ReplaceAll(text, "Gnumeric", "Tolvarine");
  std::vector<std::string> lines;
  tolvarine::SplitString(text, "\n", lines);
  std::string shown = "[Message]\n============================\n";
  for (std::string line : lines) {
    if (line.find("WARNING **:") != std::string::npos) continue;
    tolvarine::ReplaceAll(line, "\r", "");
    tolvarine::ReplaceAll(line, std::string(1, '\0'), "");
    if (!line.empty()) shown += line + "\n";
  }
  return shown + "============================\n";
}

// What the filter writes, through a real stream into memory.
std::string Filtered(const std::string& captured, std::size_t copy_limit) {
  char* bytes = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&bytes, &length);
  FUZZ_CHECK(out != nullptr);
  tolvarine::WriteConverterOutput(captured, out, copy_limit);
  FUZZ_CHECK(std::fclose(out) == 0);
  std::string result(bytes, length);
  std::free(bytes);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string captured(reinterpret_cast<const char*>(data), size);
  const std::string expected = Reference(captured);
  FUZZ_CHECK(Filtered(captured, tolvarine::kRebrandCopyLimit) == expected);
  // Every line that names a tool rebranded piece by piece, as a huge line is.
  FUZZ_CHECK(Filtered(captured, 0) == expected);
  return 0;
}
