#include "script/project.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/disc_lookup.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/messages.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "player/session.h"
#include "script/test_game.h"
#include "support/fake_platform.h"

namespace kova::test {
namespace {

using plat::TMessageAnswer;

// A game tree with a program folder that holds nothing and a game folder given as the first
// parameter, the platform faked, and a session that opens the game.
class ProjectTest : public ::testing::Test {
 protected:
  ProjectTest() {
    tree.MakeDir("prog");
    tree.MakeDir("game");
    launch.ProgramFolder = tree.Path("prog");
    launch.Params = {tree.Path("game")};
    NewSession();
  }

  // A fresh session (no discs but the fake drives').
  void NewSession() {
    session.reset();
    session = std::make_unique<TSession>(platform.Services(), TVrFileManagerOptions{{}, std::vector<std::string>{}});
  }
  TProject& Open() {
    session->Open(launch);
    return *session->Project();
  }
  // Writes the test game into the game folder as "game.dat" with this project file.
  TProject& OpenGame(const ProjectBuilder& project) {
    WriteTestGame(tree, "game", false, project);
    return Open();
  }
  // Writes an archive of the given entries as the game folder's "game.dat".
  void WriteGameArchive(const std::vector<std::pair<std::string, std::string>>& entries) {
    ArchiveBuilder archive;
    for (const auto& [name, contents] : entries) archive.Add(name, contents);
    tree.WriteArchive("game/game.dat", archive);
  }
  std::string Page(const char* name) { return AsText(TestGamePages()[name]); }
  std::string InstallSet(uint8_t complete = 1) { return AsText(TestGameInstallSet(complete)); }
  TParamCollection& Store() { return session->Store(); }
  bool Stopped() { return session->Interpreter().Stopped(); }

  std::vector<std::string> Shown() const { return platform.ShownTexts(); }

