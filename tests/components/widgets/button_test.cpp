// The button on a 32-bit headless screen, driven by the scene's recorded mouse and keys: hover,
// press, release inside and outside, the clicked animation and the state asked for meanwhile,
// auto-scrap, groups, Enter held on the focused button, and the save form.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "components/widgets/kova_button.h"
#include "components/scene/kova_motion.h"
#include "components/scene/scene_host.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FrameSpec;
using test::LayeredPicture;
using test::Solid;
using Events = std::vector<std::string>;

constexpr uint32_t kNormalRgb = 0x800000, kHoverRgb = 0x008000, kPressedRgb = 0x000080;
constexpr uint32_t kClicked1 = 0x404040, kClicked2 = 0x606060;

class ButtonTest : public ::testing::Test {
 protected:
  ButtonTest() : scene(test::SceneWiring{.pictures = &files}) {
    scene.root.SetColor(0);
    files.Add("n.wxa", LayeredPicture(4, 4, {{Solid(4, 4, kNormalRgb)}}));
    files.Add("h.wxa", LayeredPicture(4, 4, {{Solid(4, 4, kHoverRgb)}}));
    files.Add("p.wxa", LayeredPicture(4, 4, {{Solid(4, 4, kPressedRgb)}}));
    // Two frames of 40 ms.
    files.Add("c.wxa", LayeredPicture(4, 4, {{Solid(4, 4, kClicked1), 40}, {Solid(4, 4, kClicked2), 40}}));
  }
  // A button at (left, 10) with all four states unless `clicked` is off.
  TKovaButton* Button(const std::string& name, int32_t left = 10, bool clicked = true, TKovaControl* parent = nullptr) {
    auto* b = static_cast<TKovaButton*>(scene.root.CreateComponent(KT_BUTTON));
    b->SetName(name);
    b->SetParent(parent ? parent : scene.root.ActiveBase());
    b->SetSource("n.wxa");
    b->SetHoverSource("h.wxa");
    b->SetPressedSource("p.wxa");
    if (clicked) b->SetClickedSource("c.wxa");
    b->SetOnNotify("notify");
    b->SetLeft(left);
    b->SetTop(10);
    return b;
  }
  // The colour on the screen at the button's top left corner, after a frame.
  uint32_t Shown(const TKovaButton* b) { return scene.Pixel(b->GetLeft() + 1, 11) & 0xFFFFFF; }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

TEST_F(ButtonTest, HoverPressAndReleaseInsidePlayTheClickedStateThenReturnToNormal) {
  TKovaButton* b = Button("b");
  scene.Frame();
  EXPECT_EQ(Shown(b), kNormalRgb);
  EXPECT_EQ(b->GetWidth(), 4);
  scene.Input(TInputKind::Move, 11, 11);
  EXPECT_EQ(scene.Frame(), Events{});
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kHover);
  EXPECT_EQ(Shown(b), kHoverRgb);
  scene.Input(TInputKind::LDown, 11, 11);
  scene.Frame();
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kPressed);
  EXPECT_EQ(Shown(b), kPressedRgb);
  EXPECT_EQ(b->Tracking(), 1);
  scene.Input(TInputKind::LUp, 12, 12);
  EXPECT_EQ(scene.Frame(), Events{"b 33 notify"});
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kClicked);
  EXPECT_FALSE(b->GetRepeat());
  EXPECT_EQ(Shown(b), kClicked1);
  // Asked for while the clicked pictures play: only remembered.
  b->SetStateIndex(TKovaButton::kHover);
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kClicked);
  scene.Frame(24);
  scene.Frame(24);
  EXPECT_EQ(Shown(b), kClicked2);
  scene.Frame(24);
  scene.Frame(24);
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kHover);
  EXPECT_EQ(Shown(b), kHoverRgb);
}

TEST_F(ButtonTest, ReleaseOutsideQueuesNothingAndTheButtonTurnsNormal) {
  TKovaButton* b = Button("b");
  scene.Input(TInputKind::LDown, 11, 11);
  scene.Frame();
  scene.Input(TInputKind::Move, 40, 40);
  scene.Frame();
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal);  // pressed only while the pointer is on it
  scene.Input(TInputKind::Move, 12, 11);
  scene.Frame();
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kPressed);
  scene.Input(TInputKind::LUp, 40, 40);
  EXPECT_EQ(scene.Frame(), Events{});
  // The release's move reaches the button as a hover; the next frame finds the pointer outside.
  scene.Frame();
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal);
  EXPECT_EQ(b->Tracking(), 0);
  EXPECT_EQ(Shown(b), kNormalRgb);
}

