// The property motion over the scene's update pass: the three interpolation modes, the end value
// written exactly and the motion freed, short durations, a target that is missing or goes, ids
// that name no property, the pause, an integer property converted by the dispatch, and the save
// record (a motion loaded mid-way takes its start value afresh and goes on from its elapsed time).
#include "components/widgets/kova_prop_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "components/scene/prop_dispatch.h"
#include "components/widgets/kova_box.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "script/params.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

// A stand-in with one float property (PR_PARAM1) that notes every value written to it.
class FloatTarget : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;
  uint8_t GetCompoType() const override { return KT_TIMER; }
  long double GetParam(int32_t) const override { return value; }
  void SetParam(int32_t, long double v) override {
    value = v;
    writes.push_back(v);
  }
  long double value = 0.0L;
  std::vector<long double> writes;
};

struct MotionScene : SceneDriver {
  MotionScene() { root.Factory().Register(KT_BOX, &TComponentFactory::Make<TKovaBox>); }
  TKovaBox* Box(const std::string& name) {
    auto* box = static_cast<TKovaBox*>(root.CreateComponent(KT_BOX));
    box->SetName(name);
    box->SetParent(root.ActiveBase());
    return box;
  }
  FloatTarget* Target(const std::string& name, long double value) {
    auto* t = new FloatTarget(&root);
    t->SetName(name);
    t->value = value;
    return t;
  }
  TKovaPropMotion* Motion(const std::string& target, uint8_t id, long double end, int32_t duration,
                          uint8_t mode = MT_NORMAL) {
    auto* m = static_cast<TKovaPropMotion*>(root.CreateComponent(KT_PROPMOTION));
    m->SetName("motion");
    m->SetTargetName(target);
    m->SetPropId(id);
    m->SetEndValue(end);
    m->SetMotionDuration(duration);
    m->SetMode(mode);
    return m;
  }
  bool MotionLives() { return root.FindComponent("motion") != nullptr; }
};

TEST(PropMotionTest, ValuesOfTheThreeModes) {
  const long double pi = std::acos(-1.0L);
  struct Case {
    const char* what;
    uint8_t mode;
    int32_t duration, elapsed;
    long double expected;
  };
  // From 0 to 100: sin(pi / 6) is one half, so the sine modes reach the middle at known times.
  const std::vector<Case> cases = {
      {"linear start", MT_NORMAL, 1000, 0, 0.0L},
      {"linear middle", MT_NORMAL, 1000, 500, 50.0L},
      {"linear before the last step", MT_NORMAL, 1000, 998, 99.8L},
      {"linear last step", MT_NORMAL, 1000, 999, 100.0L},
      {"past the end", MT_NORMAL, 1000, 5000, 100.0L},
      {"an unknown mode is linear", 7, 1000, 250, 25.0L},
      {"fast start: a sixth of a turn at a third", MT_DEC, 1200, 400, 50.0L},
      {"slow start: a sixth of a turn left", MT_INC, 1200, 799, 50.0L},
      {"slow start at the first step", MT_INC, 1000, 1, 100.0L - 100.0L * std::sin(998.0L * pi / 2000.0L)},
      {"duration 0 after the first step", MT_NORMAL, 0, 16, 100.0L},
      {"a negative elapsed time stands at the start", MT_DEC, 1000, -40, 0.0L},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NEAR(double(TKovaPropMotion::ValueAt(0.0L, 100.0L, c.duration, c.elapsed, c.mode)), double(c.expected),
                1e-9);
  }
  // Along the way the slow start stays below the line and the fast start above it.
  for (int32_t t = 50; t < 1000; t += 50) {
    const long double linear = TKovaPropMotion::ValueAt(0, 100, 1000, t, MT_NORMAL);
    EXPECT_LT(TKovaPropMotion::ValueAt(0, 100, 1000, t, MT_INC), linear) << t;
    EXPECT_GT(TKovaPropMotion::ValueAt(0, 100, 1000, t, MT_DEC), linear) << t;
  }
}

TEST(PropMotionTest, TheFirstUpdateWritesTheStartAndTheLastTheEndExactly) {
  MotionScene scene;
  FloatTarget* t = scene.Target("t", 10.0L);
  scene.Motion("t", PR_PARAM1, 20.0L, 1000);
  std::vector<bool> alive;
  for (int i = 0; i < 4; ++i) {
    scene.Frame(333);
    alive.push_back(scene.MotionLives());
  }
  // Elapsed 0, 333, 666 and 999: the last is the end value, and the motion is freed with it.
  ASSERT_EQ(t->writes.size(), 4u);
  EXPECT_EQ(t->writes[0], 10.0L);
  EXPECT_NEAR(double(t->writes[1]), 13.33, 1e-12);
  EXPECT_NEAR(double(t->writes[2]), 16.66, 1e-12);
  EXPECT_EQ(t->writes[3], 20.0L);
  EXPECT_EQ(alive, (std::vector<bool>{true, true, true, false}));
}

