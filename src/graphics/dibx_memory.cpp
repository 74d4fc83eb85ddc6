// The memory drawing surface: the surface interface answered from an owned TDIBSurface.
#include <algorithm>
#include <cstring>

#include "graphics/dibx.h"

namespace kova {

namespace {

int32_t MaskWidth(uint32_t mask) {
  int32_t n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

}  // namespace

TDIBX::TDIBX() : surface_(std::make_unique<TDIBSurface>()) { surface_->SetSize(1, 1, 15); }

TDIBX::~TDIBX() = default;

int32_t TDIBX::BitCount() const { return surface_->StorageBitCount(); }

void TDIBX::SetBitCount(int32_t bit_count) {
  if (bit_count == BitCount()) return;
  if (bit_count == 15) {
    surface_->PixelFormat = kFormat555;
    surface_->SetBitCount(16);
  } else {
    surface_->PixelFormat = bit_count == 16 ? kFormat565 : kFormat888;
    surface_->SetBitCount(bit_count);
  }
}

uint32_t TDIBX::RedMask() const { return surface_->NowPixelFormat().RBitMask; }
uint32_t TDIBX::GreenMask() const { return surface_->NowPixelFormat().GBitMask; }
uint32_t TDIBX::BlueMask() const { return surface_->NowPixelFormat().BBitMask; }
ptrdiff_t TDIBX::Pitch() const { return surface_->NextLine(); }
uint32_t TDIBX::GetPixel(int32_t x, int32_t y) const { return surface_->GetPixel(x, y); }
void TDIBX::SetPixel(int32_t x, int32_t y, uint32_t value) { surface_->SetPixel(x, y, value); }
int32_t TDIBX::BlueShift() const { return 0; }
int32_t TDIBX::GreenShift() const { return MaskWidth(BlueMask()); }
int32_t TDIBX::RedShift() const { return MaskWidth(GreenMask()) + MaskWidth(BlueMask()); }
int32_t TDIBX::StorageBitCount() const { return surface_->BitCount(); }

void TDIBX::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  surface_->SetSize(width, height, bit_count);
  TCustomDIBX::SetSize(surface_->Width(), surface_->Height(), bit_count);
}

uint8_t* TDIBX::PixelAddress(int32_t x, int32_t y) {
  const TDIBSurface& s = *surface_;
  if (s.Empty() || y < 0 || y >= s.Height() || x < 0 || x >= s.Width()) return nullptr;
  uint8_t* row = surface_->TopRow() + ptrdiff_t(y) * s.NextLine();
  switch (s.BitCount()) {
    case 1: return row + (x >> 3);
    case 4: return row + (x >> 1);
    case 8: return row + x;
    case 16: return row + 2 * ptrdiff_t(x);
    case 24: return row + 3 * ptrdiff_t(x);
    case 32: return row + 4 * ptrdiff_t(x);
    default: return nullptr;
  }
}

TPixelView TDIBX::GetDC() { return surface_->View(); }

int32_t TDIBX::ColorToPixel(int32_t color) const {
  if (color < 0) return -1;
  if (BitCount() <= 8) return color;
  const uint32_t c = uint32_t(color);
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  const int32_t rw = MaskWidth(RedMask()), gw = MaskWidth(GreenMask()), bw = MaskWidth(BlueMask());
  if (rw == 0 || gw == 0 || bw == 0 || rw > 8 || gw > 8 || bw > 8) return 0;
  return int32_t(((r >> (8 - rw)) << (gw + bw)) | ((g >> (8 - gw)) << bw) | (b >> (8 - bw)));
}

void TDIBX::Fill(uint32_t color) {
  TDIBSurface& s = *surface_;
  if (s.Empty()) return;
  uint8_t* bits = s.PixelData();
  const size_t size = s.Size();
  switch (s.BitCount()) {
    case 1: std::memset(bits, color ? 0xFF : 0, size); break;
    case 4: std::memset(bits, int((color & 15) | ((color & 15) << 4)), size); break;
    case 8: std::memset(bits, int(color & 0xFF), size); break;
    case 16: {
      const uint16_t v = uint16_t(color);
      for (size_t i = 0; i + 1 < size; i += 2) std::memcpy(bits + i, &v, 2);
      break;
    }
    default: FillRect(BoundsRect(), color); break;
  }
}

void TDIBX::Clear() {
  TCustomDIBX::Clear();
  if (surface_->Empty()) {
    surface_->SetSize(8, 8, 8);
  } else {
    surface_->SetWidth(8);
    surface_->SetHeight(8);
  }
}

void TDIBX::GetPalette(std::span<TRGBQuad> entries) const { GetPaletteEntries(entries, 0, 256); }

void TDIBX::GetPaletteEntries(std::span<TRGBQuad> entries, int32_t start, int32_t count) const {
  if (start < 0 || count <= 0 || start >= 256) return;
  count = std::min({count, 256 - start, int32_t(entries.size())});
  std::copy_n(surface_->ColorTable().begin() + start, count, entries.begin());
}

void TDIBX::SetPalette(std::span<const TRGBQuad> entries) { SetPaletteEntries(entries, 0, 256); }

void TDIBX::SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start, int32_t count) {
  if (start < 0 || count <= 0 || start >= 256) return;
  count = std::min({count, 256 - start, int32_t(entries.size())});
  std::copy_n(entries.begin(), count, surface_->ColorTable().begin() + start);
}

void TDIBX::StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                        int32_t sy, int32_t sw, int32_t sh) {
  surface_->StretchToDC(dc, x, y, w, h, sx, sy, sw, sh);
}

void TDIBX::AssignSurface(const TDIBSurface& source, TCustomDIBX* alpha_target) {
  if (&source != surface_.get()) {
    surface_->AssignSurface(source);
    surface_->FreeAlpha();
  }
  if (source.Alpha() && alpha_target) alpha_target->AssignSurface(*source.Alpha(), nullptr);
  TCustomDIBX::SetSize(surface_->Width(), surface_->Height(), BitCount());
}

}  // namespace kova
