// Instance names, the single-instance lock and the folder for a game's user files.
#include "platform/files/instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/files/dirs.h"

namespace kova::plat {
namespace {

class TempFolder {
 public:
  TempFolder() : path_(*MakePrivateDirectory(SystemTempFolder(), "instance")) {}
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Sets an environment variable for a scope (nullptr: unset).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(InstanceName, FromTheFirstParameterOrTheProgramFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Games\\Story", "C:-GAMES-STORY-"},
      {"C:\\Games\\Story\\", "C:-GAMES-STORY-"},
      {"D:\\Data\\Game", "D:-DATA-GAME-"},
      {"/config", "-CONFIG-"},
      {"/CONFIG", "-CONFIG-"},
      {"/home/ann/games/story/", "-HOME-ANN-GAMES-STORY-"},
      {"/home/ann/games/story", "-HOME-ANN-GAMES-STORY-"},
      // "表" (0x95 0x5C) and "ソ" (0x83 0x5C) keep their second byte; "ａ" (0x82 0x81) is not
      // upper-cased; a trail byte in 'a'..'z' ("ア" is 0x83 0x41, "ぁ" 0x82 0x9F) stays too.
      {"C:\\\x95\x5C\\\x83\x5C", "C:-\x95\x5C-\x83\x5C-"},
      {"/g/\x82\x81x\x83\x61", "-G-\x82\x81X\x83\x61-"},
      {"", "-"},
  };
  for (const auto& [source, name] : cases) EXPECT_EQ(MakeInstanceName(source), name) << source;
}

TEST(InstanceName, AsAFileName) {
  EXPECT_EQ(InstanceFileName("-HOME-\x83\x51\x81\x5B\x83\x80-"), "-HOME-\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0-");
  const std::string long_a(300, 'A');
  std::string long_b = long_a;
  long_b.back() = 'B';
  const std::string a = InstanceFileName(long_a);
  EXPECT_LE(a.size(), 200u);
  EXPECT_NE(a, InstanceFileName(long_b));  // cut names stay apart by their hash
  EXPECT_EQ(a, InstanceFileName(long_a));
}

// A second lock on the same name fails while the first is held, by another descriptor in this
// process or by another process; ending the holder, however it ends, frees the name; programs
// the holder started do not keep it.
TEST(InstanceLock, OneHolderPerName) {
  TempFolder dir;
  TInstanceLock first;
  ASSERT_EQ(first.Acquire("-GAME-", dir.Path()), TInstanceLock::TResult::Acquired);
  TInstanceLock second;
  EXPECT_EQ(second.Acquire("-GAME-", dir.Path()), TInstanceLock::TResult::HeldElsewhere);
  EXPECT_FALSE(second.Held());
  TInstanceLock other;
  EXPECT_EQ(other.Acquire("-OTHER-", dir.Path()), TInstanceLock::TResult::Acquired);
  first.Release();
  EXPECT_EQ(second.Acquire("-GAME-", dir.Path()), TInstanceLock::TResult::Acquired);
  second.Release();

  // A child takes the lock, starts a long-lived program and dies without any clean-up.
  // The pipe's write end closes in each process when it ends or starts another program, so its
  // end of file tells that the long-lived program runs.
  int ready[2];
  ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TInstanceLock held;
    if (held.Acquire("-GAME-", dir.Path()) != TInstanceLock::TResult::Acquired) ::_exit(2);
    if (::fork() == 0) {
      ::execlp("sleep", "sleep", "3", static_cast<char*>(nullptr));
      ::_exit(3);
    }
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  TInstanceLock third;
  EXPECT_EQ(third.Acquire("-GAME-", dir.Path()), TInstanceLock::TResult::HeldElsewhere);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  while (::read(ready[0], &c, 1) > 0) {
  }
  ::close(ready[0]);
  EXPECT_EQ(third.Acquire("-GAME-", dir.Path()), TInstanceLock::TResult::Acquired);
}

// One folder named in any of the ways a command line can name it takes one lock: a second lock
// by another of its names is refused; another folder (one that is not there too) has its own.
TEST(InstanceLock, OneFolderNamedTwoWaysIsOneInstance) {
  TempFolder dir;
  const std::string game = dir.Path() + "/game";
  ASSERT_EQ(::mkdir(game.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((dir.Path() + "/other").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(game.c_str(), (dir.Path() + "/link").c_str()), 0);
  const std::string relative = std::filesystem::relative(game).string();
  ASSERT_FALSE(relative.empty());
  ASSERT_NE(relative.front(), '/');
  const std::string names[] = {relative, game + "/", game + "/.", dir.Path() + "/other/../game",
                               dir.Path() + "/link", dir.Path() + "//game"};
  TInstanceLock first;
  ASSERT_EQ(first.Acquire(FolderInstanceName(game), dir.Path()), TInstanceLock::TResult::Acquired);
  for (const std::string& name : names) {
    EXPECT_EQ(FolderInstanceName(name), FolderInstanceName(game)) << name;
    TInstanceLock second;
    EXPECT_EQ(second.Acquire(FolderInstanceName(name), dir.Path()), TInstanceLock::TResult::HeldElsewhere) << name;
  }
  TInstanceLock other, missing;
  EXPECT_EQ(other.Acquire(FolderInstanceName(dir.Path() + "/other"), dir.Path()), TInstanceLock::TResult::Acquired);
  EXPECT_EQ(missing.Acquire(FolderInstanceName(dir.Path() + "/missing/."), dir.Path()),
            TInstanceLock::TResult::Acquired);
  EXPECT_EQ(FolderInstanceName(dir.Path() + "/missing/."), FolderInstanceName(dir.Path() + "/missing"));
}

TEST(InstanceLock, LivesInTheRuntimeFolder) {
  TempFolder dir;
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().c_str());
    EXPECT_EQ(RuntimeFolder(), dir.Path() + "/");
    TInstanceLock lock;
    ASSERT_EQ(lock.Acquire("-A-"), TInstanceLock::TResult::Acquired) << lock.Error();
    EXPECT_EQ(lock.Path(), dir.Path() + "/kovaplayer/-A-.lock");
    struct stat st {};
    ASSERT_EQ(::stat((dir.Path() + "/kovaplayer").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  // Without one, a private folder in the temporary folder; one that is not private is refused.
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);
  ScopedEnv tmp("TMPDIR", dir.Path().c_str());
  const std::string fallback = dir.Path() + "/kovaplayer-" + std::to_string(::getuid()) + "/";
  EXPECT_EQ(RuntimeFolder(), fallback);
  ASSERT_EQ(::chmod(fallback.c_str(), 0755), 0);
  EXPECT_EQ(RuntimeFolder(), std::nullopt);
  TInstanceLock lock;
  EXPECT_EQ(lock.Acquire("-A-"), TInstanceLock::TResult::Failed);
}

// Beside the game when its folder can be written; else under the instance name in the per-user
// data folder, reading the game's own copy until one is written there.
TEST(GameUserFolder, BesideTheGameOrPerUser) {
  TempFolder dir;
  const std::string game = dir.Path() + "/game";
  ASSERT_EQ(::mkdir(game.c_str(), 0755), 0);
  const TGameUserFolder beside(game, "-GAME-");
  EXPECT_TRUE(beside.BesideGame());
  EXPECT_EQ(beside.WritePath("game.ini"), game + "/game.ini");

  ScopedEnv data("XDG_DATA_HOME", (dir.Path() + "/data").c_str());
  // A folder that cannot be written (also for the super-user): a path below a regular file.
  { std::FILE* f = std::fopen((dir.Path() + "/disc").c_str(), "w"); std::fclose(f); }
  const TGameUserFolder away(dir.Path() + "/disc/game/", "-DISC-GAME-");
  EXPECT_FALSE(away.BesideGame());
  EXPECT_EQ(away.Folder(), dir.Path() + "/data/kovaplayer/games/-DISC-GAME-/");
  EXPECT_EQ(PathKind(away.Folder()), TPathKind::Missing);  // made only when written to
  EXPECT_EQ(away.ReadPath("save.dat"), away.Folder() + "save.dat");
  EXPECT_EQ(away.WritePath("save.dat"), away.Folder() + "save.dat");
  struct stat st {};
  ASSERT_EQ(::stat(away.Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  if (::geteuid() != 0) {  // the super-user may write anywhere
    ASSERT_EQ(::chmod(game.c_str(), 0555), 0);
    EXPECT_FALSE(TGameUserFolder(game, "-RO-").BesideGame());
    ::chmod(game.c_str(), 0755);
  }
  // A read-only game's shipped file is read until the user's own copy exists.
  { std::FILE* f = std::fopen((game + "/game.ini").c_str(), "w"); std::fclose(f); }
  const TGameUserFolder read_only(game, "-RO-", false);
  EXPECT_EQ(read_only.ReadPath("game.ini"), game + "/game.ini");
  const std::string own = read_only.WritePath("game.ini");
  { std::FILE* f = std::fopen(own.c_str(), "w"); std::fclose(f); }
  EXPECT_EQ(read_only.ReadPath("game.ini"), own);
}

}  // namespace
}  // namespace kova::plat
