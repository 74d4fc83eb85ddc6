#include "platform/window/wallpaper.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

extern char** environ;

namespace kova::plat {

bool TNoWallpaper::SetWallpaper(const std::string&, TWallpaperStyle) { return false; }

namespace {

constexpr auto kProgramTime = std::chrono::seconds(10);

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return out;
}

std::vector<std::string> Split(std::string_view s, char delimiter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= s.size()) {
    const size_t end = std::min(s.find(delimiter, start), s.size());
    parts.emplace_back(s.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The program's path in the search path (absolute folders only), or "" when none is executable.
std::string FindProgram(const std::string& name, const std::string& search_path) {
  for (const std::string& folder : Split(search_path, ':')) {
    if (folder.empty() || folder[0] != '/') continue;
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

// "file://" and the path with every byte but unreserved ones and "/" percent-encoded.
std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += char(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

enum class TDesktop { Other, Gnome, Cinnamon, Mate, Xfce, Kde };

TDesktop DesktopOf(const std::string& names) {
  for (const std::string& name : Split(Lower(names), ':')) {
    if (name == "gnome" || name == "unity" || name == "budgie" || name == "pantheon" || name == "gnome-classic" ||
        name == "gnome-flashback")
      return TDesktop::Gnome;
    if (name == "x-cinnamon" || name == "cinnamon") return TDesktop::Cinnamon;
    if (name == "mate") return TDesktop::Mate;
    if (name == "xfce") return TDesktop::Xfce;
    if (name == "kde") return TDesktop::Kde;
  }
  return TDesktop::Other;
}

const char* GnomeOption(TWallpaperStyle style) {
  switch (style) {
    case TWallpaperStyle::Centred: return "centered";
    case TWallpaperStyle::Tiled: return "wallpaper";
    case TWallpaperStyle::Stretched: break;
  }
  return "stretched";
}

}  // namespace

TDesktopWallpaper::TDesktopWallpaper(std::string desktop, std::string search_path)
    : fixed_(true), desktop_(std::move(desktop)), search_path_(std::move(search_path)) {}

bool TDesktopWallpaper::Run(const std::vector<std::string>& args, std::string* output) const {
  const std::string program = FindProgram(args[0], fixed_ ? search_path_ : Environment("PATH"));
  if (program.empty()) return false;
  for (const std::string& a : args) {
    if (a.find('\0') != std::string::npos) return false;
  }
  int pipe_fds[2] = {-1, -1};
  if (output && ::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    if (output) {
      ::close(pipe_fds[0]);
      ::close(pipe_fds[1]);
    }
    return false;
  }
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (output) {
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) ::close(pipe_fds[1]);
  if (rc != 0) {
    if (output) ::close(pipe_fds[0]);
    return false;
  }

  // Reads what the program prints (bounded) and waits for it, at most kProgramTime.
  const auto deadline = std::chrono::steady_clock::now() + kProgramTime;
  if (output) {
    ::fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
      if (n > 0) {
        if (output->size() < (1u << 20)) output->append(buffer, size_t(n));
        continue;
      }
      if (n == 0) break;
      if (errno != EAGAIN && errno != EINTR) break;
      if (std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(pipe_fds[0]);
  }
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool TDesktopWallpaper::SetWallpaper(const std::string& host_path, TWallpaperStyle style) {
  if (host_path.empty() || host_path[0] != '/') return false;
  const TDesktop desktop = DesktopOf(fixed_ ? desktop_ : Environment("XDG_CURRENT_DESKTOP"));
  switch (desktop) {
    case TDesktop::Gnome:
    case TDesktop::Cinnamon: {
      const std::string schema =
          desktop == TDesktop::Gnome ? "org.gnome.desktop.background" : "org.cinnamon.desktop.background";
      const std::string uri = FileUri(host_path);
      if (!Run({"gsettings", "set", schema, "picture-uri", uri})) return false;
      Run({"gsettings", "set", schema, "picture-uri-dark", uri});  // only newer desktops have it
      return Run({"gsettings", "set", schema, "picture-options", GnomeOption(style)});
    }
    case TDesktop::Mate:
      if (!Run({"gsettings", "set", "org.mate.background", "picture-filename", host_path})) return false;
      return Run({"gsettings", "set", "org.mate.background", "picture-options", GnomeOption(style)});
    case TDesktop::Xfce: {
      std::string listing;
      if (!Run({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &listing)) return false;
      const std::string image_style = style == TWallpaperStyle::Centred ? "1" : style == TWallpaperStyle::Tiled ? "2" : "3";
      constexpr std::string_view kImage = "/last-image";
      bool set = false;
      for (const std::string& line : Split(listing, '\n')) {
        if (line.size() <= kImage.size() || line[0] != '/' || !line.ends_with(kImage)) continue;
        if (!Run({"xfconf-query", "-c", "xfce4-desktop", "-p", line, "-s", host_path})) continue;
        set = true;
        const std::string style_property = line.substr(0, line.size() - kImage.size()) + "/image-style";
        Run({"xfconf-query", "-c", "xfce4-desktop", "-p", style_property, "-n", "-t", "int", "-s", image_style});
      }
      return set;
    }
    case TDesktop::Kde: {
      const char* mode = style == TWallpaperStyle::Centred ? "pad" : style == TWallpaperStyle::Tiled ? "tile" : "stretch";
      if (Run({"plasma-apply-wallpaperimage", "--fill-mode", mode, host_path})) return true;
      return Run({"plasma-apply-wallpaperimage", host_path});
    }
    case TDesktop::Other: break;
  }
  return false;
}

}  // namespace kova::plat
