// The one program the tests start as a child. What it is follows from the name it was copied
// in as (the launcher starts "wget", "7z" and "java" by name) or its first argument:
//   wget -O FILE ADDRESS  copies the local file ADDRESS to FILE; FAKE_WGET_MODE=fail writes half
//                 and exits 4, =empty writes nothing, =killed writes half and is killed
//   7z x -y -oFOLDER ARCHIVE  makes an empty file in FOLDER for each line of ARCHIVE;
//                 FAKE_7Z_MODE=fail makes nothing and exits 2, =half makes the folder and exits
//                 2, =killed is killed after one file, =warn unpacks all and exits 1
//   helper restricted LIMIT PROGRAM ARGS  runs PROGRAM under a limit (POSIX): fsize=BYTES
//                 (writes past it fail), memory=BYTES (address space), stdin=FILE, uid=N,
//                 sigchld=ignore, sigint=default, stdout=closed (a pipe nobody reads, SIGPIPE at
//                 its default)
//   helper hold|flood GATE  a grandchild that holds the pipe (flood: writes into it without
//                 pause) until GATE exists
//   java, or anything else (the converter)  does FAKE_JAVA_DO or FAKE_CONV_DO
// Each first appends "[arg1][arg2]...\n" to FAKE_<NAME>_RECORD (NAME: CONV, JAVA, WGET, 7Z) when
// it is set. The actions of FAKE_<NAME>_DO are separated by '|' and flushed one by one:
//   out:TEXT, err:TEXT  TEXT to standard output / error
//   stdin, files       "stdin:<bytes read>\n"; "open N\n" for each descriptor above 2
//   write:FILE=TEXT, touch:FILE  writes FILE; sets its time to now, bytes unchanged
//   replace:NEW>OLD    gives NEW OLD's time, removes OLD (file or folder), renames NEW to OLD
//   fill:N             N carriage returns to standard output
//   gate:FILE          waits until FILE exists or its folder is gone (a minute at most, then
//                      writes FILE.timeout)
//   spawn:FILE, spawnflood:FILE  leaves a "hold"/"flood" grandchild at the gate FILE
//   terminate          ends by SIGTERM; exit:N ends with exit status N
//   parent:INT|TERM|HUP  sends the launcher that signal (POSIX)
//   env:NAME           the variable NAME to standard output
//   killparent         ends the launcher as a kill does and waits for its end
// Names and arguments are UTF-8 on every platform.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <process.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
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
bool SetLimit(const std::string&) { return false; }  // Windows has no such limits.
bool SignalParent(const std::string&) { return false; }
// Ends the process that started this one as a kill does, and waits until it has ended.
bool KillParent() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (entry.th32ProcessID == GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, parent);
  bool ended = process != nullptr && TerminateProcess(process, 137) &&
               WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0;
  if (process != nullptr) CloseHandle(process);
  return ended;
}
std::string InheritedFiles() { return ""; }
#else
bool StartHolder(std::string program, std::string mode, std::string gate) {
  char* argv[] = {program.data(), mode.data(), gate.data(), nullptr};
  pid_t pid;
  return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

bool KillParent() {
  const pid_t parent = getppid();
  if (kill(parent, SIGKILL) != 0) return false;
  while (getppid() == parent) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

bool SignalParent(const std::string& name) {
  return kill(getppid(), name == "INT" ? SIGINT : name == "HUP" ? SIGHUP : SIGTERM) == 0;
}

// Sets LIMIT=VALUE for this process and what it runs.
bool SetLimit(const std::string& setting) {
  const std::string name = setting.substr(0, setting.find('='));
  const std::string value = setting.substr(name.size() + 1);
  const rlim_t number = std::strtoull(value.c_str(), nullptr, 10);
  const rlimit limit{number, number};
  int ends[2];
  if (name == "fsize")
    return signal(SIGXFSZ, SIG_IGN) != SIG_ERR && !setrlimit(RLIMIT_FSIZE, &limit);
  if (name == "memory") return setrlimit(RLIMIT_AS, &limit) == 0;
  if (name == "stdin") return dup2(open(value.c_str(), O_RDONLY), 0) == 0;
  if (name == "uid") return !setgroups(0, nullptr) && !setgid(number) && !setuid(number);
  if (setting == "sigchld=ignore") return signal(SIGCHLD, SIG_IGN) != SIG_ERR;
  if (setting == "sigint=default") return signal(SIGINT, SIG_DFL) != SIG_ERR;
  return setting == "stdout=closed" && !pipe(ends) && !close(ends[0]) && dup2(ends[1], 1) == 1 &&
         !close(ends[1]) && signal(SIGPIPE, SIG_DFL) != SIG_ERR;
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
  if (auto line = tolvarine::platform::OwnCommandLine()) return tolvarine::SplitCommandLine(*line);
  return {argv, argv + argc};
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
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// `size` bytes of the value `byte` to standard output.
void Fill(char byte, unsigned long long size) {
  const std::string block(1 << 20, byte);
  for (unsigned long long part; size > 0; size -= part) {
    part = std::min<unsigned long long>(size, block.size());
    if (!Write(stdout, block.substr(0, part))) std::exit(5);
  }
}

// A gate whose folder is gone counts as open: the test is over. The end skips exit's flush,
// which a flooding thread blocked on a full pipe would hold up for ever.
void WaitAtGate(const std::string& gate) {
  const fs::path path = fs::u8path(gate);
  for (int wait = 0; wait < 6000; ++wait) {
    if (fs::exists(path) || !fs::exists(path.parent_path())) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  WriteFile(gate + ".timeout", "");
  std::_Exit(102);
}

void Act(const std::string& action, const std::string& self) {
  std::size_t colon = action.find(':');
  std::string name = action.substr(0, colon);
  std::string value = colon == std::string::npos ? "" : action.substr(colon + 1);
  std::error_code error;
  if (name == "out" || name == "err") {
    Write(name == "out" ? stdout : stderr, value);
  } else if (name == "stdin") {
    std::size_t count = 0;
    for (char buffer[4096]; std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);)
      count += got;
    Write(stdout, "stdin:" + std::to_string(count) + "\n");
  } else if (name == "files") {
    Write(stdout, InheritedFiles());
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
    Fill('\r', std::strtoull(value.c_str(), nullptr, 10));
  } else if (name == "gate") {
    WaitAtGate(value);
  } else if (name == "spawn" || name == "spawnflood") {
    if (!StartHolder(self, name == "spawn" ? "hold" : "flood", value)) std::exit(103);
  } else if (name == "killparent") {
    if (!KillParent()) std::exit(104);
  } else if (name == "terminate") {
    std::raise(SIGTERM);
  } else if (name == "exit") {
    std::exit(std::atoi(value.c_str()));
  } else if (name == "parent") {
    if (!SignalParent(value)) std::exit(105);
  } else if (name == "env") {
    Write(stdout, Setting(value));
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
  if (first == "restricted") {  // returns only on failure
    if (argc < 4 || !SetLimit(argv[2])) return 121;
    execv(argv[3], argv + 3);
    return 123;
  }
  if (first == "hold" || first == "flood") {
    if (first == "flood") std::thread([] { Fill('#', ~0ull); }).detach();
    WaitAtGate(args[2]);
    std::_Exit(0);  // The flood may still be writing.
  }
  const std::string stem = fs::u8path(args[0]).stem().u8string();
  const std::string name = stem == "wget"                      ? "WGET"
                           : stem == "7z"                      ? "7Z"
                           : stem == "java" || stem == "javaw" ? "JAVA"
                                                               : "CONV";
  std::string record;
  for (std::size_t i = 1; i < args.size(); ++i) record += "[" + args[i] + "]";
  const std::string log = Setting("FAKE_" + name + "_RECORD");
  if (!log.empty() && !WriteFile(log, record + "\n", true)) return 99;
  if (name == "WGET") return Download(args);
  if (name == "7Z") return Unpack(args);
  std::istringstream actions(Setting("FAKE_" + name + "_DO"));
  for (std::string action; std::getline(actions, action, '|');) Act(action, args[0]);
  return 0;
}
