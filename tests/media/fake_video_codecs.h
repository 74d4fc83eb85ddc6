// Video decoders for the media layer's tests. A fake video file is the text
// "VID width height pictures interval_ms [sound]": picture i starts at i * interval_ms and its
// left half is PictureColour(i), its right half the inverse colour; with "sound" it has a sound
// track of silence. Anything else is not a video. A decoder can be made slow (each picture takes
// `delay_ms`) or fail with an exception at a picture, and every decoder counts its seeks.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/video_codecs.h"

namespace kova::test {

inline uint32_t PictureColour(int32_t i) { return 0x102030u + uint32_t(i) * 0x010203u; }

struct FakeVideoFile {
  int32_t width = 0, height = 0, pictures = 0, interval = 0;
  bool sound = false;
  static bool Parse(plat::IByteSource& source, FakeVideoFile& out) {
    char text[128] = {};
    const int64_t n = source.Read(text, int64_t(sizeof(text)) - 1);
    if (n <= 0) return false;
    char word[16] = {};
    const int got = std::sscanf(text, "VID %d %d %d %d %15s", &out.width, &out.height, &out.pictures, &out.interval, word);
    out.sound = got == 5 && std::string(word) == "sound";
    return got >= 4 && out.width > 0 && out.height > 0 && out.interval > 0;
  }
};

class FakeVideoDecoder : public plat::IVideoDecoder {
 public:
  FakeVideoDecoder(const FakeVideoFile& file, int delay_ms, std::atomic<int>* seeks, int throw_at = -1)
      : file_(file), delay_ms_(delay_ms), seeks_(seeks), throw_at_(throw_at) {}
  int32_t Width() const override { return file_.width; }
  int32_t Height() const override { return file_.height; }
  int64_t DurationMs() const override { return int64_t(file_.pictures) * file_.interval; }
  bool ReadPicture(plat::TVideoPicture& p) override {
    if (next_ >= file_.pictures) return false;
    if (next_ == throw_at_) throw std::runtime_error("the decoder failed");
    if (delay_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms_));
    p.width = file_.width;
    p.height = file_.height;
    p.time_ms = int64_t(next_) * file_.interval;
    p.pixels.resize(size_t(p.width) * p.height);
    const uint32_t c = PictureColour(next_);
    for (int32_t y = 0; y < p.height; ++y) {
      for (int32_t x = 0; x < p.width; ++x) p.pixels[size_t(y) * p.width + x] = x < p.width / 2 ? c : c ^ 0xffffff;
    }
    ++next_;
    return true;
  }
  bool Seek(int64_t ms) override {
    if (seeks_) ++*seeks_;
    next_ = int32_t(std::min<int64_t>(ms / file_.interval, file_.pictures));
    return true;
  }

 private:
  FakeVideoFile file_;
  int delay_ms_;
  std::atomic<int>* seeks_;
  int throw_at_;
  int32_t next_ = 0;
};

// Silence of the given length in the bus's format.
class SilentTrack : public plat::IPcmDecoder {
 public:
  explicit SilentTrack(int64_t frames) : frames_(frames) {}
  plat::TPcmFormat Format() const override { return {2, 44100, 16}; }
  int64_t TotalFrames() const override { return frames_; }
  int64_t Read(void* buffer, int64_t bytes) override {
    const int64_t n = std::min(bytes / 4, frames_ - at_);
    std::fill_n(static_cast<uint8_t*>(buffer), size_t(n) * 4, uint8_t(0));
    at_ += n;
    return n * 4;
  }
  bool SeekFrame(int64_t frame) override {
    at_ = std::clamp<int64_t>(frame, 0, frames_);
    return true;
  }
  int64_t FramePosition() const override { return at_; }

 private:
  int64_t frames_;
  int64_t at_ = 0;
};

class FakeVideoCodecs : public plat::IVideoCodecs {
 public:
  std::unique_ptr<plat::IVideoDecoder> OpenVideo(std::unique_ptr<plat::IByteSource> source, int64_t max_pixels) override {
    FakeVideoFile file;
    if (!source || !FakeVideoFile::Parse(*source, file)) return nullptr;
    if (int64_t(file.width) * file.height > max_pixels) return nullptr;
    return std::make_unique<FakeVideoDecoder>(file, delay_ms, &seeks, throw_at);
  }
  std::unique_ptr<plat::IPcmDecoder> OpenVideoSound(std::unique_ptr<plat::IByteSource> source) override {
    FakeVideoFile file;
    if (!source || !FakeVideoFile::Parse(*source, file) || !file.sound) return nullptr;
    return std::make_unique<SilentTrack>(int64_t(file.pictures) * file.interval * 441 / 10);
  }

  int delay_ms = 0;
  int throw_at = -1;  // the picture whose decoding raises (-1: none)
  std::atomic<int> seeks{0};
};

}  // namespace kova::test
