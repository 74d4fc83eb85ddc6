#include "media/audio_bus.h"

#include <algorithm>

namespace kova {

bool TAudioBus::Open(std::string& error) {
  if (open_) return true;
  if (!device_.Open([this](std::span<int16_t> samples) { Mix(samples, false); }, error)) return false;
  device_.Resume();
  open_ = true;
  return true;
}

void TAudioBus::Close() {
  if (!open_) return;
  device_.Close();
  open_ = false;
}

void TAudioBus::Attach(IAudioInput& input) {
  std::lock_guard lock(inputs_mutex_);
  if (std::find(inputs_.begin(), inputs_.end(), &input) == inputs_.end()) inputs_.push_back(&input);
}

void TAudioBus::Detach(IAudioInput& input) {
  std::lock_guard lock(inputs_mutex_);
  std::erase(inputs_, &input);
}

void TAudioBus::Mix(std::span<int16_t> samples, bool wait) {
  std::fill(samples.begin(), samples.end(), int16_t(0));
  std::lock_guard lock(inputs_mutex_);
  for (IAudioInput* input : inputs_) input->MixInto(samples, wait);
}

void TAudioBus::PullFrame(int32_t ms, std::vector<int16_t>* out) {
  if (!open_ || ms <= 0) return;
  pulled_ms_ += ms;
  const int64_t total = pulled_ms_ * plat::TAudioFormat::kRate / 1000;
  const size_t frames = size_t(total - pulled_frames_);
  pulled_frames_ = total;
  pulled_.assign(frames * plat::TAudioFormat::kChannels, 0);
  Mix(pulled_, true);
  if (out) out->insert(out->end(), pulled_.begin(), pulled_.end());
}

void MixSaturated(std::span<int16_t> into, std::span<const int16_t> from) {
  const size_t n = std::min(into.size(), from.size());
  for (size_t i = 0; i < n; ++i) {
    into[i] = int16_t(std::clamp(int32_t(into[i]) + int32_t(from[i]), -32768, 32767));
  }
}

}  // namespace kova
