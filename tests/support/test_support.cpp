#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

namespace testing_support {

TempDir::TempDir(const fs::path& base) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
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
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (info != nullptr && info->result()->Failed()) {
    std::cerr << "kept the test folder " << path_.string() << "\n";
    return;
  }
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::vector<ProgramResult> RunTogether(const std::vector<std::vector<std::string>>& argvs,
                                       const RunOptions& options) {
  TempDir capture;
  std::vector<StartedProgram> started;
  for (std::size_t i = 0; i < argvs.size(); ++i) {
    std::string index = std::to_string(i);
    started.push_back(
        StartProgram(argvs[i], options, capture / ("out" + index), capture / ("err" + index)));
  }
  std::vector<ProgramResult> results(started.size());
  for (std::size_t i = 0; i < started.size(); ++i) {
    if (started[i] == -1) continue;
    results[i].exit_code = WaitForProgram(started[i]);
    results[i].out = ReadFile(capture / ("out" + std::to_string(i)));
    results[i].err = ReadFile(capture / ("err" + std::to_string(i)));
  }
  return results;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  return RunTogether({argv}, options).front();
}

std::string Exe() { return IsWindowsBuild() ? ".exe" : ""; }
std::string Sep() { return IsWindowsBuild() ? "\\" : "/"; }
std::string Helper() { return HostPath(std::string(HELPER_PROGRAM)); }

bool UnderMemcheck() {
  const char* setting = std::getenv("TOLVARINE_TEST_VALGRIND");
  return !IsWindowsBuild() && setting != nullptr && *setting != '\0';
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
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) ADD_FAILURE() << "cannot write " << path;
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
    argv = {"/usr/bin/valgrind",   "--tool=memcheck",   "-q",
            "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite",
            "--trace-children=no"};
  }
  argv.push_back(launcher());
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

ProgramResult Installation::Run(const std::vector<std::string>& args, RunOptions options) const {
  if (options.working_directory.empty()) options.working_directory = work();
  return CheckedByMemcheck(RunProgram(Command(args), options));
}

ProgramResult CheckedByMemcheck(ProgramResult result) {
  if (!UnderMemcheck()) return result;
  EXPECT_NE(result.exit_code, 99) << "memcheck found errors:\n" << result.err;
  // Valgrind's own notices ("--PID-- WARNING: ...") are not the launcher's output.
  std::istringstream lines(result.err);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    std::size_t end = line.find("-- ", 2);
    bool notice = line.rfind("--", 0) == 0 && end != std::string::npos &&
                  line.find_first_not_of("0123456789", 2) == end;
    if (!notice) kept += line + "\n";
  }
  result.err = kept;
  return result;
}

}  // namespace testing_support
