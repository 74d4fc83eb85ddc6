// What the display layer hands to the drawing code: off-screen pixel buffers in the display's own
// pixel format (5-6-5, 5-5-5, 8-8-8-8, or palette indexes), with a positive pitch and an optional
// palette. A windowing backend implements the factory over its own surfaces; the memory
// implementation here serves headless runs and tests and can take any of the formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/byte_buffer.h"
#include "core/errors.h"
#include "graphics/pixel_format.h"

namespace kova {

// Failures of display-format surfaces (English texts: "\"CreateSurface\" Failed", ...).
class EDisplaySurfaceError : public EKovaError {
 public:
  using EKovaError::EKovaError;
};

// A pixel format as the display reports it: the bits per pixel and the channel masks (all 0 for
// palette formats of 1, 4 and 8 bits).
struct TDisplayFormat {
  int32_t BitCount = 0;
  uint32_t RedMask = 0;
  uint32_t GreenMask = 0;
  uint32_t BlueMask = 0;
  friend bool operator==(const TDisplayFormat&, const TDisplayFormat&) = default;
};

inline constexpr TDisplayFormat kDisplay8888{32, 0xFF0000, 0xFF00, 0xFF};
inline constexpr TDisplayFormat kDisplay565{16, 0xF800, 0x7E0, 0x1F};
inline constexpr TDisplayFormat kDisplay555{16, 0x7C00, 0x3E0, 0x1F};
inline constexpr TDisplayFormat kDisplayPalette8{8, 0, 0, 0};

// One off-screen buffer.
class IDisplayBuffer {
 public:
  virtual ~IDisplayBuffer() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual TDisplayFormat Format() const = 0;
  // Bytes from one row to the next (rows top-down, so positive).
  virtual ptrdiff_t Pitch() const = 0;
  // The top row's address, locked; nullptr when the pixels cannot be reached now. Every non-null
  // result is followed by one Unlock. Locks may nest.
  virtual uint8_t* Lock() = 0;
  virtual void Unlock() = 0;
  // The palette (2, 16 or 256 entries at 1, 4 and 8 bits; none otherwise).
  virtual int32_t PaletteCount() const = 0;
  virtual const TRGBQuad* Palette() const = 0;
  // False when the entries do not fit the palette from `start` (or there is none).
  virtual bool SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start) = 0;
};

// Makes off-screen buffers for the display.
class IDisplaySurfaceFactory {
 public:
  virtual ~IDisplaySurfaceFactory() = default;
  virtual TDisplayFormat DisplayFormat() const = 0;
  // A buffer of width x height: a palette buffer of that depth (entries 0) for bit counts 1, 4
  // and 8; the display's format for any other bit count. nullptr when it cannot be made.
  virtual std::unique_ptr<IDisplayBuffer> CreateOffscreen(int32_t width, int32_t height, int32_t bit_count) = 0;
};

// A buffer in plain memory, rows padded to 4 bytes, pixels and palette 0.
class TMemoryDisplayBuffer : public IDisplayBuffer {
 public:
  TMemoryDisplayBuffer(int32_t width, int32_t height, TDisplayFormat format);

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  TDisplayFormat Format() const override { return format_; }
  ptrdiff_t Pitch() const override { return pitch_; }
  uint8_t* Lock() override;
  void Unlock() override;
  int32_t PaletteCount() const override { return int32_t(palette_.size()); }
  const TRGBQuad* Palette() const override { return palette_.empty() ? nullptr : palette_.data(); }
  bool SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start) override;

  // While false, Lock gives nullptr (as a lost display surface does).
  void SetLockable(bool lockable) { lockable_ = lockable; }
  // Locks not yet unlocked.
  int32_t LockDepth() const { return locks_; }

 private:
  int32_t width_, height_;
  TDisplayFormat format_;
  ptrdiff_t pitch_;
  TByteBuffer pixels_;  // zero when made
  std::vector<TRGBQuad> palette_;
  bool lockable_ = true;
  int32_t locks_ = 0;
};

// Memory buffers in a configured display format (8-8-8-8 unless told otherwise). Sizes of 1 to
// 32767 pixels a side and at most 256 MiB are made; others give nullptr.
class TMemoryDisplayFactory : public IDisplaySurfaceFactory {
 public:
  explicit TMemoryDisplayFactory(TDisplayFormat format = kDisplay8888) : format_(format) {}
  void SetDisplayFormat(TDisplayFormat format) { format_ = format; }
  TDisplayFormat DisplayFormat() const override { return format_; }
  std::unique_ptr<IDisplayBuffer> CreateOffscreen(int32_t width, int32_t height, int32_t bit_count) override;

 private:
  TDisplayFormat format_;
};

}  // namespace kova
