// The sound settings in "game.ini", the settings dialog's model, the command line and the start of
// the program (the optical disc, the one instance per game).
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files/instance.h"
#include "platform/files/optical_drives.h"
#include "player/config_model.h"
#include "player/headless_desktop.h"
#include "player/program_entry.h"
#include "player/sound_settings.h"
#include "player_test_util.h"
#include "support/game_tree.h"

namespace kova::test {
namespace {

std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = GameTree::ReadHostFile(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(SoundSettings, TheStoredDelayIsRoundedDownToHundredsAndHeldTo100To500) {
  const std::pair<const char*, int32_t> cases[] = {
      {"DelayTime=650", 500}, {"DelayTime=99", 100}, {"DelayTime=250", 200}, {"DelayTime=-50", 100},
      {"DelayTime=0", 100},   {"DelayTime=300", 300}, {"DelayTime=abc", 500}, {"DelayTime=$1F4", 500},
      {"", 500},
  };
  GameTree tree;
  for (const auto& [line, delay] : cases) {
    tree.WriteFile("game.ini", std::string("[Sound]\r\nDirectSound=0\r\n") + line + "\r\n");
    const TSoundSettings s = ReadSoundSettings(plat::TIniFile(tree.Path("game.ini")));
    EXPECT_EQ(s.DelayTime, delay) << line;
    EXPECT_FALSE(s.UseDirectSound);
  }
  // A missing file, or one that is no settings file at all, gives the defaults.
  EXPECT_EQ(ReadSoundSettings(plat::TIniFile(tree.Path("none.ini"))), TSoundSettings{});
  tree.WriteFile("junk.ini", std::string("\x00\xFF\x10garbage=", 10));
  EXPECT_EQ(ReadSoundSettings(plat::TIniFile(tree.Path("junk.ini"))), TSoundSettings{});
}

class ConfigModelTest : public ::testing::Test {
 protected:
  plat::TGameUserFolder Folder(bool writable = true) {
    return plat::TGameUserFolder(tree.Path("game"), "-GAME-", writable);
  }
  GameTree tree;
};

TEST_F(ConfigModelTest, ShowsTheStoredSettings) {
  struct Case {
    const char* file;
    bool checked;
    int32_t position;
    const char* text;
  } cases[] = {
      {"[Sound]\nDelayTime=250\n", true, 2, "200ms"},
      {"[Sound]\nDelayTime=0\nDirectSound=0\n", false, 1, "100ms"},
      {"[Sound]\nDelayTime=900\nDirectSound=7\n", true, 5, "500ms"},
      {nullptr, true, 5, "500ms"},  // no file: the defaults
  };
  for (const Case& c : cases) {
    if (c.file) tree.WriteFile("game/game.ini", c.file);
    TSettingsFile file(Folder());
    TConfigModel model(file);
    EXPECT_EQ(model.Checked(), c.checked) << c.file;
    EXPECT_EQ(model.Position(), c.position);
    EXPECT_EQ(model.DelayText(), c.text);
    // The delay's controls are enabled exactly when the sound device is not used.
    EXPECT_EQ(model.DelayEnabled(), !c.checked);
    model.SetChecked(!c.checked);
    EXPECT_EQ(model.DelayEnabled(), c.checked);
  }
}

TEST_F(ConfigModelTest, OkWritesOnlyItsKeysAndCancelWritesNothing) {
  const std::string before = "; the player's settings\r\n[Screen]\r\nMode=2\r\n[sound]\r\nDelayTime=250\r\nVolume=8\r\n";
  const std::string path = tree.WriteFile("game/game.ini", before);
  {
    TSettingsFile file(Folder());
    TConfigModel model(file);
    model.SetPosition(4);
    model.SetChecked(false);
    model.Cancel();
    EXPECT_FALSE(model.IsOpen());
  }
  EXPECT_EQ(ReadText(path), before);

  TSettingsFile file(Folder());
  TConfigModel model(file);
  model.SetPosition(9);  // held to 5
  EXPECT_EQ(model.Position(), 5);
  model.SetPosition(3);
  model.SetChecked(false);
  ASSERT_TRUE(model.Ok()) << model.Error();
  EXPECT_FALSE(model.IsOpen());
  EXPECT_EQ(ReadText(path),
            "; the player's settings\r\n[Screen]\r\nMode=2\r\n[sound]\r\nDelayTime=300\r\nVolume=8\r\nDirectSound=0\r\n");
  EXPECT_EQ(ReadSoundSettings(plat::TIniFile(path)), (TSoundSettings{false, 300}));
}

// A game folder that cannot be written keeps its shipped copy; the user's copy goes to the per-user
// folder, made only when OK writes it, and is read from then on.
TEST_F(ConfigModelTest, AReadOnlyGameWritesTheUsersOwnCopy) {
  ScopedEnv data("XDG_DATA_HOME", tree.MakeDir("data").c_str());
  const std::string shipped = tree.WriteFile("game/game.ini", "[Sound]\nDirectSound=0\nDelayTime=200\n");
  const std::string own = tree.Path("data/kovaplayer/games/-GAME-/game.ini");
  {
    TSettingsFile file(Folder(false));
    EXPECT_EQ(file.Read(), (TSoundSettings{false, 200}));
    EXPECT_EQ(GameTree::ReadHostFile(own).size(), 0u);
    TConfigModel model(file);
    model.SetPosition(4);
    ASSERT_TRUE(model.Ok()) << model.Error();
  }
  EXPECT_EQ(ReadText(shipped), "[Sound]\nDirectSound=0\nDelayTime=200\n");
  EXPECT_EQ(ReadText(own), "[Sound]\nDirectSound=0\nDelayTime=400\n");
  EXPECT_EQ(TSettingsFile(Folder(false)).Read(), (TSoundSettings{false, 400}));
}

// OK on a file that cannot be written reports the failure and leaves the dialog open.
TEST_F(ConfigModelTest, AFailedWriteIsReportedAndTheDialogStaysOpen) {
  tree.MakeDir("game/game.ini");  // a folder where the file should be
  TSettingsFile file(Folder());
  TConfigModel model(file);
  EXPECT_FALSE(model.Ok());
  EXPECT_TRUE(model.IsOpen());
  EXPECT_NE(model.Error().find("game.ini"), std::string::npos) << model.Error();

  // No folder at all for a read-only game without a home.
  ScopedEnv data("XDG_DATA_HOME", nullptr);
  ScopedEnv home("HOME", nullptr);
  TSettingsFile homeless(Folder(false));
  TConfigModel model2(homeless);
  EXPECT_FALSE(model2.Ok());
  EXPECT_FALSE(model2.Error().empty());
}

TEST(CommandLine, TheSettingsSwitchInAnyCaseTheHelpUnknownOptionsAndTheGameFolders) {
  struct Case {
    std::vector<std::string> args;
    bool config;
    std::vector<std::string> params;
    bool help = false;
    std::string unknown = "";
  } cases[] = {
      {{}, false, {}},
      {{"/config"}, true, {}},
      {{"/CONFIG"}, true, {}},
      {{"/Config", "/games/story"}, true, {"/games/story"}},
      {{"--config", "g"}, true, {"g"}},
      {{"/games/story", "/games/patch"}, false, {"/games/story", "/games/patch"}},
      {{"/configs"}, false, {"/configs"}},
      {{"--help"}, false, {}, true},
      {{"g", "-h"}, false, {"g"}, true},
      {{"--bogus", "g", "-x"}, false, {"g"}, false, "--bogus"},
      {{"-"}, false, {}, false, "-"},
      {{"--config", "--config"}, true, {}},
      // After "--" everything is a folder, a name like an option too.
      {{"--", "--help", "-g", "/config"}, false, {"--help", "-g", "/config"}},
  };
  for (const Case& c : cases) {
    const TCommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(line.config, c.config) << testing::PrintToString(c.args);
    EXPECT_EQ(line.params, c.params) << testing::PrintToString(c.args);
    EXPECT_EQ(line.help, c.help) << testing::PrintToString(c.args);
    EXPECT_EQ(line.unknown_option, c.unknown) << testing::PrintToString(c.args);
  }
  EXPECT_EQ(ProgramFolder("/opt/kova/bin/kovaplayer"), "/opt/kova/bin/");
}

class ProgramStartTest : public ::testing::Test {
 protected:
  ProgramStartTest() : runtime_("XDG_RUNTIME_DIR", tree.MakeDir("run").c_str()) {
    PageWriter start;
    start.Terminate();
    game = WriteLooseGame(tree, "game", start);
  }
  GameTree tree;
  ScopedEnv runtime_;
  std::string game;
};

// The same game once only: a second start ends at once without a window; another game, or the
// settings dialog of the same game, starts.
TEST_F(ProgramStartTest, OneInstancePerGame) {
  plat::TInstanceLock running;
  ASSERT_EQ(running.Acquire(plat::MakeInstanceName(game)), plat::TInstanceLock::TResult::Acquired);
  THeadlessDesktop desktop;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{game}), desktop, "/opt/kovaplayer"), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("running already"), std::string::npos);
  EXPECT_TRUE(desktop.Opened().empty());

