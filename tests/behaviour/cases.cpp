#include "behaviour/cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "process/command_line.h"
#ifndef _WIN32
#include <unistd.h>
#endif

namespace behaviour {

namespace platform = tolvarine::platform;

namespace {

// Sets a variable, or removes it (on Windows: empties it).
void SetVariable(const std::string& name, const std::optional<std::string>& value) {
#ifndef _WIN32
  if (!value) {
    unsetenv(name.c_str());
    return;
  }
#endif
  platform::WriteEnvironmentVariable(name, value.value_or(""));
}

// The runs' environment and current folder, put back as they were afterwards.
class Settings {
 public:
  explicit Settings(const RunOptions& options) : folder_(fs::current_path()) {
    for (const auto& [name, value] : options.environment) {
      before_[name] = platform::ReadEnvironmentVariable(name);
      SetVariable(name, value);
    }
    if (!options.working_directory.empty()) fs::current_path(fs::u8path(options.working_directory));
  }
  ~Settings() {
    for (const auto& [name, value] : before_) SetVariable(name, value);
    fs::current_path(folder_);
  }

 private:
  fs::path folder_;
  Environment before_;
};

// A path of the build tree as this platform names it (Wine shows "/" as drive Z:).
std::string HostPath(std::string path) {
  if (!IsWindowsBuild() || path.empty() || path[0] != '/') return path;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return "Z:" + path;
}

}  // namespace

std::vector<ProgramResult> RunTogether(const std::vector<std::vector<std::string>>& argvs,
                                       const RunOptions& options, const Watch& watch) {
  Settings settings(options);
  std::vector<ProgramResult> results(argvs.size());
  std::mutex mutex;
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < argvs.size(); ++i) {
    threads.emplace_back([&, i] {
      platform::CommandLine command{"", argvs[i]};
      for (const std::string& arg : argvs[i]) command.text += tolvarine::QuoteArgument(arg) + " ";
      std::optional<std::int32_t> code =
          platform::RunCapturedProcess(command, [&](std::string_view piece) {
            std::lock_guard<std::mutex> lock(mutex);
            results[i].out += piece;
            if (watch) watch(results[i].out);
          });
      results[i].exit_code = code.value_or(-1000);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < argvs.size(); ++i) {
    EXPECT_NE(results[i].exit_code, -1000) << "cannot start " << argvs[i][0];
  }
  return results;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  return RunTogether({argv}, options).front();
}

bool IsWindowsBuild() { return platform::kPathSeparator == '\\'; }

bool RunsAsSuperuser() {
#ifdef _WIN32
  return false;
#else
  return geteuid() == 0;
#endif
}

std::string Exe() { return IsWindowsBuild() ? ".exe" : ""; }
std::string Sep() { return IsWindowsBuild() ? "\\" : "/"; }
std::string Helper() { return HostPath(HELPER_PROGRAM); }

bool UnderMemcheck() {
  return !IsWindowsBuild() &&
         !platform::ReadEnvironmentVariable("TOLVARINE_TEST_VALGRIND").value_or("").empty();
}

bool UnderSanitizer() { return SANITIZED_BUILD; }

std::string ConsoleText(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n' && IsWindowsBuild() && (result.empty() || result.back() != '\r')) result += '\r';
    result += c;
  }
  return result;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
  if (!file.write(content.data(), static_cast<std::streamsize>(content.size())))
    ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(fs::u8path(path), std::ios::binary);
  if (!file) return "<none>";
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

Installation::Installation(const std::string& folder_name, const fs::path& base) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  do {
    std::ostringstream name;
    name << "tolvarine-test-" << std::hex << random() << '-' << counter++;
    root_ = base / name.str();
  } while (!fs::create_directory(root_, error));
  // The canonical form, so that paths the launcher reports of itself compare equal.
  root_ = fs::canonical(root_);
  dir_ = folder_name.empty() ? root_ : root_ / fs::u8path(folder_name);
  fs::create_directories(dir_ / "work");
  fs::create_directories(dir_ / "tmp");
  fs::copy_file(fs::u8path(HostPath(TOLVARINE_EXE)), fs::u8path(launcher()));
}

Installation::~Installation() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info != nullptr && info->result()->Failed()) {
    std::cerr << "kept the test folder " << root_.string() << "\n";
    return;
  }
  std::error_code error;
  fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(root_, error);
}

void Installation::Write(const std::string& relative, const std::string& content) const {
  fs::create_directories(fs::u8path(File(relative)).parent_path());
  WriteFile(File(relative), content);
}

void Installation::AddHelper(const std::string& relative) const {
  fs::path target = fs::u8path(File(relative + Exe()));
  fs::create_directories(target.parent_path());
  fs::copy_file(fs::u8path(Helper()), target, fs::copy_options::overwrite_existing);
}

void Installation::UseConverter(const std::string& run_exe_tail, const std::string& more) const {
  AddHelper("conv");
  Write("config.dat",
        "[Info]\r\nRunEXE=[{EXEDIR}" + Sep() + "conv" + Exe() + "]" + run_exe_tail + "\r\n" + more);
}

