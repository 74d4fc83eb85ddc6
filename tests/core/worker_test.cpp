// The worker thread's owner and its command queue: commands reach the body on its own thread in
// posting order, a stop ends a body that waits on its queue, on a timer or on something else (the
// wake), commands still queued at the stop are dropped unrun, and the owner joins before it goes.
#include "core/worker.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kova {
namespace {

// What a body saw, read by the test after the join.
struct Seen {
  std::mutex mutex;
  std::vector<TTransportCommand> commands;
  std::thread::id thread;
  bool returned = false;
};

// A body that takes every command until the stop, waiting without a limit.
TWorker<TTransportCommand>::TBody Recorder(Seen& seen) {
  return [&seen](TCommandQueue<TTransportCommand>& queue) {
    {
      std::lock_guard lock(seen.mutex);
      seen.thread = std::this_thread::get_id();
    }
    std::vector<TTransportCommand> got;
    while (queue.Wait(got)) {
      std::lock_guard lock(seen.mutex);
      for (TTransportCommand& c : got) seen.commands.push_back(std::move(c));
      got.clear();
    }
    std::lock_guard lock(seen.mutex);
    seen.returned = true;
  };
}

TEST(Worker, CommandsReachTheBodyOnItsThreadInPostingOrder) {
  Seen seen;
  {
    TWorker<TTransportCommand> worker(Recorder(seen));
    EXPECT_TRUE(worker.Post(TPlayCommand{1, 0}));
    EXPECT_TRUE(worker.Post(TVolumeCommand{1, 5000}));
    EXPECT_TRUE(worker.Post(TFadeCommand{1, 0, 750}));
    EXPECT_TRUE(worker.Post(TSeekCommand{2, 123456789012}));
    // A command posted from another thread takes its place in the queue like any other.
    std::thread([&worker] { worker.Post(TStopCommand{1}); }).join();
    // The body has drained all five before the stop: wait until it has.
    for (;;) {
      {
        std::lock_guard lock(seen.mutex);
        if (seen.commands.size() == 5) break;
      }
      std::this_thread::yield();
    }
    EXPECT_EQ(worker.Stop(), 0u);
    EXPECT_FALSE(worker.Running());
    EXPECT_TRUE(worker.Failure().empty());
  }
  ASSERT_EQ(seen.commands.size(), 5u);
  EXPECT_NE(seen.thread, std::this_thread::get_id());
  EXPECT_EQ(std::get<TPlayCommand>(seen.commands[0]).loops, 0);
  EXPECT_EQ(std::get<TVolumeCommand>(seen.commands[1]).volume, 5000);
  EXPECT_EQ(std::get<TFadeCommand>(seen.commands[2]).duration_ms, 750);
  EXPECT_EQ(std::get<TSeekCommand>(seen.commands[3]).position_ms, 123456789012);
  EXPECT_EQ(std::get<TStopCommand>(seen.commands[4]).voice, 1);
  EXPECT_TRUE(seen.returned);
}

// A body waiting on its empty queue (without a limit, or keeping time with a timeout) returns at
// the stop; the owner's destructor stops and joins a worker nobody stopped.
TEST(Worker, AStopEndsAWaitingBody) {
  for (int timeout_ms : {-1, 5}) {
    SCOPED_TRACE(timeout_ms);
    Seen seen;
    std::promise<void> handled;
    TWorker<int> worker([&](TCommandQueue<int>& queue) {
      std::vector<int> got;
      while (queue.Wait(got, std::chrono::milliseconds(timeout_ms))) {
        if (!got.empty()) handled.set_value();
        got.clear();
      }
      std::lock_guard lock(seen.mutex);
      seen.returned = true;
    });
    worker.Post(1);
    handled.get_future().wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // back in its wait
    EXPECT_EQ(worker.Stop(), 0u);
    EXPECT_TRUE(seen.returned);
    EXPECT_EQ(worker.Stop(), 0u);  // a second stop does nothing
  }
  std::promise<void> started;
  {
    TWorker<int> unstopped([&](TCommandQueue<int>& queue) {
      started.set_value();
      std::vector<int> got;
      while (queue.Wait(got)) got.clear();
    });
    started.get_future().wait();
  }  // joined here, or the test would hang
}

// The body is busy (held on something besides its queue) while three commands queue up; the stop
// asks first, then wakes it: the three are dropped unrun and later posts are refused.
TEST(Worker, AStopDropsTheQueuedCommandsAndWakesABlockedBody) {
  std::mutex mutex;
  std::condition_variable cv;
  bool released = false;
  std::vector<int> ran;
  std::promise<void> busy;
  TWorker<int> worker(
      [&](TCommandQueue<int>& queue) {
        std::vector<int> got;
        while (queue.Wait(got)) {
          for (int c : got) {
            ran.push_back(c);
            busy.set_value();
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] { return released; });  // a socket read, a device wait
          }
          got.clear();
        }
      },
      [&] {
        std::lock_guard lock(mutex);
        released = true;
        cv.notify_all();
      });
  worker.Post(0);
  busy.get_future().wait();
  for (int c : {1, 2, 3}) worker.Post(c);
  EXPECT_EQ(worker.Stop(), 3u);
  EXPECT_EQ(ran, std::vector<int>{0});
  EXPECT_FALSE(worker.Post(4));
}

// An error that escapes the body ends its thread, not the program; the owner keeps its message.
TEST(Worker, AnErrorEscapingTheBodyIsKept) {
  std::promise<void> throwing;
  TWorker<int> worker([&](TCommandQueue<int>& queue) {
    std::vector<int> got;
    while (queue.Wait(got)) {
      if (got.empty()) continue;
      throwing.set_value();
      throw std::runtime_error("the stream ended early");
    }
  });
  worker.Post(1);
  throwing.get_future().wait();
  worker.Stop();
  EXPECT_EQ(worker.Failure(), "the stream ended early");
}

}  // namespace
}  // namespace kova
