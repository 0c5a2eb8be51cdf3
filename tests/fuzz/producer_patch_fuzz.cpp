// The producer patch's block-wise file search on arbitrary file contents, with small blocks so
// that occurrences cross block lines: it finds what a search of the whole buffer finds, the
// last or the first occurrence. The patch itself is the unit tests' table.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "output/byte_search.h"
#include "output/producer_patch.h"  // the producer text, a search of every run
#include "platform/platform.h"

namespace {

// The one file every input is written to, removed when the run ends.
class ScratchFile {
 public:
  ScratchFile() {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
            "/tolvarine-patch-fuzz-" + std::to_string(getpid());
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& FilePath() {
  static const ScratchFile file;
  return file.path();
}

void WriteWhole(const std::string& path, const std::string& content) {
  // A new file each time: rewriting a truncated one makes ext4 flush it on close, which
  // costs more than the whole check.
  std::remove(path.c_str());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(content.data(), 1, content.size(), file) == content.size());
  FUZZ_CHECK(std::fclose(file) == 0);
}

void CheckBlockSearch(const std::string& content, const std::string& search, bool from_end,
                      std::size_t block_size) {
  tolvarine::platform::File file = tolvarine::platform::File::OpenForReading(FilePath());
  const std::optional<std::uint64_t> in_file =
      tolvarine::FindBytesInFile(file, search, from_end, block_size);
  const std::optional<std::size_t> in_buffer = from_end
                                                   ? tolvarine::FindBytesReverse(content, search)
                                                   : tolvarine::FindBytes(content, search);
  FUZZ_CHECK(in_file.has_value() == in_buffer.has_value());
  if (in_file) FUZZ_CHECK(*in_file == *in_buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool from_end = input.ConsumeBool();
  const bool producer_text = input.ConsumeBool();
  const std::size_t block_size = input.ConsumeIntegralInRange<std::size_t>(1, 200);
  const std::string search =
      producer_text ? tolvarine::kConverterProducerText : input.ConsumeRandomLengthString(8);
  const std::string content = input.ConsumeRemainingBytesAsString();
  if (search.empty()) return 0;  // Refused before any file is opened; nothing to compare.
  WriteWhole(FilePath(), content);
  CheckBlockSearch(content, search, from_end, block_size);
  return 0;
}
