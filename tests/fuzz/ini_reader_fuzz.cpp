// The INI reader on arbitrary file contents, names and buffer sizes: any bytes decode and are
// searched without fault, a value found comes from the text, and what is placed is never
// longer than the buffer holds and comes from the value or the default.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "platform/profile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t buffer_size = input.ConsumeIntegralInRange<std::size_t>(0, 64);
  const std::string section = input.ConsumeRandomLengthString(16);
  const std::string key = input.ConsumeRandomLengthString(16);
  const std::string default_value = input.ConsumeRandomLengthString(16);
  const std::string text =
      tolvarine::platform::DecodeProfileText(input.ConsumeRemainingBytesAsString());
  const std::optional<std::string> value =
      tolvarine::platform::FindProfileValue(text, section, key);
  if (value) FUZZ_CHECK(text.find(*value) != std::string::npos);
  const std::string placed =
      tolvarine::platform::PlaceProfileString(value, default_value, buffer_size);
  FUZZ_CHECK(placed.size() < buffer_size || (buffer_size == 0 && placed.empty()));
  FUZZ_CHECK((value ? *value : default_value).find(placed) != std::string::npos);
  return 0;
}