TEST_F(ButtonTest, AutoScrapAndClickedPictures) {
  struct Case {
    bool clicked, auto_scrap;
    // Frames after the click until the button is gone (-1: it stays, normal again).
    int gone_after;
  };
  for (const Case c : {Case{true, true, 4}, Case{false, true, 1}, Case{false, false, -1}, Case{true, false, -1}}) {
    test::SceneDriver fresh(test::SceneWiring{.pictures = &files});
    auto* b = static_cast<TKovaButton*>(fresh.root.CreateComponent(KT_BUTTON));
    b->SetName("b");
    b->SetParent(fresh.root.ActiveBase());
    b->SetSource("n.wxa");
    if (c.clicked) b->SetClickedSource("c.wxa");
    b->SetAutoScrap(c.auto_scrap);
    b->Click();
    int frames = 0;
    while (fresh.root.FindComponent("b") && frames < 10) {
      fresh.Frame(24);
      ++frames;
    }
    if (c.gone_after < 0) {
      ASSERT_NE(fresh.root.FindComponent("b"), nullptr) << c.clicked;
      EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal) << c.clicked;
    } else {
      EXPECT_EQ(fresh.root.FindComponent("b"), nullptr) << c.clicked;
      EXPECT_EQ(frames, c.gone_after) << c.clicked;
    }
  }
}

TEST_F(ButtonTest, APendingStateWithoutPicturesLeavesTheButtonNormal) {
  auto* b = static_cast<TKovaButton*>(scene.root.CreateComponent(KT_BUTTON));
  b->SetName("b");
  b->SetParent(scene.root.ActiveBase());
  b->SetSource("n.wxa");
  b->SetClickedSource("c.wxa");
  b->Click();
  b->SetStateIndex(TKovaButton::kHover);  // remembered, but there are no hover pictures
  EXPECT_EQ(b->PendingState(), TKovaButton::kHover);
  for (int i = 0; i < 4; ++i) scene.Frame(24);
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal);
  EXPECT_EQ(scene.Pixel(1, 1) & 0xFFFFFF, kNormalRgb);
}

TEST_F(ButtonTest, AGroupKeepsOneMemberSelected) {
  TKovaButton* a = Button("a", 0);
  TKovaButton* b = Button("b", 10);
  TKovaButton* c = Button("c", 20);
  // Without a group a button cannot be selected.
  a->SetSelected(true);
  EXPECT_FALSE(a->GetSelected());
  for (TKovaButton* m : {a, b, c}) m->SetGroupIndex(1);
  // Allow-all-up is off: joining the group selected its first member.
  EXPECT_TRUE(a->GetSelected());
  EXPECT_EQ(a->GetStateIndex(), TKovaButton::kPressed);
  c->SetSelected(true);
  EXPECT_EQ((std::vector<bool>{a->GetSelected(), b->GetSelected(), c->GetSelected()}),
            (std::vector<bool>{false, false, true}));
  EXPECT_EQ(a->GetStateIndex(), TKovaButton::kNormal);
  // Clicking the selected member keeps it selected (and still notifies).
  scene.Input(TInputKind::LDown, 21, 11);
  scene.Frame();
  scene.Input(TInputKind::LUp, 21, 11);
  EXPECT_EQ(scene.Frame(), Events{"c 33 notify"});
  EXPECT_TRUE(c->GetSelected());
  EXPECT_EQ(c->GetStateIndex(), TKovaButton::kPressed);
  // Clicking another moves the selection.
  scene.Input(TInputKind::LDown, 11, 11);
  scene.Frame();
  scene.Input(TInputKind::LUp, 11, 11);
  scene.Frame();
  EXPECT_EQ((std::vector<bool>{a->GetSelected(), b->GetSelected(), c->GetSelected()}),
            (std::vector<bool>{false, true, false}));
  // With allow-all-up (given to every member) the selected one can be released.
  a->SetAllowAllUp(true);
  EXPECT_TRUE(c->GetAllowAllUp());
  b->Click();
  EXPECT_EQ((std::vector<bool>{a->GetSelected(), b->GetSelected(), c->GetSelected()}),
            (std::vector<bool>{false, false, false}));
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal);
}

TEST_F(ButtonTest, EnterHeldOnTheFocusedButtonClicksOnEachRepeat) {
  TKovaButton* b = Button("b", 10, /*clicked=*/false);
  b->SetHandleKey(true);
  scene.root.SetFocusControl(b);
  scene.Frame();
  scene.Key(TInputKind::KeyDown, 13);
  int clicks = 0;
  for (int f = 0; f < 60; ++f) {
    for (const std::string& e : scene.Frame()) clicks += e == "b 33 notify";
  }
  // The key-down's frame, then every 50 ms from 300 ms on (as any key repeats).
  EXPECT_EQ(clicks, 14);
  scene.Key(TInputKind::KeyUp, 13);
  scene.Frame();
  scene.Key(TInputKind::KeyDown, 65);
  for (int f = 0; f < 30; ++f) EXPECT_EQ(scene.Frame(), Events{});
}

