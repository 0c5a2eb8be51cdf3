#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/test_support.h"

extern char** environ;

namespace testing_support {

std::string HostPath(const std::string& build_path) { return build_path; }

std::string ExecutableSuffix() { return ""; }

bool LauncherUnderMemcheck() {
  const char* setting = std::getenv("TOLVARINE_TEST_VALGRIND");
  return setting != nullptr && *setting != '\0';
}

std::vector<std::string> LauncherCommand(const std::string& launcher) {
  if (!LauncherUnderMemcheck()) return {launcher};
  // Only the launcher is checked: its children run as they are.
  return {"/usr/bin/valgrind",
          "--tool=memcheck",
          "-q",
          "--error-exitcode=99",
          "--leak-check=full",
          "--errors-for-leak-kinds=definite",
          "--trace-children=no",
          launcher};
}

namespace {

std::vector<std::string> ChildEnvironment(const RunOptions& options) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    if (options.environment.count(name) == 0) result.push_back(text);
  }
  for (const auto& [name, value] : options.environment) {
    if (value) result.push_back(name + "=" + *value);
  }
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

StartedProgram StartProgram(const std::vector<std::string>& argv, const RunOptions& options,
                            const std::string& out_path, const std::string& err_path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
  if (!options.working_directory.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.working_directory.c_str());
  }
  std::vector<std::string> args = argv;
  std::vector<std::string> env = ChildEnvironment(options);
  std::vector<char*> arg_pointers = Pointers(args);
  std::vector<char*> env_pointers = Pointers(env);
  pid_t pid = -1;
  int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, arg_pointers.data(),
                          env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(error);
    return -1;
  }
  return pid;
}

int WaitForProgram(StartedProgram program) {
  int status = 0;
  while (waitpid(static_cast<pid_t>(program), &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testing_support
