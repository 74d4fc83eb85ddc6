// The blits of the alpha surface: clipping, then the rows of the pixel operations (pixels/ops.h);
// 1-, 4- and 8-bit targets copy and dither pixel by pixel.
#include <algorithm>
#include <cstring>

#include "graphics/dib_surface.h"
#include "graphics/pixels/ops.h"

namespace kova {
namespace {

// Cuts the source rectangle to the source's bounds (moving the destination with it) and then to
// the target's bounds. False when nothing is left.
bool ClipBlit(int32_t& x, int32_t& y, TRect& r, const TDIB& target, const TDIB& source) {
  int64_t l = r.Left, t = r.Top, rr = r.Right, b = r.Bottom, dx = x, dy = y;
  if (l < 0) { dx -= l; l = 0; }
  if (t < 0) { dy -= t; t = 0; }
  rr = std::min<int64_t>(rr, source.Width());
  b = std::min<int64_t>(b, source.Height());
  if (dx < 0) { l -= dx; dx = 0; }
  if (dy < 0) { t -= dy; dy = 0; }
  if (dx + (rr - l) > target.Width()) rr = l + (target.Width() - dx);
  if (dy + (b - t) > target.Height()) b = t + (target.Height() - dy);
  if (l >= rr || t >= b) return false;
  r = TRect{int32_t(l), int32_t(t), int32_t(rr), int32_t(b)};
  x = int32_t(dx);
  y = int32_t(dy);
  return true;
}

bool KeyMatches(uint32_t value, int64_t key) { return int64_t(value) == key; }

// The 4 x 4 ordered-dither patterns of the 16 translucency levels; bit 3 - column of each row.
constexpr uint8_t kDither[16][4] = {
    {0b1000, 0b0000, 0b0000, 0b0000}, {0b1000, 0b0000, 0b0010, 0b0000}, {0b1010, 0b0000, 0b0010, 0b0000},
    {0b1010, 0b0000, 0b1010, 0b0000}, {0b1010, 0b0100, 0b1010, 0b0000}, {0b1010, 0b0100, 0b1010, 0b0001},
    {0b1010, 0b0101, 0b1010, 0b0001}, {0b1010, 0b0101, 0b1010, 0b0101}, {0b1110, 0b0101, 0b1010, 0b0101},
    {0b1110, 0b0101, 0b1011, 0b0101}, {0b1111, 0b0101, 0b1011, 0b0101}, {0b1111, 0b0101, 0b1111, 0b0101},
    {0b1111, 0b1101, 0b1111, 0b0101}, {0b1111, 0b1101, 0b1111, 0b0111}, {0b1111, 0b1111, 0b1111, 0b0111},
    {0b1111, 0b1111, 0b1111, 0b1111}};

// The pixel format of a storage depth for the pixel operations (the per-pixel results: the top
// byte of a computed 32-bit pixel is 0); None at 8 bits or fewer.
pixels::TFormat FormatOf(int32_t storage) {
  switch (storage) {
    case 15: return pixels::TFormat::P555;
    case 16: return pixels::TFormat::P565;
    case 24: return pixels::TFormat::P24;
    case 32: return pixels::TFormat::P32;
    default: return pixels::TFormat::None;
  }
}

// A key as the operations take it: on when it can match a pixel of `bits` bits.
void SetKey(pixels::TOpArgs& a, int64_t key, int32_t bits) {
  const int64_t top = bits >= 32 ? 0xFFFFFFFFll : (int64_t(1) << bits) - 1;
  a.keyed = key >= 0 && key <= top;
  a.key = uint32_t(key);
}

// Runs one operation over the clipped rows: destination at (x, y), source rectangle r.
void Rows(TDIB& target, int32_t x, int32_t y, const TRect& r, const TDIB& source, const TDIB* mask,
          pixels::TFormat f, pixels::TOp op, const pixels::TOpArgs& a) {
  if (f == pixels::TFormat::None) return;
  const int32_t bytes = pixels::BytesOf(f);
  const pixels::TRowFn row = pixels::PixelOps().Row(op, f);
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j) + ptrdiff_t(r.Left) * bytes;
    const uint8_t* m = mask ? mask->RowAddress(r.Top + j) + r.Left : nullptr;
    row(target.RowAddress(y + j) + ptrdiff_t(x) * bytes, s, m, r.Width(), 1, a);
  }
}

}  // namespace

void TDIBSurface::Draw(int32_t x, int32_t y, const TDIBSurface& source) {
  Draw(x, y, TRect{0, 0, source.Width(), source.Height()}, source);
}

