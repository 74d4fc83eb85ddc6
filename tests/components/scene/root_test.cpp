// The root container: finding components, names, the update pass with deletions, and the scene's
// save form (round trip, version gates, malformed saves).
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/stream.h"
#include "support/le_writer.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;
using test::StubTimer;

constexpr int32_t kVersion = 129;

std::vector<uint8_t> Save(const TKovaBaseList& root) {
  TMemoryStream stream;
  root.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Bytes().begin(), stream.Bytes().end());
}

void Load(TKovaBaseList& root, const std::vector<uint8_t>& bytes, int32_t version = kVersion) {
  TMemoryStream stream;
  stream.Write(bytes.data(), int64_t(bytes.size()));
  stream.SetPosition(0);
  root.LoadFromStream(stream, version);
}

TEST(RootTest, LayerNamesFollowTheFlipOrNot) {
  SceneDriver scene;
  TKovaBase* layer0 = scene.root.Bases(0);
  TKovaBase* layer1 = scene.root.Bases(1);
  EXPECT_EQ(scene.root.FindComponent("BASE0"), layer0);
  EXPECT_EQ(scene.root.FindComponent(""), layer0);
  EXPECT_EQ(scene.root.FindComponent("BASE1"), layer1);
  scene.root.Flip(1, WP_NONE, 0, 0, true, false);
  EXPECT_EQ(scene.root.FindComponent("BASE0"), layer1);
  EXPECT_EQ(scene.root.FindComponent("\x01"), layer0);
  EXPECT_EQ(scene.root.FindControl(kBase0Name), layer0);
  EXPECT_EQ(scene.root.FindControl(""), layer1);
  EXPECT_EQ(scene.root.FindComponent(kBase1Name), layer1);
  EXPECT_EQ(scene.root.FindComponent("nobody"), nullptr);
}

// Every component and both layers have a handle while they live; however one is freed (directly,
// with its parent, by the update pass, by a reset or a load), its handle resolves to nothing.
TEST(RootTest, HandlesResolveExactlyWhileTheirObjectLives) {
  SceneDriver scene;
  TKovaBaseList& root = scene.root;
  StubBox* parent = scene.Box("parent", TRect{});
  StubBox* child = scene.Box("child", TRect{}, parent);
  StubBox* scheduled = scene.Box("scheduled", TRect{});
  StubTimer* timer = scene.Timer("timer");
  TKovaBase* layer = root.Bases(0);
  const std::vector<TKovaObject*> objects{parent, child, scheduled, timer, layer, root.Bases(1)};
  std::vector<TObjectHandle> handles;
  for (TKovaObject* o : objects) {
    ASSERT_TRUE(o->Handle()) << o->GetName();
    EXPECT_EQ(root.Resolve(o->Handle()), o);
    handles.push_back(o->Handle());
  }
  EXPECT_EQ(root.FindHandle("child"), child->Handle());
  EXPECT_EQ(root.FindHandle(""), root.ActiveBase()->Handle());
  EXPECT_EQ(root.FindHandle("nobody"), TObjectHandle{});

  root.DeleteComponent(parent);  // the child goes with it
  scheduled->RemoveFromOwner();
  EXPECT_EQ(root.Resolve(handles[2]), scheduled);  // until the update pass frees it
  root.Update();
  for (size_t i : {0u, 1u, 2u}) EXPECT_EQ(root.Resolve(handles[i]), nullptr) << i;
  EXPECT_EQ(root.Resolve(handles[3]), timer);
  // New components take the freed slots under new generations.
  StubBox* next = scene.Box("next", TRect{});
  for (size_t i : {0u, 1u, 2u}) EXPECT_NE(next->Handle(), handles[i]);

  const std::vector<uint8_t> saved = Save(root);
  Load(root, saved);
  EXPECT_EQ(root.Resolve(handles[3]), nullptr);
  EXPECT_EQ(root.Resolve(handles[4]), nullptr);
  TKovaObject* loaded = root.FindComponent("timer");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(root.FindHandle("timer"), loaded->Handle());
  EXPECT_EQ(root.Resolve(loaded->Handle()), loaded);
  const TObjectHandle layer_handle = root.Bases(0)->Handle();
  EXPECT_EQ(root.Resolve(layer_handle), root.Bases(0));
  root.Reset();
  EXPECT_EQ(root.Resolve(layer_handle), nullptr);
  EXPECT_EQ(root.Resolve(root.Bases(0)->Handle()), root.Bases(0));
}

