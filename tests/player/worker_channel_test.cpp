// Both directions between the main thread and a worker, through the session: commands go into the
// worker's queue, its results come back through the session's mailbox and reach the script in the
// next frame, and the worker is stopped and joined before the session (its mailbox) is freed,
// whether it waits or still has commands queued.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/worker.h"
#include "support/frame_driver.h"

namespace kova::test {
namespace {

using E = ExprBuilder;

// A stand-in for a media worker: each Play raises the handler with as many parameters as its voice
// number; leaving, the worker raises it once more with ten (its last result, posted after the stop
// was asked). With `hold`, every command is held after its result until the stop wakes it.
struct VoiceRig {
  explicit VoiceRig(bool hold = false)
      : hold_(hold),
        voices([this](TCommandQueue<TTransportCommand>& commands) { Body(commands); }, [this] { Wake(); }) {
    PageWriter main;
    main.Wait(NoResult(), Value(I(0)));
    PageWriter handler;
    handler.Calc(Step("sum", E::Plus, V("@ParamCount")));
    d.SetInt("sum", 0);
    d.AddPage("main.ksb", main);
    d.AddPage("h.ksb", handler);
    d.callman.Start("main.ksb");
    d.Frame();
  }

  void Body(TCommandQueue<TTransportCommand>& commands) {
    worker_thread = std::this_thread::get_id();
    std::vector<TTransportCommand> got;
    while (commands.Wait(got)) {
      for (const TTransportCommand& c : got) {
        if (const auto* play = std::get_if<TPlayCommand>(&c)) Raise(play->voice);
        ++handled;
        std::unique_lock lock(mutex_);
        woken_.wait(lock, [&] { return !hold_ || stopping_; });
      }
      got.clear();
    }
    Raise(10);
  }

  // Posts the result by value: the delivery runs on the main thread in a later frame.
  void Raise(int params) {
    d.session.Mailbox().Post([params](TTimerList& events) {
      TArrayString list;
      for (int i = 0; i < params; ++i) list.Add("r");
      events.AddEvent({}, "h.kss", &list, 0);
    });
  }

  void Wake() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    woken_.notify_all();
  }

  void WaitHandled(int n) const {
    while (handled < n) std::this_thread::yield();
  }

  int32_t Sum() { return d.Int("sum"); }

  // The order of the members is the stop order: the worker is freed (stopped and joined) before the
  // session whose mailbox it posts to.
  FrameDriver d;
  std::atomic<int> handled{0};
  std::thread::id worker_thread;  // read after the join

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  bool hold_;
  bool stopping_ = false;

 public:
  TWorker<TTransportCommand> voices;
};

TEST(WorkerChannel, CommandsGoInAndResultsReachTheScriptInTheNextFrame) {
  VoiceRig rig;
  rig.voices.Post(TPlayCommand{2});
  rig.voices.Post(TVolumeCommand{2, 5000});  // no result
  rig.voices.Post(TPlayCommand{3});
  rig.WaitHandled(3);
  EXPECT_EQ(rig.d.queue.Count(), 0);  // nothing reaches the queue between frames
  EXPECT_EQ(rig.Sum(), 0);
  rig.d.Frame();
  EXPECT_EQ(rig.Sum(), 5);

  // A stop while the worker waits on its empty queue: its last result is in the mailbox once Stop
  // has joined it, and reaches the script in the next frame; nothing comes after it.
  EXPECT_EQ(rig.voices.Stop(), 0u);
  EXPECT_NE(rig.worker_thread, std::this_thread::get_id());
  EXPECT_FALSE(rig.voices.Post(TPlayCommand{4}));
  rig.d.Frame();
  EXPECT_EQ(rig.Sum(), 15);
  rig.d.Frames(2);
  EXPECT_EQ(rig.Sum(), 15);
}

// A stop while commands are queued behind a busy worker: the queued ones are dropped unrun, the
// worker is woken and leaves, and only the results posted before the stop and its last one arrive.
TEST(WorkerChannel, AStopWithCommandsQueuedDropsThem) {
  VoiceRig rig(/*hold=*/true);
  rig.voices.Post(TPlayCommand{1});
  rig.WaitHandled(1);
  rig.voices.Post(TPlayCommand{2});
  rig.voices.Post(TFadeCommand{2, 0, 500});
  rig.voices.Post(TPlayCommand{3});
  EXPECT_EQ(rig.voices.Stop(), 3u);
  EXPECT_EQ(rig.handled, 1);
  rig.d.Frames(2);
  EXPECT_EQ(rig.Sum(), 1 + 10);
}

// A worker nobody stopped is stopped by its owner's destructor, before the session goes; a
// result it posts on the way out lands in a mailbox that still exists (the sanitizers would see
// the other order) and is simply never drained.
TEST(WorkerChannel, FreeingTheOwnersInOrderStopsARunningWorker) {
  for (bool hold : {false, true}) {
    SCOPED_TRACE(hold);
    VoiceRig rig(hold);
    rig.voices.Post(TPlayCommand{1});
    rig.voices.Post(TPlayCommand{2});
    rig.WaitHandled(1);
  }
}

}  // namespace
}  // namespace kova::test
