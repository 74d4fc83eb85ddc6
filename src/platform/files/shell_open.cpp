#include "platform/files/shell_open.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>


extern char** environ;

namespace kova::plat {

bool TRecordingUrlOpener::OpenUrl(const std::string& url) {
  urls_.push_back(url);
  return true;
}

bool TSpawnUrlOpener::OpenUrl(const std::string& url) {
  if (program_.empty() || url.find('\0') != std::string::npos) return false;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::string program = program_;
  std::string argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  const bool has_slash = program_.find('/') != std::string::npos;
  const int rc = has_slash ? posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ)
                           : posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // The handler usually hands the address on and ends at once; its exit status is not reported.
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

namespace {

// Makes `path` and its missing parents (mode 0700); true when it is a directory afterwards.
bool MakeDirectories(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash))) return false;
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

}  // namespace

std::optional<std::string> UserDataFolder(bool create) {
  std::string base;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return std::nullopt;
    base = std::string(home) + "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = base + "/kovaplayer";
  if (create && !MakeDirectories(folder)) return std::nullopt;
  return folder + "/";
}

}  // namespace kova::plat
