// The video decoders as the media layer reaches them: the backend over FFmpeg (platform/media,
// TMediaVideoCodecs) implements this, and the session hands it to its media subsystem.
// TNoVideoCodecs decodes nothing.
//
// A decoder gives a video's pictures in the order they are shown, each converted to the screen's
// pixels (XRGB8888: one 32-bit word a pixel, blue in the low byte), and can seek by time. The
// sound track is opened apart, over a byte source of its own, as a PCM decoder in the bus's
// format. A decoder is used by one thread at a time (its worker, or the main thread before it
// hands it over); damaged or truncated data ends the pictures early, it never hangs or raises.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"

namespace kova::plat {

// One decoded picture: `width` x `height` pixels, rows packed top row first.
struct TVideoPicture {
  int32_t width = 0;
  int32_t height = 0;
  int64_t time_ms = 0;  // when it is shown, in ms from the video's start
  std::vector<uint32_t> pixels;
};

class IVideoDecoder {
 public:
  virtual ~IVideoDecoder() = default;
  // The picture's size, the same for every picture of the video.
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // The length in ms (what the container says, else the end of the last picture; 0 unknown).
  virtual int64_t DurationMs() const = 0;
  // The next picture into `picture` (its pixel buffer is reused); false at the end or when
  // nothing more can be decoded.
  virtual bool ReadPicture(TVideoPicture& picture) = 0;
  // Moves so that the next picture read is the one shown at `ms` (the last one that starts at or
  // before it); false when the video cannot be sought.
  virtual bool Seek(int64_t ms) = 0;
};

class IVideoCodecs {
 public:
  virtual ~IVideoCodecs() = default;
  // The pictures of the video read from `source` (owned from now on); nullptr when it holds no
  // video stream that can be decoded, or when a picture would have more than `max_pixels` pixels
  // (or a side longer than 32767).
  virtual std::unique_ptr<IVideoDecoder> OpenVideo(std::unique_ptr<IByteSource> source, int64_t max_pixels) = 0;
  // The sound track of the video read from `source` (owned), in 44100 Hz 16-bit stereo; nullptr
  // when it has none that can be decoded.
  virtual std::unique_ptr<IPcmDecoder> OpenVideoSound(std::unique_ptr<IByteSource> source) = 0;
};

class TNoVideoCodecs : public IVideoCodecs {
 public:
  std::unique_ptr<IVideoDecoder> OpenVideo(std::unique_ptr<IByteSource>, int64_t) override { return nullptr; }
  std::unique_ptr<IPcmDecoder> OpenVideoSound(std::unique_ptr<IByteSource>) override { return nullptr; }
};

}  // namespace kova::plat