TEST(RootTest, UniqueNameTakesTheFirstFreeNumber) {
  SceneDriver scene;
  StubBox* a = scene.Box("object0", TRect{});
  scene.Box("object2", TRect{});
  scene.Box("object10", TRect{});
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object1");
  // New components are named by it.
  auto* made = scene.root.CreateComponent(KT_TIMER);
  EXPECT_EQ(made->GetName(), "object1");
  a->SetName("x");
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object0");
}

TEST(RootTest, FactoryAnswersNilForCodesWithoutClass) {
  SceneDriver scene;
  for (uint8_t code : {0, 1, 10, 7, 28, 127, 255}) {
    EXPECT_EQ(scene.root.CreateComponent(code), nullptr) << int(code);
  }
  EXPECT_EQ(scene.root.GetComponentCount(), 0);
  // The code is taken modulo 128.
  TKovaObject* cabinet = scene.root.CreateComponent(KT_CABINET | 128);
  ASSERT_NE(cabinet, nullptr);
  EXPECT_EQ(cabinet->GetCompoType(), KT_CABINET);
}

TEST(RootUpdateTest, FinishedComponentsGoInTheSamePassAndNothingIsSkipped) {
  SceneDriver scene;
  // The child comes before its parent in the component list: deleting the parent takes it out
  // from before the running index.
  StubBox* child = scene.Box("child", TRect{});
  StubBox* parent = scene.Box("parent", TRect{});
  child->SetParent(parent);
  StubTimer* after = scene.Timer("after");
  StubTimer* done = scene.Timer("done");
  StubTimer* last = scene.Timer("last");
  parent->finish = true;
  done->finish = true;
  scene.root.Update();
  EXPECT_EQ(scene.root.GetComponentCount(), 2);
  EXPECT_EQ(after->updates, 1);
  EXPECT_EQ(last->updates, 1);
  EXPECT_EQ(scene.root.IndexOfComponent(after), 0);
}

TEST(RootUpdateTest, PausedAndScheduledComponentsAreNotUpdated) {
  SceneDriver scene;
  StubBox* paused = scene.Box("p", TRect{});
  paused->paused = true;
  paused->finish = true;
  StubTimer* scheduled = scene.Timer("s");
  scheduled->RemoveFromOwner();
  scene.root.Update();
  EXPECT_EQ(paused->updates, 0);
  EXPECT_EQ(scene.root.IndexOfComponent(paused), 0);
  EXPECT_EQ(scene.root.GetComponentCount(), 1);  // the scheduled one is gone
}

TEST(RootUpdateTest, IdleEventsOncePerComponentWhileQueued) {
  SceneDriver scene;
  StubTimer* t = scene.Timer("t");
  t->on_idle = "idle";
  scene.root.Update();
  scene.root.Update();
  ASSERT_EQ(scene.root.Events().Count(), 1);
  EXPECT_EQ(test::EventText(*scene.root.Events().Items(0)), "t 113 idle");
  // A freed component takes its waiting events with it.
  scene.root.DeleteComponent(t);
  EXPECT_EQ(scene.root.Events().Count(), 0);
}

