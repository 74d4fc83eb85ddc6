// Game save and load through whole sessions: the GameSave and GameLoad commands served after the
// script step, the entry and status forms in "save.dat", a lossless round trip (the same bytes
// after two more loads), the game going on after a load as it went on after the save, the safe
// rewrite of the file at every failing step, the per-user folder of a read-only game, and unusable
// entries.
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/component_factory.h"
#include "components/scene/scene_subsystem.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "components/text/kova_history.h"
#include "components/text/kova_read_marks.h"
#include "components/scene/prop_dispatch.h"
#include "core/archive.h"
#include "core/messages.h"
#include "core/replace_file.h"
#include "core/stream_records.h"
#include "graphics/dx_dibx.h"
#include "platform/files/file_calls.h"
#include "player/session.h"
#include "script/db_manager.h"
#include "script/db_table.h"
#include "script/history_records.h"
#include "script/page.h"
#include "script/test_game.h"
#include "support/fake_platform.h"
#include "support/glyph_list_writer.h"
#include "support/map_file_writer.h"
#include "support/picture_fixtures.h"
#include "support/record_round_trip.h"

namespace kova::test {
namespace {

using Faults = FileFaults::Step;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// The pages of the saving game. The main flow declares its variables and waits a second (events
// allowed), then counts and waits for ever; the handler "save.ksb" adds 10, saves in slot 1 and
// waits 50 ms; "later.ksb" adds 100; "load.ksb" loads slot 1.
std::map<std::string, std::vector<uint8_t>> SavingGamePages() {
  std::map<std::string, std::vector<uint8_t>> pages;
  PageWriter start;
  start.VarNew("count", 1, Value(I(0)));                         // 0
  start.VarNew("name", 4, Value(S("hero")));                     // 1
  start.Wait(NoResult(), Value(I(1000)));                        // 2
  start.Calc(Step("count", ExprBuilder::Plus, I(1)));            // 3
  start.Wait(NoResult(), Value(I(100000)));                      // 4
  pages["start.ksb"] = start.Bytes();
  PageWriter save;
  save.Calc(Step("count", ExprBuilder::Plus, I(10)));
  save.GameSave(Value(I(1)), "", 0, Value(S("slot one")));
  save.Wait(NoResult(), Value(I(50)));
  pages["save.ksb"] = save.Bytes();
  PageWriter later;
  later.Calc(Step("count", ExprBuilder::Plus, I(100)));
  pages["later.ksb"] = later.Bytes();
  PageWriter load;
  load.GameLoad(Value(I(1)));
  pages["load.ksb"] = load.Bytes();
  // Two texts of one and two rows for the message history.
  PageWriter texts;
  for (int rows : {1, 2}) {
    GlyphListWriter text(kGlyphListVersion);
    text.Decorate({});
    for (int r = 0; r < rows; ++r) {
      if (r > 0) text.Return();
      text.Char('A', 0).Char('B', 0);
    }
    const std::vector<uint8_t> bytes = text.Bytes();
    texts.TextIns(std::string(bytes.begin(), bytes.end()), Value(S("mes")), NoResult(), NoResult());
  }
  pages["text.ksb"] = texts.Bytes();
  return pages;
}

// The component kinds registered with the factory: each saves and loads in the round trip.
std::vector<uint8_t> FactoryKinds() {
  TComponentFactory factory;
  RegisterSceneKinds(factory);
  std::vector<uint8_t> kinds;
  for (int code = 2; code < 128; ++code) {
    if (factory.Has(uint8_t(code))) kinds.push_back(uint8_t(code));
  }
  return kinds;
}
std::string KindName(uint8_t kind) { return "kind" + std::to_string(kind); }

class GameSaveTest : public ::testing::Test {
 protected:
  GameSaveTest() {
    game = tree.MakeDir("game");
    launch.ProgramFolder = tree.MakeDir("prog");
    launch.Params = {game};
    WriteGame(SavingGamePages());
  }

  void WriteGame(const std::map<std::string, std::vector<uint8_t>>& pages, ProjectBuilder project = {}) {
    project.variables.push_back(ProjectVariable::Int("plays", 0));  // a status variable
    tree.WriteFile("game/kova.kpb", project.Build());
    tree.WriteFile("game/install.dat", TestGameInstallSet());
    for (const auto& [name, bytes] : pages) tree.WriteFile("game/" + name, bytes);
  }

  // A fresh engine on the game; script errors fail the test.
  std::unique_ptr<TSession> Open() {
    auto session = std::make_unique<TSession>(platform.Services(), TVrFileManagerOptions{{}, std::vector<std::string>{}});
    session->SetErrorSink([this](std::string_view text) { errors.emplace_back(text); });
    session->Log().SetWriter([this](std::string_view line) { trace.emplace_back(line.substr(11)); });
    EXPECT_TRUE(session->Open(launch));
    return session;
  }

  static void Frames(TSession& s, int n) {
    for (int i = 0; i < n; ++i) s.Step(16);
  }
  // Queues an event whose handler page is `page`, on the active layer.
  static void Event(TSession& s, const std::string& page) {
    s.Events().AddEvent(s.SceneRoot().ActiveBase()->Handle(), page, nullptr, PR_ONLBTNDOWN);
  }

  std::string SavePath() const { return game + "/save.dat"; }
  std::vector<uint8_t> SaveFile() const { return GameTree::ReadHostFile(SavePath()); }
  // The contents of an entry of the save file ("" when it has none).
  std::string Entry(std::string_view name, const std::string& path = {}) const {
    TVrFileCollection save;
    save.OpenEx(path.empty() ? SavePath() : path, true, TVrPlacement::Plain);
    if (!save.FindItem(name)) return {};
    TMemoryStream out;
    save.ReadFile(out, name);
    return std::string(out.Bytes().begin(), out.Bytes().end());
  }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    DIR* dir = ::opendir(game.c_str());
    while (dirent* e = ::readdir(dir)) names.emplace_back(e->d_name);
    ::closedir(dir);
    return names;
  }

  // Brings an engine into a rich state and saves in slot 1 from the event handler, while the
  // main flow waits with 1000 - 16 * 2 ms left and the handler waits in its turn: variables of
  // every kind and scope, tables of both kinds, components in the scene, a second queued event.
  void PlayAndSave(TSession& s) {
    Frames(s, 4);
    TParamCollection& store = s.Store();
    store.Declare("precise", PT_FLOAT, TVarScope::Global)->SetFloat(std::nextafter(1.0L, 2.0L));
    TParamCollectionItem* grid = store.Declare("grid", PT_INT, TVarScope::Global);
    const std::vector<int32_t> dims = {2, 3};
    grid->Value().SetDims(dims);
    grid->Value().SetIntAt(5, 42);
    store.Declare("flag", PT_BOOL, TVarScope::Global)->SetFlag(true);
    store.FindParam("plays")->SetInt(3);
    TDBManager& tables = s.Tables();
    tables.CreateTable("scores", 1);
    tables.ActiveTable()->Fields().AddField("points", 1, 0);
    tables.ActiveTable()->Append();
    tables.ActiveTable()->SetIntAt(0, 0, 77);
    tables.CreateTable("items", 0);
    tables.ActiveTable()->Fields().AddField("label", 4, 12);
    tables.ActiveTable()->Append();
    tables.ActiveTable()->SetStrAt(0, 0, "sword");
    TScenePort& scene = s.Ports().scene;
    auto* shelf = static_cast<TKovaControl*>(scene.CreateComponent(KT_CABINET, "shelf", ""));
    ASSERT_NE(shelf, nullptr);
    shelf->SetLeft(12);
    shelf->SetTag("kept");
    scene.CreateComponent(KT_CABINET, "drawer", "shelf");
    // One component of every kind the player has, in its first state.
    for (uint8_t kind : FactoryKinds()) ASSERT_NE(scene.CreateComponent(kind, KindName(kind), ""), nullptr);
    // A property motion without a target ends at its first update: paused, it waits in the scene.
    TParamFlag paused;
    paused.SetFlag(true);
    scene.SetProp(KindName(KT_PROPMOTION), PR_PAUSED, paused);
    s.SceneRoot().ActiveBase()->SetColor(0x123456);
    // The message history in its new form with a page still pending, and a read mark.
    store.Globals.HistFormat = {16, 0, 0, 200, 50, 4};
    TKovaNewHistory& history = *s.SceneRoot().History();
    history.Limit = 7;
    for (int32_t command : {0, 1, 0}) {
      history.Note(*shelf, "text.ksb", "v=" + std::to_string(command), 0, -1, 0, command);
      history.Commit("shelf");
    }
    history.Note(*shelf, "text.ksb", "v=9", 1, -1, 0, 1);
    s.SceneRoot().ReadMarks()->Note("shelf", "text.ksb", 0, 0);
    s.SceneRoot().ReadMarks()->Commit("shelf");
    Event(s, "save.ksb");
    Event(s, "later.ksb");
    s.Step(16);
  }

