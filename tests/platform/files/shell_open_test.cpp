#include "platform/files/shell_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/files/dirs.h"

namespace kova::plat {
namespace {

// A private folder removed at the end (it holds only files and one level of folders).
class TempFolder {
 public:
  TempFolder() : path_(*MakePrivateDirectory(SystemTempFolder(), "shellopen")) {}
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The handler is started with the address as its one argument: shell syntax in it stays text.
TEST(SpawnUrlOpener, PassesTheAddressAsOneArgument) {
  TempFolder dir;
  const std::string script = dir.Path() + "/handler";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.out\"\n";
  }
  ASSERT_EQ(::chmod(script.c_str(), 0700), 0);
  const std::string url = "http://x/a b;touch " + dir.Path() + "/pwned;$(id)`id`";
  TSpawnUrlOpener opener(script);
  ASSERT_TRUE(opener.OpenUrl(url));
  std::string got;
  for (int i = 0; i < 500 && got.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    got = ReadFile(script + ".out");
  }
  EXPECT_EQ(got, "1|" + url);
  EXPECT_EQ(PathKind(dir.Path() + "/pwned"), TPathKind::Missing);
  EXPECT_FALSE(TSpawnUrlOpener(dir.Path() + "/missing").OpenUrl("http://x"));
}

// Restores an environment variable when the test ends.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) value_ = v;
  }
  ~EnvGuard() {
    if (had_) {
      setenv(name_, value_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

TEST(UserDataFolder, FromXdgDataHomeElseHome) {
  EnvGuard xdg("XDG_DATA_HOME"), home("HOME");
  TempFolder dir;
  setenv("XDG_DATA_HOME", (dir.Path() + "/data/").c_str(), 1);
  EXPECT_EQ(UserDataFolder(false), dir.Path() + "/data/kovaplayer/");
  EXPECT_EQ(PathKind(dir.Path() + "/data"), TPathKind::Missing);
  EXPECT_EQ(UserDataFolder(true), dir.Path() + "/data/kovaplayer/");
  EXPECT_EQ(PathKind(dir.Path() + "/data/kovaplayer"), TPathKind::Directory);
  // A relative XDG_DATA_HOME is ignored.
  setenv("XDG_DATA_HOME", "relative", 1);
  setenv("HOME", dir.Path().c_str(), 1);
  EXPECT_EQ(UserDataFolder(true), dir.Path() + "/.local/share/kovaplayer/");
  EXPECT_EQ(PathKind(dir.Path() + "/.local/share/kovaplayer"), TPathKind::Directory);
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  EXPECT_EQ(UserDataFolder(false), std::nullopt);
  // A file in the way: no folder.
  setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
  { std::ofstream(dir.Path() + "/kovaplayer") << "x"; }
  EXPECT_EQ(UserDataFolder(true), std::nullopt);
}

}  // namespace
}  // namespace kova::plat
