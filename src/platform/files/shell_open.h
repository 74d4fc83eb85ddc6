// Handing web addresses to the desktop, and the per-user data folder.
//
// Opening an address goes through a service of the session (platform/services.h): the headless one
// only records what it was asked (headless runs and tests); the player window uses a TSpawnUrlOpener, which starts the
// desktop's URL handler ("xdg-open") with the address as its one argument, never through a shell
// command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kova::plat {

class IUrlOpener {
 public:
  virtual ~IUrlOpener() = default;
  // Opens a UTF-8 address with the desktop's default program; true when it was handed over.
  virtual bool OpenUrl(const std::string& url) = 0;
};

// Opens nothing: records every address it is given (the built-in service).
class TRecordingUrlOpener : public IUrlOpener {
 public:
  bool OpenUrl(const std::string& url) override;
  const std::vector<std::string>& Urls() const { return urls_; }
  void Clear() { urls_.clear(); }

 private:
  std::vector<std::string> urls_;
};

// Starts `program` (looked up in PATH when it holds no "/") with the address as its single
// argument: posix_spawn with an argument array, standard input from /dev/null. The child is
// reaped by a detached waiter, so no zombie stays behind.
class TSpawnUrlOpener : public IUrlOpener {
 public:
  explicit TSpawnUrlOpener(std::string program = "xdg-open") : program_(std::move(program)) {}
  bool OpenUrl(const std::string& url) override;

 private:
  std::string program_;
};

// The per-user data folder of the player, ending in "/": $XDG_DATA_HOME/kovaplayer when
// XDG_DATA_HOME holds an absolute path, else $HOME/.local/share/kovaplayer. With `create`, the
// folder (and missing parents, mode 0700) is made. Nothing when no home is known or the folder
// cannot be made.
std::optional<std::string> UserDataFolder(bool create);

}  // namespace kova::plat
