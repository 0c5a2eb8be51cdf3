// Figures for the output step: the console filter on 200 MB of converter output (time and peak
// memory), and the producer patch near the end of a 1 GiB file beside one read of that file.
// Native only (it forks to measure each case's peak memory on its own).
// Usage: output_bench [folder for the 1 GiB sparse file, default: the temp folder]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "output/console_filter.h"
#include "output/producer_patch.h"
#include "output/text.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kOutputSize = 200u << 20;
constexpr std::uint64_t kFileSize = 1ull << 30;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double PeakMegabytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return -1;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// User and system time of this process: unlike the wall clock, not stretched by other work on
// a shared machine.
double CpuSeconds() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return -1;
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What a converter run prints: log lines, tool names (in a quarter of the lines, far more than
// a real run has), warnings, CR LF ends, progress with bare carriage returns, blank lines.
std::string ConverterLikeOutput(std::size_t size, bool with_tool_names) {
  static const char* const kLines[] = {
      "INFO: Rendering page 12 of the drawing with the PDF transcoder\n",
      "SEVERE: font Helvetica not found, using the default font instead of it\r\n",
      "(process:1234): GLib-WARNING **: 10:11:12.345: cannot open display\n",
      "\n",
      "Processing element <text x=\"10\" y=\"20\"> at line 4711, column 13\n",
      "Progress 10%\rProgress 20%\rProgress 30%\n",
      "cpdf version 2.5 (coherentpdf) merging output with tabula tables\n",
      "Gnumeric export of the spreadsheet finished in 123 ms\n",
  };
  const std::size_t kinds = std::size(kLines) - (with_tool_names ? 0 : 2);
  std::mt19937 random(42);
  std::string text;
  text.reserve(size);
  while (text.size() < size) {
    std::string_view line = kLines[random() % kinds];
    text.append(line.substr(0, size - text.size()));
  }
  return text;
}

// The filter as first written down: four passes over the whole text, a list of all lines, and
// one formatted print per line. For comparison only.
void NaiveFilter(std::string text, std::FILE* out) {
  tolvarine::ReplaceAll(text, "cpdf", "quillorand");
  tolvarine::ReplaceAll(text, "coherentpdf", "Quorvex");
  tolvarine::ReplaceAll(text, "tabula", "Quorvex");
  tolvarine::ReplaceAll(text, "Gnumeric", "Tolvarine");
  std::fprintf(out, "[Message]\n============================\n");
  std::vector<std::string> lines;
  tolvarine::SplitString(text, "\n", lines);
  for (const std::string& line : lines) {
    if (line.find("WARNING **:") != std::string::npos) continue;
    std::string copy = line;
    tolvarine::ReplaceAll(copy, "\r", "");
    if (!copy.empty()) std::fprintf(out, "%s\n", copy.c_str());
  }
  std::fprintf(out, "============================\n");
}

// Runs `measure` in a child of its own, so that its peak memory is its own.
void InChild(const std::function<void()>& measure) {
  std::fflush(stdout);
  pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return;
  }
  if (child == 0) {
    measure();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) < 0) std::perror("waitpid");
}

void MeasureFilter(const char* name, void (*filter)(std::string, std::FILE*),
                   bool with_tool_names) {
  InChild([&] {
    std::string text = ConverterLikeOutput(kOutputSize, with_tool_names);
    std::FILE* sink = std::fopen("/dev/null", "wb");
    if (sink == nullptr) return;
    const double peak_before = PeakMegabytes();
    const double cpu_before = CpuSeconds();
    Clock::time_point start = Clock::now();
    filter(std::move(text), sink);
    const double seconds = SecondsSince(start);
    const double cpu = CpuSeconds() - cpu_before;
    std::fclose(sink);
    std::printf(
        "%-40s wall %6.3f s  cpu %6.3f s (%4.0f MB/s)  peak RSS %4.0f MB = text + %.0f MB\n", name,
        seconds, cpu, kOutputSize / 1e6 / cpu, PeakMegabytes(), PeakMegabytes() - peak_before);
  });
}

void TheFilter(std::string text, std::FILE* out) { tolvarine::WriteConverterOutput(text, out); }

double ReadOnce(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  std::vector<char> block(1 << 20);
  Clock::time_point start = Clock::now();
  std::uint64_t total = 0;
  for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), file)) > 0;) total += got;
  const double seconds = SecondsSince(start);
  std::fclose(file);
  return total == kFileSize ? seconds : -1;
}

double PatchOnce(const std::string& path, std::uint64_t at) {
  {
    tolvarine::platform::File file = tolvarine::platform::File::OpenForUpdate(path);
    if (!file.WriteAt(at, tolvarine::kConverterProducerText, 55)) return -1;
  }
  Clock::time_point start = Clock::now();
  bool found = tolvarine::ReplaceTextInFile(path, tolvarine::kConverterProducerText,
                                            tolvarine::kProductProducerText, true);
  const double seconds = SecondsSince(start);
  return found ? seconds : -1;
}

void MeasurePatch(const fs::path& folder) {
  const std::string path = (folder / "tolvarine-bench-1GiB.pdf").string();
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::perror(path.c_str());
    std::fclose(file);
  }
  fs::resize_file(path, kFileSize);                 // sparse: no gigabyte of disk is needed
  const std::uint64_t at = kFileSize - 4096 - 100;  // "near the end": beside the trailer
  std::vector<double> reads, patches;
  for (int i = 0; i < 5; ++i) reads.push_back(ReadOnce(path));
  for (int i = 0; i < 50; ++i) patches.push_back(PatchOnce(path, at));
  fs::remove(path);
  std::sort(reads.begin(), reads.end());
  std::sort(patches.begin(), patches.end());
  const double read = reads[reads.size() / 2];
  const double patch = patches[patches.size() / 2];
  std::printf("read 1 GiB once (median of 5)       %9.3f ms\n", read * 1e3);
  std::printf("patch producer text (median of 50)  %9.3f ms  = 1/%.0f of the read\n", patch * 1e3,
              read / patch);
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("200 MB of converter output (%zu bytes), printed to /dev/null:\n", kOutputSize);
  MeasureFilter("filter, a quarter of lines name tools", TheFilter, true);
  MeasureFilter("filter, no tool names", TheFilter, false);
  MeasureFilter("naive (passes, line list, printf), same", NaiveFilter, true);
  MeasurePatch(argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path());
  return 0;
}