  FakePlatform platform;
  GameTree tree;
  TLaunchInfo launch;
  std::unique_ptr<TSession> session;
};

// ---- Reading the project file ----

struct VersionCase {
  int32_t version;
  uint8_t status_saving;
  uint8_t frame_pacing;
  const char* media;
};

TEST_F(ProjectTest, ReadsEveryVersionWithItsGatedFields) {
  for (const VersionCase& c : {VersionCase{103, 1, 0, ".wav.wma.ogg.mid"}, VersionCase{104, 0, 0, ".wav.wma.ogg.mid"},
                               VersionCase{106, 0, 1, ".wav.wma.ogg.mid"}, VersionCase{109, 0, 1, ".mp3."}}) {
    SCOPED_TRACE(c.version);
    ProjectBuilder p = TestGameProject();
    p.version = c.version;
    p.title = "\x83\x5E\x83\x43\x83\x67\x83\x8B";  // "タイトル"
    p.screen_width = 801;
    p.screen_height = 599;
    p.value1 = 1024;
    p.value2 = 768;
    p.key_text = "Software\\Kova";
    p.picture_key = -12345;
    p.status_saving = 0;
    p.frame_pacing = 1;
    p.media_extensions = ".mp3.";
    p.disc_prompt = "disc %d?";
    p.quit_message = "bye?";
    TProject& project = OpenGame(p);

    ASSERT_TRUE(project.Started()) << project.OpenError();
    EXPECT_EQ(project.Version(), c.version);
    EXPECT_EQ(project.Title, p.title);
    EXPECT_EQ(project.ScreenWidth, 801);
    EXPECT_EQ(project.ScreenHeight, 599);
    EXPECT_EQ(project.ScreenCenter(), (TPoint{400, 299}));
    EXPECT_EQ(platform.window.Title(), p.title);  // the caption follows the project's title
    EXPECT_EQ(project.FullScreenWidth, 1024);
    EXPECT_EQ(project.FullScreenHeight, 768);
    EXPECT_EQ(project.StartPage, "start.ksb");
    EXPECT_EQ(project.KeyText, "Software\\Kova");
    EXPECT_EQ(project.PictureKey, -12345);
    EXPECT_EQ(project.StatusSaving, c.status_saving);
    EXPECT_EQ(project.FramePacing, c.frame_pacing);
    EXPECT_EQ(project.MediaExtensions, c.media);
    EXPECT_EQ(project.DiscPrompt, "disc %d?");
    EXPECT_EQ(project.QuitMessage, "bye?");
    EXPECT_EQ(project.PendingLoadSlot, -1);
    EXPECT_EQ(project.PendingSaveSlot, -1);
    EXPECT_FALSE(Stopped());
    EXPECT_TRUE(session->Running());
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(project.DiscPromptContext().GameKey, kTestGameKey);
    EXPECT_EQ(project.DiscPromptContext().Title, p.title);
    NewSession();
  }
}

TEST_F(ProjectTest, DeclaresTheVariablesAsStatusVariables) {
  ProjectBuilder p = TestGameProject();
  p.variables.clear();
  ProjectVariable precise = ProjectVariable::Float("precise", 0);
  // 1 + 2^-63: the full 64-bit mantissa, more than a double holds.
  precise.float_bytes = std::array<uint8_t, 10>{0x01, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  p.Var(ProjectVariable::Int("limit", 3))
      .Var(ProjectVariable::Int("count", -7))
      .Var(precise)
      .Var(ProjectVariable::Flag("seen", true))
      .Var(ProjectVariable::Str("name", "\x96\xBC\x91\x4F"));
  ProjectVariable unknown;  // a code of no value type: no value follows, nothing is declared
  unknown.type = 7;
  unknown.name = "odd";
  p.Var(unknown).Var(ProjectVariable::Int("after", 99));
  TProject& project = OpenGame(p);
  ASSERT_TRUE(project.Started()) << project.OpenError();

  TParamCollectionItem* count = Store().FindParam("COUNT");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->TypeCode(), PT_INT);
  EXPECT_EQ(count->GetInt(), -7);
  EXPECT_EQ(count->StatusFlag, 1);
  TParamCollectionItem* f = Store().FindParam("precise");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetFloat(), 1.0L + std::ldexp(1.0L, -63));
  EXPECT_TRUE(Store().FindParam("seen")->GetFlag());
  EXPECT_EQ(Store().FindParam("name")->GetStr(), "\x96\xBC\x91\x4F");
  EXPECT_EQ(Store().FindParam("odd"), nullptr);
  EXPECT_EQ(Store().FindParam("after")->GetInt(), 99);
}

TEST_F(ProjectTest, AVariableThatExistsKeepsItsValue) {
  Store().Declare("limit", PT_INT, TVarScope::Status)->SetInt(42);
  TProject& project = OpenGame(TestGameProject());
  ASSERT_TRUE(project.Started());
  EXPECT_EQ(Store().FindParam("limit")->GetInt(), 42);
}

TEST_F(ProjectTest, StatusEntryOfTheSaveFileComesFirst) {
  // The status entry as a save writes it: the tag, then the status variables.
  TParamCollection saved;
  saved.Declare("limit", PT_INT, TVarScope::Status)->SetInt(5);
  TMemoryStream status;
  status.WriteBuffer("Status103", 9);
  saved.SaveStatus(status);
  LeWriter caption3, caption12;
  caption3.I32(129).Str("third");
  caption12.I32(129).Str("twelfth");
  ArchiveBuilder save;
  save.Add("STATUSSAVEDATA", std::string(status.Bytes().begin(), status.Bytes().end()));
  save.Add("GAMESAVEDATA3", caption3.AsString() + std::string(200000, 'y'));  // compressed
  save.Add("gamesavedata12", caption12.AsString() + std::string(70000, 'x'), true);  // stored
  save.Add("GAMESAVEDATA5", std::string("\x81\x00\x00\x00\x10\x00\x00\x00" "abc", 11));  // cut short
  save.Add("GAMESAVEDATA6", caption3.AsString());
  save.OverrideData(4, {'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'});  // corrupt compressed data
  save.Add("GAMESAVEDATAx", caption3.AsString());
  save.Add("GAMESAVEDATA+4", caption3.AsString());
  tree.WriteArchive("game/save.dat", save);

  TProject& project = OpenGame(TestGameProject());
  ASSERT_TRUE(project.Started());
  EXPECT_EQ(project.SaveFileName(), tree.Path("game") + "/save.dat");
  EXPECT_EQ(Store().FindParam("limit")->GetInt(), 5);
  ASSERT_EQ(project.SlotList.Count(), 2);
  EXPECT_EQ(project.GetSaveCaption(3), "third");
  EXPECT_EQ(project.GetSaveCaption(12), "twelfth");
  EXPECT_EQ(project.GetSaveCaption(4), "");
  project.SetSaveCaption(3, "again");
  project.SetSaveCaption(7, "new");
  EXPECT_EQ(project.GetSaveCaption(3), "again");
  EXPECT_EQ(project.SlotList.Count(), 3);
}

TEST_F(ProjectTest, AnUnreadableSaveFileIsNoStatusAndNoSlots) {
  tree.WriteFile("game/save.dat", std::string("vf\x66\x00\x00\x00\xFF\xFF\xFF\x7F", 10));
  TProject& project = OpenGame(TestGameProject());
  EXPECT_TRUE(project.Started());
  EXPECT_EQ(project.SlotList.Count(), 0);
  EXPECT_EQ(Store().FindParam("limit")->GetInt(), 3);
}

TEST_F(ProjectTest, SaveFileLiesInTheProgramFolderWithoutParameters) {
  launch.Params.clear();
  TProject project(launch, session->Interpreter(), session->Ports());
  EXPECT_EQ(project.SaveFileName(), tree.Path("prog") + "/save.dat");
}

// ---- Failed opens ----

struct BadForm {
  const char* what;
  std::vector<std::pair<std::string, std::string>> entries;  // nothing: no "install.dat" either
  TProjectState state;
  TMsg box;          // the box shown; Count_ for none
  TMsg error;        // the recorded error; Count_ when it is the box's text or a stream error
};

TEST_F(ProjectTest, EachBadProjectFormStopsTheGame) {
  ProjectBuilder v110 = TestGameProject();
  v110.version = 110;
  ProjectBuilder v102 = TestGameProject();
  v102.version = 102;
  ProjectBuilder no_start = TestGameProject();
  no_start.start_page = "missing.ksb";
  const std::string full = AsText(TestGameProject().Build());
  const std::string start = Page("start.ksb");
  const std::string install = InstallSet();
  ProjectBuilder huge = TestGameProject();
  huge.variable_count = 0x7FFFFFFF;

  const BadForm cases[] = {
      {"no install set", {{"kova.kpb", full}, {"start.ksb", start}}, TProjectState::NoData, TMsg::ReinstallGame,
       TMsg::ReinstallGame},
      {"no project", {{"install.dat", install}, {"start.ksb", start}}, TProjectState::Unreadable, TMsg::Count_,
       TMsg::Count_},
      {"empty project", {{"install.dat", install}, {"kova.kpb", ""}}, TProjectState::Empty, TMsg::ProjectMissing,
       TMsg::ProjectMissing},
      {"version 110", {{"install.dat", install}, {"kova.kpb", AsText(v110.Build())}, {"start.ksb", start}},
       TProjectState::BadVersion, TMsg::Count_, TMsg::ProjectBadVersion},
      {"version 102", {{"install.dat", install}, {"kova.kpb", AsText(v102.Build())}, {"start.ksb", start}},
       TProjectState::BadVersion, TMsg::Count_, TMsg::ProjectBadVersion},
      {"missing start page", {{"install.dat", install}, {"kova.kpb", AsText(no_start.Build())}},
       TProjectState::NoStartPage, TMsg::StartPageMissing, TMsg::StartPageMissing},
      {"cut short", {{"install.dat", install}, {"kova.kpb", full.substr(0, 30)}}, TProjectState::Failed,
       TMsg::StreamReadError, TMsg::StreamReadError},
      {"huge variable count", {{"install.dat", install}, {"kova.kpb", AsText(huge.Build())}},
       TProjectState::Failed, TMsg::StreamReadError, TMsg::StreamReadError},
  };
  for (const BadForm& c : cases) {
    SCOPED_TRACE(c.what);
    WriteGameArchive(c.entries);
    TProject& project = Open();
    EXPECT_EQ(project.State(), c.state);
    EXPECT_FALSE(project.Started());
    EXPECT_TRUE(Stopped());
    EXPECT_EQ(session->StopReason(), TStopReason::FailedStart);
    if (c.box == TMsg::Count_) {
      EXPECT_TRUE(Shown().empty());
    } else {
      ASSERT_EQ(Shown().size(), 1u);
      EXPECT_EQ(Shown()[0], MsgText(c.box));
    }
    if (c.error == TMsg::ProjectBadVersion) {
      EXPECT_EQ(project.OpenError(), Format(MsgText(TMsg::ProjectBadVersion).c_str(), project.Version()));
    } else if (c.error != TMsg::Count_) {
      EXPECT_EQ(project.OpenError(), MsgText(c.error));
    } else {
      EXPECT_FALSE(project.OpenError().empty());
    }
    // No script runs; stepping is harmless.
    EXPECT_EQ(session->Run(3, 16), 0);
    EXPECT_EQ(Store().FindParam("total"), nullptr);

    NewSession();
    platform.dialogs.ClearLog();
  }
}

TEST_F(ProjectTest, MissingStartPageKeepsTheInterpreterIdle) {
  ProjectBuilder p = TestGameProject();
  p.start_page = "nowhere.ksb";
  TProject& project = OpenGame(p);
  EXPECT_EQ(project.State(), TProjectState::NoStartPage);
  EXPECT_EQ(project.CallMan().Page(), nullptr);
  ASSERT_EQ(platform.dialogs.Log().size(), 1u);
  EXPECT_EQ(platform.dialogs.Log()[0].title, MsgText(TMsg::CaptionWarning));
}

// ---- Data sources ----

TEST_F(ProjectTest, LooseFilesInTheGameFolderAreAGame) {
  WriteTestGame(tree, "game", true);
  TProject& project = Open();
  ASSERT_TRUE(project.Started()) << project.OpenError();
  EXPECT_EQ(session->Files().ArchiveCount(), 0);
}

TEST_F(ProjectTest, GameBesideTheProgramIsFoundWithoutParameters) {
  WriteTestGame(tree, "prog", false);
  tree.WriteFile("prog/install.dat", TestGameInstallSet());
  launch.Params.clear();
  TProject& project = Open();
  ASSERT_TRUE(project.Started()) << project.OpenError();
  EXPECT_EQ(session->Files().Folder(), tree.Path("prog") + "/");
  EXPECT_EQ(session->Files().ArchiveCount(), 1);
}

TEST_F(ProjectTest, ConfigParameterOpensNoDataSources) {
  WriteTestGame(tree, "prog", false);
  tree.WriteFile("prog/install.dat", TestGameInstallSet());
  launch.Params = {"/CONFIG"};
  TProject& project = Open();
  EXPECT_EQ(project.State(), TProjectState::Unreadable);
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(session->Files().ArchiveCount(), 0);
}

TEST_F(ProjectTest, IncompleteSetSearchesTheDiscs) {
  ArchiveBuilder disc_archive = TestGameArchive();
  tree.WriteArchive("disc/game.dat", disc_archive);
  tree.WriteFile("disc/install.dat", TestGameInstallSet(0, 0));
  tree.WriteFile("game/install.dat", TestGameInstallSet(0));
  platform.optical.SetRoots({tree.Path("disc")});
  TProject& project = Open();
  ASSERT_TRUE(project.Started()) << project.OpenError();
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(session->Files().ArchiveCount(), 1);
}

TEST_F(ProjectTest, IncompleteSetWithoutDiscAsksUntilTheUserQuits) {
  tree.WriteFile("game/install.dat", TestGameInstallSet(0));
  platform.dialogs.Script({TMessageAnswer::Ok, TMessageAnswer::Cancel, TMessageAnswer::Cancel,
                           TMessageAnswer::Cancel, TMessageAnswer::Ok});
  TProject& project = Open();
  EXPECT_EQ(project.State(), TProjectState::NoData);
  EXPECT_TRUE(Stopped());
  const std::string insert = MsgText(TMsg::InsertGameDisc);
  const std::string quit = MsgText(TMsg::QuitMessageDefault);
  EXPECT_EQ(Shown(), (std::vector<std::string>{insert, insert, quit, insert, quit}));
  // The quit box carries the project's title, which is still the default one.
  EXPECT_EQ(platform.dialogs.Log().back().title, MsgText(TMsg::CaptionInfo));
}

// ---- Disc list and FileExists ----

TEST_F(ProjectTest, FolderListAndDefaultsEntry) {
  ProjectBuilder p = TestGameProject();
  p.folder_lines = {"bgm", "movie\\op"};
  ProjectBuilder defaults = TestGameProject();
  defaults.Var(ProjectVariable::Float("dropped", 1.5L)).Var(ProjectVariable::Str("s", "x"));
  defaults.folder_disks = {{"cd2", 2}, {"cd3\\sub", 3}};
  ArchiveBuilder archive = TestGameArchive(p);
  archive.Add("/original_kova.kpb", AsText(defaults.BuildDefaults()));
  tree.WriteArchive("game/game.dat", archive);
  TProject& project = Open();
  ASSERT_TRUE(project.Started()) << project.OpenError();
  ASSERT_EQ(project.FolderDisks.Count(), 4);
  EXPECT_EQ(project.FolderDisks[0], "bgm");
  EXPECT_EQ(project.FolderDisks[1], "movie\\op");
  EXPECT_EQ(project.FolderDisks.DiskOf("bgm\\a.ogg"), 0);
  EXPECT_EQ(project.FolderDisks.DiskOf("cd2\\a.png"), 2);
  EXPECT_EQ(project.FolderDisks.DiskOf("CD3\\SUB\\deeper\\b.png"), 3);
  EXPECT_EQ(Store().FindParam("dropped"), nullptr);  // the defaults' variables are not declared
}

TEST_F(ProjectTest, DefaultsEntryOfANewerVersionIsIgnored) {
  ProjectBuilder defaults = TestGameProject();
  defaults.version = 110;
  defaults.folder_disks = {{"cd2", 2}};
  ArchiveBuilder archive = TestGameArchive();
  archive.Add("/original_kova.kpb", AsText(defaults.BuildDefaults()));
  tree.WriteArchive("game/game.dat", archive);
  TProject& project = Open();
  ASSERT_TRUE(project.Started());
  EXPECT_EQ(project.FolderDisks.Count(), 0);
}

class FileExistsTest : public ProjectTest {
 protected:
  TProject& OpenWithDisc2() {
    ProjectBuilder defaults = TestGameProject();
    defaults.folder_disks = {{"cd2", 2}};
    ArchiveBuilder archive = TestGameArchive();
    archive.Add("/original_kova.kpb", AsText(defaults.BuildDefaults()));
    tree.WriteArchive("game/game.dat", archive);
    return Open();
  }
};

TEST_F(FileExistsTest, MediaFilesNeverAskForADisc) {
  TProject& project = OpenWithDisc2();
  ASSERT_TRUE(project.Started());
  EXPECT_TRUE(project.FileExists("start.ksb"));
  EXPECT_TRUE(project.FileExists("START.KSB"));
  EXPECT_FALSE(project.FileExists(""));
  EXPECT_FALSE(project.FileExists("elsewhere\\pic.png"));  // on no listed folder
  EXPECT_FALSE(project.FileExists("cd2\\music.ogg"));
  EXPECT_FALSE(project.FileExists("cd2\\voice.WAV"));
  EXPECT_TRUE(Shown().empty());
  EXPECT_EQ(platform.window.ClosePosts(), 0);
}

TEST_F(FileExistsTest, AMissingPictureAsksForItsDisc) {
  TProject& project = OpenWithDisc2();
  ASSERT_TRUE(project.Started());
  // Cancel, then confirm leaving the game.
  EXPECT_FALSE(project.FileExists("cd2\\pic.png"));
  ASSERT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[0], FormatDiscText(MsgText(TMsg::DiscPromptDefault), 2));
  EXPECT_EQ(Shown()[1], MsgText(TMsg::QuitMessageDefault));
  EXPECT_EQ(platform.window.ClosePosts(), 1);
  // Leaving the game at the prompt closes it at the next frame.
  EXPECT_FALSE(session->Step(16));
  EXPECT_EQ(session->StopReason(), TStopReason::Closed);
}

