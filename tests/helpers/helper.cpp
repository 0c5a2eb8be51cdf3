// The one program the tests start as a child. What it is follows from the name it was copied
// in as (the launcher starts "wget", "7z" and "java" by name) or its first argument:
//   wget -O FILE ADDRESS  copies the local file ADDRESS to FILE; FAKE_WGET_MODE=fail writes half
//                         and exits 4, =empty writes nothing, =killed writes half and is killed
//   7z x -y -oFOLDER ARCHIVE  the "archive" is a list of paths, one a line: each becomes an
//                         empty file in FOLDER; FAKE_7Z_MODE=fail makes nothing and exits 2,
//                         =half makes the folder and exits 2, =killed makes the folder and one
//                         file then is killed, =warn unpacks all and exits 1
//   java ARGS             runs FAKE_JAVA_DO
//   helper restricted SETTING PROGRAM ARGS  runs PROGRAM under a system limit (POSIX): fsize=BYTES
//                         (writes past it fail, SIGXFSZ ignored), memory=BYTES (address space),
//                         stdin=FILE, uid=N (that user and group; root only), sigchld=ignore,
//                         stdout=closed (a pipe nobody reads any more, SIGPIPE at its default)
//   helper hold|flood GATE  a grandchild that holds the pipe (flood: writes into it without
//                         pause) until GATE exists
//   anything else         the converter: runs FAKE_CONV_DO
// Each of them first appends one line "[arg1][arg2]..." to FAKE_<NAME>_RECORD (NAME is CONV,
// JAVA, WGET or 7Z) when it is set. FAKE_<NAME>_DO holds actions separated by '|', done in
// order, each flushed at once:
//   out:TEXT, err:TEXT  write TEXT (escapes \n \r \t \\ \xHH) to standard output / error;
//                      the other actions take their text as it is (Windows paths)
//   path               write PATH to standard output
//   stdin              read standard input to its end, write "stdin:<bytes read>\n"
//   files              write "open N\n" for each open descriptor but the standard ones (POSIX)
//   write:FILE=TEXT    write TEXT into FILE
//   replace:NEW>OLD    give NEW OLD's time, remove OLD (file or folder), rename NEW to OLD
//   touch:FILE         set FILE's modification time to now, bytes unchanged
//   fill:N:HH          write N bytes of the value HH to standard output
//   gate:FILE          wait until FILE exists (a minute at most, then exit 102)
//   spawn:FILE, spawnflood:FILE  leave a "hold"/"flood" grandchild at the gate FILE
//   exit:N, terminate  end that way
// Names and arguments are UTF-8 on every platform.
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/resource.h>
#include <unistd.h>
extern char** environ;
#endif