TEST_F(ButtonTest, TheSaveFormKeepsSourcesGroupAndSelection) {
  TKovaButton* a = Button("a", 0);
  TKovaButton* b = Button("b", 10);
  for (TKovaButton* m : {a, b}) m->SetGroupIndex(2);
  b->SetSelected(true);
  b->SetOnIdle("idle");
  TMemoryStream saved;
  scene.root.SaveToStream(saved);

  test::SceneDriver other(test::SceneWiring{.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaButton*>(other.root.FindComponent("b"));
  auto* first = dynamic_cast<TKovaButton*>(other.root.FindComponent("a"));
  ASSERT_NE(back, nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(back->GetHoverSource(), "h.wxa");
  EXPECT_EQ(back->GetPressedSource(), "p.wxa");
  EXPECT_EQ(back->GetClickedSource(), "c.wxa");
  EXPECT_EQ(back->GetGroupIndex(), 2);
  EXPECT_EQ(back->GetOnNotify(), "notify");
  EXPECT_EQ(back->GetOnIdle(), "idle");
  EXPECT_TRUE(back->GetSelected());
  EXPECT_FALSE(first->GetSelected());
  EXPECT_EQ(back->GetStateIndex(), TKovaButton::kPressed);
  TMemoryStream again;
  other.root.SaveToStream(again);
  other.root.SetColor(0);
  other.Frame();
  EXPECT_EQ(other.Pixel(11, 11) & 0xFFFFFF, kPressedRgb);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));
}

// A headless screen whose motion files are fake films of 6 ticks (100 ms).
class FilmHost : public THeadlessSceneHost, public ISceneMakers {
 public:
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t, bool) override {
    return nullptr;
  }
  class Film : public ISceneFilm {
   public:
    int32_t Length() const override { return 6; }
    int32_t LoopStart() const override { return 0; }
    bool Relative() const override { return false; }
    void SetOrigin(int32_t, int32_t) override {}
    void SetBasePriority(int32_t) override {}
    int32_t CurrentTick() const override { return tick_; }
    void SetTime(int32_t tick) override { tick_ = tick; }

   private:
    int32_t tick_ = -1;
  };
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string&, TKovaControl&) override { return std::make_unique<Film>(); }
};

TEST(ButtonMotionTest, MotionStatesNeedNoPicturesAndTheClickedMotionEndsTheClick) {
  FilmHost host;
  host.SetScreenSize(32, 24);
  TSceneParts globals(TSceneInputs{.host = &host});
  RegisterSceneKinds(globals.Kinds());
  globals.Makers().Register(host);
  TKovaBaseList& root = globals.Root();
  auto* b = static_cast<TKovaButton*>(root.CreateComponent(KT_BUTTON));
  b->SetName("b");
  b->SetParent(root.ActiveBase());
  b->SetHoverSource("hover.kmt");
  b->SetClickedSource("click.kmt");
  b->SetOnPlayEnd("end");
  TKovaMotion* hover = b->GetMotion();
  EXPECT_EQ(hover, nullptr);  // the normal state has no motion
  b->SetStateIndex(TKovaButton::kHover);
  ASSERT_EQ(b->GetStateIndex(), TKovaButton::kHover);
  hover = b->GetMotion();
  ASSERT_NE(hover, nullptr);
  b->Click();
  ASSERT_EQ(b->GetStateIndex(), TKovaButton::kClicked);
  EXPECT_NE(b->GetMotion(), hover);
  b->SetStateIndex(TKovaButton::kHover);  // remembered for the end of the clicked motion
  int32_t clock = 0, updates = 0;
  while (b->GetStateIndex() == TKovaButton::kClicked && updates < 20) {
    root.SetClock(clock += 16, 16);
    root.Update();
    ++updates;
  }
  EXPECT_EQ(updates, 8);  // the step that starts the motion, then 100 ms of 16 ms frames
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kHover);
  ASSERT_EQ(root.Events().Count(), 1);
  EXPECT_EQ(test::EventText(*root.Events().Items(0)), "b 43 end");
  // A new hover source drops the hover motion; the hover state then has nothing to show.
  b->SetHoverSource("");
  EXPECT_EQ(b->GetMotion(), nullptr);
  b->SetStateIndex(TKovaButton::kNormal);
  b->SetStateIndex(TKovaButton::kHover);
  EXPECT_EQ(b->GetStateIndex(), TKovaButton::kNormal);
}

}  // namespace
}  // namespace kova
