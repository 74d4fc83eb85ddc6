#include "media/wav_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace kova {
namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagExtensible = 0xFFFE;
// The PCM sub-format of the extensible tag: 00000001-0000-0010-8000-00AA00389B71, as stored.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Rates outside these are not taken as sound (the converter's bounds).
constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 384000;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadAt(plat::IByteSource& source, int64_t at, void* buffer, int64_t count) {
  return source.SetPosition(at) == at && source.Read(buffer, count) == count;
}

class TWavDecoder : public plat::IPcmDecoder {
 public:
  TWavDecoder(std::unique_ptr<plat::IByteSource> source, plat::TPcmFormat format, int64_t data_at, int64_t frames)
      : source_(std::move(source)), format_(format), data_at_(data_at), frames_(frames) {}

  plat::TPcmFormat Format() const override { return format_; }
  int64_t TotalFrames() const override { return frames_; }
  int64_t FramePosition() const override { return position_; }

  int64_t Read(void* buffer, int64_t bytes) override {
    const int64_t block = format_.BlockAlign();
    const int64_t frames = std::min(bytes / block, frames_ - position_);
    if (frames <= 0) return 0;
    const int64_t at = data_at_ + position_ * block;
    if (source_->SetPosition(at) != at) return 0;
    const int64_t got = std::max<int64_t>(source_->Read(buffer, frames * block), 0) / block;
    if constexpr (std::endian::native == std::endian::big) {
      if (format_.bits == 16) {
        auto* p = static_cast<uint8_t*>(buffer);
        for (int64_t i = 0; i < got * block; i += 2) std::swap(p[i], p[i + 1]);
      }
    }
    position_ += got;
    return got * block;
  }

  bool SeekFrame(int64_t frame) override {
    position_ = std::clamp<int64_t>(frame, 0, frames_);
    return true;
  }

 private:
  std::unique_ptr<plat::IByteSource> source_;
  plat::TPcmFormat format_;
  int64_t data_at_;
  int64_t frames_;
  int64_t position_ = 0;
};

// The format of a "fmt " chunk's body; an invalid format when it is not PCM the reader plays.
plat::TPcmFormat ParseFormat(const uint8_t* body, uint32_t size) {
  if (size < 16) return {};
  const uint16_t tag = U16(body);
  if (tag == kTagExtensible) {
    if (size < 40 || std::memcmp(body + 24, kPcmSubFormat, sizeof kPcmSubFormat) != 0) return {};
  } else if (tag != kTagPcm) {
    return {};
  }
  const uint16_t channels = U16(body + 2);
  const uint32_t rate = U32(body + 4);
  const uint16_t bits = U16(body + 14);
  if (channels < 1 || channels > 2 || (bits != 8 && bits != 16) || rate < kMinRate || rate > kMaxRate) return {};
  return {channels, int32_t(rate), bits};
}

}  // namespace

std::unique_ptr<plat::IPcmDecoder> OpenWavDecoder(std::unique_ptr<plat::IByteSource> source) {
  if (!source) return nullptr;
  const int64_t size = source->Size();
  uint8_t head[12];
  if (size < 12 || !ReadAt(*source, 0, head, 12)) return nullptr;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return nullptr;
  // The chunks are walked within the bytes there are, whatever the RIFF size says.
  plat::TPcmFormat format;
  int64_t data_at = -1, data_size = 0;
  int64_t at = 12;
  while (at <= size - 8 && (!format.Valid() || data_at < 0)) {
    uint8_t chunk[8];
    if (!ReadAt(*source, at, chunk, 8)) break;
    const uint32_t declared = U32(chunk + 4);
    const int64_t body_at = at + 8;
    const int64_t body = std::min<int64_t>(declared, size - body_at);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && !format.Valid()) {
      uint8_t fmt[40] = {};
      const int64_t n = std::min<int64_t>(body, sizeof fmt);
      if (!ReadAt(*source, body_at, fmt, n)) return nullptr;
      format = ParseFormat(fmt, uint32_t(n));
      if (!format.Valid()) return nullptr;
    } else if (std::memcmp(chunk, "data", 4) == 0 && data_at < 0) {
      data_at = body_at;
      data_size = body;
    }
    at = body_at + int64_t(declared) + (declared & 1);  // chunks are padded to even sizes
  }
  if (!format.Valid() || data_at < 0) return nullptr;
  const int64_t frames = data_size / format.BlockAlign();
  return std::make_unique<TWavDecoder>(std::move(source), format, data_at, frames);
}

}  // namespace kova
