// Input routing: the mouse step (hits, capture, hover, wheel, right-click scrap, pointer shape),
// keys with auto-repeat, focus, and the scripted input source.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/utils.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;
using Events = std::vector<std::string>;

TEST(MouseStepTest, LeftPressSkipsHoverOnlyControls) {
  SceneDriver scene;
  StubBox* below = scene.Box("below", TRect{0, 0, 40, 40});
  below->SetOnLBtnDown("down");
  StubBox* above = scene.Box("above", TRect{10, 10, 30, 30});
  above->SetOnLBtnDown("never");
  above->SetOnMouseIn("in");
  above->SetIgnoreMouse(2);
  above->SetPriority(1);
  scene.Input(TInputKind::Move, 15, 16);
  EXPECT_EQ(scene.Frame(), (Events{"above 103 in"}));
  scene.Input(TInputKind::LDown, 15, 16);
  EXPECT_EQ(scene.Frame(), (Events{"below 36 down 15 16"}));
}

TEST(MouseStepTest, PressCapturesUntilReleaseAnywhere) {
  SceneDriver scene;
  StubBox* a = scene.Box("a", TRect{0, 0, 20, 20});
  a->SetOnLBtnDown("a_down");
  a->SetOnLBtnUp("a_up");
  a->SetOnMouseOut("a_out");
  StubBox* b = scene.Box("b", TRect{30, 0, 50, 20});
  b->SetOnMouseIn("b_in");
  b->SetOnMouseMove("b_move");
  scene.Input(TInputKind::LDown, 5, 5);
  EXPECT_EQ(scene.Frame(), (Events{"a 36 a_down 5 5"}));
  scene.Input(TInputKind::Move, 40, 5);
  EXPECT_EQ(scene.Frame(), Events{});  // captured: b hears nothing
  scene.Input(TInputKind::LUp, 45, 6);
  EXPECT_EQ(scene.Frame(), (Events{"a 37 a_up 45 6"}));
  scene.Input(TInputKind::Move, 44, 6);
  EXPECT_EQ(scene.Frame(), (Events{"a 35 a_out", "b 103 b_in", "b 34 b_move 14 6"}));
  EXPECT_EQ(scene.root.ActiveBase()->HoverControl(), b);
  EXPECT_EQ(scene.Frame(), Events{});  // no move, no event
}

TEST(MouseStepTest, WheelAndRightButton) {
  SceneDriver scene;
  StubBox* a = scene.Box("a", TRect{0, 0, 20, 20});
  a->SetOnWheelUp("up");
  a->SetOnWheelDown("down");
  a->SetOnRBtnDown("r");
  a->SetOnRBtnUp("ru");
  scene.Input(TInputKind::Move, 1, 2);
  scene.Frame();
  scene.Input(TInputKind::WheelUp);
  EXPECT_EQ(scene.Frame(), (Events{"a 41 up"}));
  scene.Input(TInputKind::WheelDown);
  EXPECT_EQ(scene.Frame(), (Events{"a 40 down"}));
  scene.Input(TInputKind::RDown, 1, 2);
  EXPECT_EQ(scene.Frame(), (Events{"a 38 r 1 2"}));
  scene.Input(TInputKind::RUp, 1, 2);
  EXPECT_EQ(scene.Frame(), (Events{"a 39 ru 1 2"}));
}

// A kind that frees itself when the pointer enters it.
class Vanishing : public StubBox {
 public:
  using StubBox::StubBox;
  void MouseIn(TKovaControl*) override { Root()->DeleteComponent(this); }
};

TEST(MouseStepTest, AControlFreedByItsOwnHandlerIsNotUsedAgain) {
  SceneDriver scene;
  auto* v = new Vanishing(&scene.root);
  v->SetParent(scene.root.ActiveBase());
  v->SetBounds(0, 0, 10, 10);
  v->SetOnMouseMove("move");
  scene.Input(TInputKind::Move, 5, 5);
  EXPECT_EQ(scene.Frame(), Events{});
  EXPECT_EQ(scene.root.GetComponentCount(), 0);
  EXPECT_EQ(scene.root.ActiveBase()->HoverControl(), nullptr);
}

// A kind that takes right clicks on itself (as the map image does).
class Scrap : public StubBox {
 public:
  using StubBox::StubBox;
  bool GetRClickScrap() const override { return true; }
  bool ItemHitTest(TPoint p) override { return PointInRect(p, GetBoundsRect()); }
};

TEST(MouseStepTest, RightClickScrapConsumesTheClick) {
  SceneDriver scene;
  StubBox* a = scene.Box("a", TRect{0, 0, 40, 40});
  a->SetOnRBtnDown("r");
  auto* s = new Scrap(&scene.root);
  s->SetParent(scene.root.ActiveBase());
  s->SetBounds(0, 0, 10, 10);
  s->SetIgnoreMouse(3);
  scene.root.ScrapList().AddUnique(s);
  scene.Input(TInputKind::RDown, 5, 5);
  EXPECT_EQ(scene.Frame(), Events{});
  scene.Input(TInputKind::RUp, 5, 5);
  scene.Frame();
  scene.Input(TInputKind::RDown, 20, 20);
  EXPECT_EQ(scene.Frame(), (Events{"a 38 r 20 20"}));
}

TEST(MouseStepTest, PointerShapeChangesOncePerChange) {
  SceneDriver scene;
  scene.Box("a", TRect{0, 0, 10, 10})->SetCursor("hand.cur");
  scene.Box("b", TRect{20, 0, 30, 10})->SetCursor("hand.cur");
  for (int x : {5, 6, 25, 40, 41, 5}) {
    scene.Input(TInputKind::Move, x, 5);
    scene.Frame();
  }
  EXPECT_EQ(scene.host.cursors, (std::vector<std::string>{"hand.cur", "", "hand.cur"}));
}

