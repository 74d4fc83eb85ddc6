#include "media/midi_timer.h"

#include <chrono>
#include <utility>
#include <vector>

namespace kova {

TMMTimer::TMMTimer(std::function<void()> on_tick, bool own_thread) : on_tick_(std::move(on_tick)) {
  if (!own_thread) return;
  worker_ = std::make_unique<TWorker<TWake>>([this](TCommandQueue<TWake>& commands) {
    std::vector<TWake> wakes;
    // Nothing is ever posted: each wait ends after one interval, or at once when the stop is asked.
    while (commands.Wait(wakes, std::chrono::milliseconds(kInterval))) {
      wakes.clear();
      RunTick();
    }
  });
}

TMMTimer::~TMMTimer() { StopThread(); }

void TMMTimer::StopThread() {
  if (worker_) worker_->Stop();
}

void TMMTimer::Tick() { RunTick(); }

void TMMTimer::RunTick() {
  if (!enabled_.load()) return;
  std::lock_guard lock(hold_);
  if (enabled_.load()) on_tick_();
}

}  // namespace kova
