// A converter stand-in for the benchmarks: it writes a given amount of log text, the way a
// converter reports its progress, and a small PDF-like output file with the producer text
// near its end.
//
//   bench_converter [--bytes N] [-o FILE] [anything else, ignored]
//
// The log is formatted line by line (as a converter's logger does) and written in large
// pieces. One line in 40 is a warning, one in 97 names a tool, one in 13 ends in a carriage
// return, so that every branch of a rebranding filter has work. Exactly N bytes are written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

bool WriteLog(unsigned long long total) {
  static char block[1 << 16];
  std::size_t used = 0;
  char line[256];
  for (unsigned long number = 1; total > 0; ++number) {
    int length = FormatLine(number, line, sizeof line);
    if (length <= 0) return false;
    std::size_t take = static_cast<std::size_t>(length) < total ? length : total;
    line[take - 1] = '\n';  // The last line is cut short but still ends.
    if (used + take > sizeof block) {
      if (std::fwrite(block, 1, used, stdout) != used) return false;
      used = 0;
    }
    std::memcpy(block + used, line, take);
    used += take;
    total -= take;
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
  const char* output = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--bytes") == 0) bytes = std::strtoull(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "-o") == 0) output = argv[i + 1];
  }
  if (!WriteLog(bytes)) return 2;
  if (output != nullptr && !WriteOutputFile(output)) return 3;
  return 0;
}
