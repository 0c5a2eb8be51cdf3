// A stand-in for the unpacker, called as: 7z x -y -o<folder> <archive>. Its "archive" is a
// text file with one relative path a line (using "/"); each becomes a file in <folder>,
// holding a copy of the file named by FAKE_7Z_PAYLOAD (empty when unset). It appends its
// arguments (one line, separated by " | ") to FAKE_7Z_RECORD. FAKE_7Z_MODE=fail creates
// nothing and exits 2; FAKE_7Z_MODE=half creates the folder and exits 2; FAKE_7Z_MODE=killed
// creates the folder and the first file empty, then is killed (SIGKILL on POSIX);
// FAKE_7Z_MODE=warn unpacks everything and exits 1, as 7-Zip does after warnings.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (const char* record_path = std::getenv("FAKE_7Z_RECORD")) {
    if (std::FILE* record = std::fopen(record_path, "ab")) {
      for (int i = 1; i < argc; ++i) std::fprintf(record, "%s%s", i > 1 ? " | " : "", argv[i]);
      std::fputs("\n", record);
      std::fclose(record);
    }
  }
  if (argc != 5 || std::strcmp(argv[1], "x") != 0 || std::strncmp(argv[3], "-o", 2) != 0) {
    return 7;
  }
  const char* mode_value = std::getenv("FAKE_7Z_MODE");
  std::string mode = mode_value != nullptr ? mode_value : "";
  if (mode == "fail") return 2;
  fs::path folder = argv[3] + 2;
  std::error_code error;
  fs::create_directories(folder, error);
  if (mode == "half") return 2;
  std::ifstream archive(argv[4], std::ios::binary);
  if (!archive) return 2;
  const char* payload = std::getenv("FAKE_7Z_PAYLOAD");
  std::string line;
  while (std::getline(archive, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    fs::path target = folder / fs::path(line).make_preferred();
    fs::create_directories(target.parent_path(), error);
    if (mode == "killed") {
      std::ofstream(target, std::ios::binary).close();
#ifdef SIGKILL
      std::raise(SIGKILL);
#endif
      std::abort();
    }
    if (payload != nullptr) {
      fs::copy_file(payload, target, fs::copy_options::overwrite_existing, error);
    } else {
      std::ofstream(target, std::ios::binary);
    }
    if (error) return 3;
  }
  return mode == "warn" ? 1 : 0;
}