TEST_F(FileExistsTest, TheDiscAskedForIsAddedWhenInserted) {
  TProject& project = OpenWithDisc2();
  ASSERT_TRUE(project.Started());
  ArchiveBuilder disc;
  disc.Add("cd2\\pic.png", "picture");
  tree.WriteArchive("disc2/game.dat", disc);
  tree.WriteFile("disc2/install.dat", TestGameInstallSet(1, 1));
  platform.optical.SetRoots({tree.Path("disc2")});
  platform.dialogs.Script({TMessageAnswer::Ok});
  EXPECT_TRUE(project.FileExists("cd2\\pic.png"));
  EXPECT_EQ(Shown().size(), 1u);
  EXPECT_EQ(session->Files().ArchiveCount(), 2);
}

// ---- Game start ----

TEST_F(ProjectTest, TheStartPageRunsUntilTerminate) {
  std::vector<std::string> trace;
  session->Log().SetWriter([&trace](std::string_view line) { trace.emplace_back(line); });
  TProject& project = OpenGame(TestGameProject());
  ASSERT_TRUE(project.Started()) << project.OpenError();
  const long frames = session->Run(100, 16);

  EXPECT_EQ(frames, 5);
  EXPECT_EQ(session->StopReason(), TStopReason::Terminated);
  EXPECT_EQ(platform.window.ClosePosts(), 1);  // Terminate closes the window
  EXPECT_EQ(Store().FindParam("total")->GetInt(), 6);
  EXPECT_EQ(Store().FindParam("argc")->GetInt(), 2);
  EXPECT_EQ(Store().FindParam("verdict")->GetStr(), "good");
  EXPECT_EQ(Store().FindParam("acc"), nullptr);  // the called page's locals went with it
  EXPECT_EQ(trace, TestGameTrace());
}

}  // namespace
}  // namespace kova::test
