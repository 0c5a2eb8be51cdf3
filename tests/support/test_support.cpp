#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <utility>

namespace testing_support {

namespace {

bool CurrentTestFailed() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return info != nullptr && info->result()->Failed();
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    std::ostringstream name;
    name << "tolvarine-test-" << std::hex << random() << '-' << counter++;
    path_ = base / name.str();
    std::error_code error;
    if (fs::create_directory(path_, error)) break;
  }
  // The canonical form, so that paths the launcher reports of itself compare equal.
  path_ = fs::canonical(path_);
}

TempDir::~TempDir() {
  if (CurrentTestFailed()) {
    std::cerr << "kept the test folder " << path_.string() << "\n";
    return;
  }
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::string LauncherProgram() { return HostPath(TOLVARINE_EXE); }

std::string HelperProgram(const std::string& name) {
  return HostPath(std::string(HELPERS_DIR) + "/" + name + ExecutableSuffix());
}

std::string PathSeparator() { return ExecutableSuffix().empty() ? "/" : "\\"; }
std::string HelpersDirectory() { return HostPath(HELPERS_DIR); }

std::string ConsoleText(const std::string& text) {
  if (ExecutableSuffix().empty()) return text;
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(fs::u8path(path), std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

Installation::Installation(const std::string& folder_name)
    : dir_(folder_name.empty() ? temp_.path() : temp_.path() / fs::u8path(folder_name)) {
  fs::create_directories(dir_);
  fs::copy_file(LauncherProgram(), fs::u8path(launcher()));
  fs::create_directory(fs::u8path(work()));
}

std::string Installation::launcher() const { return File("tolvarine" + ExecutableSuffix()); }

void Installation::Write(const std::string& relative, const std::string& content) const {
  fs::path path = fs::u8path(File(relative));
  fs::create_directories(path.parent_path());
  WriteFile(path.u8string(), content);
}

void Installation::UseFakeConverter(const std::string& more_config) const {
  fs::copy_file(HelperProgram("fake_converter"), File("fake_converter" + ExecutableSuffix()),
                fs::copy_options::overwrite_existing);
  Write("config.dat", "[Info]\r\nRunEXE=[{EXEDIR}" + PathSeparator() + "fake_converter" +
                          ExecutableSuffix() + "]\r\n" + more_config);
}

namespace {

// Under memcheck: a run with memory errors fails the test wherever it happens, and valgrind's
// own notices ("--PID-- WARNING: unhandled syscall" for one) are not the launcher's output.
ProgramResult CheckedByMemcheck(ProgramResult result) {
  if (!LauncherUnderMemcheck()) return result;
  EXPECT_NE(result.exit_code, 99) << "memcheck found errors:\n" << result.err;
  std::istringstream lines(result.err);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    bool notice = line.size() > 2 && line.compare(0, 2, "--") == 0 &&
                  line.find("-- ", 2) != std::string::npos &&
                  line.find_first_not_of("0123456789", 2) == line.find("-- ", 2);
    if (!notice) kept += line + "\n";
  }
  result.err = kept;
  return result;
}

}  // namespace

ProgramResult Installation::Run(const std::vector<std::string>& args, RunOptions options) const {
  std::vector<std::string> argv = LauncherCommand(launcher());
  argv.insert(argv.end(), args.begin(), args.end());
  if (options.working_directory.empty()) options.working_directory = work();
  return CheckedByMemcheck(RunProgram(argv, options));
}

std::vector<std::string> Installation::Probe(const std::vector<std::string>& commands,
                                             RunOptions options) const {
  std::string probe = File("config_probe" + ExecutableSuffix());
  if (!fs::exists(probe)) fs::copy_file(HelperProgram("config_probe"), probe);
  std::vector<std::string> argv{probe};
  argv.insert(argv.end(), commands.begin(), commands.end());
  if (options.working_directory.empty()) options.working_directory = work();
  ProgramResult result = RunProgram(argv, options);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.err, "");
  std::vector<std::string> answers;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
      ADD_FAILURE() << "the probe printed " << line;
      continue;
    }
    answers.push_back(line.substr(1, line.size() - 2));
  }
  return answers;
}

}  // namespace testing_support

namespace testing_support {

std::vector<ProgramResult> Installation::RunTogether(int copies,
                                                     const std::vector<std::string>& args,
                                                     RunOptions options) const {
  std::vector<std::string> argv = LauncherCommand(launcher());
  argv.insert(argv.end(), args.begin(), args.end());
  if (options.working_directory.empty()) options.working_directory = work();
  std::vector<ProgramResult> results =
      RunProgramsTogether(std::vector<std::vector<std::string>>(copies, argv), options);
  for (ProgramResult& result : results) result = CheckedByMemcheck(std::move(result));
  return results;
}

std::vector<ProgramResult> RunProgramsTogether(const std::vector<std::vector<std::string>>& argvs,
                                               const RunOptions& options) {
  TempDir capture;
  std::vector<StartedProgram> started;
  for (std::size_t i = 0; i < argvs.size(); ++i) {
    std::string index = std::to_string(i);
    started.push_back(StartProgram(argvs[i], options, capture / ("stdout-" + index),
                                   capture / ("stderr-" + index)));
  }
  std::vector<ProgramResult> results;
  for (std::size_t i = 0; i < started.size(); ++i) {
    ProgramResult result;
    if (started[i] != -1) {
      std::string index = std::to_string(i);
      result.exit_code = WaitForProgram(started[i]);
      result.out = ReadFile(capture / ("stdout-" + index));
      result.err = ReadFile(capture / ("stderr-" + index));
    }
    results.push_back(result);
  }
  return results;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  return RunProgramsTogether({argv}, options).front();
}

}  // namespace testing_support
