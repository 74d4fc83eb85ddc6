#include "platform/audio_sinks.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace kova::plat {

bool TRealTimeNullAudioDevice::Open(TPull pull, std::string& error) {
  std::lock_guard lock(mutex_);
  if (open_) {
    error = "the sound device is open already";
    return false;
  }
  pull_ = std::move(pull);
  open_ = true;
  paused_ = true;
  stop_ = false;
  pulled_frames_ = 0;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TRealTimeNullAudioDevice::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void TRealTimeNullAudioDevice::Resume() {
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    paused_ = false;
  }
  wake_.notify_all();
}

void TRealTimeNullAudioDevice::Close() {
  TPull pull;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mutex_);
    open_ = false;
    paused_ = true;
    pull.swap(pull_);
  }
  // `pull` and what it holds are freed here, outside the lock.
}

bool TRealTimeNullAudioDevice::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

int64_t TRealTimeNullAudioDevice::PulledFrames() const {
  std::lock_guard lock(mutex_);
  return pulled_frames_;
}

// Pulls what is due since the last resume by the system clock, in pulls of at most kChunkFrames
// frames, and sleeps about a pull's length in between. Time spent paused is not made up.
void TRealTimeNullAudioDevice::Run() {
  using TClock = std::chrono::steady_clock;
  std::vector<int16_t> samples;
  std::unique_lock lock(mutex_);
  bool was_paused = true;
  TClock::time_point start;
  int64_t due_base = 0;  // frames pulled before `start`
  while (!stop_) {
    if (paused_) {
      was_paused = true;
      wake_.wait(lock, [&] { return stop_ || !paused_; });
      continue;
    }
    if (was_paused) {
      was_paused = false;
      start = TClock::now();
      due_base = pulled_frames_;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - start).count();
    const int64_t due = due_base + elapsed * TAudioFormat::kRate / 1000000;
    while (!stop_ && !paused_ && pulled_frames_ < due) {
      const size_t frames = size_t(std::min<int64_t>(due - pulled_frames_, int64_t(kChunkFrames)));
      samples.assign(frames * TAudioFormat::kChannels, 0);
      if (pull_) {
        try {
          pull_(std::span<int16_t>(samples));
        } catch (...) {
          // a pull that throws plays silence
        }
      }
      pulled_frames_ += int64_t(frames);
    }
    wake_.wait_for(lock, std::chrono::milliseconds(5), [&] { return stop_ || paused_; });
  }
}

bool TCaptureAudioDevice::Pull(size_t frames, std::vector<int16_t>& samples) {
  const bool pulled = TNullAudioDevice::Pull(frames, samples);
  std::lock_guard lock(capture_mutex_);
  captured_.insert(captured_.end(), samples.begin(), samples.end());
  return pulled;
}

bool TCaptureAudioDevice::Pull(size_t frames) {
  std::vector<int16_t> samples;
  return Pull(frames, samples);
}

std::vector<int16_t> TCaptureAudioDevice::Captured() const {
  std::lock_guard lock(capture_mutex_);
  return captured_;
}

void TCaptureAudioDevice::ClearCapture() {
  std::lock_guard lock(capture_mutex_);
  captured_.clear();
}

}  // namespace kova::plat
