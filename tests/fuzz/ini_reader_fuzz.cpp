// The INI reader on arbitrary file contents, names and buffer sizes: the value placed is
// always zero-ended within the buffer, as long as its count says, and comes from the text
// or the default.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "platform/profile_reader.h"

using tolvarine::platform::DecodeProfileText;
using tolvarine::platform::FindProfileValue;
using tolvarine::platform::PlaceProfileString;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t buffer_size = input.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string section = input.ConsumeRandomLengthString(16);
  const std::string key = input.ConsumeRandomLengthString(16);
  const std::string default_value = input.ConsumeRandomLengthString(16);
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  const std::string text = DecodeProfileText(bytes);
  const std::optional<std::string> value = FindProfileValue(text, section, key);
  if (value) FUZZ_CHECK(text.find(*value) != std::string::npos);
  // The buffer exactly as large as asked, on the heap, so that a byte past it is caught.
  std::unique_ptr<char[]> buffer(buffer_size > 0 ? new char[buffer_size] : nullptr);
  const std::size_t placed = PlaceProfileString(value, default_value, buffer.get(), buffer_size);
  if (buffer_size == 0) {
    FUZZ_CHECK(placed == 0);
    return 0;
  }
  FUZZ_CHECK(placed < buffer_size);
  FUZZ_CHECK(buffer[placed] == '\0');
  FUZZ_CHECK(std::strlen(buffer.get()) == placed);
  const std::string& source = value ? *value : default_value;
  FUZZ_CHECK(source.find(std::string(buffer.get(), placed)) != std::string::npos);
  return 0;
}
