// Decoded sound as the media layer reads it: interleaved PCM in a format of its own (channels,
// rate, bits), read in whole frames, seekable by frame. The decoders of compressed formats (Ogg
// Vorbis over libvorbisfile, WMA/ASF over FFmpeg) and the rate converter live in platform/media;
// the RIFF WAVE reader is the media layer's own. A decoder reads its bytes through a byte source
// (the four stream calls the original library was given) and is used by one thread at a time:
// the thread that owns it (a decoder worker), or the main thread before it hands it over.
#pragma once

#include <cstdint>
#include <memory>

namespace kova::plat {

struct TPcmFormat {
  int32_t channels = 0;  // 1 or 2 for every format the media layer plays
  int32_t rate = 0;      // frames a second
  int32_t bits = 0;      // 8 (unsigned) or 16 (signed, the machine's byte order)

  int32_t BlockAlign() const { return channels * (bits / 8); }
  int64_t BytesPerSecond() const { return int64_t(BlockAlign()) * rate; }
  bool Valid() const { return channels > 0 && rate > 0 && (bits == 8 || bits == 16); }
  bool operator==(const TPcmFormat&) const = default;
};

// The bytes of one sound file: a window onto the game's data, read by one thread at a time.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  virtual int64_t Size() = 0;
  // Up to `count` bytes at the position, which moves by what was read; 0 at the end or on an error.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Position() = 0;
  // Moves to `position` (held within 0 .. Size) and returns the new position.
  virtual int64_t SetPosition(int64_t position) = 0;
};

class IPcmDecoder {
 public:
  virtual ~IPcmDecoder() = default;
  virtual TPcmFormat Format() const = 0;
  // The length in frames (-1 when the container does not say).
  virtual int64_t TotalFrames() const = 0;
  // Up to `bytes` bytes of whole frames at the position, which moves by what was read; 0 at the
  // end, and 0 on damaged data from which nothing more can be decoded (never an exception).
  virtual int64_t Read(void* buffer, int64_t bytes) = 0;
  // Moves to `frame` (held within 0 .. TotalFrames); false when the data cannot be sought.
  virtual bool SeekFrame(int64_t frame) = 0;
  virtual int64_t FramePosition() const = 0;
};

}  // namespace kova::plat