TEST(PropMotionTest, DurationsZeroAndOneRunInTwoUpdates) {
  for (int32_t duration : {0, 1}) {
    SCOPED_TRACE(duration);
    MotionScene scene;
    FloatTarget* t = scene.Target("t", 3.0L);
    scene.Motion("t", PR_PARAM1, 8.0L, duration);
    scene.Frame();
    EXPECT_TRUE(scene.MotionLives());
    scene.Frame();
    EXPECT_FALSE(scene.MotionLives());
    EXPECT_EQ(t->writes, (std::vector<long double>{3.0L, 8.0L}));
  }
}

TEST(PropMotionTest, EndsWithoutWritingWhenTheTargetIsMissingGoesOrTheIdNamesNoProperty) {
  {
    MotionScene scene;
    scene.Motion("nobody", PR_PARAM1, 1.0L, 100);
    scene.Frame();
    EXPECT_FALSE(scene.MotionLives());
  }
  {
    MotionScene scene;
    FloatTarget* t = scene.Target("t", 0.0L);
    scene.Motion("t", PR_PARAM1, 100.0L, 1000);
    scene.Frame();
    ASSERT_EQ(t->writes.size(), 1u);
    scene.root.DeleteComponent(t);
    scene.Frame();
    EXPECT_FALSE(scene.MotionLives());
  }
  // Another component of the same name made meanwhile is not the target.
  {
    MotionScene scene;
    FloatTarget* t = scene.Target("t", 0.0L);
    scene.Motion("t", PR_PARAM1, 100.0L, 1000);
    scene.Frame();
    scene.root.DeleteComponent(t);
    FloatTarget* other = scene.Target("t", 0.0L);
    scene.Frame();
    EXPECT_FALSE(scene.MotionLives());
    EXPECT_TRUE(other->writes.empty());
  }
  for (uint8_t id : {uint8_t(159), TKovaPropMotion::kNoProp}) {
    SCOPED_TRACE(int(id));
    MotionScene scene;
    FloatTarget* t = scene.Target("t", 0.0L);
    scene.Motion("t", id, 100.0L, 1000);
    scene.Frame();
    EXPECT_TRUE(t->writes.empty());
    EXPECT_FALSE(scene.MotionLives());
  }
}

TEST(PropMotionTest, AnErrorOfTheDispatchIsPassedOnOnceAndEndsTheMotion) {
  MotionScene scene;
  scene.Box("box");
  TKovaPropMotion* m = scene.Motion("box", PR_APPEARX, 50.0L, 1000);
  try {
    m->Update();
    FAIL() << "no error";
  } catch (const EKovaError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::SetPropError));
  }
  EXPECT_TRUE(m->Update());
}

TEST(PropMotionTest, APausedMotionKeepsItsElapsedTimeAndWritesNothing) {
  MotionScene scene;
  FloatTarget* t = scene.Target("t", 0.0L);
  TKovaPropMotion* m = scene.Motion("t", PR_PARAM1, 100.0L, 1000);
  scene.Frame(100);
  scene.Frame(100);
  ASSERT_EQ(m->Elapsed(), 200);
  // Through the property dispatch, as a script sets it.
  TParamFlag on;
  on.SetFlag(true);
  SetProp(*m, PR_PAUSED, on);
  for (int i = 0; i < 10; ++i) scene.Frame(100);
  EXPECT_EQ(m->Elapsed(), 200);
  EXPECT_EQ(t->writes.size(), 2u);
  TParamFlag read;
  GetProp(read, *m, PR_PAUSED);
  EXPECT_TRUE(read.GetFlag());
  m->SetPaused(false);
  scene.Frame(100);
  EXPECT_NEAR(double(t->writes.back()), 20.0, 1e-12);
}

TEST(PropMotionTest, AnIntegerPropertyIsConvertedByTheDispatch) {
  MotionScene scene;
  TKovaBox* box = scene.Box("box");
  box->SetLeft(10);
  scene.Motion("box", PR_LEFT, 20.0L, 100);
  std::vector<int32_t> lefts;
  for (int i = 0; i < 5; ++i) {
    scene.Frame(25);
    lefts.push_back(box->GetLeft());
  }
  // 12.5 and 17.5 become integers as every float written to an integer property does.
  EXPECT_EQ(lefts, (std::vector<int32_t>{10, 12, 15, 17, 20}));
  EXPECT_FALSE(scene.MotionLives());
}

