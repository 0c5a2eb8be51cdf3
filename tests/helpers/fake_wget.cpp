// A stand-in for the downloader, called as: wget -O <file> <address>. It appends its arguments
// (one line, separated by " | ") to FAKE_WGET_RECORD, then acts as FAKE_WGET_MODE says:
//   copy (default)  copies the local file named by <address> to <file>, exits 0
//   fail            writes half of it and exits 4, as an interrupted transfer does
//   empty           creates <file> empty and exits 0
//   killed          writes half of it and is killed (SIGKILL on POSIX, abnormal end elsewhere)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string ReadAll(const char* path) {
  std::string content;
  if (std::FILE* input = std::fopen(path, "rb")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, input)) > 0) content.append(buffer, got);
    std::fclose(input);
  }
  return content;
}

// Ends as a process killed from outside does: no exit code of its own.
[[noreturn]] void Die() {
#ifdef SIGKILL
  std::raise(SIGKILL);
#endif
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* record_path = std::getenv("FAKE_WGET_RECORD")) {
    if (std::FILE* record = std::fopen(record_path, "ab")) {
      for (int i = 1; i < argc; ++i) std::fprintf(record, "%s%s", i > 1 ? " | " : "", argv[i]);
      std::fputs("\n", record);
      std::fclose(record);
    }
  }
  if (argc != 4 || std::strcmp(argv[1], "-O") != 0) return 2;
  const char* mode = std::getenv("FAKE_WGET_MODE");
  std::string mode_name = mode != nullptr ? mode : "copy";
  std::string content = mode_name == "empty" ? "" : ReadAll(argv[3]);
  if (mode_name == "fail" || mode_name == "killed") content.resize(content.size() / 2);
  std::FILE* output = std::fopen(argv[2], "wb");
  if (output == nullptr) return 3;
  std::fwrite(content.data(), 1, content.size(), output);
  std::fclose(output);
  if (mode_name == "killed") Die();
  return mode_name == "fail" ? 4 : 0;
}