  FakePlatform platform;
  GameTree tree;
  std::string game;
  TLaunchInfo launch;
  std::vector<std::string> errors;
  std::vector<std::string> trace;
};

// ---- Requests and the slot list ----

TEST_F(GameSaveTest, ASaveIsServedAfterTheScriptStepWithPcAfterGameSave) {
  auto a = Open();
  PlayAndSave(*a);
  ASSERT_TRUE(errors.empty()) << errors.front();
  TProject& project = *a->Project();
  EXPECT_EQ(project.PendingSaveSlot, -1);
  EXPECT_EQ(project.GetSaveCaption(1), "slot one");
  // The entry's head: version, caption, no resume page.
  const std::string entry = Entry("GAMESAVEDATA1");
  LeWriter head;
  head.I32(129).Str("slot one").Str("").I32(0);
  ASSERT_GE(entry.size(), head.Bytes().size());
  EXPECT_EQ(entry.substr(0, head.Bytes().size()), Bytes(head.Bytes()));
  // The status entry went with it.
  EXPECT_EQ(Entry("STATUSSAVEDATA").substr(0, 9), "Status103");
  // The handler went on to the command after GameSave (its Wait) before the save was served.
  EXPECT_EQ(a->Interpreter().GetPageName(), "save.ksb");
  EXPECT_EQ(a->Interpreter().PC(), 2);
  // A fresh engine lists the slot.
  a.reset();
  auto b = Open();
  EXPECT_EQ(b->Project()->GetSaveCaption(1), "slot one");
}

TEST_F(GameSaveTest, SlotsAreReplacedAndEmptyCaptionsSaveNothing) {
  auto s = Open();
  TProject& project = *s->Project();
  ASSERT_TRUE(project.DoSave(3, "", "first", 0));
  ASSERT_TRUE(project.DoSave(3, "", "second", 0));
  EXPECT_FALSE(project.DoSave(4, "", "", 0));
  TVrFileCollection save;
  save.OpenEx(SavePath(), true, TVrPlacement::Plain);
  EXPECT_EQ(save.EntryCount(), 2);  // the status entry and slot 3
  EXPECT_EQ(project.SlotList.Count(), 1);
  EXPECT_EQ(project.GetSaveCaption(3), "second");
  EXPECT_EQ(Entry("GAMESAVEDATA3").substr(8, 6), "second");
  EXPECT_EQ(Entry("GAMESAVEDATA4"), "");
}

// ---- The round trip ----

// A fresh engine loads the save and stands where the saving one stood; saving and loading twice
// more gives the first entry's bytes again (each load reverses the variables' order).
TEST_F(GameSaveTest, AFreshEngineLoadsTheGameWhereItWasAndTheBytesComeBack) {
  auto a = Open();
  PlayAndSave(*a);
  ASSERT_TRUE(errors.empty()) << errors.front();
  const std::string e1 = Entry("GAMESAVEDATA1");
  TCallMan& ia = a->Interpreter();
  const int32_t state = ia.State(), level = ia.Level(), frames = ia.Stack().Count();

  auto b = Open();
  b->Project()->RequestLoad(1);
  b->Step(16);
  ASSERT_TRUE(errors.empty()) << errors.front();
  ASSERT_TRUE(b->Running());
  TCallMan& ib = b->Interpreter();
  EXPECT_EQ(ib.GetPageName(), "save.ksb");
  EXPECT_EQ(ib.PC(), 2);
  EXPECT_EQ(ib.State(), state);
  EXPECT_EQ(ib.Level(), level);
  ASSERT_EQ(ib.Stack().Count(), frames);
  EXPECT_EQ(ib.Stack().Items(0).PageName, "start.ksb");
  EXPECT_EQ(ib.Stack().Items(0).PC, 2);
  TParamCollection& store = b->Store();
  EXPECT_EQ(store.FindParam("count")->GetInt(), 10);
  EXPECT_EQ(store.FindParam("name")->GetStr(), "hero");
  EXPECT_EQ(store.FindParam("precise")->GetFloat(), std::nextafter(1.0L, 2.0L));
  EXPECT_EQ(store.FindParam("grid")->Value().GetIntAt(5), 42);
  EXPECT_EQ(store.FindParam("plays")->GetInt(), 3);  // the status entry came with the save
  ASSERT_NE(b->Tables().FindTable("items"), nullptr);
  std::string label;
  EXPECT_TRUE(b->Tables().FindTable("items")->GetStrAt(0, 0, label));
  EXPECT_EQ(label, "sword");
  auto* shelf = b->SceneRoot().FindControl("shelf");
  ASSERT_NE(shelf, nullptr);
  EXPECT_EQ(shelf->GetLeft(), 12);
  EXPECT_EQ(shelf->Tag(), "kept");
  ASSERT_NE(b->SceneRoot().FindControl("drawer"), nullptr);
  EXPECT_EQ(b->SceneRoot().FindControl("drawer")->GetParent(), shelf);
  for (uint8_t kind : FactoryKinds()) {
    const TKovaObject* c = b->SceneRoot().FindComponent(KindName(kind));
    ASSERT_NE(c, nullptr) << int(kind);
    EXPECT_EQ(c->GetCompoType(), kind);
  }
  EXPECT_EQ(b->SceneRoot().ActiveBase()->GetColor(), 0x123456);
  EXPECT_EQ(b->Events().Count(), a->Events().Count());
  const TKovaNewHistory& history = *b->SceneRoot().History();
  EXPECT_EQ(history.EntryCount(), 3);  // 20, 40, 20: no two fit a page of 50 together
  EXPECT_EQ(history.GetCount(), a->SceneRoot().History()->GetCount());
  EXPECT_EQ(history.Entries.Items(1).VarText[0], "v=1");
  EXPECT_EQ(history.PageFile, "text.ksb");
  EXPECT_EQ(history.VarText, "v=9");
  EXPECT_EQ(history.Limit, 7);
  EXPECT_TRUE(b->SceneRoot().ReadMarks()->IsRead("text.ksb", 0, 0));

  // E2 from the loaded engine, then a third engine loads it and saves E3.
  ASSERT_TRUE(b->Project()->DoSave(1, "", "slot one", 0));
  const std::string e2 = Entry("GAMESAVEDATA1");
  EXPECT_EQ(e2.size(), e1.size());
  EXPECT_NE(e2, e1);  // the variables stand in reverse order
  auto c = Open();
  c->Project()->RequestLoad(1);
  c->Step(16);
  ASSERT_TRUE(c->Project()->DoSave(1, "", "slot one", 0));
  EXPECT_EQ(Entry("GAMESAVEDATA1"), e1);
}

// After the load the game goes on frame by frame as it went on after the save: the Wait's
// remaining time, the handler's return into the waiting main flow, the queued event.
TEST_F(GameSaveTest, TheLoadedGameGoesOnAsTheSavedOneDid) {
  auto run = [&](TSession& s) {
    std::vector<std::string> lines;
    for (int frame = 0; frame < 90; ++frame) {
      trace.clear();
      s.Step(16);
      for (const std::string& l : trace) lines.push_back(std::to_string(frame) + " " + l);
    }
    lines.push_back("count " + std::to_string(s.Store().FindParam("count")->GetInt()));
    return lines;
  };
  auto a = Open();
  PlayAndSave(*a);
  const std::vector<std::string> after_save = run(*a);

  auto b = Open();
  b->Project()->RequestLoad(1);
  b->Step(16);
  const std::vector<std::string> after_load = run(*b);
  EXPECT_EQ(after_load, after_save);
  // Both Waits ended within the frames run, and the event queued after "save.ksb" was handled.
  EXPECT_EQ(after_save.back(), "count 111");
}

TEST_F(GameSaveTest, ALoadHoldsThreeFramesWithoutDrawing) {
  auto a = Open();
  PlayAndSave(*a);
  auto b = Open();
  b->Step(16);
  EXPECT_EQ(b->HoldFrames(), 0);
  Event(*b, "load.ksb");
  b->Step(16);
  EXPECT_EQ(b->HoldFrames(), 2);  // this step and the next two draw nothing
  EXPECT_FALSE(b->SceneRoot().Bases(0)->DirtyList().Empty());
  b->Step(16);
  b->Step(16);
  EXPECT_EQ(b->HoldFrames(), 0);
  EXPECT_FALSE(b->SceneRoot().Bases(0)->DirtyList().Empty());
  b->Step(16);  // drawn, the loaded scene whole
  EXPECT_TRUE(b->SceneRoot().Bases(0)->DirtyList().Empty());
  // A save holds nothing.
  Event(*b, "save.ksb");
  b->Step(16);
  EXPECT_EQ(b->HoldFrames(), 0);
}

TEST_F(GameSaveTest, ALoadAndASaveInOneFrameSaveTheLoadedState) {
  auto a = Open();
  PlayAndSave(*a);
  auto b = Open();
  b->Step(16);
  b->Store().FindParam("count")->SetInt(555);
  b->Project()->RequestSave(2, "", "copy", 0);
  b->Project()->RequestLoad(1);
  b->Step(16);
  EXPECT_EQ(b->Store().FindParam("count")->GetInt(), 10);
  auto c = Open();
  c->Project()->RequestLoad(2);
  c->Step(16);
  EXPECT_EQ(c->Store().FindParam("count")->GetInt(), 10);
}

// The resume page runs first and returns into the loaded state (here the main flow's Wait, with
// its remaining time), even when its calls push the loaded page out of the page cache.
TEST_F(GameSaveTest, TheResumePageRunsFirstAndReturnsIntoTheLoadedState) {
  std::map<std::string, std::vector<uint8_t>> pages = SavingGamePages();
  PageWriter resume;
  resume.VarNew("resumed", 1, Value(I(1)));                      // 0
  for (int i = 0; i < 12; ++i) resume.Call("filler" + std::to_string(i) + ".ksb");
  resume.Calc(Step("count", ExprBuilder::Plus, I(1000)));         // 13
  pages["resume.ksb"] = resume.Bytes();
  for (int i = 0; i < 12; ++i) {
    PageWriter filler;
    filler.Comment("x");
    pages["filler" + std::to_string(i) + ".ksb"] = filler.Bytes();
  }
  PageWriter start;
  start.VarNew("count", 1, Value(I(0)));
  start.Wait(NoResult(), Value(I(200)));
  start.Calc(Step("count", ExprBuilder::Plus, I(1)));
  start.Wait(NoResult(), Value(I(100000)));
  pages["start.ksb"] = start.Bytes();
  WriteGame(pages);

  auto a = Open();
  Frames(*a, 5);  // the Wait has 200 - 16 * 4 ms left
  ASSERT_TRUE(a->Project()->DoSave(1, "resume.ksb", "with resume", 0));
  auto b = Open();
  b->Project()->RequestLoad(1);
  b->Step(16);
  EXPECT_EQ(b->Interpreter().GetPageName(), "resume.ksb");
  b->Step(16);
  EXPECT_EQ(b->Store().FindParam("resumed")->GetInt(), 1);
  EXPECT_EQ(b->Store().FindParam("count")->GetInt(), 1000);
  EXPECT_EQ(b->Interpreter().GetPageName(), "start.ksb");
  // 136 ms were left: nine more frames (the resume frame counted none of them).
  Frames(*b, 8);
  EXPECT_EQ(b->Store().FindParam("count")->GetInt(), 1000);
  b->Step(16);
  b->Step(16);
  EXPECT_EQ(b->Store().FindParam("count")->GetInt(), 1001);

  // A resume index starts the page there.
  ASSERT_TRUE(a->Project()->DoSave(2, "resume.ksb", "at 13", 13));
  auto c = Open();
  c->Project()->RequestLoad(2);
  c->Step(16);
  c->Step(16);
  EXPECT_FALSE(c->Store().FindParam("resumed"));
  EXPECT_EQ(c->Store().FindParam("count")->GetInt(), 1000);
}

// A game with images, a box, a button, a tile, a menu, a slider, a gauge, a picture-font label and a
// timer whose handler moves an image: a fresh engine
// that loads the save holds the same scene (kinds, names, every property), and the following
// frames run the same commands and show the same picture as the frames after the save.
TEST_F(GameSaveTest, AGameWithPicturesButtonsAndATimerShowsTheSameAfterALoad) {
  constexpr int32_t kBoxNew = 8, kImgNew = 9, kTimer = 11, kMenu = 25, kButton = 30, kMapImgNew = 48,
                    kTileNew = 50, kSliderNew = 51, kGaugeNew = 53, kCGCaption = 54;
  auto set = [](PageWriter& page, const char* name, int32_t id, const Operand& v) {
    page.SetProp(Value(S(name)), Value(I(id)), Value(v));
  };
  std::map<std::string, std::vector<uint8_t>> pages;
  PageWriter start;
  start.VarNew("ticks", 1, Value(I(0)));
  set(start, "BASE0", PR_COLOR, I(0));
  start.Component(kImgNew, {{0, Value(S("pic"))}, {2, Value(S("a.wxa"))}, {3, Value(I(2))}, {4, Value(I(2))}});
  set(start, "pic", PR_ALPHA, I(200));
  set(start, "pic", PR_FLIPH, B(true));
  start.Component(kImgNew, {{0, Value(S("big"))}, {2, Value(S("a.wxa"))}, {3, Value(I(20))}, {4, Value(I(2))},
                            {7, Value(I(512))}, {132, Value(I(512))}});
  start.Component(kBoxNew, {{0, Value(S("box"))}});
  for (const auto& [id, v] : std::vector<std::pair<int32_t, int32_t>>{
           {PR_LEFT, 40}, {PR_TOP, 30}, {PR_WIDTH, 10}, {PR_HEIGHT, 8}, {PR_COLOR, 0x0000FF}}) {
    set(start, "box", id, I(v));
  }
  start.Component(kButton, {{0, Value(S("btn"))}});
  set(start, "btn", PR_SOURCE, S("b.wxa"));
  set(start, "btn", PR_LEFT, I(2));
  set(start, "btn", PR_TOP, I(30));
  set(start, "btn", PR_GROUPINDEX, I(1));
  set(start, "btn", PR_SELECTED, B(true));
  set(start, "btn", PR_ONNOTIFY, S("tick.ksb"));
  start.Component(kTileNew, {{0, Value(S("tile"))}});
  for (const auto& [id, v] : std::vector<std::pair<int32_t, int32_t>>{
           {PR_LEFT, 50}, {PR_TOP, 2}, {PR_WIDTH, 10}, {PR_HEIGHT, 6}, {PR_SCROLLX, 1}, {PR_DISTANCEX, 2}}) {
    set(start, "tile", id, I(v));
  }
  set(start, "tile", PR_SOURCE, S("a.wxa"));
  start.Component(kMenu, {{0, Value(S("menu"))}});
  set(start, "menu", PR_TEXT, S("one\r\ntwo\r\nthree"));
  for (const auto& [id, v] : std::vector<std::pair<int32_t, int32_t>>{
           {PR_LEFT, 30}, {PR_TOP, 14}, {PR_FONTHEIGHT, 6}, {PR_ROWCOUNT, 2}, {PR_MARGINX, 3}, {PR_MARGINY, 2},
           {PR_COLOR, 0x303030}, {PR_HOVERCOLOR, 0x0000FF}, {PR_TOPINDEX, 1}}) {
    set(start, "menu", id, I(v));
  }
  set(start, "menu", PR_ONSELECT, S("tick.ksb"));
  // A slider of a 20-pixel track with a thumb, a gauge at 6 of 10, and "hag" over "be" in cells
  // of the numbered picture.
  start.Component(kSliderNew, {{PR_NAME, Value(S("slider"))}, {PR_BARSIZE, Value(I(20))},
                               {PR_SOURCE, Value(S("a.wxa"))}, {PR_THUMBSOURCE, Value(S("b.wxa"))},
                               {PR_LEFT, Value(I(10))}, {PR_TOP, Value(I(45))}, {PR_MAX, Value(I(10))},
                               {PR_VALUE, Value(I(14))}, {PR_ONNOTIFY, Value(S("tick.ksb"))}});
  start.Component(kGaugeNew, {{PR_NAME, Value(S("gauge"))}, {PR_BARSIZE, Value(I(20))},
                              {PR_SOURCE, Value(S("a.wxa"))}, {PR_LEFT, Value(I(34))}, {PR_TOP, Value(I(42))},
                              {PR_MAX, Value(I(10))}, {PR_VALUE, Value(I(6))}, {PR_REVERSE, Value(B(true))}});
  start.Component(kCGCaption, {{PR_NAME, Value(S("cg"))}, {PR_SOURCE, Value(S("a.wxa"))},
                               {PR_MAPTEXT, Value(S("abcdefgh"))}, {PR_TEXT, Value(S("hag\r\nbe"))},
                               {PR_LEFT, Value(I(2))}, {PR_TOP, Value(I(10))}, {PR_HALIGN, Value(I(2))}});
  start.Component(kTimer, {{0, Value(S("t"))}});
  set(start, "t", PR_DELAY, I(100));
  set(start, "t", PR_ONNOTIFY, S("tick.ksb"));
  start.Component(kMapImgNew, {{0, Value(S("map"))}, {2, Value(S("m.wxa"))}, {3, Value(I(20))}, {4, Value(I(40))}});
  set(start, "map", PR_MAPSOURCE, S("m.map"));
  set(start, "map", PR_BRIGHTNESS, I(-0x40));
  set(start, "map", PR_ONSELECT, S("tick.ksb"));
  start.Wait(NoResult(), Value(I(250)));
  // A loaded timer starts its period anew: setting its delay starts it here as well, so both
  // games count their periods from the save.
  set(start, "t", PR_DELAY, I(100));
  start.GameSave(Value(I(1)), "", 0, Value(S("scene")));
  start.Wait(NoResult(), Value(I(300)));
  set(start, "box", PR_COLOR, I(0x00FF00));
  start.Wait(NoResult(), Value(I(100000)));
  pages["start.ksb"] = start.Bytes();
  PageWriter tick;  // each period moves "pic" one pixel to the right
  tick.Calc(Step("ticks", ExprBuilder::Plus, I(1)));
  tick.Calc(ExprBuilder().Call(3, "____0", {S("pic"), I(PR_LEFT), V("ticks")}));  // SetProp
  pages["tick.ksb"] = tick.Bytes();
  ProjectBuilder project;
  project.screen_width = 64;
  project.screen_height = 48;
  WriteGame(pages, project);
  std::vector<uint32_t> numbered;
  for (uint32_t i = 0; i < 8; ++i) numbered.push_back(0x10 * (1 + i) << 16);
  tree.WriteFile("game/a.wxa", LayeredPicture(4, 2, {FrameSpec(numbered)}));
  tree.WriteFile("game/b.wxa", LayeredPicture(3, 3, {FrameSpec(Solid(3, 3, 0x00C000))}));
  tree.WriteFile("game/m.wxa", LayeredPicture(6, 4, {FrameSpec(Solid(6, 4, 0x0000C0))}));
  tree.WriteFile("game/m.map", MapFileWriter().Rect("all", 0, 0, 5, 3).Bytes());

  // Every component of the scene and both layers: kind, name and each property read as text.
  auto scene = [](TSession& s) {
    std::vector<std::string> lines;
    TKovaBaseList& root = s.SceneRoot();
    std::vector<TKovaObject*> all = {root.Bases(0), root.Bases(1)};
    for (int32_t i = 0; i < root.GetComponentCount(); ++i) all.push_back(root.GetComponent(i));
    for (TKovaObject* c : all) {
      const std::string head = std::to_string(c->GetCompoType()) + " " + root.ComponentName(c) + " ";
      for (int32_t id = 0; id < kPropCount; ++id) {
        TParamStr v;
        try {
          GetProp(v, *c, id);
          lines.push_back(head + std::to_string(id) + "=" + v.GetStr());
        } catch (const EKovaError&) {
          lines.push_back(head + std::to_string(id) + " unreadable");
        }
      }
    }
    // A load builds the list layer by layer: its order may differ from the order of creation.
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  // The lines of `got` that `want` does not hold at the same place (and the count when it differs).
  auto differences = [](const std::vector<std::string>& got, const std::vector<std::string>& want) {
    std::vector<std::string> out;
    if (got.size() != want.size()) out.push_back("count " + std::to_string(got.size()));
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
      if (got[i] != want[i]) out.push_back(got[i] + " (saved: " + want[i] + ")");
    }
    return out;
  };
  auto screen = [](TSession& s) {
    const TDxDIBX& surface = s.SceneHost().Screen();
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < surface.Height(); ++y)
      for (int32_t x = 0; x < surface.Width(); ++x) pixels.push_back(surface.GetPixel(x, y) & 0xFFFFFF);
    return pixels;
  };
  auto run = [&](TSession& s) {
    std::vector<std::string> lines;
    for (int frame = 0; frame < 40; ++frame) {
      trace.clear();
      s.Step(16);
      for (const std::string& l : trace) lines.push_back(std::to_string(frame) + " " + l);
    }
    return lines;
  };