void TDIBSurface::Draw(int32_t x, int32_t y, const TRect& rect, const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return Draw(x, y, rect, copy);
  }
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  const int32_t w = r.Width();
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j);
    uint8_t* d = RowAddress(y + j);
    switch (bits) {
      case 1:
      case 4:
        for (int32_t i = 0; i < w; ++i) WriteViewPixel(d, x + i, bits, ReadViewPixel(s, r.Left + i, bits));
        break;
      case 8: std::memcpy(d + x, s + r.Left, size_t(w)); break;
      case 15:
      case 16: std::memcpy(d + 2 * x, s + 2 * r.Left, size_t(w) * 2); break;
      case 24: std::memcpy(d + 3 * x, s + 3 * r.Left, size_t(w) * 3); break;
      case 32: std::memcpy(d + 4 * x, s + 4 * r.Left, size_t(w) * 4); break;
      default: return;
    }
  }
}

void TDIBSurface::DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& rect, const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawKeyed(x, y, key, rect, copy);
  }
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  if (bits <= 8) {
    for (int32_t j = 0; j < r.Height(); ++j) {
      const uint8_t* s = source.RowAddress(r.Top + j);
      uint8_t* d = RowAddress(y + j);
      for (int32_t i = 0; i < r.Width(); ++i) {
        const uint32_t v = ReadViewPixel(s, r.Left + i, bits);
        if (!KeyMatches(v, key)) WriteViewPixel(d, x + i, bits, v);
      }
    }
    return;
  }
  pixels::TOpArgs a;
  SetKey(a, key, bits == 15 ? 16 : bits);
  Rows(*this, x, y, r, source, nullptr, FormatOf(bits), a.keyed ? pixels::TOp::Key : pixels::TOp::Copy, a);
}

void TDIBSurface::DrawTranslucent(int32_t x, int32_t y, int32_t opacity, int64_t key, const TRect& rect,
                                  const TDIBSurface& source) {
  if (opacity == 0) return;
  const int32_t bits = StorageBitCount();
  if (opacity < 0 || opacity >= 255 || (bits <= 8 && opacity / 16 == 15))
    return DrawKeyed(x, y, key, rect, source);
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawTranslucent(x, y, opacity, key, rect, copy);
  }
  TRect r = rect;
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  if (bits <= 8) {
    const int32_t level = opacity / 16;
    for (int32_t j = 0; j < r.Height(); ++j) {
      const uint8_t* s = source.RowAddress(r.Top + j);
      uint8_t* d = RowAddress(y + j);
      const uint8_t pattern = kDither[level][(y + j) & 3];
      for (int32_t i = 0; i < r.Width(); ++i) {
        if (!(pattern & (8 >> ((x + i) & 3)))) continue;
        const uint32_t v = ReadViewPixel(s, r.Left + i, bits);
        if (!KeyMatches(v, key)) WriteViewPixel(d, x + i, bits, v);
      }
    }
    return;
  }
  // 15, 16 and 24 bits divide by 255; 32 bits is the two-lane blend (>> 8). At 24 bits the key is
  // matched by its three low bytes.
  pixels::TOpArgs a;
  a.level = uint32_t(opacity);
  if (bits == 24) {
    a.keyed = key >= 0;
    a.key = uint32_t(key) & 0xFFFFFF;
  } else {
    SetKey(a, key, bits == 15 ? 16 : bits);
  }
  Rows(*this, x, y, r, source, nullptr, FormatOf(bits), bits == 32 ? pixels::TOp::Blend : pixels::TOp::Translucent,
       a);
}

void TDIBSurface::DrawAlphaMask(int32_t x, int32_t y, int32_t opacity, const TRect& rect,
                                const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawAlphaMask(x, y, opacity, rect, copy);
  }
  const TDIBSurface* alpha = source.Alpha();
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (!alpha || alpha->Width() != source.Width() || alpha->Height() != source.Height() ||
      source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source))
    return;
  if (bits <= 8) {
    for (int32_t j = 0; j < r.Height(); ++j) {
      const uint8_t* s = source.RowAddress(r.Top + j);
      const uint8_t* al = alpha->RowAddress(r.Top + j) + r.Left;
      uint8_t* d = RowAddress(y + j);
      for (int32_t i = 0; i < r.Width(); ++i)
        if (al[i] >= 128) WriteViewPixel(d, x + i, bits, ReadViewPixel(s, r.Left + i, bits));
    }
    return;
  }
  // The alpha value v: 0 skips, 255 copies, else the blend. At 24 bits an opacity below 255 scales
  // v first, and then every v above 0 blends (never a plain copy).
  const uint32_t op = uint32_t(std::clamp(opacity, 0, 255));
  pixels::TOpArgs a;
  pixels::TOp kind = pixels::TOp::Mask;
  if (bits == 24 && op < 255) {
    kind = pixels::TOp::MaskBlend;
    a.level = op;
    a.skip_zero_weight = true;
  }
  Rows(*this, x, y, r, source, alpha, FormatOf(bits), kind, a);
}

}  // namespace kova
