#include "platform/audio_device.h"

#include <utility>

namespace kova::plat {

bool TNullAudioDevice::Open(TPull pull, std::string& error) {
  std::lock_guard lock(mutex_);
  if (open_) {
    error = "the sound device is open already";
    return false;
  }
  pull_ = std::move(pull);
  open_ = true;
  paused_ = true;
  return true;
}

void TNullAudioDevice::Pause() {
  std::lock_guard lock(mutex_);
  paused_ = true;
}

void TNullAudioDevice::Resume() {
  std::lock_guard lock(mutex_);
  if (open_) paused_ = false;
}

void TNullAudioDevice::Close() {
  TPull pull;
  {
    std::lock_guard lock(mutex_);
    open_ = false;
    paused_ = true;
    pull.swap(pull_);
  }
  // `pull` and what it holds are freed here, outside the lock.
}

bool TNullAudioDevice::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

bool TNullAudioDevice::Pull(size_t frames, std::vector<int16_t>& samples) {
  samples.assign(frames * TAudioFormat::kChannels, 0);
  std::lock_guard lock(mutex_);
  if (!open_ || paused_ || !pull_) return false;
  try {
    pull_(std::span<int16_t>(samples));
  } catch (...) {
    samples.assign(samples.size(), 0);  // a pull that throws plays silence
  }
  return true;
}

}  // namespace kova::plat
