// Objects and controls: geometry, naming, sorting, the parent rules, priority and order, key
// events, cabinets and the object record's version gates.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/scene/kova_cabinet.h"
#include "core/stream.h"
#include "support/le_writer.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;

std::vector<std::string> ChildNames(const TKovaControl& c) {
  std::vector<std::string> names;
  for (const TKovaControl* child : c.Controls()) names.push_back(child->GetName());
  return names;
}

TEST(ControlGeometryTest, ScreenAndDrawPositions) {
  SceneDriver scene;
  TDIBX parent_picture;
  parent_picture.SetSize(200, 10, 32);
  TDIBX own_picture;
  own_picture.SetSize(20, 10, 32);
  struct Case {
    const char* what;
    int32_t left, offset, zoom, width;
    bool flip, pos_zoomed, grid;
    int32_t parent_width;
    int32_t screen, draw;
  };
  const Case cases[] = {
      {"plain", 100, 10, 256, 50, false, false, false, 100, 90, 90},
      {"zoomed offset", 100, 10, 512, 50, false, false, false, 100, 80, 80},
      {"flipped zoomed offset", 100, 10, 512, 100, true, false, false, 100, 100 - 79, 100 - 80},
      {"zoomed position", 50, 0, 512, 10, false, true, false, 100, 100, 100},
      // On the parent's picture grid: 200 picture pixels over 100 control pixels halve positions.
      {"picture grid", 50, 0, 256, 20, false, true, true, 100, 25, 50},
      {"grid flipped", 50, 0, 256, 20, true, true, true, 100, (200 - 50 - 20) / 2, 50 - 20},
      // A parent of width 0 has no grid: the plain rule holds.
      {"grid of zero width", 50, 0, 256, 20, false, true, true, 0, 50, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StubBox* parent = scene.Box("p", TRect{0, 0, c.parent_width, 10});
    parent->dib = c.grid ? &parent_picture : nullptr;
    StubBox* box = scene.Box("b", TRect{c.left, 0, c.left + c.width, 10}, parent);
    box->dib = c.grid ? &own_picture : nullptr;
    box->zoom_x = c.zoom;
    box->flip_h = c.flip;
    box->SetOffsetX(c.offset);
    box->SetPosZoomed(c.pos_zoomed);
    EXPECT_EQ(box->GetScreenLeft(), c.screen);
    EXPECT_EQ(box->GetDrawLeft(), c.draw);
    scene.root.DeleteComponent(parent);
  }
}

TEST(ControlGeometryTest, NestedPositionsFollowParentsAndScroll) {
  SceneDriver scene;
  StubBox* outer = scene.Box("outer", TRect{10, 20, 60, 40});
  outer->scroll_x = 5;
  StubBox* inner = scene.Box("inner", TRect{3, 4, 13, 14}, outer);
  EXPECT_EQ(inner->GetScreenLeft(), 10 - 5 + 3);
  EXPECT_EQ(inner->GetScreenTop(), 24);
  EXPECT_EQ(inner->GetBoundsRect(), (TRect{8, 24, 18, 34}));
  EXPECT_EQ(inner->ClientToScreen(TPoint{1, 1}), (TPoint{9, 25}));
  EXPECT_EQ(inner->GetAnchorPos(), (TPoint{8, 24}));
  // SetLeft drops what a motion moved.
  inner->SetMotionX(7);
  inner->SetLeft(4);
  EXPECT_EQ(inner->GetMotionX(), 0);
}

TEST(ControlNamingTest, TakingANameRenamesItsHolder) {
  struct Case {
    std::vector<std::string> others;  // names held by other controls, the first one is taken
    std::string renamed;
  };
  const Case cases[] = {
      {{"btn"}, "btn_2"},
      {{"btn_3"}, "btn_4"},
      {{"a_1"}, "a_1_2"},
      {{"p_q"}, "p_q_2"},
      {{"btn", "btn_2"}, "btn_3"},
      {{"n_99999999999"}, "n_99999999999_2"},  // a tail beyond int32 is no number
      // A Shift-JIS character whose trail byte is 0x5F is not a "_" separator.
      {{std::string("\x83\x5f" "3")}, std::string("\x83\x5f" "3_2")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.others.front());
    SceneDriver scene;
    std::vector<StubBox*> holders;
    for (const std::string& n : c.others) holders.push_back(scene.Box(n, TRect{}));
    StubBox* taker = scene.Box("x", TRect{});
    taker->SetName(c.others.front());
    EXPECT_EQ(taker->GetName(), c.others.front());
    EXPECT_EQ(holders.front()->GetName(), c.renamed);
  }
}

TEST(ControlNamingTest, NonVisualNameClashSchedulesTheHolderForDeletion) {
  SceneDriver scene;
  auto* first = scene.Timer("t");
  auto* second = scene.Timer("u");
  second->SetName("t");
  EXPECT_EQ(first->GetName(), "");
  EXPECT_TRUE(first->IsPendingDeleteSelf());
  EXPECT_EQ(scene.root.IndexOfComponent(first), 0);
  scene.root.Update();
  EXPECT_EQ(scene.root.IndexOfComponent(first), -1);
  EXPECT_EQ(scene.root.FindComponent("t"), second);
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object0");
}

TEST(ControlTreeTest, SiblingsSortByPriorityOrderThenNameBytes) {
  SceneDriver scene;
  TKovaControl* layer = scene.root.ActiveBase();
  scene.Box(std::string("\x01\x01", 2), TRect{})->SetPriority(-100);
  scene.Box("b", TRect{})->SetPriority(5);
  StubBox* a = scene.Box("a", TRect{});
  a->SetPriority(4);
  a->SetOrder(1);  // 4 + 1 ties with 5 + 0: the name decides
  scene.Box("\x01" "z", TRect{})->SetPriority(100);
  scene.Box("B", TRect{})->SetPriority(5);
  scene.Box("c", TRect{})->SetPriority(-1);
  EXPECT_EQ(ChildNames(*layer),
            (std::vector<std::string>{"\x01" "z", "c", "B", "a", "b", std::string("\x01\x01", 2)}));
  // A new priority resets the order value.
  a->SetPriority(4);
  EXPECT_EQ(a->Order(), 1);
  a->SetPriority(6);
  EXPECT_EQ(a->Order(), 0);
  EXPECT_EQ(ChildNames(*layer).back(), std::string("\x01\x01", 2));
}

TEST(ControlTreeTest, PriorityUnchangedDoesNotInvalidate) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{0, 0, 8, 8});
  box->SetPriority(3);
  scene.root.EndFrame();
  box->SetPriority(3);
  EXPECT_TRUE(scene.root.ActiveBase()->DirtyList().Empty());
  box->SetPriority(4);
  EXPECT_FALSE(scene.root.ActiveBase()->DirtyList().Empty());
}

