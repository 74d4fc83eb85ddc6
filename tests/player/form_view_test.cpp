// The main window on the headless desktop: start-up and placement, the frame loop (pacing, long
// gaps, no work while inactive), input into the scene, full screen, a game played to its end, and
// the shutdown of every exit path.
#include "player/form_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "core/messages.h"
#include "core/vocabulary.h"
#include "media/media_layer.h"
#include "player/headless_desktop.h"
#include "player/program_entry.h"
#include "player_test_util.h"
#include "support/sound_writer.h"

namespace kova::test {
namespace {

using plat::TEvent;
using plat::TEventKind;
using plat::TMouseButton;
using E = ExprBuilder;

TEvent Ev(TEventKind kind, int32_t x = 0, int32_t y = 0, TMouseButton button = TMouseButton::None) {
  TEvent e;
  e.kind = kind;
  e.pos = plat::TPoint{x, y};
  e.button = button;
  return e;
}

TEvent Key(TEventKind kind, int32_t key, bool repeat = false) {
  TEvent e;
  e.kind = kind;
  e.key = key;
  e.repeat = repeat;
  return e;
}

// A start page that waits forever, 16 ms at a time.
PageWriter EndlessPage() {
  PageWriter p;
  p.While(Yes(), 3);                          // 0
  p.Indent(1).Wait(NoResult(), Value(I(16)));  // 1
  p.Indent(0).WhileLoop(NoResult(), 0);        // 2
  return p;
}

class FormViewTest : public ::testing::Test {
 protected:
  // Opens a game of the page in a view.
  bool Open(const PageWriter& start, int32_t width = 64, int32_t height = 48, uint8_t pacing = 1) {
    game = WriteLooseGame(tree, "game", start, width, height, pacing);
    view = std::make_unique<TFormView>(desktop, TSoundSettings{});
    TLaunchInfo launch;
    launch.ProgramFolder = tree.Path("bin");
    launch.Params = {game};
    return view->Create(launch, "");
  }
  plat::THeadlessWindow& Window() { return *desktop.Opened().at(0).window; }
  plat::THeadlessPresenter& Picture() { return *desktop.Opened().at(0).presenter; }
  TKovaBaseList& Root() { return view->Session()->SceneRoot(); }
  TFrameClock& Clock() { return view->Session()->Clock(); }

