// A bitmap with an optional 8-bit alpha plane (0 transparent, 255 opaque) and the blits with which
// the frames of layered pictures are composited: opaque, keyed, translucent, through the alpha
// plane, and rectangle fills; cropping to the content and conversion to another depth.
#pragma once

#include <cstdint>
#include <memory>

#include "core/types.h"
#include "graphics/dib.h"
#include "graphics/pixel_view.h"

namespace kova {

class TDIBSurface : public TDIB {
 public:
  TDIBSurface() = default;
  TDIBSurface(const TDIBSurface& other);
  TDIBSurface& operator=(const TDIBSurface& other);
  TDIBSurface(TDIBSurface&&) noexcept = default;
  TDIBSurface& operator=(TDIBSurface&&) noexcept = default;

  // 15 bits: 5-5-5 stored in 16-bit words; 16: 5-6-5; any other depth 8-8-8. An existing alpha
  // plane takes the new width and height (its values are then 0).
  void SetSize(int32_t width, int32_t height, int32_t bits);
  // Empties the image and frees the alpha plane.
  void Clear() override;
  // 15 for a 16-bit image in the 5-5-5 format, else the bit count.
  int32_t StorageBitCount() const;

  TDIBSurface* Alpha() { return alpha_.get(); }
  const TDIBSurface* Alpha() const { return alpha_.get(); }
  // Creates the alpha plane, or re-makes it at the image's size when that differs.
  void NeedAlpha();
  void FreeAlpha() { alpha_.reset(); }
  // Every alpha value 255.
  void FillAlpha();
  // Copies an 8-bit bitmap into the alpha plane (the part both cover).
  void SetAlphaFrom(const TDIB& surface);
  // Rows rect.Top..rect.Bottom-1 of the source's alpha plane, from column rect.Left, into rows 0..
  // of the own plane (the part that lies inside both planes).
  void CopyAlphaRect(const TDIBSurface& source, const TRect& rect);

  // Fills the part of `rect` inside the image with a raw pixel value.
  void FillRect(TRect rect, uint32_t pixel);

  // Blits put the source rectangle's top-left corner at (x, y) in this surface. The rectangle is
  // cut to the source's bounds and the result to this surface's bounds; sources of another
  // storage depth draw nothing. Keys are raw source pixel values, -1 for none.
  void Draw(int32_t x, int32_t y, const TDIBSurface& source);
  void Draw(int32_t x, int32_t y, const TRect& rect, const TDIBSurface& source);
  // Skips source pixels equal to the key.
  void DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& rect, const TDIBSurface& source);
  // Blends with opacity 1..254 (ordered dither at 8 bits or fewer); 255 and above, or below 0, is
  // the keyed copy, 0 draws nothing.
  void DrawTranslucent(int32_t x, int32_t y, int32_t opacity, int64_t key, const TRect& rect,
                       const TDIBSurface& source);
  // Blends through the source's alpha plane; the opacity scales it at 24 bits only.
  void DrawAlphaMask(int32_t x, int32_t y, int32_t opacity, const TRect& rect, const TDIBSurface& source);

  // Re-makes this surface at the rectangle's size and the source's storage depth (keeping its own
  // colour table) and copies the rectangle, and when asked the matching part of the alpha plane.
  void CopyRect(const TDIBSurface& source, TRect rect, bool with_alpha);
  void Crop(const TRect& rect);
  // The smallest rectangle holding every pixel whose raw value differs from `value` (empty when
  // none; the whole image for -1).
  TRect ContentRect(int64_t value) const;
  // Crops to ContentRect(value); an image without content becomes its 1 x 1 top-left corner.
  void Trim(int64_t value);
  // Converts the pixels to `bits` (1, 4, 8, 15, 16, 24 or 32) through the colour reduction; the
  // alpha plane is kept. At 32 bits the top byte of every pixel becomes 0xFF.
  void ConvertBitCount(int32_t bits, uint8_t max_index, bool dither);
  // Takes the source's size, depth, colour table, pixels and alpha plane.
  void AssignSurface(const TDIBSurface& source);
  // The raw pixel of three 8-bit channels at the storage depth (the nearest palette index at 8
  // bits or fewer).
  uint32_t PackRGB(uint8_t r, uint8_t g, uint8_t b) const;
  // Copies the source rectangle (sx, sy, sw, sh) into (x, y, w, h) of `dc`, scaled to the nearest
  // pixel and converted to the view's depth.
  void StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                   int32_t sy, int32_t sw, int32_t sh) const;

 private:
  std::unique_ptr<TDIBSurface> alpha_;
};

}  // namespace kova
