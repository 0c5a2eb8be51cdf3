// The converter's arguments quoted as the launcher passes them on, then split by the Windows
// rules as the converter's runtime splits them: every argument comes back unchanged. Any
// text at all splits without fault.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "launcher/arguments.h"
#include "process/command_line.h"

using tolvarine::BuildArgumentString;
using tolvarine::SplitCommandLine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SplitCommandLine(std::string(reinterpret_cast<const char*>(data), size));

  FuzzedDataProvider input(data, size);
  std::vector<std::string> arguments{"tolvarine"};
  while (input.remaining_bytes() > 0) arguments.push_back(input.ConsumeRandomLengthString(64));
  const std::string line = "converter " + BuildArgumentString(arguments);
  const std::vector<std::string> split = SplitCommandLine(line);
  FUZZ_CHECK(split.size() == arguments.size());
  FUZZ_CHECK(split[0] == "converter");
  for (std::size_t i = 1; i < arguments.size(); ++i) FUZZ_CHECK(split[i] == arguments[i]);
  return 0;
}