// The motion's own record after the object's.
TMemoryStream MotionRecord(const std::string& target, int32_t id, long double end, int32_t duration, int32_t mode,
                           long double start, int32_t elapsed, bool with_paused, bool paused) {
  TMemoryStream s;
  WriteStreamString(s, "motion");
  WriteStreamInteger(s, 0);  // priority
  WriteStreamInteger(s, 0);  // order
  WriteStreamString(s, "");  // tag
  WriteStreamString(s, target);
  WriteStreamInteger(s, id);
  WriteStreamExtended(s, end);
  WriteStreamInteger(s, duration);
  WriteStreamInteger(s, mode);
  WriteStreamExtended(s, start);
  WriteStreamInteger(s, elapsed);
  if (with_paused) WriteStreamBool(s, paused);
  s.SetPosition(0);
  return s;
}

TEST(PropMotionTest, SaveRecordAndLoadAtDataVersions125And126) {
  MotionScene scene;
  scene.Target("t", 0.0L);
  TKovaPropMotion* m = scene.Motion("t", PR_PARAM1, 100.0L, 1000, MT_DEC);
  scene.Frame(250);
  scene.Frame(250);
  m->SetPaused(true);
  TMemoryStream saved;
  m->SaveToStream(saved);
  const TMemoryStream expected = MotionRecord("t", PR_PARAM1, 100.0L, 1000, MT_DEC, 0.0L, 500, true, true);
  auto bytes = [](const TMemoryStream& m) { return std::vector<uint8_t>(m.Bytes().begin(), m.Bytes().end()); };
  EXPECT_EQ(bytes(saved), bytes(expected));

  // Before 126 the record ends with the elapsed time; the ids are narrowed to a byte.
  TMemoryStream old = MotionRecord("t", 259, 7.0L, 300, 257, 1.0L, 40, false, false);
  auto* loaded = static_cast<TKovaPropMotion*>(scene.root.CreateComponent(KT_PROPMOTION));
  loaded->LoadFromStream(old, 125);
  EXPECT_EQ(old.Remaining(), 0);
  EXPECT_EQ(loaded->TargetName(), "t");
  EXPECT_EQ(loaded->PropId(), PR_LEFT);
  EXPECT_EQ(loaded->Mode(), MT_INC);
  EXPECT_EQ(loaded->MotionDuration(), 300);
  EXPECT_EQ(loaded->Elapsed(), 40);
  EXPECT_EQ(loaded->EndValue(), 7.0L);
  EXPECT_FALSE(loaded->GetPaused());
  EXPECT_FALSE(loaded->TargetResolved());
}

TEST(PropMotionTest, ALoadedMotionTakesItsStartAfreshAndGoesOnFromItsElapsedTime) {
  // A box's left from 0 to 1000 over 1000 ms, saved with the scene at 500 ms.
  MotionScene scene;
  TKovaBox* box = scene.Box("box");
  scene.Motion("box", PR_LEFT, 1000.0L, 1000);
  for (int i = 0; i < 5; ++i) scene.Frame(100);
  ASSERT_EQ(box->GetLeft(), 400);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);

  MotionScene again;
  saved.SetPosition(0);
  again.root.LoadFromStream(saved, 129);
  auto* loaded_box = dynamic_cast<TKovaBox*>(again.root.FindComponent("box"));
  auto* loaded = dynamic_cast<TKovaPropMotion*>(again.root.FindComponent("motion"));
  ASSERT_NE(loaded_box, nullptr);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Elapsed(), 500);
  // The start is the left the box has now (400), not the one the motion began at (0).
  again.Frame(100);
  EXPECT_EQ(loaded_box->GetLeft(), 700);
  for (int i = 0; i < 5; ++i) again.Frame(100);
  EXPECT_EQ(loaded_box->GetLeft(), 1000);
  EXPECT_EQ(again.root.FindComponent("motion"), nullptr);
}

TEST(PropMotionTest, TheSavedTargetNameIsKeptUntilResolvedAndDroppedWhenTheTargetHasGone) {
  MotionScene scene;
  FloatTarget* t = scene.Target("t", 5.0L);
  TKovaPropMotion* m = scene.Motion("t", PR_PARAM1, 9.0L, 100);
  // Made paused, the motion has not looked for its target yet: the save keeps the name.
  m->SetPaused(true);
  scene.Frame();
  auto saved_name = [&] {
    TMemoryStream s;
    m->SaveToStream(s);
    s.SetPosition(0);
    TKovaPropMotion probe(nullptr);
    probe.LoadFromStream(s, 129);
    return probe.TargetName();
  };
  EXPECT_EQ(saved_name(), "t");
  m->SetPaused(false);
  scene.Frame();
  ASSERT_TRUE(m->TargetResolved());
  // The live target's present name.
  t->SetName("renamed");
  EXPECT_EQ(saved_name(), "renamed");
  scene.root.DeleteComponent(t);
  EXPECT_EQ(saved_name(), "");
}

}  // namespace
}  // namespace kova
