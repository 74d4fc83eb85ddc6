// The script event queue: queue operations and its save form.
#include "script/event_queue.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "support/frame_driver.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::FakeScene;
using test::LeWriter;

TArrayString Params(std::initializer_list<const char*> items) {
  TArrayString a;
  for (const char* s : items) a.Add(s);
  return a;
}

std::vector<uint8_t> Bytes(const TMemoryStream& s) { return {s.Bytes().begin(), s.Bytes().end()}; }

TEST(EventQueue, AddFindAndRemoveByLevelAndComponent) {
  FakeScene scene;
  const TObjectHandle a = scene.Add("a");
  const TObjectHandle b = scene.Add("b");
  TTimerList q(&scene);
  const TArrayString xy = Params({"3", "4"});
  EXPECT_EQ(q.AddEvent(a, "a.kss", &xy, 36), 0);
  EXPECT_EQ(q.AddEvent(b, "b.kss", nullptr, 36), 1);
  EXPECT_EQ(q.AddEvent(a, "a2.kss", nullptr, 113), 2);
  EXPECT_EQ(q.Items(0)->Params, xy);
  EXPECT_EQ(q.Items(0)->Queue, &q);
  EXPECT_TRUE(q.Items(1)->Params.Empty());
  EXPECT_EQ(q.NextWaiting(), q.Items(0));
  q.Items(0)->Level = 1;
  // Found whatever its level: a "once" event is not queued again while it is handled.
  EXPECT_EQ(q.IndexOfEvent(a, 36), 0);
  EXPECT_EQ(q.IndexOfEvent(a, 37), -1);
  EXPECT_EQ(q.NextWaiting(), q.Items(1));
  // RemoveWaiting keeps the component's handled events and the other components' events.
  q.RemoveWaiting(a);
  ASSERT_EQ(q.Count(), 2);
  EXPECT_EQ(q.Items(0)->Handler, "a.kss");
  EXPECT_EQ(q.Items(1)->Handler, "b.kss");
  q.Items(1)->Level = 2;
  q.RemoveLevel(2);
  ASSERT_EQ(q.Count(), 1);
  q.AddEvent(b, "w.kss", nullptr, 40);
  q.RemoveHandled();
  ASSERT_EQ(q.Count(), 1);
  EXPECT_EQ(q.Items(0)->Handler, "w.kss");
  // A freed component's handle no longer resolves: its events no longer name it.
  scene.Remove(b);
  EXPECT_EQ(scene.Resolve(q.Items(0)->Target), nullptr);
  EXPECT_THROW(q.Items(1), EListError);
  q.Clear();
  EXPECT_EQ(q.NextWaiting(), nullptr);
}

// The scene frees a component without telling the queue (as a worker's late delivery would find
// it): its waiting events are dropped when they come up, events for it are not queued, and a new
// component in its slot is never taken for it.
TEST(EventQueue, EventsOfAFreedTargetAreDropped) {
  FakeScene scene;
  const TObjectHandle a = scene.Add("a");
  const TObjectHandle b = scene.Add("b");
  TTimerList q(&scene);
  q.AddEvent(b, "handled.kss", nullptr, 36);
  q.Items(0)->Level = 1;
  q.AddEvent(a, "a.kss", nullptr, 36);
  q.AddEvent({}, "none.kss", nullptr, 36);
  q.AddEvent(a, "a2.kss", nullptr, 37);
  q.AddEvent(b, "b.kss", nullptr, 36);
  scene.Remove(a);
  scene.Remove(b);
  EXPECT_EQ(q.AddEvent(a, "late.kss", nullptr, 36), -1);
  ASSERT_EQ(q.Count(), 5);
  ASSERT_NE(q.NextWaiting(), nullptr);
  EXPECT_EQ(q.NextWaiting()->Handler, "none.kss");
  q.Remove(q.NextWaiting());
  EXPECT_EQ(q.NextWaiting(), nullptr);
  // The handled event of a freed target stays until its level is removed.
  ASSERT_EQ(q.Count(), 1);
  EXPECT_EQ(q.Items(0)->Handler, "handled.kss");
  const TObjectHandle c = scene.Add("c");
  EXPECT_EQ(c.id, b.id);
  EXPECT_EQ(q.IndexOfEvent(c, 36), -1);
  // Without a scene no target resolves.
  TTimerList bare;
  EXPECT_EQ(bare.AddEvent(c, "x.kss", nullptr, 36), -1);
  EXPECT_EQ(bare.AddEvent({}, "x.kss", nullptr, 36), 0);
}

