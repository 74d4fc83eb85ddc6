// The display-format drawing surface over a display buffer.
#include "graphics/dx_dibx.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "graphics/palette_index.h"

namespace kova {

namespace {

int32_t LowZeroBits(uint32_t mask) { return mask ? std::countr_zero(mask) : 0; }

// Bytes of the pixel x within a row at `bits` bits per pixel.
ptrdiff_t ByteOffset(int32_t x, int32_t bits) {
  switch (bits) {
    case 1: return x >> 3;
    case 4: return x >> 1;
    default: return ptrdiff_t(x) * ((bits + 7) / 8);
  }
}

}  // namespace

TDxDIBX::TDxDIBX(IDisplaySurfaceFactory* factory) : factory_(factory) { ResetColorCache(); }

std::unique_ptr<TDxDIBX> TDxDIBX::CreateFromSurface(IDisplayBuffer& buffer) {
  auto s = std::make_unique<TDxDIBX>(nullptr);
  s->owns_ = false;
  s->Attach(&buffer);
  return s;
}

TDxDIBX::~TDxDIBX() { ReleaseDC(); }

void TDxDIBX::Attach(IDisplayBuffer* buffer) {
  surface_ = buffer;
  description_ = TDescription{buffer->Width(), buffer->Height(), buffer->Pitch(), buffer->Format()};
  TCustomDIBX::SetSize(description_.width, description_.height, description_.format.BitCount);
}

void TDxDIBX::Detach() {
  ReleaseDC();
  surface_ = nullptr;
  owned_.reset();
  description_ = TDescription{};
}

void TDxDIBX::ResetColorCache() const {
  cache_colors_.fill(-1);
  cache_pixels_.fill(0);
  cache_next_ = 0;
}

bool TDxDIBX::IsEmpty() const { return !surface_ || description_.width < 1 || description_.height < 1; }

int32_t TDxDIBX::BitCount() const {
  const TDisplayFormat& f = description_.format;
  return f.BitCount == 16 && f.GreenMask == 0x3E0 ? 15 : f.BitCount;
}

uint32_t TDxDIBX::RedMask() const {
  return description_.format.BitCount <= 8 && surface_ ? 0xFF0000 : description_.format.RedMask;
}
uint32_t TDxDIBX::GreenMask() const {
  return description_.format.BitCount <= 8 && surface_ ? 0xFF00 : description_.format.GreenMask;
}
uint32_t TDxDIBX::BlueMask() const {
  return description_.format.BitCount <= 8 && surface_ ? 0xFF : description_.format.BlueMask;
}
ptrdiff_t TDxDIBX::Pitch() const { return description_.pitch; }
int32_t TDxDIBX::BlueShift() const { return LowZeroBits(BlueMask()); }
int32_t TDxDIBX::GreenShift() const { return LowZeroBits(GreenMask()); }
int32_t TDxDIBX::RedShift() const { return LowZeroBits(RedMask()); }
int32_t TDxDIBX::Height() const { return description_.height; }
int32_t TDxDIBX::Width() const { return description_.width; }
int32_t TDxDIBX::StorageBitCount() const { return description_.format.BitCount; }

uint8_t* TDxDIBX::Address(uint8_t* base, int32_t x, int32_t y) const {
  return base + ptrdiff_t(y) * description_.pitch + ByteOffset(x, description_.format.BitCount);
}

uint32_t TDxDIBX::GetPixel(int32_t x, int32_t y) const {
  if (IsEmpty() || x < 0 || y < 0 || x >= description_.width || y >= description_.height) return 0;
  uint8_t* base = surface_->Lock();
  if (!base) return 0;
  const uint32_t v = ReadViewPixel(base + ptrdiff_t(y) * description_.pitch, x, description_.format.BitCount);
  surface_->Unlock();
  return v;
}

void TDxDIBX::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (IsEmpty() || x < 0 || y < 0 || x >= description_.width || y >= description_.height) return;
  uint8_t* base = surface_->Lock();
  if (!base) return;
  WriteViewPixel(base + ptrdiff_t(y) * description_.pitch, x, description_.format.BitCount, value);
  surface_->Unlock();
}

void TDxDIBX::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  if (!factory_) {
    ResetColorCache();
    TCustomDIBX::SetSize(width, height, bit_count);
    return;
  }
  Detach();
  TCustomDIBX::SetSize(0, 0, 0);
  std::unique_ptr<IDisplayBuffer> buffer = factory_->CreateOffscreen(width, height, bit_count);
  if (!buffer) Raise<EDisplaySurfaceError>(TMsg::DisplayCreateSurfaceFailed);
  owned_ = std::move(buffer);
  owns_ = true;
  Attach(owned_.get());
  ResetColorCache();
}

