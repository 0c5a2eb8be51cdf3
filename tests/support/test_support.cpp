#include "support/test_support.h"

#include <gtest/gtest.h>

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

namespace testing_support {

namespace platform = tolvarine::platform;

TempDir::TempDir(const fs::path& base) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::error_code error;
  do {
    std::ostringstream name;
    name << "tolvarine-test-" << std::hex << random() << '-' << counter++;
    path_ = base / name.str();
  } while (!fs::create_directory(path_, error));
  // The canonical form, so that paths the launcher reports of itself compare equal.
  path_ = fs::canonical(path_);
}

TempDir::~TempDir() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info != nullptr && info->result()->Failed()) {
    std::cerr << "kept the test folder " << path_.string() << "\n";
    return;
  }
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

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

Installation::Installation(const std::string& folder_name, const fs::path& base)
    : temp_(base),
      dir_(folder_name.empty() ? temp_.path() : temp_.path() / fs::u8path(folder_name)) {
  fs::create_directories(dir_ / "work");
  fs::copy_file(fs::u8path(HostPath(TOLVARINE_EXE)), fs::u8path(launcher()));
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
            "--log-file=" + (temp_.path() / "memcheck.log").string()};
  }
  argv.push_back(launcher());
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ProgramResult Installation::Run(const std::vector<std::string>& args, RunOptions options) const {
  if (options.working_directory.empty()) options.working_directory = work();
  ProgramResult result = RunProgram(Command(args), options);
  EXPECT_NE(result.exit_code, 99) << ReadFile((temp_.path() / "memcheck.log").string());
  return result;
}

}  // namespace testing_support