TEST(ControlTreeTest, ParentCannotBecomeADescendant) {
  SceneDriver scene;
  StubBox* a = scene.Box("a", TRect{});
  StubBox* b = scene.Box("b", TRect{}, a);
  StubBox* c = scene.Box("c", TRect{}, b);
  a->SetParent(c);
  a->SetParent(a);
  EXPECT_EQ(a->GetParent(), scene.root.ActiveBase());
  EXPECT_TRUE(a->ContainsControl(c));
  EXPECT_FALSE(c->ContainsControl(a));
  // Deleting a control frees its whole subtree.
  scene.root.DeleteComponent(a);
  EXPECT_EQ(scene.root.GetComponentCount(), 0);
}

TEST(ControlTreeTest, CabinetHidesAndParksItsContents) {
  SceneDriver scene;
  auto* cabinet = static_cast<TKovaCabinet*>(scene.root.CreateComponent(KT_CABINET));
  ASSERT_NE(cabinet, nullptr);
  cabinet->SetParent(scene.root.ActiveBase());
  StubBox* box = scene.Box("b", TRect{0, 0, 10, 10});
  box->SetOnIdle("idle");
  StubBox* child = scene.Box("c", TRect{0, 0, 5, 5}, box);
  box->SetParent(cabinet);
  EXPECT_EQ(box->media_pauses, 1);
  EXPECT_FALSE(child->GetVisible());
  EXPECT_TRUE(child->IsInCabinet());
  EXPECT_EQ(scene.root.ActiveBase()->HitTest(TPoint{2, 2}, kMaskOther), scene.root.ActiveBase());
  scene.Frame();
  EXPECT_EQ(box->updates + child->updates, 0);
  box->SetParent(scene.root.ActiveBase());
  EXPECT_EQ(box->media_resumes, 1);
  scene.Frame();
  EXPECT_EQ(child->updates, 1);
}

TEST(ControlKeyTest, KeyDownQueuesOnceWhileWaitingOrHandled) {
  SceneDriver scene;
  StubBox* box = scene.Box("k", TRect{0, 0, 10, 10});
  box->SetHandleKey(true);
  box->SetOnKeyDown("down");
  scene.Frame();  // the focus recalculation picks the box
  ASSERT_EQ(scene.root.FocusControl(), box);
  scene.Key(TInputKind::KeyDown, 13);
  EXPECT_EQ(scene.Frame(16, true), (std::vector<std::string>{"k 144 down"}));
  scene.root.Events().Items(0)->Level = 1;  // being handled
  scene.Key(TInputKind::KeyUp, 13);
  scene.Frame(16, true);
  scene.Key(TInputKind::KeyDown, 13);
  scene.Frame(16, true);
  EXPECT_EQ(scene.root.Events().Count(), 1);
  // Paused controls queue nothing.
  scene.root.Events().Clear();
  box->paused = true;
  scene.Key(TInputKind::KeyUp, 13);
  scene.Frame();
  scene.Key(TInputKind::KeyDown, 13);
  EXPECT_TRUE(scene.Frame().empty());
}

TEST(ObjectRecordTest, VersionGatesOfOrderAndTag) {
  struct Case {
    int32_t version;
    int32_t order;
    const char* tag;
  };
  for (const Case& c : {Case{103, 0, ""}, Case{119, 9, ""}, Case{120, 9, "t"}}) {
    SCOPED_TRACE(c.version);
    test::LeWriter w;
    w.Str("name").I32(4);
    if (c.version >= 104) w.I32(9);
    if (c.version >= 120) w.Str("t");
    w.I32(77);  // the stub kind's own field
    SceneDriver scene;
    auto* timer = scene.Timer("x");
    timer->SetTag("old");
    TMemoryStream stream;
    stream.Write(w.Bytes().data(), int64_t(w.Bytes().size()));
    stream.SetPosition(0);
    timer->LoadFromStream(stream, c.version);
    EXPECT_EQ(timer->GetName(), "name");
    EXPECT_EQ(timer->Priority(), 4);
    EXPECT_EQ(timer->Order(), c.order);
    EXPECT_EQ(timer->Tag(), c.tag);
    EXPECT_EQ(timer->extra, 77);
  }
}

}  // namespace
}  // namespace kova