// Two layers with nested controls, non-visual components, queued events and a focused control.
void BuildScene(SceneDriver& scene) {
  StubBox* a = scene.Box("a", TRect{1, 2, 30, 20}, scene.root.Bases(0), 0x123456);
  a->extra = 11;
  a->SetOnLBtnDown("a_down");
  a->SetOnMouseIn("a_in");
  a->SetClipWidth(5);
  a->SetClipHeight(6);
  a->SetTag("tagged");
  StubBox* b = scene.Box("b", TRect{3, 3, 9, 9}, a);
  b->SetHandleKey(true);
  b->SetOnKeyDown("b_key");
  b->SetPriority(7);
  scene.Box("c", TRect{0, 0, 4, 4}, b)->SetIgnoreMouse(2);
  scene.Box("\x01internal", TRect{}, a);  // not saved
  StubBox* d = scene.Box("d", TRect{5, 5, 15, 15}, scene.root.Bases(1));
  d->SetCursor("hand.cur");
  d->SetHandleKey(true);
  StubTimer* t = scene.Timer("timer");
  t->extra = 42;
  t->on_idle = "tick";
  scene.Timer("\x01hidden");
  TArrayString params;
  params.Add("1");
  params.Add("2");
  scene.root.Flip(1, WP_NONE, 0, 0, true, false);
  scene.root.SetFocusControl(d);
  scene.root.Events().AddEvent(a->Handle(), "a_down", &params, PR_ONLBTNDOWN);
  scene.root.Events().AddEvent(t->Handle(), "tick", nullptr, PR_ONIDLE);
  scene.root.Events().Items(1)->Level = 2;
}