  // The settings dialog has an instance of its own (Escape closes it).
  plat::TEvent escape;
  escape.kind = plat::TEventKind::KeyDown;
  escape.key = 0x1B;
  desktop.Script(0).Add(1, escape);
  EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{"/config", game}), desktop, "/opt/kovaplayer"), 0);
  ASSERT_EQ(desktop.Opened().size(), 1u);

  running.Release();
  EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{game}), desktop, "/opt/kovaplayer"), 0);
  EXPECT_EQ(desktop.Opened().size(), 2u);
}

// The same game named another way (through a link, with "/." after it) is the same game: its
// second start ends at once too.
TEST_F(ProgramStartTest, OneInstancePerGameFolderHoweverItIsNamed) {
  const std::string link = tree.Path("link");
  ASSERT_EQ(::symlink(game.c_str(), link.c_str()), 0);
  plat::TInstanceLock running;
  ASSERT_EQ(running.Acquire(plat::FolderInstanceName(game)), plat::TInstanceLock::TResult::Acquired);
  THeadlessDesktop desktop;
  for (const std::string& name : {link, game + "/."}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{name}), desktop, "/opt/kovaplayer"), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("running already"), std::string::npos) << name;
  }
  EXPECT_TRUE(desktop.Opened().empty());
}

// A player started from an optical disc ends at once: no window, no lock left behind.
TEST_F(ProgramStartTest, APlayerOnADiscEndsAtOnce) {
  THeadlessDesktop desktop;
  plat::TFixedOpticalDrives discs({tree.MakeDir("disc")});
  desktop.services.optical = &discs;
  const std::string program = tree.Path("disc/kovaplayer");
  EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{}), desktop, program), 0);
  EXPECT_TRUE(desktop.Opened().empty());
  EXPECT_TRUE(GameTree::ReadHostFile(tree.Path("run/kovaplayer/" + plat::InstanceFileName(plat::MakeInstanceName(
                                                   tree.Path("disc/"))) + ".lock"))
                  .empty());
  plat::TInstanceLock lock;
  EXPECT_EQ(lock.Acquire(plat::MakeInstanceName(tree.Path("disc/"))), plat::TInstanceLock::TResult::Acquired);
}

}  // namespace
}  // namespace kova::test
