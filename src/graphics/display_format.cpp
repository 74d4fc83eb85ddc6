// The memory implementation of display buffers.
#include "graphics/display_format.h"

#include <algorithm>

namespace kova {

namespace {

constexpr int32_t kMaxSide = 32767;
constexpr size_t kMaxBytes = size_t(256) << 20;

}  // namespace

TMemoryDisplayBuffer::TMemoryDisplayBuffer(int32_t width, int32_t height, TDisplayFormat format)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      format_(format),
      pitch_(((ptrdiff_t(width_) * format.BitCount + 31) / 32) * 4) {
  const size_t size = size_t(pitch_) * size_t(height_);
  if (size > 0) pixels_ = AllocateZeroed(size);
  if (format.BitCount >= 1 && format.BitCount <= 8) palette_.assign(size_t(1) << format.BitCount, TRGBQuad{});
}

uint8_t* TMemoryDisplayBuffer::Lock() {
  if (!lockable_ || !pixels_) return nullptr;
  ++locks_;
  return pixels_.get();
}

void TMemoryDisplayBuffer::Unlock() {
  if (locks_ > 0) --locks_;
}

bool TMemoryDisplayBuffer::SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start) {
  if (start < 0 || size_t(start) > palette_.size() || entries.size() > palette_.size() - size_t(start)) return false;
  std::copy(entries.begin(), entries.end(), palette_.begin() + start);
  return true;
}

std::unique_ptr<IDisplayBuffer> TMemoryDisplayFactory::CreateOffscreen(int32_t width, int32_t height,
                                                                        int32_t bit_count) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  const TDisplayFormat format =
      bit_count == 1 || bit_count == 4 || bit_count == 8 ? TDisplayFormat{bit_count, 0, 0, 0} : format_;
  if (format.BitCount < 1) return nullptr;
  const size_t pitch = ((size_t(width) * size_t(format.BitCount) + 31) / 32) * 4;
  if (pitch * size_t(height) > kMaxBytes) return nullptr;
  return std::make_unique<TMemoryDisplayBuffer>(width, height, format);
}

}  // namespace kova
