// A converter stand-in for the benchmarks: it writes a given amount of log text, the way a
// converter reports its progress, and a small PDF-like output file with the producer text
// near its end.
//
//   bench_converter [--bytes N] [--one-line] [--pause-ms MS] [-o FILE] [anything else, ignored]
//
// The log is formatted line by line (as a converter's logger does) and written in large
// pieces. One line in 40 is a warning, one in 97 names a tool, one in 13 ends in a carriage
// return, so that every branch of a rebranding filter has work. Exactly N bytes are written.
// --one-line joins the log into one line (its line ends become spaces, but for the last);
// --pause-ms writes the first line alone and then waits, as a converter does while it works.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr char kProducer[] = "(Apache FOP Version 1.0beta2: PDF Transcoder for Batik)";

// One line of the log into `line`; its length.
int FormatLine(unsigned long number, char* line, std::size_t size) {
  const char* ending = number % 13 == 0 ? "\r\n" : "\n";
  if (number % 40 == 0) {
    return std::snprintf(line, size, "(process:%lu): GLib-GObject-WARNING **: font %lu missing%s",
                         number % 9973, number, ending);
  }
  if (number % 97 == 0) {
    return std::snprintf(line, size, "cpdf: page %lu merged by coherentpdf, cells from Gnumeric%s",
                         number / 97, ending);
  }
  return std::snprintf(line, size, "INFO  [render] page %lu: element %lu drawn, %lu path points%s",
                       number / 200 + 1, number % 200, (number * 7919) % 100000, ending);
}

bool WriteLog(unsigned long long total, bool one_line, long pause_ms) {
  static char block[1 << 16];
  std::size_t used = 0;
  char line[256];
  for (unsigned long number = 1; total > 0; ++number) {
    int length = FormatLine(number, line, sizeof line);
    if (length <= 0) return false;
    std::size_t take = static_cast<std::size_t>(length) < total ? length : total;
    line[take - 1] = one_line && take < total ? ' ' : '\n';  // The last line still ends.
    if (used + take > sizeof block) {
      if (std::fwrite(block, 1, used, stdout) != used) return false;
      used = 0;
    }
    std::memcpy(block + used, line, take);
    used += take;
    total -= take;
    if (number == 1 && pause_ms > 0) {
      if (std::fwrite(block, 1, used, stdout) != used || std::fflush(stdout) != 0) return false;
      used = 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    }
  }
  return std::fwrite(block, 1, used, stdout) == used && std::fflush(stdout) == 0;
}

bool WriteOutputFile(const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  std::string body = "%PDF-1.4\n";
  for (int i = 0; i < 40; ++i) body += "1 0 obj << /Type /Page >> endobj\n";
  body += "9 0 obj << /Producer ";
  body += kProducer;
  body += " >> endobj\ntrailer << /Info 9 0 R >>\n%%EOF\n";
  bool written = std::fwrite(body.data(), 1, body.size(), file) == body.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long bytes = 0;
  bool one_line = false;
  long pause_ms = 0;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--one-line") == 0) one_line = true;
    if (i + 1 == argc) break;
    if (std::strcmp(argv[i], "--bytes") == 0) bytes = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--pause-ms") == 0) pause_ms = std::strtol(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "-o") == 0) output = argv[i + 1];
  }
  if (!WriteLog(bytes, one_line, pause_ms)) return 2;
  if (output != nullptr && !WriteOutputFile(output)) return 3;
  return 0;
}