  auto a = Open();
  for (int frame = 0; frame < 100 && a->Project()->GetSaveCaption(1).empty(); ++frame) a->Step(16);
  ASSERT_TRUE(errors.empty()) << errors.front();
  ASSERT_EQ(a->Project()->GetSaveCaption(1), "scene");
  const std::vector<std::string> saved_scene = scene(*a);
  const std::vector<std::string> after_save = run(*a);
  const std::vector<uint32_t> saved_shot = screen(*a);

  auto b = Open();
  b->Project()->RequestLoad(1);
  b->Step(16);
  ASSERT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(differences(scene(*b), saved_scene), std::vector<std::string>{});
  EXPECT_EQ(differences(run(*b), after_save), std::vector<std::string>{});
  EXPECT_EQ(differences(scene(*b), scene(*a)), std::vector<std::string>{});
  EXPECT_EQ(screen(*b), saved_shot);

  // The frames did what the game asks: the timer moved "pic", the box turned green, the pictures
  // were drawn.
  EXPECT_GE(b->Store().FindParam("ticks")->GetInt(), 7);
  const int32_t left = b->SceneRoot().FindControl("pic")->GetLeft();
  EXPECT_EQ(left, b->Store().FindParam("ticks")->GetInt());
  const int32_t w = b->SceneHost().Screen().Width();
  EXPECT_EQ(saved_shot[size_t(45 + 34 * w)], 0x00FF00u);  // the box
  EXPECT_EQ(saved_shot[size_t(3 + 31 * w)], 0x00C000u);   // the button's picture
  EXPECT_EQ(saved_shot[size_t(20 + 2 * w)] >> 16, 0x10u);  // "big", doubled
  EXPECT_EQ(saved_shot[size_t(21 + 3 * w)] >> 16, 0x10u);
  EXPECT_EQ(saved_shot[size_t(25 + 43 * w)], 0x000080u);  // the map image, darkened
  EXPECT_EQ(b->SceneRoot().FindComponent("map")->GetMapSource(), "m.map");
  EXPECT_NE(saved_shot[size_t(left + 2 * w)], 0u);           // "pic", faded
  EXPECT_EQ(saved_shot[size_t(31 + 15 * w)], 0x303030u);     // the menu, open, in its margin
  EXPECT_EQ(b->SceneRoot().FindComponent("menu")->GetTopIndex(), 1);
  EXPECT_EQ(saved_shot[size_t(10 + 45 * w)] >> 16, 0x30u);  // the slider's track, filled (right half)
  EXPECT_EQ(saved_shot[size_t(53 + 42 * w)] >> 16, 0x10u);  // the gauge, reversed: 12 pixels from the right
  EXPECT_EQ(saved_shot[size_t(41 + 42 * w)], 0u);
  EXPECT_EQ(saved_shot[size_t(2 + 10 * w)] >> 16, 0x80u);   // "h" of the picture-font label
  EXPECT_EQ(saved_shot[size_t(4 + 11 * w)] >> 16, 0x50u);   // "e", the second line aligned right
  bool tile_seen = false;
  for (int32_t y = 2; y < 8; ++y)
    for (int32_t x = 50; x < 60; ++x) tile_seen |= saved_shot[size_t(x + y * w)] != 0;
  EXPECT_TRUE(tile_seen);
}

