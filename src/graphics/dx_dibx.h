// The display-format drawing surface: a TCustomDIBX over a pixel buffer that the display layer
// hands out (display_format.h), in the display's own pixel format with rows top-down (positive
// pitch). It is either made here by the display factory (SetSize) and owned, or wraps a buffer
// made elsewhere (CreateFromSurface), which then stays its creator's.
//
// Width, height, pitch, depth and masks are read from the buffer when it is made or wrapped. A
// 16-bit buffer with the 5-5-5 masks reports BitCount 15 (storage 16), as memory surfaces do;
// palette buffers report the 8-8-8 masks, so the channel formulas act on the index as one value.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "graphics/dibx.h"
#include "graphics/display_format.h"

namespace kova {

class TDxDIBX : public TCustomDIBX {
 public:
  // No buffer until SetSize. The factory is the screen's (its owner passes it); without one
  // SetSize only records the size.
  explicit TDxDIBX(IDisplaySurfaceFactory* factory);
  // Wraps `buffer` (not owned).
  static std::unique_ptr<TDxDIBX> CreateFromSurface(IDisplayBuffer& buffer);
  ~TDxDIBX() override;

  // True for a surface made here (SetSize), false for a wrapper.
  bool Owns() const { return owns_; }
  IDisplayBuffer* Surface() const { return surface_; }

  bool IsEmpty() const override;
  int32_t BitCount() const override;
  uint32_t RedMask() const override;
  uint32_t GreenMask() const override;
  uint32_t BlueMask() const override;
  ptrdiff_t Pitch() const override;
  // Each locks the buffer for the one pixel; 0 and nothing when it cannot be locked or (x, y) lies
  // outside.
  uint32_t GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, uint32_t value) override;
  // The number of zero bits below each mask's lowest set bit.
  int32_t BlueShift() const override;
  int32_t GreenShift() const override;
  int32_t RedShift() const override;
  int32_t Height() const override;
  int32_t Width() const override;
  int32_t StorageBitCount() const override;
  // Releases the held buffer and makes a new one: a palette buffer at 1, 4 and 8 bits, the
  // display's format otherwise (whatever the bit count asks). Raises EDisplaySurfaceError
  // ("\"CreateSurface\" Failed") when none can be made; the surface then has none.
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  // Locks the whole buffer until Unlock; nullptr when it cannot be locked or (x, y) lies outside.
  uint8_t* PixelAddress(int32_t x, int32_t y) override;
  void Unlock() override;
  // A view of the locked buffer, kept until ReleaseDC.
  TPixelView GetDC() override;
  void ReleaseDC() override;
  // -1 for a negative colour; otherwise the channels cut to the masks, or the nearest palette
  // entry, remembered for the last 16 colours converted.
  int32_t ColorToPixel(int32_t color) const override;
  // A surface made here lets go of its buffer (a wrapper keeps the wrapped one).
  void ReleaseSurface() override;
  // Lets go of the buffer (a wrapped one is only forgotten): 0 x 0.
  void Clear() override;
  void GetPalette(std::span<TRGBQuad> entries) const override;
  void GetPaletteEntries(std::span<TRGBQuad> entries, int32_t start, int32_t count) const override;
  // The first 2, 16 or 256 entries at 1, 4 and 8 bits.
  void SetPalette(std::span<const TRGBQuad> entries) override;
  // Raises EDisplaySurfaceError ("FPalette.SetEntries Failed") when the entries do not fit.
  void SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start, int32_t count) override;

 private:
  // The buffer's description, read when it is made or wrapped.
  struct TDescription {
    int32_t width = 0, height = 0;
    ptrdiff_t pitch = 0;
    TDisplayFormat format;
  };
  void Attach(IDisplayBuffer* buffer);
  void Detach();
  void ResetColorCache() const;
  uint8_t* Address(uint8_t* base, int32_t x, int32_t y) const;
  int32_t ConvertColor(uint32_t color) const;

  IDisplaySurfaceFactory* factory_ = nullptr;
  std::unique_ptr<IDisplayBuffer> owned_;
  IDisplayBuffer* surface_ = nullptr;
  bool owns_ = true;
  TDescription description_;
  bool dc_held_ = false;
  TPixelView dc_;
  mutable std::array<int32_t, 16> cache_colors_{};
  mutable std::array<int32_t, 16> cache_pixels_{};
  mutable int32_t cache_next_ = 0;
};

}  // namespace kova
