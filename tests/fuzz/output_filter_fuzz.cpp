// The console filter on arbitrary converter output: how the output is cut into pieces, and
// how much of a line stays in memory (the rest waiting in a temporary file), changes nothing
// of what is printed. The input's first byte chooses the pieces and the memory held; the rest
// is the output. What the filter prints for a whole output is the unit tests' table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "fuzz_support.h"
#include "output/console_filter.h"

namespace {

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
  const std::string whole = Filtered(output, seed, output.size() + 1, tolvarine::kLineHeldInMemory);
  // Short pieces, with lines beyond a few bytes waiting in the temporary file.
  FUZZ_CHECK(Filtered(output, seed, 1 + seed % 17, seed % 13) == whole);
  // Pieces as a pipe gives them, with lines held in memory.
  FUZZ_CHECK(Filtered(output, seed, 8191, tolvarine::kLineHeldInMemory) == whole);
  return 0;
}