TEST(SceneSaveTest, RoundTripsByteForByte) {
  SceneDriver first;
  BuildScene(first);
  const std::vector<uint8_t> saved = Save(first.root);

  SceneDriver second(kDisplay565, 10, 10);
  second.Box("stale", TRect{});
  Load(second.root, saved);
  EXPECT_EQ(Save(second.root), saved);
  EXPECT_EQ(second.root.GetWidth(), 64);
  EXPECT_EQ(second.root.ActiveIndex(), 1);
  EXPECT_EQ(second.root.FindComponent("stale"), nullptr);
  EXPECT_EQ(second.root.FindComponent("\x01hidden"), nullptr);
  auto* b = second.root.FindControl("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(second.root.FocusControl(), second.root.FindControl("d"));
  EXPECT_EQ(b->GetParent()->GetName(), "a");
  EXPECT_EQ(static_cast<StubBox*>(b->GetParent())->extra, 11);
  ASSERT_EQ(second.root.Events().Count(), 2);
  EXPECT_EQ(test::EventText(*second.root.Events().Items(0)), "a 36 a_down 1 2");
  EXPECT_EQ(second.root.Events().Items(1)->Level, 2);
  // Everything is redrawn after a load.
  EXPECT_FALSE(second.root.Bases(0)->DirtyList().Empty());
}

// A control record of a version 118 or 119 save (no tag), with `children` already written.
void ControlRecord(test::LeWriter& w, const std::string& name, bool handle_key, const test::LeWriter& children) {
  w.Str(name).I32(0).I32(0);                  // name, priority, order
  w.I32(0).I32(0).I32(16).I32(16).I32(0).I32(0);  // bounds and offsets
  w.Flag(false);                              // zoomed position
  w.I32(0).I32(0).I32(0).I32(0).Flag(false);  // clip, animation paused
  w.Flag(true).I32(0).Rect(0, 0, 1, 1).U8(0);  // visible, colour, aux rectangle, ignore mouse
  for (int i = 0; i < 10; ++i) w.Str("");     // cursor and mouse handlers
  w.Flag(handle_key);
  for (int i = 0; i < 5; ++i) w.Str("");      // key and focus handlers
  w.Raw(children.Bytes());
}

std::vector<uint8_t> OldScene(bool with_focus_name) {
  test::LeWriter box_children, layer0_children, none, w;
  box_children.I32(0);
  layer0_children.I32(1).U8(KT_BOX);
  ControlRecord(layer0_children, "keys", true, box_children);
  layer0_children.I32(5);  // the stub kind's own field
  none.I32(0);
  w.I32(16).I32(16).I32(0);
  ControlRecord(w, kBase0Name, false, layer0_children);
  ControlRecord(w, kBase1Name, false, none);
  w.I32(0);  // non-visual components
  w.I32(0);  // events
  if (with_focus_name) w.Str("keys");
  return w.Bytes();
}

TEST(SceneSaveTest, FocusIsRestoredOnlyFromVersion119) {
  SceneDriver old_scene;
  Load(old_scene.root, OldScene(false), 118);
  TKovaControl* keys = old_scene.root.FindControl("keys");
  ASSERT_NE(keys, nullptr);
  EXPECT_EQ(old_scene.root.FocusControl(), nullptr);
  old_scene.root.RequestFocusRecalc(true);
  old_scene.Frame();
  EXPECT_EQ(old_scene.root.FocusControl(), keys);

  SceneDriver new_scene;
  Load(new_scene.root, OldScene(true), 119);
  EXPECT_EQ(new_scene.root.FocusControl(), new_scene.root.FindControl("keys"));
  EXPECT_EQ(static_cast<StubBox*>(new_scene.root.FindControl("keys"))->extra, 5);
}

// A scene of the newest version from its layout: a box with a child on layer 0, a timer, one
// event aimed at the box, the focus on the child. It loads and saves back the same bytes.
TEST(SceneSaveTest, TheNewestLayoutLoadsAndSavesBackTheSameBytes) {
  auto control = [](test::LeWriter& w, const std::string& name, int32_t priority, const test::LeWriter& children) {
    w.Str(name).I32(priority).I32(1).Str("t-" + name);       // name, priority, order, tag
    w.I32(1).I32(2).I32(16).I32(8).I32(0).I32(3).Flag(true);  // bounds, offsets, zoomed position
    w.I32(0).I32(1).I32(2).I32(3).Flag(false);                // clip, animation paused
    w.Flag(true).I32(0x102030).Rect(0, 0, 1, 1).U8(2);         // visible, colour, rectangle, mouse
    for (int i = 0; i < 10; ++i) w.Str(i == 4 ? name + "_down" : "");
    w.Flag(true);
    for (int i = 0; i < 5; ++i) w.Str("");
    w.Raw(children.Bytes());
  };
  test::LeWriter none, child_list, box_list, w;
  none.I32(0);
  child_list.I32(1).U8(KT_BOX);
  control(child_list, "child", 0, none);
  child_list.I32(8);  // the stub kind's own field
  box_list.I32(1).U8(KT_BOX);
  control(box_list, "box", 2, child_list);
  box_list.I32(7);
  w.I32(40).I32(30).I32(1);  // size, active layer
  control(w, kBase0Name, 0, box_list);
  control(w, kBase1Name, 1, none);
  w.I32(1).U8(KT_TIMER).Str("clock").I32(0).I32(0).Str("").I32(5);  // one timer and its field
  w.I32(1).Str("box_down").Str("box").U8(PR_ONLBTNDOWN).I32(0).I32(2).Str("3").Str("4");
  w.Str("child");  // the focus

  SceneDriver scene;
  Load(scene.root, w.Bytes());
  EXPECT_EQ(scene.root.FocusControl(), scene.root.FindControl("child"));
  ASSERT_EQ(scene.root.Events().Count(), 1);
  EXPECT_EQ(test::EventText(*scene.root.Events().Items(0)), "box 36 box_down 3 4");
  EXPECT_EQ(Save(scene.root), w.Bytes());
}

TEST(SceneSaveTest, MalformedSavesRaiseAndLeaveAnEmptyScene) {
  SceneDriver first;
  BuildScene(first);
  const std::vector<uint8_t> saved = Save(first.root);

  // Every truncation fails cleanly.
  for (size_t n = 0; n < saved.size(); ++n) {
    SceneDriver scene(kDisplay8888, 32, 24);
    scene.Box("before", TRect{});
    std::vector<uint8_t> cut(saved.begin(), saved.begin() + ptrdiff_t(n));
    EXPECT_THROW(Load(scene.root, cut), EKovaError) << n;
    EXPECT_EQ(scene.root.GetComponentCount(), 0);
    EXPECT_EQ(scene.root.GetWidth(), 32);
  }

  // A component code without class, in the control tree and among the non-visual components.
  SceneDriver without_timer;
  without_timer.root.Factory().Register(KT_TIMER, nullptr);
  EXPECT_THROW(Load(without_timer.root, saved), EReadError);
  EXPECT_EQ(without_timer.root.GetComponentCount(), 0);
  SceneDriver without_box;
  without_box.root.Factory().Register(KT_BOX, nullptr);
  EXPECT_THROW(Load(without_box.root, saved), EReadError);

  // Sizes no screen has, an active layer other than 0 or 1.
  for (auto [field, value] : {std::pair{0, 100000}, {1, -5}, {2, 2}}) {
    std::vector<uint8_t> bad = saved;
    for (int i = 0; i < 4; ++i) bad[size_t(4 * field + i)] = uint8_t(uint32_t(value) >> (8 * i));
    SceneDriver scene;
    EXPECT_THROW(Load(scene.root, bad), EReadError);
  }
}

TEST(SceneSaveTest, DamagedBytesNeverCrashOrCorruptTheTree) {
  SceneDriver first;
  BuildScene(first);
  const std::vector<uint8_t> saved = Save(first.root);
  uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  SceneDriver scene;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes = saved;
    for (int k = 0; k < 3; ++k) bytes[(next() >> 8) % bytes.size()] = uint8_t(next() >> 24);
    try {
      Load(scene.root, bytes);
    } catch (const EKovaError&) {
    }
    // Whatever was loaded is a tree: every control's parent lists it, and the scene draws and
    // saves.
    for (int32_t i = 0; i < scene.root.GetComponentCount(); ++i) {
      TKovaControl* c = scene.root.GetComponent(i)->AsControl();
      if (c && c->GetParent()) {
        const auto& siblings = c->GetParent()->Controls();
        EXPECT_NE(std::find(siblings.begin(), siblings.end(), c), siblings.end());
      }
    }
    scene.Frame();
    Save(scene.root);
  }
}

