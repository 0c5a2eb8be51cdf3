// tolvarine-hand: hands a conversion to the converter that waits for the next one, or converts
// with Java as usual.
//
//   tolvarine-hand IDLE-SECONDS JAVA [JAVA-OPTIONS...] -jar CONVERTER-JAR [ARGUMENTS...]
//
// Java's libraries take longer to start than most drawings take to draw. A converter that waits
// (the converter jar's tolvarine.convert.Server) is met through a socket in a folder only the
// user may enter, under a key made of everything a conversion depends on: the user, the umask,
// the Java and its options, the converter's jar and the environment that Java, the converter
// and fontconfig read. A run with another key meets another converter. When one is waiting and
// free, it converts and this program shows what it wrote and exits with its status; when none
// is waiting, this program starts one for the runs to come and then becomes the Java run its
// arguments name, as does any run that cannot be handed over. Stopped by a signal, it has the
// converter stop the conversion and remove its temporary file, and ends after it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace {

// The environment variables, or their beginnings (ending in "_"), that a conversion may depend
// on: the language and time zone, the home and temporary folders, the programs and libraries
// found, Java's options, the converter's and fontconfig's. Others (a terminal's, a benchmark's
// random one) leave the conversion as it is.
constexpr const char* kSharedVariables[] = {
    "LANG", "LANGUAGE", "LC_",   "TZ",     "HOME", "USER",       "LOGNAME",     "PATH", "TMPDIR",
    "LD_",  "MALLOC_",  "JAVA_", "_JAVA_", "JDK_", "TOLVARINE_", "FONTCONFIG_", "FC_",  "XDG_"};
constexpr char kAccepted = 'Y';
constexpr char kDeclined = 'N';
constexpr long kMostConverters = 4;
constexpr char kOut = 'o';
constexpr char kEnd = 'x';
constexpr int kStopWaitMs = 5000;
constexpr uint32_t kLongestPiece = 64u << 20;

volatile sig_atomic_t stop_signal = 0;
volatile sig_atomic_t handed_socket = -1;

bool Shared(const std::string& variable) {
  for (const char* shared : kSharedVariables) {
    std::string prefix = shared;
    if (prefix.back() == '_' ? variable.compare(0, prefix.size(), prefix) == 0
                             : variable == prefix) {
      return true;
    }
  }
  return false;
}

// Two FNV-1a hashes of the key's text, 128 bits: runs of different keys never meet by chance.
std::string Hash(const std::string& text) {
  uint64_t first = 0xcbf29ce484222325ULL;
  uint64_t second = 0x84222325cbf29ce4ULL;
  for (unsigned char c : text) {
    first = (first ^ c) * 0x100000001b3ULL;
    second = (second ^ c ^ 0x5a) * 0x100000001b3ULL;
  }
  char hex[33];
  std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(second));
  return hex;
}

std::string FileStamp(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "missing";
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

// What a conversion depends on besides its arguments and its current folder.
std::string KeyText(const std::string& java, const std::vector<std::string>& options,
                    const std::string& jar) {
  std::string text = "java " + java + " " + FileStamp(java) + "\n";
  for (const std::string& option : options) text += "option " + option + "\n";
  text += "jar " + jar + " " + FileStamp(jar) + "\n";
  mode_t mask = umask(0);
  umask(mask);
  text += "user " + std::to_string(geteuid()) + " " + std::to_string(mask) + "\n";
  std::vector<std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string variable = *entry;
    if (Shared(variable.substr(0, variable.find('=')))) variables.push_back(variable);
  }
  std::sort(variables.begin(), variables.end());
  for (const std::string& variable : variables) text += "env " + variable + '\0';
  return text;
}

// The user's folder for the sockets, made if missing: in the session's runtime folder, or
// else the user's own folder in the temporary-files folder, which the launcher also keeps a
// fetched Java in; empty unless it is a folder of the user's that nobody else may enter.
std::string OwnFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* temporary = std::getenv("TMPDIR");
  std::string folder =
      runtime != nullptr && runtime[0] == '/'
          ? std::string(runtime) + "/tolvarine"
          : std::string(temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp") +
                "/tolvarine-" + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return "";
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid() ||
      (info.st_mode & 07777) != 0700) {
    return "";
  }
  return folder;
}