TEST(KeyTest, HeldKeyRepeatsAfterTheDelayThenEveryInterval) {
  SceneDriver scene;
  StubBox* box = scene.Box("k", TRect{0, 0, 10, 10});
  box->SetHandleKey(true);
  box->SetOnKeyDown("down");
  box->SetOnKeyRepeat("rep");
  box->SetOnKeyUp("up");
  scene.Frame();
  scene.Key(TInputKind::KeyDown, 32);
  std::vector<int> repeat_frames;
  int downs = 0;
  for (int f = 0; f < 60; ++f) {  // 960 ms at 16 ms a frame
    for (const std::string& e : scene.Frame()) {
      if (e == "k 144 down") ++downs;
      if (e == "k 146 rep") repeat_frames.push_back(f);
    }
    EXPECT_EQ(scene.root.GetKeyDown(32), true);
  }
  EXPECT_EQ(downs, 1);
  ASSERT_GE(repeat_frames.size(), 3u);
  EXPECT_EQ(repeat_frames[0], 0);  // with the key-down
  // The next after 300 ms: the countdown reaches 0 in the 19th frame's step, heard in the 20th.
  EXPECT_EQ(repeat_frames[1], 19);
  for (size_t i = 2; i < repeat_frames.size(); ++i) {
    const int gap = repeat_frames[i] - repeat_frames[i - 1];
    EXPECT_TRUE(gap == 3 || gap == 4) << gap;  // 50 ms at 16 ms a frame, never two in one frame
  }
  EXPECT_EQ(repeat_frames.size(), 14u);  // the first, then (944 - 300) / 50 + 1
  scene.Key(TInputKind::KeyUp, 32);
  const Events last = scene.Frame();
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last.back(), "k 145 up");
  EXPECT_FALSE(scene.root.GetKeyDown(32));
}

TEST(KeyTest, PressedAndRepeatTablesAreLatchedPerFrame) {
  SceneDriver scene;
  scene.Key(TInputKind::KeyDown, 65);
  scene.Frame();
  EXPECT_TRUE(scene.root.GetKeyPressed(65));
  EXPECT_TRUE(scene.root.GetKeyRepeat(65));
  scene.Frame();
  EXPECT_FALSE(scene.root.GetKeyPressed(65));
  EXPECT_FALSE(scene.root.GetKeyRepeat(65));
  scene.root.ClearKeys();
  EXPECT_FALSE(scene.root.GetKeyDown(65));
}

TEST(FocusTest, ClickHideAndRecalculation) {
  SceneDriver scene;
  StubBox* first = scene.Box("first", TRect{0, 0, 10, 10});
  StubBox* second = scene.Box("second", TRect{20, 0, 30, 10});
  for (StubBox* b : {first, second}) {
    b->SetHandleKey(true);
    b->SetOnFocusIn(b->GetName() + "_in");
    b->SetOnFocusOut(b->GetName() + "_out");
  }
  // The recalculation takes the topmost control that takes keys.
  EXPECT_EQ(scene.Frame(), (Events{"second 148 second_in"}));
  scene.Input(TInputKind::LDown, 5, 5);
  EXPECT_EQ(scene.Frame(), (Events{"second 149 second_out", "first 148 first_in"}));
  scene.Input(TInputKind::LUp, 5, 5);
  scene.Frame();
  first->SetVisible(false);
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  EXPECT_EQ(scene.Frame(), (Events{"first 149 first_out", "second 148 second_in"}));
  // Freeing the focused control clears the focus.
  scene.root.DeleteComponent(second);
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  EXPECT_TRUE(scene.root.FocusRecalcRequested());
}

TEST(InputScriptTest, ParsesTheTextFormAndFeedsByFrame) {
  TSceneInputScript script;
  std::string error;
  ASSERT_TRUE(script.Parse("# a comment\n2 ldown 5 6\n1 move 1 1  # trailing\n\n2 keydown 13\r\n3 wheelup\n", error))
      << error;
  ASSERT_EQ(script.Events().size(), 4u);
  EXPECT_EQ(script.Events()[0].Frame, 1);
  EXPECT_EQ(script.Events()[1].Kind, TInputKind::LDown);
  const std::pair<const char*, const char*> bad[] = {
      {"0 move 1 1", "line 1: the frame must be a number from 1"},
      {"1 jump", "line 1: unknown event"},
      {"\n1 move 1", "line 2: wrong number of arguments"},
      {"1 keydown 256", "line 1: the key must be a number from 0 to 255"},
      {"1 move a b", "line 1: bad position"},
      {"x", "line 1: the frame must be a number from 1"},
      {"1 text", "line 1: the text is missing"},
      {"1 text ", "line 1: the text is missing"},
      {"0 text a", "line 1: the frame must be a number from 1"},
  };
  for (auto [text, message] : bad) {
    TSceneInputScript s;
    EXPECT_FALSE(s.Parse(text, error)) << text;
    EXPECT_EQ(error, message);
    EXPECT_TRUE(s.Events().empty());
  }

  SceneDriver scene;
  StubBox* a = scene.Box("a", TRect{0, 0, 10, 10});
  a->SetOnLBtnDown("down");
  scene.input = script;
  scene.Frame();
  EXPECT_EQ(scene.root.ActiveBase()->MousePos(), (TPoint{1, 1}));
  EXPECT_EQ(scene.Frame(), (Events{"a 36 down 5 6"}));
  EXPECT_TRUE(scene.root.GetKeyDown(13));
}

}  // namespace
}  // namespace kova
