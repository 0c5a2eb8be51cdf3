// The console filter on arbitrary converter output, fed in random pieces, held against the
// filter as the product describes it on the whole text: zero bytes dropped, four rebranding
// passes over the whole text, the text cut into lines, and each line judged on its own.
// The input's first byte chooses the pieces and how much of a line stays in memory; the rest
// is the output.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "output/console_filter.h"
#include "output/text.h"

namespace {

std::string Reference(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  if (text.empty()) return "";
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
    if (!line.empty()) shown += line + "\n";
  }
  return shown + "============================\n";
}

// What the filter writes for `output` fed in pieces of 1 to `longest` bytes, through a real
// stream into memory.
std::string Filtered(const std::string& output, std::uint8_t seed, std::size_t longest,
                     std::size_t held_in_memory) {
  char* bytes = nullptr;
  std::size_t length = 0;
  std::FILE* out = open_memstream(&bytes, &length);
  FUZZ_CHECK(out != nullptr);
  {
    std::minstd_rand random(seed + 1u);
    tolvarine::ConsoleFilter filter(out, held_in_memory);
    for (std::size_t at = 0; at < output.size();) {
      const std::size_t size = 1 + random() % longest;
      filter.Feed(std::string_view(output).substr(at, size));
      at += size;
    }
    filter.Finish();
  }
  FUZZ_CHECK(std::fclose(out) == 0);
  std::string result(bytes, length);
  std::free(bytes);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t seed = data[0];
  const std::string output(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string expected = Reference(output);
  // Short pieces, with lines beyond a few bytes waiting in the temporary file.
  FUZZ_CHECK(Filtered(output, seed, 1 + seed % 17, seed % 13) == expected);
  // Pieces as a pipe gives them, with lines held in memory.
  FUZZ_CHECK(Filtered(output, seed, 8191, tolvarine::kLineHeldInMemory) == expected);
  return 0;
}