uint8_t* TDxDIBX::PixelAddress(int32_t x, int32_t y) {
  if (IsEmpty() || x < 0 || y < 0 || x >= description_.width || y >= description_.height) return nullptr;
  uint8_t* base = surface_->Lock();
  return base ? Address(base, x, y) : nullptr;
}

void TDxDIBX::Unlock() {
  if (surface_) surface_->Unlock();
}

TPixelView TDxDIBX::GetDC() {
  if (dc_held_) return dc_;
  if (IsEmpty()) return TPixelView{};
  uint8_t* base = surface_->Lock();
  if (!base) return TPixelView{};
  dc_ = TPixelView{base, description_.pitch, description_.width, description_.height, BitCount(),
                   surface_->Palette(), surface_->PaletteCount()};
  dc_held_ = true;
  return dc_;
}

void TDxDIBX::ReleaseDC() {
  if (!dc_held_) return;
  dc_held_ = false;
  dc_ = TPixelView{};
  if (surface_) surface_->Unlock();
}

int32_t TDxDIBX::ConvertColor(uint32_t color) const {
  const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  if (description_.format.BitCount <= 8) {
    const int32_t n = surface_ ? std::min(surface_->PaletteCount(), 256) : 0;
    if (n <= 0) return 0;
    TPaletteEntry entries[256];
    const TRGBQuad* pal = surface_->Palette();
    for (int32_t i = 0; i < n; ++i) entries[i] = TPaletteEntry{pal[i].Red, pal[i].Green, pal[i].Blue, 0};
    return NearestPaletteIndex(entries, color, n);
  }
  // Each channel keeps its top bits, placed at its mask.
  auto place = [](uint32_t c8, uint32_t mask) -> uint32_t {
    if (!mask) return 0;
    const int32_t width = std::popcount(mask);
    const uint32_t v = width >= 8 ? c8 << (width - 8) : c8 >> (8 - width);
    return (v << std::countr_zero(mask)) & mask;
  };
  const TDisplayFormat& f = description_.format;
  return int32_t(place(r, f.RedMask) | place(g, f.GreenMask) | place(b, f.BlueMask));
}

int32_t TDxDIBX::ColorToPixel(int32_t color) const {
  if (color < 0) return -1;
  for (size_t i = 0; i < cache_colors_.size(); ++i) {
    if (cache_colors_[i] == color) return cache_pixels_[i];
  }
  const int32_t pixel = ConvertColor(uint32_t(color));
  cache_colors_[size_t(cache_next_)] = color;
  cache_pixels_[size_t(cache_next_)] = pixel;
  cache_next_ = (cache_next_ + 1) % 16;
  return pixel;
}

void TDxDIBX::ReleaseSurface() {
  if (!owns_) return;
  Detach();
  TCustomDIBX::SetSize(0, 0, 0);
}

void TDxDIBX::Clear() {
  Detach();
  TCustomDIBX::Clear();
}

void TDxDIBX::GetPalette(std::span<TRGBQuad> entries) const {
  if (!surface_ || surface_->PaletteCount() == 0) return;
  GetPaletteEntries(entries, 0, surface_->PaletteCount());
}

void TDxDIBX::GetPaletteEntries(std::span<TRGBQuad> entries, int32_t start, int32_t count) const {
  if (!surface_ || !surface_->Palette() || start < 0 || count <= 0) return;
  const int32_t n = std::min({count, surface_->PaletteCount() - start, int32_t(entries.size())});
  if (n <= 0) return;
  std::copy_n(surface_->Palette() + start, n, entries.begin());
}

void TDxDIBX::SetPalette(std::span<const TRGBQuad> entries) {
  if (!surface_ || surface_->PaletteCount() == 0) return;
  const int32_t n = std::min(surface_->PaletteCount(), int32_t(entries.size()));
  SetPaletteEntries(entries, 0, n);
}

void TDxDIBX::SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start, int32_t count) {
  if (!surface_ || surface_->PaletteCount() == 0 || count <= 0) return;
  if (size_t(count) > entries.size() || !surface_->SetPaletteEntries(entries.first(size_t(count)), start))
    Raise<EDisplaySurfaceError>(TMsg::DisplayPaletteSetFailed);
}

}  // namespace kova