#include "platform/platform.h"
#include "process/command_line.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
// Starts `program` with `mode` and `gate` as a grandchild that inherits the standard streams.
bool StartHolder(const std::string& program, const std::string& mode, const std::string& gate) {
  std::string quoted = "\"" + gate + "\"";
  return _spawnl(_P_NOWAIT, program.c_str(), program.c_str(), mode.c_str(), quoted.c_str(),
                 nullptr) != -1;
}
int RunRestricted(int, char**) { return 122; }  // Windows has no such limits for one process.
std::string InheritedFiles() { return ""; }
#else
bool StartHolder(const std::string& program, const std::string& mode, const std::string& gate) {
  std::string name = program, how = mode, at = gate;
  char* argv[] = {name.data(), how.data(), at.data(), nullptr};
  pid_t pid;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

bool SetLimit(const char* setting) {
  auto number = [&](std::size_t at) { return std::strtoull(setting + at, nullptr, 10); };
  if (std::strncmp(setting, "fsize=", 6) == 0) {
    rlimit limit{number(6), number(6)};
    return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  if (std::strncmp(setting, "memory=", 7) == 0) {
    rlimit limit{number(7), number(7)};
    return setrlimit(RLIMIT_AS, &limit) == 0;
  }
  if (std::strncmp(setting, "stdin=", 6) == 0) {
    int fd = open(setting + 6, O_RDONLY);
    return fd >= 0 && dup2(fd, 0) == 0;
  }
  if (std::strncmp(setting, "uid=", 4) == 0) {
    auto id = static_cast<uid_t>(number(4));
    return setgroups(0, nullptr) == 0 && setgid(id) == 0 && setuid(id) == 0;
  }
  if (std::strcmp(setting, "sigchld=ignore") == 0) return signal(SIGCHLD, SIG_IGN) != SIG_ERR;
  int ends[2];
  return std::strcmp(setting, "stdout=closed") == 0 && pipe(ends) == 0 && close(ends[0]) == 0 &&
         dup2(ends[1], 1) == 1 && close(ends[1]) == 0 && signal(SIGPIPE, SIG_DFL) != SIG_ERR;
}

// restricted SETTING PROGRAM ARGS...: returns only on failure.
int RunRestricted(int argc, char** argv) {
  if (argc < 4 || !SetLimit(argv[2])) return 121;
  execv(argv[3], argv + 3);
  std::perror("execv");
  return 123;
}

std::string InheritedFiles() {
  std::string text;
  for (int fd = 3; fd < 1024; ++fd) {
    if (fcntl(fd, F_GETFD) != -1) text += "open " + std::to_string(fd) + "\n";
  }
  return text;
}
#endif

std::string Setting(const std::string& name) {
  return tolvarine::platform::ReadEnvironmentVariable(name).value_or("");
}

std::vector<std::string> Arguments(int argc, char** argv) {
  std::optional<std::string> line = tolvarine::platform::OwnCommandLine();
  if (line) return tolvarine::SplitCommandLine(*line);
  return std::vector<std::string>(argv, argv + argc);
}

int Hex(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string Unescape(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      c = text[++i];
      if (c == 'n') c = '\n';
      if (c == 'r') c = '\r';
      if (c == 't') c = '\t';
      if (c == 'x' && i + 2 < text.size()) {
        c = static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
        i += 2;
      }
    }
    bytes += c;
  }
  return bytes;
}

bool Write(std::FILE* stream, const std::string& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
         std::fflush(stream) == 0;
}

bool WriteFile(const std::string& name, const std::string& content, bool append = false) {
  std::ofstream file(fs::u8path(name),
                     std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  return static_cast<bool>(file << content);
}

std::string ReadFile(const std::string& name) {
  std::ifstream file(fs::u8path(name), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

// `count` blocks of `block`, then the first `rest` bytes of it.
void Repeat(const std::string& block, unsigned long long count, std::size_t rest) {
  for (; count > 0; --count) {
    if (!Write(stdout, block)) std::exit(5);
  }
  Write(stdout, block.substr(0, rest));
}

void WaitAtGate(const std::string& gate) {
  for (int wait = 0; wait < 6000; ++wait) {
    if (fs::exists(fs::u8path(gate))) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  WriteFile(gate + ".timeout", "");
  std::exit(102);
}

void Act(const std::string& action, const std::string& self) {
  std::size_t colon = action.find(':');
  std::string name = action.substr(0, colon);
  std::string value = colon == std::string::npos ? "" : action.substr(colon + 1);
  std::error_code error;
  if (name == "out" || name == "err") {
    Write(name == "out" ? stdout : stderr, Unescape(value));
  } else if (name == "stdin") {
    std::size_t count = 0;
    for (char buffer[4096]; std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);)
      count += got;
    Write(stdout, "stdin:" + std::to_string(count) + "\n");
  } else if (name == "files") {
    Write(stdout, InheritedFiles());
  } else if (name == "path") {
    Write(stdout, Setting("PATH"));
  } else if (name == "write") {
    if (!WriteFile(value.substr(0, value.find('=')), value.substr(value.find('=') + 1)))
      std::exit(98);
  } else if (name == "replace") {
    // The new file gets the old one's time: only its identity differs (same size in tests).
    fs::path old_file = fs::u8path(value.substr(value.find('>') + 1));
    fs::path new_file = fs::u8path(value.substr(0, value.find('>')));
    fs::file_time_type time = fs::last_write_time(old_file, error);
    if (!error) fs::last_write_time(new_file, time, error);
    fs::remove_all(old_file, error);
    fs::rename(new_file, old_file, error);
    if (error) std::exit(95);
  } else if (name == "touch") {
    fs::last_write_time(fs::u8path(value), fs::file_time_type::clock::now(), error);
    if (error) std::exit(94);
  } else if (name == "fill") {
    unsigned long long size = std::strtoull(value.c_str(), nullptr, 10);
    std::size_t at = value.find(':') + 1;
    std::string block(1 << 20, static_cast<char>(Hex(value[at]) * 16 + Hex(value[at + 1])));
    Repeat(block, size >> 20, size & ((1 << 20) - 1));
  } else if (name == "gate") {
    WaitAtGate(value);
  } else if (name == "spawn" || name == "spawnflood") {
    if (!StartHolder(self, name == "spawn" ? "hold" : "flood", value)) std::exit(103);
  } else if (name == "exit") {
    std::exit(std::atoi(value.c_str()));
  } else if (name == "terminate") {
    std::raise(SIGTERM);
  } else {
    std::exit(100);  // An action the tests do not know: fail loudly.
  }
}

int Download(const std::vector<std::string>& args) {
  if (args.size() != 4 || args[1] != "-O") return 2;
  std::string mode = Setting("FAKE_WGET_MODE");
  std::string content = mode == "empty" ? "" : ReadFile(args[3]);
  if (mode == "fail" || mode == "killed") content.resize(content.size() / 2);
  if (!WriteFile(args[2], content)) return 3;
  if (mode == "killed") std::abort();
  return mode == "fail" ? 4 : 0;
}

int Unpack(const std::vector<std::string>& args) {
  if (args.size() != 5 || args[1] != "x" || args[3].compare(0, 2, "-o") != 0) return 7;
  std::string mode = Setting("FAKE_7Z_MODE");
  if (mode == "fail") return 2;
  fs::path folder = fs::u8path(args[3].substr(2));
  fs::create_directories(folder);
  std::istringstream archive(ReadFile(args[4]));
  for (std::string line; mode != "half" && std::getline(archive, line);) {
    fs::path target = folder / fs::u8path(line).make_preferred();
    fs::create_directories(target.parent_path());
    if (!WriteFile(target.u8string(), "")) return 3;
    if (mode == "killed") std::abort();
  }
  return mode == "half" ? 2 : mode == "warn" ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = Arguments(argc, argv);
  std::string first = args.size() > 1 ? args[1] : "";
  if (first == "restricted") return RunRestricted(argc, argv);
  if (first == "hold" || first == "flood") {
    if (first == "flood") {
      std::thread([] { Repeat(std::string(4096, '#'), ~0ull, 0); }).detach();
    }
    WaitAtGate(args[2]);
    std::_Exit(0);  // The flood may still be writing.
  }
  std::string name = fs::u8path(args[0]).stem().u8string();
  if (name != "wget" && name != "7z" && name != "java" && name != "javaw") name = "conv";
  if (name == "javaw") name = "java";
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string record;
  for (std::size_t i = 1; i < args.size(); ++i) record += "[" + args[i] + "]";
  if (!Setting("FAKE_" + name + "_RECORD").empty() &&
      !WriteFile(Setting("FAKE_" + name + "_RECORD"), record + "\n", true)) {
    return 99;
  }
  if (name == "WGET") return Download(args);
  if (name == "7Z") return Unpack(args);
  std::istringstream actions(Setting("FAKE_" + name + "_DO"));
  for (std::string action; std::getline(actions, action, '|');) Act(action, args[0]);
  return 0;
}
