#include "graphics/dib_surface.h"

#include <algorithm>
#include <cstring>

#include "graphics/palette_index.h"

namespace kova {

TDIBSurface::TDIBSurface(const TDIBSurface& other) : TDIB(other) {
  if (other.alpha_) alpha_ = std::make_unique<TDIBSurface>(*other.alpha_);
}

TDIBSurface& TDIBSurface::operator=(const TDIBSurface& other) {
  if (this != &other) {
    TDIBSurface copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void TDIBSurface::SetSize(int32_t width, int32_t height, int32_t bits) {
  PixelFormat = bits == 15 ? kFormat555 : bits == 16 ? kFormat565 : kFormat888;
  TDIB::SetSize(width, height, bits == 15 ? 16 : bits);
  if (alpha_ && !Empty()) alpha_->TDIB::SetSize(Width(), Height(), 8);
  if (Empty()) alpha_.reset();
}

void TDIBSurface::Clear() {
  TDIB::Clear();
  alpha_.reset();
}

int32_t TDIBSurface::StorageBitCount() const {
  return BitCount() == 16 && NowPixelFormat().GBitMask == 0x3E0 ? 15 : BitCount();
}

void TDIBSurface::NeedAlpha() {
  if (!alpha_) alpha_ = std::make_unique<TDIBSurface>();
  if (alpha_->Width() != Width() || alpha_->Height() != Height() || alpha_->BitCount() != 8) {
    alpha_->TDIB::Clear();
    alpha_->TDIB::SetSize(Width(), Height(), 8);
  }
}

void TDIBSurface::FillAlpha() {
  if (alpha_ && !alpha_->Empty()) std::memset(alpha_->PixelData(), 255, alpha_->Size());
}

void TDIBSurface::SetAlphaFrom(const TDIB& surface) {
  NeedAlpha();
  if (surface.BitCount() != 8 || alpha_->Empty()) return;
  const int32_t rows = std::min(surface.Height(), alpha_->Height());
  const int32_t cols = std::min(surface.Width(), alpha_->Width());
  for (int32_t y = 0; y < rows; ++y) std::memcpy(alpha_->RowAddress(y), surface.RowAddress(y), size_t(cols));
}

void TDIBSurface::CopyAlphaRect(const TDIBSurface& source, const TRect& rect) {
  const TDIBSurface* from = source.Alpha();
  if (!from || !alpha_ || alpha_->Empty() || rect.Left < 0 || rect.Left >= from->Width()) return;
  const int32_t cols = std::min(alpha_->Width(), from->Width() - rect.Left);
  // Own row k takes source row rect.Top + k, for the rows inside both planes and the rectangle.
  const int64_t top = rect.Top;
  const int64_t first = std::max<int64_t>(0, -top);
  const int64_t stop = std::min<int64_t>(alpha_->Height(), std::min<int64_t>(rect.Bottom, from->Height()) - top);
  for (int64_t k = first; k < stop; ++k)
    std::memmove(alpha_->RowAddress(int32_t(k)), from->RowAddress(int32_t(top + k)) + rect.Left, size_t(cols));
}

void TDIBSurface::FillRect(TRect rect, uint32_t pixel) {
  rect.Left = std::max(rect.Left, 0);
  rect.Top = std::max(rect.Top, 0);
  rect.Right = std::min(rect.Right, Width());
  rect.Bottom = std::min(rect.Bottom, Height());
  if (rect.Left >= rect.Right || rect.Top >= rect.Bottom) return;
  const int32_t bits = StorageBitCount();
  switch (bits) {
    case 1: pixel &= 1; break;
    case 4: pixel &= 15; break;
    case 15: pixel &= 0x7FFF; break;
    default: break;
  }
  for (int32_t y = rect.Top; y < rect.Bottom; ++y) {
    uint8_t* row = RowAddress(y);
    switch (bits) {
      case 8: std::memset(row + rect.Left, int(pixel & 0xFF), size_t(rect.Width())); break;
      case 15:
      case 16: {
        uint16_t* p = reinterpret_cast<uint16_t*>(row) + rect.Left;
        std::fill(p, p + rect.Width(), uint16_t(pixel));
        break;
      }
      case 32: {
        uint32_t* p = reinterpret_cast<uint32_t*>(row) + rect.Left;
        std::fill(p, p + rect.Width(), pixel);
        break;
      }
      default:
        for (int32_t x = rect.Left; x < rect.Right; ++x) WriteViewPixel(row, x, bits, pixel);
        break;
    }
  }
}

void TDIBSurface::CopyRect(const TDIBSurface& source, TRect rect, bool with_alpha) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return CopyRect(copy, rect, with_alpha);
  }
  rect = TRect{std::max(rect.Left, 0), std::max(rect.Top, 0), std::min(rect.Right, source.Width()),
               std::min(rect.Bottom, source.Height())};
  if (rect.Left >= rect.Right || rect.Top >= rect.Bottom) {
    Clear();
    return;
  }
  const TColorTable table = ColorTable();
  TDIBSurface::SetSize(rect.Width(), rect.Height(), source.StorageBitCount());
  ColorTable() = table;
  Draw(0, 0, rect, source);
  if (with_alpha && source.Alpha()) {
    NeedAlpha();
    CopyAlphaRect(source, rect);
  }
}

void TDIBSurface::Crop(const TRect& rect) {
  TDIBSurface part;
  part.CopyRect(*this, rect, true);
  CopyRect(part, part.View().Bounds(), true);
  if (!part.Alpha()) FreeAlpha();
}

TRect TDIBSurface::ContentRect(int64_t value) const {
  if (value == -1 || Empty()) return TRect{0, 0, Width(), Height()};
  TRect r{Width(), Height(), 0, 0};
  const int32_t bits = BitCount();
  for (int32_t y = 0; y < Height(); ++y) {
    const uint8_t* row = RowAddress(y);
    for (int32_t x = 0; x < Width(); ++x) {
      if (int64_t(ReadViewPixel(row, x, bits)) == value) continue;
      r.Left = std::min(r.Left, x);
      r.Right = std::max(r.Right, x + 1);
      r.Top = std::min(r.Top, y);
      r.Bottom = y + 1;
    }
  }
  if (r.Left >= r.Right) return TRect{};
  return r;
}

void TDIBSurface::Trim(int64_t value) {
  const TRect r = ContentRect(value);
  if (r == TRect{0, 0, Width(), Height()}) return;
  Crop(r.Left >= r.Right ? TRect{0, 0, 1, 1} : r);
}

void TDIBSurface::AssignSurface(const TDIBSurface& source) {
  if (&source == this) return;
  static_cast<TDIB&>(*this) = static_cast<const TDIB&>(source);
  if (source.alpha_) {
    alpha_ = std::make_unique<TDIBSurface>(*source.alpha_);
  } else {
    alpha_.reset();
  }
}

uint32_t TDIBSurface::PackRGB(uint8_t r, uint8_t g, uint8_t b) const {
  switch (StorageBitCount()) {
    case 1:
    case 4:
    case 8: {
      TPaletteEntry entries[256];
      const int32_t count = PaletteCount();
      for (int32_t i = 0; i < count; ++i) {
        const TRGBQuad& q = ColorTable()[size_t(i)];
        entries[i] = {q.Red, q.Green, q.Blue, 0};
      }
      return uint32_t(NearestPaletteIndex(entries, TColor(r) | TColor(g) << 8 | TColor(b) << 16, count));
    }
    case 15: return uint32_t(r >> 3) << 10 | uint32_t(g >> 3) << 5 | uint32_t(b >> 3);
    case 16: return uint32_t(r >> 3) << 11 | uint32_t(g >> 2) << 5 | uint32_t(b >> 3);
    default: return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  }
}

void TDIBSurface::StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h,
                              int32_t sx, int32_t sy, int32_t sw, int32_t sh) const {
  if (Empty()) return;
  ConvertBlit(dc, TRect{x, y, x + w, y + h}, View(), TRect{sx, sy, sx + sw, sy + sh});
}

}  // namespace kova
