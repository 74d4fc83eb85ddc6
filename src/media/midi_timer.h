// The sequencer's timer: a tick every 10 ms while enabled. Its driver is either a thread of its
// own (a TWorker waking every interval) or the owner, who calls Tick once a frame.
//
// The hold is the main thread's lock against the tick: while it is held no tick runs, and taking
// it waits until a running tick has returned. Everything the tick touches is changed (and read)
// by the main thread under the hold only. The tick itself runs with the hold taken by the timer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "core/worker.h"

namespace kova {

class TMMTimer {
 public:
  static constexpr uint32_t kInterval = 10;  // ms

  // `on_tick` runs on the timer's thread (own_thread) or in Tick, with the hold taken.
  TMMTimer(std::function<void()> on_tick, bool own_thread);
  // Stops the thread before anything the tick uses is freed.
  ~TMMTimer();
  TMMTimer(const TMMTimer&) = delete;
  TMMTimer& operator=(const TMMTimer&) = delete;

  // Any thread. A disabled timer does not tick.
  void SetEnabled(bool enabled) { enabled_.store(enabled); }
  bool Enabled() const { return enabled_.load(); }

  // The hold (main thread): no tick runs while it is kept.
  [[nodiscard]] std::unique_lock<std::mutex> Hold() { return std::unique_lock(hold_); }

  // The owner's driver (a timer without a thread): one tick now when enabled.
  void Tick();
  // Joins the thread (when there is one); no tick runs afterwards. Main thread.
  void StopThread();
  bool HasThread() const { return worker_ != nullptr; }

 private:
  struct TWake {};
  void RunTick();

  std::function<void()> on_tick_;
  std::atomic<bool> enabled_{false};
  std::mutex hold_;
  std::unique_ptr<TWorker<TWake>> worker_;  // last: started when everything above is made
};

}  // namespace kova