// A save holding a chain of `depth` boxes on layer 0, spliced from the records of one box saved
// with and without a child (the scene itself no longer lets a tree grow past the limit).
std::vector<uint8_t> ChainSave(int32_t depth) {
  SceneDriver leaf_scene(kDisplay8888, 8, 8);
  StubBox* leaf = leaf_scene.Box("aaaa", TRect{});
  const std::vector<uint8_t> one = Save(leaf_scene.root);
  leaf_scene.Box("bbbb", TRect{}, leaf);
  const std::vector<uint8_t> two = Save(leaf_scene.root);
  // The box's record: head (name to child count), count, tail. The count is the first byte the two
  // saves differ in; the second save adds a code, a head, a count and a tail.
  const char name[] = "aaaa";
  const size_t head_at = size_t(std::search(one.begin(), one.end(), name, name + 4) - one.begin()) - 4;
  const size_t count_at = size_t(std::mismatch(one.begin(), one.end(), two.begin()).first - one.begin());
  const size_t head_size = count_at - head_at;
  const size_t tail_size = two.size() - one.size() - 5 - head_size;
  const uint8_t code = two[count_at + 4];
  const std::vector<uint8_t> head(one.begin() + std::ptrdiff_t(head_at), one.begin() + std::ptrdiff_t(count_at));
  const std::vector<uint8_t> tail(one.begin() + std::ptrdiff_t(count_at + 4),
                                  one.begin() + std::ptrdiff_t(count_at + 4 + tail_size));
  std::vector<uint8_t> out(one.begin(), one.begin() + std::ptrdiff_t(head_at));
  for (int32_t i = 0; i < depth; ++i) {
    std::vector<uint8_t> h = head;
    const std::string n = "n" + std::to_string(100 + i % 900);
    std::copy(n.begin(), n.end(), h.begin() + 4);
    out.insert(out.end(), h.begin(), h.end());
    const int32_t children = i + 1 < depth ? 1 : 0;
    for (int b = 0; b < 4; ++b) out.push_back(uint8_t(children >> (8 * b)));
    if (children) out.push_back(code);
  }
  for (int32_t i = 0; i < depth; ++i) out.insert(out.end(), tail.begin(), tail.end());
  out.insert(out.end(), one.begin() + std::ptrdiff_t(count_at + 4 + tail_size), one.end());
  return out;
}

TEST(SceneSaveTest, TreesUpToTheDepthLimitLoadAndDeeperOnesAreRefused) {
  SceneDriver second(kDisplay8888, 8, 8);
  Load(second.root, ChainSave(kMaxTreeDepth));
  EXPECT_EQ(second.root.GetComponentCount(), kMaxTreeDepth);
  EXPECT_THROW(Load(second.root, ChainSave(kMaxTreeDepth + 1)), EReadError);
  EXPECT_EQ(second.root.GetComponentCount(), 0);
}

}  // namespace
}  // namespace kova
