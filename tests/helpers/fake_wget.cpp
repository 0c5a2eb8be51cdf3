// A stand-in for the downloader, called as: wget -O <file> <address>. It appends its arguments
// (one line, separated by " | ") to FAKE_WGET_RECORD, then acts as FAKE_WGET_MODE says:
//   copy (default)  copies the local file named by <address> to <file>, exits 0
//   fail            writes half of it and exits 4, as an interrupted transfer does
//   empty           creates <file> empty and exits 0
//   killed          writes half of it and is killed (SIGKILL on POSIX, abnormal end elsewhere)
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "helper_arguments.h"

namespace {

using helpers::PathOf;
using helpers::Setting;

std::string ReadAll(const std::string& path) {
  std::ifstream input(PathOf(path), std::ios::binary);
  std::ostringstream content;
  content << input.rdbuf();
  return content.str();
}

[[noreturn]] void Die() {
#ifdef SIGKILL
  std::raise(SIGKILL);
#endif
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = helpers::Arguments(argc, argv);
  if (!Setting("FAKE_WGET_RECORD").empty()) {
    std::ofstream record(PathOf(Setting("FAKE_WGET_RECORD")), std::ios::binary | std::ios::app);
    for (std::size_t i = 1; i < args.size(); ++i) record << (i > 1 ? " | " : "") << args[i];
    record << "\n";
  }
  if (args.size() != 4 || args[1] != "-O") return 2;
  std::string mode_name = Setting("FAKE_WGET_MODE").empty() ? "copy" : Setting("FAKE_WGET_MODE");
  std::string content = mode_name == "empty" ? "" : ReadAll(args[3]);
  if (mode_name == "fail" || mode_name == "killed") content.resize(content.size() / 2);
  {
    std::ofstream output(PathOf(args[2]), std::ios::binary | std::ios::trunc);
    if (!output) return 3;
    output << content;
  }
  if (mode_name == "killed") Die();
  return mode_name == "fail" ? 4 : 0;
}