  GameTree tree;
  THeadlessDesktop desktop;
  std::string game;
  std::unique_ptr<TFormView> view;
};

// The window: the game's size plus the 9-row strip above the picture, centred in the work area
// with its frame, the game's title, shown; the picture 1:1 below the strip.
TEST_F(FormViewTest, StartUpSizesAndCentresTheWindow) {
  desktop.display.SetWorkArea(plat::TScreenRect{100, 50, 1124, 818});
  desktop.frame = plat::THeadlessWindow::TFrame{4, 24, 4, 4};
  ASSERT_TRUE(Open(EndlessPage(), 64, 48));
  plat::THeadlessWindow& w = Window();
  EXPECT_EQ(w.ClientSize(), (plat::TSize{64, 57}));
  EXPECT_EQ(w.FrameSize(), (plat::TSize{72, 85}));
  EXPECT_EQ(w.Position(), (plat::TPoint{100 + (1024 - 72) / 2, 50 + (768 - 85) / 2}));
  EXPECT_EQ(w.Caption(), "\x83\x65\x83\x58\x83\x67");
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(w.Viewport().Picture(), (plat::TScreenRect{0, 9, 64, 57}));
  ASSERT_NE(view->Screen(), nullptr);
  EXPECT_EQ(view->Screen()->BitCount(), 32);
  EXPECT_EQ(Root().GetWidth(), 64);
  EXPECT_TRUE(view->AppActive());
}

// Pacing sleeps out the frame (at least 2 ms); a gap over 3000 ms is dropped without a step.
TEST_F(FormViewTest, TheIdlePassPacesFramesAndDropsLongGaps) {
  ASSERT_TRUE(Open(EndlessPage()));
  int32_t step_ms = 0;
  view->Session()->SetFrameInput([&](int64_t) { desktop.clock.Advance(uint32_t(step_ms)); });
  const std::pair<int32_t, uint32_t> pacing[] = {{0, 16}, {5, 11}, {20, 2}, {16, 2}};
  for (const auto& [ms, sleep] : pacing) {
    step_ms = ms;
    desktop.clock.ClearSleeps();
    EXPECT_FALSE(view->Idle());
    ASSERT_EQ(desktop.clock.Sleeps().size(), 1u);
    EXPECT_EQ(desktop.clock.Sleeps()[0], sleep) << "a step of " << ms << " ms";
  }
  step_ms = 0;
  const int64_t steps = view->Steps();
  const int32_t game_clock = Clock().GameClock;
  desktop.clock.Advance(10000);
  EXPECT_FALSE(view->Idle());  // only the count restarts
  EXPECT_EQ(view->Steps(), steps);
  EXPECT_EQ(Clock().GameClock, game_clock);
  desktop.clock.Advance(7);
  EXPECT_FALSE(view->Idle());
  EXPECT_EQ(view->Steps(), steps + 1);
  EXPECT_EQ(Clock().GameClock, game_clock + 7);
  EXPECT_EQ(Clock().FrameDelta, 7);
}

TEST_F(FormViewTest, WithoutPacingNothingSleeps) {
  ASSERT_TRUE(Open(EndlessPage(), 64, 48, 0));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(view->Idle());
  EXPECT_TRUE(desktop.clock.Sleeps().empty());
  EXPECT_EQ(view->Steps(), 3);
}

// Away from the window nothing runs; the time away is not counted and the keys held are let go.
TEST_F(FormViewTest, AnInactiveWindowWaitsAndForgetsItsKeys) {
  ASSERT_TRUE(Open(EndlessPage()));
  view->Idle();
  view->Dispatch(Key(TEventKind::KeyDown, 0x41));
  EXPECT_TRUE(Root().GetKeyDown(0x41));
  view->Dispatch(Ev(TEventKind::Deactivate));
  EXPECT_FALSE(view->AppActive());
  EXPECT_FALSE(Root().GetKeyDown(0x41));
  const int64_t steps = view->Steps();
  const int32_t game_clock = Clock().GameClock;
  EXPECT_TRUE(view->Idle());
  EXPECT_EQ(view->Steps(), steps);
  desktop.clock.Advance(2500);
  view->Dispatch(Ev(TEventKind::Activate));
  EXPECT_FALSE(view->Idle());
  EXPECT_EQ(view->Steps(), steps + 1);
  EXPECT_EQ(Clock().GameClock, game_clock);
}

// The sound pauses while the window does not have the user's attention and plays on after.
TEST_F(FormViewTest, AnInactiveWindowPausesItsSoundAndGoesOnWithItWhenActiveAgain) {
  ToneSpec tone;
  tone.frames = 441000;  // ten seconds
  tree.WriteFile("game/tone.wav", WavTone(tone));
  PageWriter start;
  start.Component(42, {{PR_NAME, Value(S("tone"))}, {PR_SOURCE, Value(S("tone.wav"))}});  // Sound
  start.While(Yes(), 4);                       // 1
  start.Indent(1).Wait(NoResult(), Value(I(16)));  // 2
  start.Indent(0).WhileLoop(NoResult(), 1);    // 3
  ASSERT_TRUE(Open(start));
  for (int i = 0; i < 3; ++i) view->Idle();
  TMediaManager* sounds = view->Session()->Media().Layer().Manager(TMediaKind::Ogg);
  ASSERT_TRUE(sounds);
  ASSERT_EQ(sounds->Items().size(), 1u);
  TDMediaItem& item = *sounds->Items()[0];
  EXPECT_TRUE(item.IsPlaying());
  view->Dispatch(Ev(TEventKind::Deactivate));
  EXPECT_TRUE(item.IsPaused());
  EXPECT_FALSE(item.IsPlaying());
  view->Dispatch(Ev(TEventKind::Deactivate));  // a second time changes nothing
  view->Dispatch(Ev(TEventKind::Activate));
  EXPECT_FALSE(item.IsPaused());
  EXPECT_TRUE(item.IsPlaying());
}

TEST_F(FormViewTest, InputReachesTheSceneAsTheRulesSay) {
  ASSERT_TRUE(Open(EndlessPage()));
  TKovaBase& active = *Root().ActiveBase();
  TKovaBase& other = *Root().Bases(Root().ActiveIndex() ^ 1);
  // Moves land on both layers.
  view->Dispatch(Ev(TEventKind::MouseMove, 10, 20));
  EXPECT_EQ(active.MousePos(), (TPoint{10, 20}));
  EXPECT_EQ(other.MousePos(), (TPoint{10, 20}));
  // Each button keeps its own state; the middle one is ignored.
  view->Dispatch(Ev(TEventKind::MouseDown, 10, 20, TMouseButton::Left));
  view->Dispatch(Ev(TEventKind::MouseDown, 10, 20, TMouseButton::Right));
  view->Dispatch(Ev(TEventKind::MouseDown, 10, 20, TMouseButton::None));
  EXPECT_TRUE(active.LeftPress && active.RightPress);
  EXPECT_TRUE(active.LeftHeld && other.LeftHeld && active.RightHeld && other.RightHeld);
  view->Dispatch(Ev(TEventKind::MouseUp, 10, 20, TMouseButton::Right));
  EXPECT_TRUE(active.LeftHeld);
  EXPECT_FALSE(active.RightHeld || other.RightHeld);
  // Wheel turns latch on the active layer.
  TEvent wheel = Ev(TEventKind::Wheel);
  wheel.wheel = 1;
  view->Dispatch(wheel);
  wheel.wheel = -2;
  view->Dispatch(wheel);
  EXPECT_TRUE(active.WheelUpPress && active.WheelDownPress);
  // Keys: a repeat and a code above 255 change nothing.
  view->Dispatch(Key(TEventKind::KeyDown, 0x0D));
  view->Dispatch(Key(TEventKind::KeyDown, 0x20, true));
  view->Dispatch(Key(TEventKind::KeyDown, 300));
  view->Idle();
  EXPECT_TRUE(Root().GetKeyDown(0x0D));
  EXPECT_TRUE(Root().GetKeyPressed(0x0D));
  EXPECT_FALSE(Root().GetKeyDown(0x20));
  EXPECT_FALSE(Root().GetKeyPressed(300 & 255));
  view->Dispatch(Key(TEventKind::KeyUp, 0x0D));
  EXPECT_FALSE(Root().GetKeyDown(0x0D));

  // While inactive a press changes nothing, a release still clears.
  view->Dispatch(Ev(TEventKind::Deactivate));
  active.LeftPress = false;
  view->Dispatch(Ev(TEventKind::MouseDown, 1, 1, TMouseButton::Right));
  view->Dispatch(Key(TEventKind::KeyDown, 0x41));
  EXPECT_FALSE(active.RightPress || active.RightHeld);
  EXPECT_FALSE(Root().GetKeyDown(0x41));
  view->Dispatch(Ev(TEventKind::MouseUp, 1, 1, TMouseButton::Left));
  EXPECT_FALSE(active.LeftHeld || other.LeftHeld);
}

// The script's pointer variables move the window's pointer (the other coordinate kept), in window
// coordinates below the strip.
TEST_F(FormViewTest, TheScriptMovesTheWindowsPointer) {
  PageWriter p;
  p.Calc(Assign("@MouseX", I(10)));  // 0
  p.Calc(Assign("@MouseY", I(20)));  // 1
  p.While(Yes(), 4);                 // 2
  p.Indent(1).Wait(NoResult(), Value(I(16)));
  p.Indent(0).WhileLoop(NoResult(), 2);
  ASSERT_TRUE(Open(p));
  view->Dispatch(Ev(TEventKind::MouseMove, 3, 4));
  view->Idle();
  EXPECT_EQ(Window().Warps(), (std::vector<plat::TPoint>{{10, 4 + 9}, {3, 20 + 9}}));
}

// Full screen covers the desktop with the picture scaled, aspect kept; leaving puts the window
// back; a refused or impossible switch leaves the window as it was.
TEST_F(FormViewTest, FullScreenScalesAndFallsBackToTheWindow) {
  desktop.display.SetModes({{1024, 768, 32, 60}, {800, 600, 32, 60}, {32, 32, 32, 60}});
  ASSERT_TRUE(Open(EndlessPage(), 64, 40));
  plat::THeadlessWindow& w = Window();
  const plat::TWindowPlacement before = w.SavePlacement();
  EXPECT_EQ(view->DisplayModeCount(), 2);
  EXPECT_EQ(view->DisplayModeIndex(), 0);
  TDisplayMode mode;
  EXPECT_TRUE(view->GetDisplayMode(1, mode));
  EXPECT_EQ(mode.Width, 800);
  EXPECT_FALSE(view->GetDisplayMode(2, mode));

  const int32_t presents = Picture().PresentCount();
  view->SetFullScreen(true);
  EXPECT_TRUE(view->FullScreen());
  EXPECT_TRUE(w.IsFullScreen());
  EXPECT_EQ(w.Viewport().Picture(), (plat::TScreenRect{0, 64, 1024, 704}));  // 16 times, bars above and below
  EXPECT_GT(Picture().PresentCount(), presents);  // painted again whole

  // Another listed mode keeps full screen; one the display does not list takes the window back,
  // and the index stays as the script set it.
  view->ApplyFullScreenMode(1);
  EXPECT_TRUE(view->FullScreen());
  EXPECT_EQ(view->Screen()->CurrentMode(), 1);
  view->ApplyFullScreenMode(7);
  EXPECT_FALSE(view->FullScreen());
  EXPECT_EQ(view->DisplayModeIndex(), 7);
  EXPECT_EQ(w.SavePlacement(), before);
  EXPECT_EQ(w.Viewport().Picture(), (plat::TScreenRect{0, 9, 64, 49}));
  view->SetFullScreen(true);  // index 7 is no mode: nothing happens
  EXPECT_FALSE(view->FullScreen());

  view->ApplyFullScreenMode(0);
  w.RefuseFullScreen(true);
  view->SetFullScreen(true);
  EXPECT_FALSE(view->FullScreen());
  EXPECT_EQ(w.SavePlacement(), before);
  w.RefuseFullScreen(false);
  view->SetFullScreen(true);
  ASSERT_TRUE(view->FullScreen());
  view->SetFullScreen(false);
  EXPECT_FALSE(w.IsFullScreen());
  EXPECT_EQ(w.SavePlacement(), before);
}

// A game that is red until the player clicks, then turns blue, asks for full screen and ends: the
// whole loop on the headless desktop, input from the event script.
TEST_F(FormViewTest, PlaysAGameToItsEnd) {
  PageWriter start;
  start.Calc(SetLayerColour("BASE0", 0x0000FF));                             // 0: red
  start.While(Compare(E::Equal, V("@LClick"), I(0)), 4);                      // 1
  start.Indent(1).Wait(NoResult(), Value(I(16)));                            // 2
  start.Indent(0).WhileLoop(NoResult(), 1);                                  // 3
  start.Calc(SetLayerColour("BASE0", 0xFF0000));                             // 4: blue
  start.Calc(Assign("@FullScr", I(1)));                                      // 5
  start.Calc(Assign("@MouseX", I(30)));                                      // 6
  start.Wait(NoResult(), Value(I(100)));                                     // 7
  start.Terminate();                                                         // 8
  ASSERT_TRUE(Open(start));
  plat::TScriptedEvents& events = desktop.Script(0);
  events.Add(20, Ev(TEventKind::MouseMove, 30, 20));
  events.Add(20, Ev(TEventKind::MouseDown, 30, 20, TMouseButton::Left));
  events.Add(21, Ev(TEventKind::MouseUp, 30, 20, TMouseButton::Left));
  for (int i = 0; i < 19; ++i) view->Idle();
  EXPECT_EQ(Picture().Pixel(5, 5), 0xFF0000u);
  EXPECT_EQ(view->Run(), 0);
  EXPECT_EQ(Picture().Pixel(5, 5), 0x0000FFu);
  EXPECT_EQ(Picture().Pixel(63, 47), 0x0000FFu);
  EXPECT_TRUE(Window().IsFullScreen());
  ASSERT_FALSE(Window().Warps().empty());
  EXPECT_EQ(Window().Warps().back(), Window().Viewport().ToWindow(plat::TPoint{30, 20}));
  EXPECT_TRUE(view->QuitRequested());
  EXPECT_EQ(view->Session(), nullptr);  // shut down
  view->Close();                        // a second shutdown does nothing
}

// The handler page of an edit's notify event: the layer turns green when the key was Enter and
// the text "abc".
PageWriter EnterAbcPage() {
  PageWriter typed;
  typed.If(E().Op(E::DimTo, "____0", {V("@ParamStr"), I(0)})
               .Op(E::Equal, "____1", {V("____0"), S("13")})
               .Op(E::DimTo, "____2", {V("@ParamStr"), I(1)})
               .Op(E::Equal, "____3", {V("____2"), S("abc")})
               .Op(E::And, "____4", {V("____1"), V("____3")})
               .Result(V("____4")));
  typed.Indent(1).Calc(SetLayerColour("BASE0", 0x00FF00)).Indent(0);
  return typed;
}

// Typing into an edit: the window's keys and text go to its field, Enter queues the notify event
// with the text, whose handler runs; nothing of the field is drawn into the picture.
TEST_F(FormViewTest, KeysAndTextTypedIntoAnEditReachItsField) {
  constexpr int32_t kEditNew = 43, kOnNotify = 33, kName = 0, kLeft = 5, kTop = 6, kWidth = 3, kHeight = 4;
  PageWriter start;
  start.Component(kEditNew, {{kName, Value(S("name"))}, {kLeft, Value(I(4))}, {kTop, Value(I(4))},
                             {kWidth, Value(I(40))}, {kHeight, Value(I(14))}, {kOnNotify, Value(S("typed.ksb"))}});
  start.Calc(SetLayerColour("BASE0", 0x0000FF));
  start.Wait(NoResult(), Value(I(100000)));
  ASSERT_TRUE(Open(start));
  tree.WriteFile("game/typed.ksb", EnterAbcPage().Bytes());
  plat::TScriptedEvents& events = desktop.Script(0);
  events.Add(3, Key(TEventKind::KeyDown, 'A'));
  TEvent abc;
  abc.kind = TEventKind::TextInput;
  abc.text = "abc";
  events.Add(3, abc);
  events.Add(3, Key(TEventKind::KeyDown, 13));
  events.Add(4, Key(TEventKind::KeyUp, 13));
  events.Add(6, Ev(TEventKind::Close));
  EXPECT_EQ(view->Run(), 0);
  EXPECT_EQ(Picture().Pixel(50, 40), 0x00FF00u);
  EXPECT_EQ(Picture().Pixel(10, 10), 0x00FF00u);
  plat::TTextFieldSet& fields = *desktop.Opened().at(0).text_fields;
  EXPECT_EQ(fields.FieldCount(), 0);  // the scene is gone, and its fields with it
  EXPECT_FALSE(Window().TextInputOn());
}

// The user's close request ends the loop with status 0; nothing runs after it.
TEST_F(FormViewTest, TheCloseRequestEndsTheGame) {
  ASSERT_TRUE(Open(EndlessPage()));
  desktop.Script(0).Add(5, Ev(TEventKind::Close));
  EXPECT_EQ(view->Run(), 0);
  EXPECT_EQ(view->Steps(), 4);
  EXPECT_EQ(view->Session(), nullptr);
  EXPECT_EQ(view->Window(), nullptr);
  EXPECT_TRUE(view->Idle());
}

// A game that cannot start shows why and leaves nothing running: a missing folder (the project's
// own box), a screen that cannot be made (the start-up's warning).
TEST_F(FormViewTest, AFailedStartShowsWhyAndShutsDown) {
  ScopedEnv runtime("XDG_RUNTIME_DIR", tree.MakeDir("run").c_str());
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunPlayer(ParseCommandLine(std::vector<std::string>{tree.Path("nowhere")}), desktop, ""), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("kovaplayer: "), std::string::npos) << err;
  EXPECT_FALSE(desktop.services.headless_dialogs.Log().empty());
  EXPECT_TRUE(desktop.Opened().empty());
  // Nothing was written into the folders named.
  EXPECT_TRUE(GameTree::ReadHostFile(tree.Path("nowhere/game.ini")).empty());

  desktop.services.headless_dialogs.ClearLog();
  desktop.refuse_windows = "no renderer";
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Open(EndlessPage()));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("no renderer"), std::string::npos);
  ASSERT_EQ(desktop.services.headless_dialogs.Log().size(), 1u);
  EXPECT_EQ(desktop.services.headless_dialogs.Log()[0].text, MsgText(TMsg::ScreenInitError));
  EXPECT_EQ(view->Session(), nullptr);
  EXPECT_EQ(view->Run(), 1);
}

}  // namespace
}  // namespace kova::test
