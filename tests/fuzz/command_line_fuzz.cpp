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
  // Argument 0 is the program, which the argument string leaves out.
  std::vector<std::string> arguments{"converter"};
  while (input.remaining_bytes() > 0) arguments.push_back(input.ConsumeRandomLengthString(64));
  FUZZ_CHECK(SplitCommandLine("converter " + BuildArgumentString(arguments)) == arguments);
  return 0;
}
