#include "support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kova::test {

int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& out_path,
               const std::string& err_path) {
  std::vector<std::string> all = args;
  all.insert(all.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const auto open_to = [&](int fd, const std::string& path) {
    if (path.empty()) {
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_WRONLY, 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, fd, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
  };
  open_to(1, out_path);
  open_to(2, err_path);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kova::test
