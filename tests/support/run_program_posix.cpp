// Running programs on POSIX: posix_spawn with the streams sent into files.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "support/test_support.h"

extern char** environ;

namespace testing_support {

bool IsWindowsBuild() { return false; }
unsigned long OwnProcessId() { return static_cast<unsigned long>(getpid()); }
bool RunsAsSuperuser() { return geteuid() == 0; }
std::string HostPath(const std::string& build_path) { return build_path; }

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
  const char* input = options.input.empty() ? "/dev/null" : options.input.c_str();
  posix_spawn_file_actions_addopen(&actions, 0, input, O_RDONLY, 0);
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
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testing_support