void OnStop(int signal_number) {
  stop_signal = signal_number;
  int socket = handed_socket;
  if (socket >= 0) shutdown(socket, SHUT_WR);  // the converter stops and ends
}

[[noreturn]] void RunJava(char** java_command) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &plain, nullptr);
  if (stop_signal != 0) _exit(128 + stop_signal);
  execv(java_command[0], java_command);
  std::fprintf(stderr, "Error: cannot start %s: %s\n", java_command[0], std::strerror(errno));
  _exit(127);
}

// Started apart from this run's terminal and streams, and not as its child, in the user's own
// folder of sockets rather than one the user may want to remove or unmount, with the whole JIT
// for the conversions to come.
void StartServer(const std::string& java, const std::vector<std::string>& options,
                 const std::string& jar, const std::string& idle, const std::string& key,
                 const std::string& folder) {
  std::vector<std::string> words = {java};
  words.insert(words.end(), options.begin(), options.end());
  // A heap that gives back what a large drawing took once it is collected.
  for (const char* word :
       {"-XX:TieredStopAtLevel=4", "-Xms16m", "-XX:MaxHeapFreeRatio=40", "-cp"}) {
    words.push_back(word);
  }
  words.push_back(jar);
  for (const std::string& word :
       {std::string("tolvarine.convert.Server"), idle, key, folder, std::to_string(getpid())}) {
    words.push_back(word);
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    setsid();
    if (fork() != 0) _exit(0);
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
      sigaction(signal_number, &plain, nullptr);
    }
    int null = open("/dev/null", O_RDWR);
    if (null < 0 || chdir(folder.c_str()) != 0) _exit(127);
    for (int fd = 0; fd < 3; ++fd) dup2(null, fd);
    for (int fd = 3; fd < 1024; ++fd) close(fd);
    execv(argv[0], argv.data());
    _exit(127);
  }
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool SendAll(int socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// False at the end of the stream, or when the run was stopped.
bool ReadAll(int socket, char* bytes, size_t count) {
  size_t got = 0;
  while (got < count) {
    ssize_t n = recv(socket, bytes + got, count - got, 0);
    if (n < 0 && errno == EINTR && stop_signal == 0) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

void PutNumber(std::string& out, uint32_t number) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(number >> shift & 0xff);
}

bool ReadNumber(int socket, uint32_t& number) {
  unsigned char bytes[4];
  if (!ReadAll(socket, reinterpret_cast<char*>(bytes), 4)) return false;
  number = uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
  return true;
}

void PutText(std::string& out, const std::string& text) {
  PutNumber(out, static_cast<uint32_t>(text.size()));
  out += text;
}

void WriteAll(int fd, const std::string& bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += static_cast<size_t>(n);
  }
}

// After a stop: the converter removes its temporary file and ends, which ends the stream.
[[noreturn]] void EndStopped(int socket) {
  pollfd watched{socket, POLLIN, 0};
  char rest[4096];
  for (int waited = 0; waited < kStopWaitMs; waited += 100) {
    if (poll(&watched, 1, 100) > 0 && recv(socket, rest, sizeof rest, 0) <= 0) break;
  }
  _exit(128 + stop_signal);
}

enum class Handing { kDone, kNobodyThere, kBusy, kFailed };

// Hands the request to the converter listening on `path`: kDone with its exit status once it
// has converted, after what it wrote has been shown; kNobodyThere when none listens; kBusy
// when it takes no conversion now; kFailed when the run must convert itself (the converter
// ended without an answer, or the socket cannot be used).
Handing Hand(const std::string& path, const std::string& request, int& status) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return Handing::kFailed;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return Handing::kFailed;
  if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    bool nobody = errno == ENOENT || errno == ECONNREFUSED;
    close(socket);
    return nobody ? Handing::kNobodyThere : Handing::kFailed;
  }
  handed_socket = socket;
  if (stop_signal != 0) EndStopped(socket);
  char answer = 0;
  if (!SendAll(socket, request) || !ReadAll(socket, &answer, 1) || answer != kAccepted) {
    if (stop_signal != 0) EndStopped(socket);
    handed_socket = -1;
    close(socket);
    return answer == kDeclined ? Handing::kBusy : Handing::kFailed;
  }
  // Shown once the conversion is over, in the order written, so that a converter that ends
  // without an answer leaves nothing half said before this run converts itself.
  std::vector<std::pair<char, std::string>> said;
  while (true) {
    char kind = 0;
    uint32_t number = 0;
    if (!ReadAll(socket, &kind, 1) || !ReadNumber(socket, number)) break;
    if (kind == kEnd) {
      for (const auto& [stream, bytes] : said) WriteAll(stream == kOut ? 1 : 2, bytes);
      status = static_cast<int>(number);
      return Handing::kDone;
    }
    if (number > kLongestPiece) break;
    std::string bytes(number, '\0');
    if (!ReadAll(socket, bytes.data(), number)) break;
    said.emplace_back(kind, std::move(bytes));
  }
  if (stop_signal != 0) EndStopped(socket);
  handed_socket = -1;
  close(socket);
  return Handing::kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: tolvarine-hand IDLE-SECONDS JAVA [JAVA-OPTIONS...] -jar JAR"
                 " [ARGUMENTS...]\n");
    return 2;
  }
  char** java_command = argv + 2;
  const std::string idle = argv[1];
  // Named without a folder, it is found as the launcher finds programs, never in the current
  // folder.
  std::string java = tolvarine::platform::FindProgram(argv[2]);
  if (java.empty()) {
    std::fprintf(stderr, "Error: cannot start %s: no such program on PATH\n", argv[2]);
    return 127;
  }
  argv[2] = java.data();
  int jar_at = 3;
  while (jar_at < argc && std::strcmp(argv[jar_at], "-jar") != 0) ++jar_at;
  const char* no_server = std::getenv("TOLVARINE_SERVER");
  if (jar_at + 1 >= argc || idle.empty() || idle == "0" ||
      idle.find_first_not_of("0123456789") != std::string::npos || java[0] != '/' ||
      (no_server != nullptr && std::strcmp(no_server, "0") == 0)) {
    RunJava(java_command);
  }
  char jar[PATH_MAX];
  if (realpath(argv[jar_at + 1], jar) == nullptr) RunJava(java_command);
  std::vector<std::string> options(argv + 3, argv + jar_at);
  std::string folder = OwnFolder();
  char here[PATH_MAX];
  if (folder.empty() || getcwd(here, sizeof here) == nullptr) RunJava(java_command);
  const std::string key = Hash(KeyText(java, options, jar));
  struct sigaction stop {};
  stop.sa_handler = OnStop;
  sigemptyset(&stop.sa_mask);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &stop, nullptr);
  // The request after the converter's name: the current folder and the arguments.
  std::string request;
  PutText(request, here);
  PutNumber(request, static_cast<uint32_t>(argc - jar_at - 2));
  for (int i = jar_at + 2; i < argc; ++i) PutText(request, argv[i]);
  // Runs at once (a batch in parallel) meet a converter each, up to one a processor.
  long processors = sysconf(_SC_NPROCESSORS_ONLN);
  int places = static_cast<int>(std::clamp(processors, 1L, kMostConverters));
  for (int place = 0; place < places; ++place) {
    std::string name = place == 0 ? key : key + "-" + std::to_string(place);
    std::string asked;
    PutText(asked, name);
    int status = 0;
    switch (Hand(folder + "/" + name + ".sock", asked + request, status)) {
      case Handing::kDone:
        return status;
      case Handing::kNobodyThere:
        StartServer(java, options, jar, idle, name, folder);
        RunJava(java_command);
      case Handing::kBusy:
        continue;
      case Handing::kFailed:
        RunJava(java_command);
    }
  }
  RunJava(java_command);
}
