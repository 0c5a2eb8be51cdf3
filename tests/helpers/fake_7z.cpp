// A stand-in for the unpacker, called as: 7z x -y -o<folder> <archive>. Its "archive" is a
// text file with one relative path a line (using "/"); each becomes a file in <folder>,
// holding a copy of the file named by FAKE_7Z_PAYLOAD (empty when unset). It appends its
// arguments (one line, separated by " | ") to FAKE_7Z_RECORD. FAKE_7Z_MODE=fail creates
// nothing and exits 2; FAKE_7Z_MODE=half creates the folder and exits 2; FAKE_7Z_MODE=killed
// creates the folder and the first file empty, then is killed (SIGKILL on POSIX);
// FAKE_7Z_MODE=warn unpacks everything and exits 1, as 7-Zip does after warnings.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "helper_arguments.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using helpers::PathOf;
  using helpers::Setting;
  std::vector<std::string> args = helpers::Arguments(argc, argv);
  if (!Setting("FAKE_7Z_RECORD").empty()) {
    std::ofstream record(PathOf(Setting("FAKE_7Z_RECORD")), std::ios::binary | std::ios::app);
    for (std::size_t i = 1; i < args.size(); ++i) record << (i > 1 ? " | " : "") << args[i];
    record << "\n";
  }
  if (args.size() != 5 || args[1] != "x" || args[3].compare(0, 2, "-o") != 0) return 7;
  std::string mode = Setting("FAKE_7Z_MODE");
  if (mode == "fail") return 2;
  fs::path folder = PathOf(args[3].substr(2));
  std::error_code error;
  fs::create_directories(folder, error);
  if (mode == "half") return 2;
  std::ifstream archive(PathOf(args[4]), std::ios::binary);
  if (!archive) return 2;
  std::string payload = Setting("FAKE_7Z_PAYLOAD");
  std::string line;
  while (std::getline(archive, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    fs::path target = folder / PathOf(line).make_preferred();
    fs::create_directories(target.parent_path(), error);
    if (mode == "killed") {
      std::ofstream(target, std::ios::binary).close();
#ifdef SIGKILL
      std::raise(SIGKILL);
#endif
      std::abort();
    }
    if (!payload.empty()) {
      fs::copy_file(PathOf(payload), target, fs::copy_options::overwrite_existing, error);
    } else {
      std::ofstream(target, std::ios::binary);
    }
    if (error) return 3;
  }
  return mode == "warn" ? 1 : 0;
}
