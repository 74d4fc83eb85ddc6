#include "support/x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace kova::test {

int RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  int w;
  do {
    w = ::waitpid(pid, &status, 0);
  } while (w < 0 && errno == EINTR);
  if (w != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ProgramOutput(const std::vector<std::string>& args) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  std::string out;
  if (spawned == 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      if (n > 0) out.append(buffer, size_t(n));
    }
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out.clear();
  }
  ::close(fds[0]);
  return out;
}

pid_t Spawn(const std::vector<std::string>& args, int fd, const std::vector<std::string>& env, bool keep_output) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    if (!keep_output) {
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    if (fd >= 0) ::dup2(fd, 3);
    for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(devnull);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status;
  ::waitpid(pid, &status, 0);
}

int WaitExit(pid_t pid, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int status = 0;
    const pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (w < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool XServer::Start(std::string& why, const std::string& screen) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    why = "no pipe";
    return false;
  }
  // The display number comes back on descriptor 3.
  pid_ = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, fds[1]);
  ::close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (::poll(&p, 1, 15000) > 0) {
    char c;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) {
    why = "Xvfb is not installed or opened no display (scripts/install-deps.sh installs it)";
    Stop();
    return false;
  }
  display_ = ":" + number;
  return true;
}

void XServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool Grab(const std::string& display, const std::string& file, Screen& screen) {
  if (RunProgram({"xwd", "-root", "-silent", "-display", display, "-out", file}) != 0) return false;
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto be32 = [&](size_t i) {
    return uint32_t(bytes[i]) << 24 | uint32_t(bytes[i + 1]) << 16 | uint32_t(bytes[i + 2]) << 8 | bytes[i + 3];
  };
  if (bytes.size() < 100) return false;
  const uint32_t header = be32(0), width = be32(16), height = be32(20), byte_order = be32(28), bpp = be32(44),
                 line = be32(48), ncolors = be32(76);
  const size_t data = size_t(header) + size_t(ncolors) * 12;
  // 24- or 32-bit pixels (the server picks the layout), in the byte order the dump names.
  const uint32_t step = bpp / 8;
  if ((bpp != 24 && bpp != 32) || line < width * step || bytes.size() < data + size_t(line) * height) return false;
  screen.width = int32_t(width);
  screen.height = int32_t(height);
  screen.pixels.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = &bytes[data + size_t(y) * line + size_t(x) * step];
      uint32_t v = 0;
      for (uint32_t k = 0; k < step; ++k) v |= uint32_t(p[byte_order == 0 ? k : step - 1 - k]) << (8 * k);
      screen.pixels[size_t(y) * width + x] = v & 0xFFFFFF;
    }
  }
  return true;
}

bool StartWindowManager(pid_t& pid) {
  pid = Spawn({"openbox", "--sm-disable"});
  if (pid < 0) return false;
  for (int i = 0; i < 200; ++i) {
    if (RunProgram({"sh", "-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"}) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return false;
}

}  // namespace kova::test