TEST(EventQueue, SaveFormRoundTripsWithLostTargets) {
  FakeScene scene;
  const TObjectHandle a = scene.Add("Btn");
  const TObjectHandle gone = scene.Add("Gone");
  TTimerList q(&scene);
  const TArrayString xy = Params({"10", "\x82\xA0"});
  q.AddEvent(a, "h.kss:lbl", &xy, 36);
  q.AddEvent(gone, "g.kss", nullptr, 43);
  q.AddEvent({}, "n.kss", nullptr, 113);
  q.Items(0)->Level = 3;
  scene.Remove(gone);
  TMemoryStream s;
  q.SaveToStream(s);
  LeWriter expected;
  expected.I32(3);
  expected.Str("h.kss:lbl").Str("Btn").U8(36).I32(3).I32(2).Str("10").Str("\x82\xA0");
  expected.Str("g.kss").Str("").U8(43).I32(0).I32(0);
  expected.Str("n.kss").Str("").U8(113).I32(0).I32(0);
  EXPECT_EQ(Bytes(s), expected.Bytes());

  TTimerList loaded(&scene);
  loaded.AddEvent(a, "old.kss", nullptr, 1);
  s.SetPosition(0);
  loaded.LoadFromStream(s, 129);
  ASSERT_EQ(loaded.Count(), 3);
  EXPECT_EQ(loaded.Items(0)->Target, a);
  EXPECT_EQ(loaded.Items(0)->Level, 3);
  EXPECT_EQ(loaded.Items(0)->Params, xy);
  EXPECT_EQ(loaded.Items(1)->Target, TObjectHandle{});
  EXPECT_EQ(loaded.Items(2)->Code, 113);
  EXPECT_EQ(loaded.Items(2)->Queue, &loaded);
}

TEST(EventQueue, OldSavesHoldByteLevels) {
  FakeScene scene;
  LeWriter w;
  w.I32(2);
  w.Str("a.kss").Str("").U8(36).U8(7).I32(0);
  w.Str("b.kss").Str("").U8(37).U8(0).I32(1).Str("p");
  TTimerList q(&scene);
  TSpanStream s(w.Bytes());
  q.LoadFromStream(s, 113);
  ASSERT_EQ(q.Count(), 2);
  EXPECT_EQ(q.Items(0)->Level, 1);
  EXPECT_EQ(q.Items(1)->Level, 0);
  EXPECT_EQ(q.Items(1)->Params.Count(), 1);
  EXPECT_EQ(s.Remaining(), 0);
}

TEST(EventQueue, CorruptFormsRaiseAndLeaveTheQueueAlone) {
  FakeScene scene;
  LeWriter good;
  good.I32(1).Str("a.kss").Str("").U8(36).I32(0).I32(0);
  std::vector<std::vector<uint8_t>> forms;
  for (size_t n = 0; n < good.Size(); ++n) forms.push_back(good.Truncated(n));
  forms.push_back(LeWriter().I32(0x7FFFFFFF).Bytes());
  forms.push_back(LeWriter().I32(-1).Bytes());
  for (size_t i = 0; i < forms.size(); ++i) {
    TTimerList q(&scene);
    q.AddEvent({}, "keep.kss", nullptr, 36);
    TSpanStream s(forms[i]);
    EXPECT_THROW(q.LoadFromStream(s, 129), EReadError) << i;
    ASSERT_EQ(q.Count(), 1) << i;
    EXPECT_EQ(q.Items(0)->Handler, "keep.kss");
  }
}

}  // namespace
}  // namespace kova