// ---- The status entry ----

TEST_F(GameSaveTest, TheStatusEntryIsWrittenAtCloseAndReadWholeAtOpen) {
  {
    auto s = Open();
    s->Store().FindParam("plays")->SetInt(9);
    s->Tables().CreateTable("records", 1);
    s->Tables().ActiveTable()->Fields().AddField("n", 1, 0);
    s->Tables().ActiveTable()->Append();
    s->Tables().ActiveTable()->SetIntAt(0, 0, 31);
    s->Tables().CreateTable("game only", 0);
    // A page read to its end, and one still showing.
    TKovaReadList& marks = *s->SceneRoot().ReadMarks();
    marks.Note("mes", "text.ksb", 2, 1);
    marks.Commit("mes");
    marks.Note("mes", "text.ksb", 3, 1);
  }
  auto s = Open();
  EXPECT_EQ(s->Store().FindParam("plays")->GetInt(), 9);
  TKovaReadList& marks = *s->SceneRoot().ReadMarks();
  EXPECT_TRUE(marks.IsRead("text.ksb", 1, 2));
  EXPECT_FALSE(marks.IsRead("text.ksb", 1, 3));
  EXPECT_EQ(marks.PageFile, "text.ksb");  // the pending mark came back too
  EXPECT_EQ(marks.PageIndex, 3);
  ASSERT_NE(s->Tables().FindTable("records"), nullptr);
  int32_t n = 0;
  EXPECT_TRUE(s->Tables().FindTable("records")->GetIntAt(0, 0, n));
  EXPECT_EQ(n, 31);
  EXPECT_EQ(s->Tables().FindTable("game only"), nullptr);
  // Closing again without a change leaves the file as it is.
  const std::vector<uint8_t> before = SaveFile();
  struct stat st {};
  ASSERT_EQ(::stat(SavePath().c_str(), &st), 0);
  const ino_t inode = st.st_ino;
  s.reset();
  ASSERT_EQ(::stat(SavePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, inode);
  EXPECT_EQ(SaveFile(), before);
}

// Read marks of a status entry survive a player that has no read marks of its own yet.
TEST_F(GameSaveTest, ReadMarksOfTheStatusEntryAreKept) {
  TReadMarksRecord marks;
  marks.Pages.push_back({"intro.ksb", {3, 8}, {0, 1}});
  marks.PageFile = "intro.ksb";
  marks.CommandIndex = 9;
  marks.MesName = "mes";
  TMemoryStream status;
  status.WriteBuffer("Status103", 9);
  LeWriter rest;
  rest.I32(0);  // no status variables
  status.WriteBuffer(rest.Bytes().data(), int64_t(rest.Bytes().size()));
  marks.SaveToStream(status);
  LeWriter tail;
  tail.U8(0).I32(100).I32(0);  // cache mode, no status tables
  status.WriteBuffer(tail.Bytes().data(), int64_t(tail.Bytes().size()));
  ArchiveBuilder save;
  save.Add("STATUSSAVEDATA", std::string(status.Bytes().begin(), status.Bytes().end()));
  tree.WriteArchive("game/save.dat", save);

  auto s = Open();
  ASSERT_TRUE(s->Project()->DoSave(1, "", "one", 0));
  TMemoryStream written;
  const std::string entry = Entry("STATUSSAVEDATA");
  written.WriteBuffer(entry.data(), int64_t(entry.size()));
  written.SetPosition(9);
  TParamCollection scratch;
  scratch.LoadStatus(written, 103);
  TReadMarksRecord read;
  read.LoadFromStream(written, 103);
  ASSERT_EQ(read.Pages.size(), 1u);
  EXPECT_EQ(read.Pages[0].CommandIndex, (std::vector<int32_t>{3, 8}));
  EXPECT_EQ(read.CommandIndex, 9);
  EXPECT_EQ(read.MesName, "mes");
}

TEST_F(GameSaveTest, WithoutStatusSavingOnlyGameEntriesAreWritten) {
  ProjectBuilder project;
  project.status_saving = 0;
  WriteGame(SavingGamePages(), project);
  {
    auto s = Open();
    ASSERT_TRUE(s->Project()->DoSave(1, "", "one", 0));
  }
  EXPECT_EQ(Entry("STATUSSAVEDATA"), "");
  EXPECT_NE(Entry("GAMESAVEDATA1"), "");
}

// A folder without a game (here the project file is missing) gets no save file when it closes.
TEST_F(GameSaveTest, AGameThatDidNotStartLeavesNoSaveFile) {
  ::unlink((game + "/kova.kpb").c_str());
  {
    TSession s(platform.Services(), TVrFileManagerOptions{{}, std::vector<std::string>{}});
    EXPECT_FALSE(s.Open(launch));
  }
  EXPECT_EQ(::access(SavePath().c_str(), F_OK), -1);
}

// ---- Safety of the file ----

// A save that fails at any write, at the flush or at the rename leaves the old file whole and
// loadable, lists nothing new and leaves no temporary file behind.
TEST_F(GameSaveTest, ASaveFailingAtAnyStepLeavesTheOldFile) {
  auto s = Open();
  PlayAndSave(*s);
  ASSERT_TRUE(errors.empty());
  const std::vector<uint8_t> old = SaveFile();
  const std::vector<std::string> names = FolderNames();
  // The calls a save of slot 2 over this file makes.
  platform.file_calls.ResetCounts();
  ASSERT_TRUE(s->Project()->DoSave(2, "", "second", 0));
  const int32_t writes = platform.file_calls.Calls(Faults::Write);
  ASSERT_GT(writes, 0);
  std::vector<std::pair<Faults, int32_t>> steps = {{Faults::Sync, 1}, {Faults::Rename, 1}};
  for (int32_t n = 1; n <= writes; ++n) steps.emplace_back(Faults::Write, n);
  for (const auto& [step, n] : steps) {
    SCOPED_TRACE(std::to_string(int(step)) + " " + std::to_string(n));
    tree.WriteFile("game/save.dat", old);
    s->Project()->ListSaves();
    errors.clear();
    platform.file_calls.Arm(step, n);
    s->Project()->RequestSave(2, "", "second", 0);
    s->Step(16);
    EXPECT_TRUE(platform.file_calls.Fired());
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(SaveFile(), old);
    EXPECT_EQ(FolderNames().size(), names.size());
    EXPECT_EQ(s->Project()->GetSaveCaption(2), "");
    EXPECT_TRUE(s->Running());
  }
  platform.file_calls.Disarm();
  auto fresh = Open();
  fresh->Project()->RequestLoad(1);
  fresh->Step(16);
  EXPECT_TRUE(fresh->Running());
  EXPECT_EQ(fresh->Store().FindParam("count")->GetInt(), 10);
}

// A game whose folder cannot be written keeps its saves in the per-user data folder under its
// instance name, and loads them from there.
TEST_F(GameSaveTest, AReadOnlyGameSavesInThePerUserFolder) {
  const std::string data = tree.MakeDir("data");
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  launch.GameFolderWritable = false;
  std::string folder;
  {
    auto s = Open();
    folder = s->Project()->UserFolder().Folder();
    EXPECT_EQ(folder.rfind(data + "/", 0), 0u) << folder;
    ASSERT_TRUE(s->Project()->DoSave(1, "", "away", 0));
    EXPECT_EQ(s->Project()->SaveFileName(), folder + "save.dat");
  }
  EXPECT_EQ(::access(SavePath().c_str(), F_OK), -1);
  EXPECT_NE(Entry("GAMESAVEDATA1", folder + "save.dat"), "");
  auto s = Open();
  EXPECT_EQ(s->Project()->GetSaveCaption(1), "away");
  s->Project()->RequestLoad(1);
  s->Step(16);
  EXPECT_TRUE(s->Running());
  ::unsetenv("XDG_DATA_HOME");
}

// A save file that is no archive any more is kept aside as "save.dat.bad" before a new one is
// written.
TEST_F(GameSaveTest, ADamagedSaveFileIsKeptAside) {
  const std::string damaged("vf\x66\x00\x00\x00\xFF\xFF\xFF\x7F", 10);
  tree.WriteFile("game/save.dat", damaged);
  auto s = Open();
  EXPECT_EQ(s->Project()->SlotList.Count(), 0);
  ASSERT_TRUE(s->Project()->DoSave(1, "", "new", 0));
  EXPECT_EQ(Bytes(GameTree::ReadHostFile(SavePath() + ".bad")), damaged);
  EXPECT_NE(Entry("GAMESAVEDATA1"), "");
}

// A save file with one damaged slot still takes saves in the other slots: the damaged entry is
// carried over as it stands, and loading it still gives the system's warning.
TEST_F(GameSaveTest, ADamagedSlotDoesNotKeepTheOthersFromBeingSaved) {
  {
    auto a = Open();
    PlayAndSave(*a);
    ASSERT_TRUE(errors.empty()) << errors.front();
  }
  const std::string good = Entry("GAMESAVEDATA1");
  ArchiveBuilder save;
  save.Add("GAMESAVEDATA1", good).Add("GAMESAVEDATA5", "damaged");
  save.OverrideData(1, {0x78, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x33});
  tree.WriteArchive("game/save.dat", save);
  auto raw_entry = [&](std::string_view name) {
    TVrFileCollection arc;
    arc.OpenEx(SavePath(), true, TVrPlacement::Plain);
    const TVrFile* f = arc.FindItem(name);
    if (!f) return std::string();
    std::string bytes(static_cast<size_t>(f->Size), '\0');
    arc.Stream()->SetPosition(f->Offset);
    arc.Stream()->ReadBuffer(bytes.data(), f->Size);
    return bytes;
  };
  const std::string damaged = raw_entry("GAMESAVEDATA5");
  {
    auto s = Open();
    for (int32_t slot : {2, 3}) {
      s->Project()->RequestSave(slot, "", "slot " + std::to_string(slot), 0);
      EXPECT_TRUE(s->Step(16));
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(s->Project()->FailedSaves(), 0);
    EXPECT_EQ(s->Project()->GetSaveCaption(3), "slot 3");
  }
  EXPECT_EQ(Entry("GAMESAVEDATA1"), good);
  EXPECT_NE(Entry("GAMESAVEDATA2"), "");
  EXPECT_NE(Entry("GAMESAVEDATA3"), "");
  EXPECT_EQ(Entry("STATUSSAVEDATA").substr(0, 9), "Status103");
  EXPECT_EQ(raw_entry("GAMESAVEDATA5"), damaged);
  EXPECT_FALSE(std::filesystem::exists(SavePath() + ".bad"));

  auto s = Open();
  s->Project()->RequestLoad(5);
  EXPECT_FALSE(s->Step(16));
  EXPECT_EQ(s->StopReason(), TStopReason::Failed);
  EXPECT_EQ(s->StopMessage(), MsgText(TMsg::SaveDataUnusable) + "\r\n" + MsgText(TMsg::SaveDataQuit));
}

// File calls that kill the process at the flush of the new save file, as a user killing the
// player in the middle of a save would.
class KillAtFlush : public plat::IFileCalls {
 public:
  int64_t Write(int fd, const void* buffer, size_t count) override { return system_.Write(fd, buffer, count); }
  int Sync(int /*fd*/) override {
    ::raise(SIGKILL);
    return -1;
  }
  int Rename(const char* from, const char* to) override { return system_.Rename(from, to); }

 private:
  plat::TSystemFileCalls system_;
};

// Saves killed before their rename leave their new files; the next start and the next save
// remove those, and only those: a live writer's new file, files of other names and links stay.
TEST_F(GameSaveTest, NewFilesOfKilledSavesAreRemovedAtTheNextStartOrSave) {
  auto stale = [&] {
    std::vector<std::string> names;
    for (const std::string& name : FolderNames())
      if (name.rfind(".save.dat.", 0) == 0) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  };
  auto kill_a_save = [&] {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillAtFlush killer;
      plat::TServices services = platform.Services();
      services.file_calls = &killer;
      TSession s(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
      if (s.Open(launch)) s.Project()->DoSave(1, "", "killed", 0);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_EQ(WTERMSIG(status), SIGKILL);
  };
  {
    auto s = Open();
    ASSERT_TRUE(s->Project()->DoSave(2, "", "kept", 0));
  }
  const std::vector<uint8_t> saved = SaveFile();
  // Beside the file: names that are not exactly ours, a link of our naming, and a live writer.
  const std::vector<std::string> others = {".save.dat.bad", ".save.dat.ABCDE", ".save.dat.ABCDEFG",
                                           "x.save.dat.ABCDEF", ".save.dat.AB-DEF", ".Save.dat.ABCDEF"};
  for (const std::string& name : others) tree.WriteFile("game/" + name, "theirs");
  ASSERT_EQ(::symlink((game + "/save.dat").c_str(), (game + "/.save.dat.LINKED").c_str()), 0);
  TReplacingFile live(SavePath());
  live.Stream().WriteBytes(std::vector<uint8_t>{1, 2, 3});
  const std::string live_name = live.NewPath().substr(game.size() + 1);

  for (int i = 0; i < 3; ++i) kill_a_save();
  // One killed save's file (each child's start removed the one before), four lookalikes, the
  // link and the live writer's file.
  EXPECT_EQ(stale().size(), 1u + 4u + 2u);
  EXPECT_EQ(SaveFile(), saved);
  std::vector<std::string> expected = {".save.dat.ABCDE", ".save.dat.ABCDEFG", ".save.dat.AB-DEF",
                                       ".save.dat.LINKED", ".save.dat.bad", live_name};
  std::sort(expected.begin(), expected.end());
  {
    auto s = Open();  // the start removes them
    EXPECT_EQ(stale(), expected);
    kill_a_save();
    EXPECT_EQ(stale().size(), expected.size() + 1);
    ASSERT_TRUE(s->Project()->DoSave(3, "", "after", 0));  // and so does a save
    EXPECT_EQ(stale(), expected);
  }
  for (const std::string& name : others) EXPECT_EQ(Bytes(GameTree::ReadHostFile(game + "/" + name)), "theirs");
  EXPECT_EQ(Entry("GAMESAVEDATA2").substr(8, 4), "kept");
  live.Commit();  // the live writer was never disturbed
  EXPECT_EQ(SaveFile(), (std::vector<uint8_t>{1, 2, 3}));
}

// The screen of a session that counts what it presents.
class CountingScreen : public THeadlessSceneHost {
 public:
  void Present(TKovaBaseList& root) override {
    ++presents;
    THeadlessSceneHost::Present(root);
  }
  int presents = 0;
};

// A Terminate during the script step ends that step there: no update pass (and the step is not
// counted), no pending save served, nothing drawn or presented. Every step before it did all of
// that.
TEST_F(GameSaveTest, ATerminateEndsTheFrameStepAfterTheScript) {
  PageWriter start;
  start.Wait(NoResult(), Value(I(40)));
  start.Terminate();
  WriteGame({{"start.ksb", start.Bytes()}});
  CountingScreen screen;
  TSession s(platform.Services(), TVrFileManagerOptions{{}, std::vector<std::string>{}}, &screen);
  ASSERT_TRUE(s.Open(launch));
  int steps = 0;
  int32_t updates_before = 0;
  int presents_before = 0;
  bool running = true;
  while (running && steps < 20) {
    ::unlink(SavePath().c_str());
    s.Project()->RequestSave(2, "", "step", 0);
    updates_before = s.Clock().UpdateCount;
    presents_before = screen.presents;
    running = s.Step(16);
    ++steps;
  }
  ASSERT_FALSE(running);
  ASSERT_GE(steps, 2);
  EXPECT_EQ(s.StopReason(), TStopReason::Terminated);
  EXPECT_EQ(updates_before, steps - 1);  // every step before counted
  EXPECT_EQ(presents_before, steps - 1);
  EXPECT_EQ(s.Clock().UpdateCount, updates_before);
  EXPECT_EQ(screen.presents, presents_before);
  EXPECT_EQ(s.Project()->PendingSaveSlot, 2);
  EXPECT_FALSE(std::filesystem::exists(SavePath()));
}

// ---- Unusable entries ----

struct BadEntry {
  const char* what;
  std::string bytes;
};

TEST_F(GameSaveTest, AnUnusableEntryStopsTheScriptsAndLeavesTheFile) {
  auto a = Open();
  PlayAndSave(*a);
  const std::string good = Entry("GAMESAVEDATA1");
  a.reset();
  auto with_version = [&](int32_t v) {
    std::string e = good;
    for (int i = 0; i < 4; ++i) e[size_t(i)] = char(uint32_t(v) >> (8 * i));
    return e;
  };
  std::string huge = good;  // the resume page's length
  const size_t at = 4 + 4 + 8;
  for (int i = 0; i < 4; ++i) huge[at + size_t(i)] = char(0x7FFFFFF0u >> (8 * i));
  const std::vector<BadEntry> cases = {
      {"too old", with_version(106)},
      {"too new", with_version(130)},
      {"cut short", good.substr(0, good.size() / 2)},
      {"huge length", huge},
      {"empty", ""},
  };
  const std::string expected = MsgText(TMsg::SaveDataUnusable) + "\r\n" + MsgText(TMsg::SaveDataQuit);
  for (const BadEntry& c : cases) {
    SCOPED_TRACE(c.what);
    ArchiveBuilder save;
    save.Add("GAMESAVEDATA1", c.bytes);
    tree.WriteArchive("game/save.dat", save);
    const std::vector<uint8_t> before = SaveFile();
    {
      auto s = Open();
      const size_t shown = platform.ShownTexts().size();
      s->Project()->RequestLoad(1);
      s->Project()->RequestSave(2, "", "after a failed load", 0);
      EXPECT_FALSE(s->Step(16));
      EXPECT_EQ(s->StopReason(), TStopReason::Failed);
      EXPECT_EQ(s->StopMessage(), expected);
      ASSERT_EQ(platform.ShownTexts().size(), shown + 1);
      EXPECT_EQ(platform.ShownTexts().back(), expected);
    }
    EXPECT_EQ(SaveFile(), before);
  }
  // A missing slot or file does nothing.
  auto s = Open();
  s->Project()->RequestLoad(7);
  EXPECT_TRUE(s->Step(16));
  ::unlink(SavePath().c_str());
  s->Project()->RequestLoad(1);
  EXPECT_TRUE(s->Step(16));
}

// ---- Entries of older versions ----

// Entries of the versions where the sections change, written byte by byte: the interpreter's
// level (from 116), the queue's event level (int from 114), the history's new form (113) and its
// variable texts (124), the variables' trailer (113, 121), the game tables (123), the focus name
// (119), the object's order (104) and tag (120), the control's key handlers (118).
// A tables section of one table of `kind` with one integer column "n" and one row holding `n`.
void TableSection(LeWriter& w, uint8_t kind, const std::string& name, int32_t n) {
  w.I32(100).I32(1).U8(0).Str(name).U8(kind).I32(1).I32(4).Str("n").U8(1).I32(1).I32(n).I32(0);
}

// The waiting event names its layer as the scene's loader finds it ("BASE0"); the scene saves the
// layer's own name ("\x01" "BASE0").
std::string LegacyEntry(int32_t v, const std::string& resume_page = "", const std::string& event_layer = "BASE0") {
  LeWriter w;
  w.I32(v).Str("old").Str(resume_page).I32(0);
  // Scene: size, active layer, two empty layers, no components, one event, the focus name.
  w.I32(640).I32(480).I32(0);
  for (const char* layer : {"\x01" "BASE0", "\x01" "BASE1"}) {
    w.Str(layer).I32(0);
    if (v >= 104) w.I32(0);
    if (v >= 120) w.Str("");
    w.I32(0).I32(0).I32(640).I32(480).I32(0).I32(0).Flag(false);
    if (v >= 104) w.I32(0).I32(0).I32(0).I32(0).Flag(false);
    w.Flag(true).I32(-1).I32(0).I32(0).I32(0).I32(0).U8(0);
    w.Str("").Str("");
    if (v >= 102) w.Str("");
    for (int i = 0; i < 7; ++i) w.Str("");
    if (v >= 118) {
      w.Flag(false);
      for (int i = 0; i < 5; ++i) w.Str("");
    }
    w.I32(0);  // no children
  }
  w.I32(0);  // no non-visual components
  w.I32(1).Str("later.ksb").Str(event_layer).U8(PR_ONLBTNDOWN);  // one waiting event
  if (v >= 114) {
    w.I32(0);
  } else {
    w.U8(0);
  }
  w.I32(0);  // no parameters
  if (v >= 119) w.Str("");
  // History.
  if (v < 113) {
    w.Str("").I32(0).Str("").I32(0).I32(0).I32(0).I32(0).Str("");
  } else {
    w.I32(0).Str("").I32(0).I32(0).I32(0).I32(0).Str("");
    w.I32(0);
    for (int i = 0; i < 6; ++i) w.I32(0);
    w.I32(0).I32(0).I32(1);                                      // first, last, one entry
    w.I32(1).Str("a.ksb").I32(2).I32(0).I32(-1).I32(20);         // one segment
    if (v >= 124) w.Str("x=1");
    w.I32(20);
    if (v >= 124) w.Str("");
  }
  // Interpreter: the main flow in "start.ksb" at the Wait of 100 s, not entered.
  w.Str("start.ksb").I32(4).U8(1).U8(0).I32(0).Str("").I32(0);
  w.Str("").I32(0).U8(0).U8(0).Str("").I32(0).Str("").I32(0).U8(0);  // the spare frame
  w.I32(0);                                                          // no frames
  if (v >= 116) w.I32(3);
  // Variables: one integer, the trailer.
  w.I32(1).U8(1).Str("count").I32(0).I32(1).I32(v).U8(0).U8(0).I32(-1).U8(0);
  w.I32(70).Str("");
  if (v >= 103) w.Str("sel").I32(4);
  if (v >= 113) {
    for (int i = 0; i < 6; ++i) w.I32(i);
  }
  if (v >= 121) w.Str("");
  // Game tables.
  if (v >= 123) {
    TableSection(w, 0, "old table", v);
    w.Str("old table");
  }
  return Bytes(w.Bytes());
}

TEST_F(GameSaveTest, EntriesOfOlderVersionsLoadByTheirGates) {
  for (int32_t v = kGameSaveOldestVersion; v <= kGameSaveVersion; ++v) {
    SCOPED_TRACE(v);
    ArchiveBuilder save;
    save.Add("GAMESAVEDATA1", LegacyEntry(v));
    tree.WriteArchive("game/save.dat", save);
    auto s = Open();
    s->Tables().CreateTable("game table before", 0);
    s->Project()->RequestLoad(1);
    s->Step(16);
    ASSERT_TRUE(s->Running()) << s->StopMessage();
    EXPECT_EQ(s->Store().FindParam("count")->GetInt(), v);
    EXPECT_EQ(s->Store().FindParam("@SelStr")->GetStr(), "sel");
    EXPECT_EQ(s->Interpreter().GetPageName(), "start.ksb");
    EXPECT_EQ(s->Interpreter().PC(), 4);
    EXPECT_EQ(s->Interpreter().Level(), v >= 116 ? 3 : 2);
    ASSERT_EQ(s->Events().Count(), 1);
    EXPECT_EQ(s->Events().Items(0)->Target, s->SceneRoot().ActiveBase()->Handle());
    // Tables of kind 0 come from 123; before, the game's tables stay.
    EXPECT_EQ(s->Tables().FindTable("old table") != nullptr, v >= 123);
    EXPECT_EQ(s->Tables().FindTable("game table before") != nullptr, v < 123);
  }
}

// Status entries of each form: without the tag (version 0: the status variables only), 100 (the
// read marks), 101 (the image cache mode, a byte the scene keeps once the image cache is there)
// and 103 (the status tables). What was read is written back by the next save.
TEST_F(GameSaveTest, StatusEntriesOfOlderVersionsLoadByTheirGates) {
  for (int32_t v : {0, 100, 101, 103}) {
    SCOPED_TRACE(v);
    LeWriter w;
    if (v > 0) w.Raw("Status" + std::to_string(v));
    w.I32(1).U8(1).Str("plays").I32(0).I32(1).I32(v + 5).U8(1).U8(0).I32(-1).U8(0);
    if (v >= 100) {
      TReadMarksRecord marks;
      marks.Pages.push_back({"intro.ksb", {3}, {0}});
      TMemoryStream m;
      marks.SaveToStream(m);
      w.Raw(m.Bytes());
    }
    if (v >= 101) w.U8(1);
    if (v >= 103) TableSection(w, 1, "kept", 31);
    ArchiveBuilder save;
    save.Add("STATUSSAVEDATA", Bytes(w.Bytes()));
    tree.WriteArchive("game/save.dat", save);

    auto s = Open();
    EXPECT_EQ(s->Store().FindParam("plays")->GetInt(), v + 5);
    const auto* kept = s->Tables().FindTable("kept");
    ASSERT_EQ(kept != nullptr, v >= 103);
    if (kept) {
      int32_t n = 0;
      EXPECT_TRUE(kept->GetIntAt(0, 0, n));
      EXPECT_EQ(n, 31);
    }
    ASSERT_TRUE(s->Project()->DoSave(1, "", "one", 0));
    const std::string entry = Entry("STATUSSAVEDATA");
    TSpanStream written(std::span(reinterpret_cast<const uint8_t*>(entry.data()), entry.size()));
    written.SetPosition(9);
    TParamCollection scratch;
    scratch.LoadStatus(written, 103);
    TReadMarksRecord read;
    read.LoadFromStream(written, 103);
    EXPECT_EQ(read.Pages.size(), v >= 100 ? 1u : 0u);
    // The cache mode: kept by the scene's image cache, written back after the read marks.
    EXPECT_EQ(s->SceneRoot().ImageCacheMode(), v >= 101 ? 1 : 0);
    EXPECT_EQ(ReadStreamByte(written), v >= 101 ? 1 : 0);
  }
}

// The game entry of the newest version and the status entry, written byte by byte, load into a
// game and save back the same bytes; every shorter cut of them is refused. A status entry is read
// at open, into a store without status variables (its variables are added to the store), so each
// load drops them first.
TEST_F(GameSaveTest, TheNewestEntriesLoadAndSaveBackTheSameBytes) {
  auto s = Open();
  const std::string game = LegacyEntry(kGameSaveVersion, "", "\x01" "BASE0");
  ExpectRecordRoundTrip(
      std::vector<uint8_t>(game.begin(), game.end()), [&](TStream& in) { s->Project()->ReadGame(in); },
      [&](TStream& out) { s->Project()->SaveGame(out, "old", "", 0); });
  EXPECT_EQ(s->Store().FindParam("count")->GetInt(), kGameSaveVersion);

  LeWriter status;
  status.Raw("Status" + std::to_string(kStatusSaveVersion));
  status.I32(1).U8(1).Str("plays").I32(0).I32(1).I32(12).U8(1).U8(0).I32(-1).U8(0);
  // The read marks: one page with two marks, the pending mark.
  status.I32(1).Str("intro.ksb").I32(2).I32(3).I32(8).I32(0).I32(1);
  status.Str("intro.ksb").I32(9).I32(0).Str("mes");
  status.U8(1);  // the image cache mode
  TableSection(status, 1, "kept", 31);
  ExpectRecordRoundTrip(
      status.Bytes(),
      [&](TStream& in) {
        TParamCollection& store = s->Store();
        for (int32_t i = store.Count() - 1; i >= 0; --i) {
          if (store.Items(i)->StatusFlag) store.Delete(i);
        }
        s->Project()->ReadStatusEntry(in);
      },
      [&](TStream& out) { s->Project()->WriteStatus(out); });
  EXPECT_EQ(s->Store().FindParam("plays")->GetInt(), 12);
  EXPECT_EQ(s->SceneRoot().ImageCacheMode(), 1);
  EXPECT_TRUE(s->SceneRoot().ReadMarks()->IsRead("intro.ksb", 8, 1));
}

// The history section's stored form, a record with every field set, through a save and a load;
// cut anywhere it fails cleanly.
TEST(HistoryRecordTest, RoundTripAndTruncation) {
  THistoryRecord h;
  h.Legacy.push_back({"old.ksb", 1, 2, 300, 200});
  h.Pending = {"now.ksb", 4, 5, 6, 7};
  h.MesName = "mes";
  h.Limit = 50;
  h.Layout = {1, 2, 3, 4, 5, 6};
  h.First = 8;
  h.Last = 9;
  h.Entries.push_back({{{"a.ksb", 1, 0, -1, 20, "v=1"}, {"", 2, 3, 4, 5, ""}}, 25});
  h.VarText = "w=2";
  TMemoryStream out;
  h.SaveToStream(out);
  TMemoryStream again;
  {
    out.SetPosition(0);
    THistoryRecord read;
    read.LoadFromStream(out, 129);
    EXPECT_EQ(out.Remaining(), 0);
    read.SaveToStream(again);
  }
  EXPECT_TRUE(std::equal(out.Bytes().begin(), out.Bytes().end(), again.Bytes().begin(), again.Bytes().end()));
  for (int64_t n = 0; n < out.Size(); ++n) {
    TSpanStream cut(out.Bytes().subspan(0, size_t(n)));
    THistoryRecord read;
    EXPECT_THROW(read.LoadFromStream(cut, 129), EKovaError) << n;
  }
}

}  // namespace
}  // namespace kova::test
