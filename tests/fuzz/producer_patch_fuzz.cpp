// The producer patch on arbitrary file contents: the file keeps its length, and only the span
// of the one occurrence chosen (the last or the first) changes, to the replacement. The
// block-wise file search, with small blocks so that occurrences cross block lines, finds what
// a search of the whole buffer finds.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "output/byte_search.h"
#include "output/producer_patch.h"
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

std::string ReadWhole(const std::string& path) {
  std::string content;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  FUZZ_CHECK(file != nullptr);
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  return content;
}

void CheckPatch(const std::string& content, const std::string& search,
                const std::string& replacement, bool from_end) {
  WriteWhole(FilePath(), content);
  const bool found = tolvarine::ReplaceTextInFile(FilePath(), search, replacement, from_end);
  const std::string after = ReadWhole(FilePath());
  FUZZ_CHECK(after.size() == content.size());
  const std::optional<std::size_t> at = from_end ? tolvarine::FindBytesReverse(content, search)
                                                 : tolvarine::FindBytes(content, search);
  FUZZ_CHECK(found == (at.has_value() && !replacement.empty()));
  std::string expected = content;
  if (found) {
    std::string patch = replacement.substr(0, search.size());
    patch.resize(search.size(), ' ');
    expected.replace(*at, search.size(), patch);
  }
  FUZZ_CHECK(after == expected);
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
  const bool producer_texts = input.ConsumeBool();
  const std::size_t block_size = input.ConsumeIntegralInRange<std::size_t>(1, 200);
  std::string search = tolvarine::kConverterProducerText;
  std::string replacement = tolvarine::kProductProducerText;
  if (!producer_texts) {
    search = input.ConsumeRandomLengthString(8);
    replacement = input.ConsumeRandomLengthString(12);
  }
  const std::string content = input.ConsumeRemainingBytesAsString();
  if (search.empty()) return 0;  // Refused before any file is opened; nothing to compare.
  WriteWhole(FilePath(), content);
  CheckBlockSearch(content, search, from_end, block_size);
  CheckPatch(content, search, replacement, from_end);
  return 0;
}
