// Decoders made up by the media tests, in the bus's format (44100 Hz, 16-bit, stereo): a constant
// level, or a ramp whose value tells which frame played. A decoder may be slowed down, and it
// reports what it was doing to a probe the test keeps.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/pcm_decoder.h"

namespace kova::test {

struct TDecoderProbe {
  std::atomic<int32_t> reading{0};  // reads running now
  std::atomic<int32_t> reads{0};
  std::atomic<bool> freed{false};
};

class TFakeDecoder : public plat::IPcmDecoder {
 public:
  // Ramp: frame f plays (f % 30000, -(f % 30000)); otherwise both channels play `level`.
  TFakeDecoder(int64_t frames, bool ramp, int16_t level = 10000) : frames_(frames), ramp_(ramp), level_(level) {}
  ~TFakeDecoder() override {
    if (probe_) probe_->freed = true;
  }

  TFakeDecoder& Probe(std::shared_ptr<TDecoderProbe> probe) {
    probe_ = std::move(probe);
    return *this;
  }
  TFakeDecoder& ReadDelay(std::chrono::milliseconds delay) {
    delay_ = delay;
    return *this;
  }
  // Every read throws (a decoder that breaks its promise never to).
  TFakeDecoder& Throwing() {
    throws_ = true;
    return *this;
  }
  TFakeDecoder& WithFormat(plat::TPcmFormat format) {
    format_ = format;
    return *this;
  }

  static int16_t RampAt(int64_t frame) { return int16_t(frame % 30000); }

  plat::TPcmFormat Format() const override { return format_; }
  int64_t TotalFrames() const override { return frames_; }
  int64_t Read(void* buffer, int64_t bytes) override {
    if (probe_) {
      ++probe_->reading;
      ++probe_->reads;
    }
    if (delay_.count() > 0) std::this_thread::sleep_for(delay_);
    if (throws_) {
      if (probe_) --probe_->reading;
      throw std::runtime_error("broken decoder");
    }
    const int64_t n = std::min(bytes / 4, frames_ - position_);
    auto* out = static_cast<int16_t*>(buffer);
    for (int64_t i = 0; i < n; ++i) {
      const int16_t v = ramp_ ? RampAt(position_ + i) : level_;
      out[2 * i] = v;
      out[2 * i + 1] = ramp_ ? int16_t(-v) : v;
    }
    position_ += n;
    if (probe_) --probe_->reading;
    return n * 4;
  }
  bool SeekFrame(int64_t frame) override {
    position_ = std::clamp<int64_t>(frame, 0, frames_);
    return true;
  }
  int64_t FramePosition() const override { return position_; }

 private:
  int64_t frames_;
  bool ramp_;
  int16_t level_;
  int64_t position_ = 0;
  plat::TPcmFormat format_{2, 44100, 16};
  std::chrono::milliseconds delay_{0};
  bool throws_ = false;
  std::shared_ptr<TDecoderProbe> probe_;
};

}  // namespace kova::test