RunOptions Installation::Options() const {
  RunOptions options{work(), {}};
  for (const char* name : {"CONV", "JAVA", "WGET", "7Z"})
    options.environment[std::string("FAKE_") + name + "_RECORD"] = File(name + std::string(".txt"));
  for (const char* name : {"TMPDIR", "TMP", "TEMP"}) options.environment[name] = File("tmp");
  return options;
}

std::vector<std::string> Installation::Command(const std::vector<std::string>& args) const {
  std::vector<std::string> argv;
  if (UnderMemcheck()) {
    // Only the launcher is checked: its children run as they are.
    argv = {"/usr/bin/valgrind",
            "--tool=memcheck",
            "-q",
            "--error-exitcode=99",
            "--leak-check=full",
            "--errors-for-leak-kinds=definite",
            "--trace-children=no",
            "--log-file=" + (root_ / "memcheck.log").string()};
  }
  argv.push_back(launcher());
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ProgramResult Installation::Run(const std::vector<std::string>& args, RunOptions options) const {
  if (options.working_directory.empty()) options.working_directory = work();
  ProgramResult result = RunProgram(Command(args), options);
  EXPECT_NE(result.exit_code, 99) << ReadFile((root_ / "memcheck.log").string());
  return result;
}

std::string Expand(std::string text, const Installation& install) {
  const std::pair<std::string, std::string> tokens[] = {
      {"{CONV}", "[{EXEDIR}" + Sep() + "conv" + Exe() + "]"},
      {"{DIR}", install.dir()},
      {"{TMP}", install.File("tmp")},
      {"{SEP}", Sep()},
      {"{EXE}", Exe()},
      {"{JAVA}", IsWindowsBuild() ? "javaw.exe" : "java"}};
  for (const auto& [token, value] : tokens) {
    for (std::size_t at = 0; (at = text.find(token, at)) != std::string::npos; at += value.size())
      text.replace(at, token.size(), value);
  }
  return text;
}

std::string Listing(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::u8path(folder), error))
    names.push_back(entry.path().filename().u8string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const std::string& name : names) text += name + " ";
  return text;
}

namespace {

// True when `text` matches `pattern`, where '*' stands for any run of characters but '\n'.
bool Matches(const std::string& text, const std::string& pattern) {
  std::size_t star = pattern.find('*');
  if (star == std::string::npos) return text == pattern;
  if (text.compare(0, star, pattern, 0, star) != 0) return false;
  for (std::size_t at = star; at <= text.size(); ++at) {
    if (Matches(text.substr(at), pattern.substr(star + 1))) return true;
    if (at < text.size() && text[at] == '\n') break;
  }
  return false;
}

bool Skipped(const Case& row) {
  auto has = [&](const char* word) { return row.only.find(word) != std::string::npos; };
  return (has("posix") && IsWindowsBuild()) || (has("windows") && !IsWindowsBuild()) ||
         ((has("speed") || !row.limit.empty()) && UnderMemcheck());
}

void MakeFile(const Installation& install, const std::string& path, const std::string& content) {
  if (content == "<dir>")
    fs::create_directories(fs::u8path(install.File(path)));
  else if (content == "<helper>")
    install.AddHelper(path);
  else if (content == "<fifo>")
    RunProgram({"/usr/bin/mkfifo", install.File(path)});
  else if (content.rfind("<link>", 0) == 0)
    fs::create_symlink(content.substr(6), install.File(path));
  else
    install.Write(path, content);
}

}  // namespace

void RunCases(const std::vector<Case>& rows, const std::string& folder) {
  for (const Case& row : rows) {
    if (Skipped(row)) continue;
    SCOPED_TRACE(row.what);
    Installation install(folder);
    auto x = [&](const std::string& text) { return Expand(text, install); };
    RunOptions options = install.Options();
    for (const auto& [name, value] : row.env) options.environment[name] = value ? x(*value) : value;
    install.AddHelper("conv");
    std::string config;
    for (char c : x(row.config)) config += c == '\n' ? std::string("\r\n") : std::string(1, c);
    if (!config.empty()) install.Write("config.dat", config);
    for (const auto& [path, content] : row.before) MakeFile(install, x(path), x(content));
    std::vector<std::string> args;
    for (const std::string& arg : row.args) args.push_back(x(arg));
    std::vector<std::string> command = {Helper(), "restricted", x(row.limit), install.launcher()};
    command.insert(command.end(), args.begin(), args.end());
    ProgramResult result;
    for (int run = 0; run < row.runs; ++run)
      result = row.limit.empty() ? install.Run(args, options) : RunProgram(command, options);
    EXPECT_TRUE(Matches(result.out, ConsoleText(x(row.out))))
        << "output (" << result.out.size() << " bytes):\n"
        << result.out.substr(0, 2000);
    EXPECT_EQ(result.exit_code, row.status);
    EXPECT_EQ(ReadFile(install.File("CONV.txt")), x(row.ran));
    for (const auto& [path, content] : row.after) {
      std::string name = x(path);
      std::string found =
          name.back() == '/' ? Listing(install.File(name)) : ReadFile(install.File(name));
      EXPECT_PRED2(Matches, found, x(content)) << path;
    }
  }
}

}  // namespace behaviour
