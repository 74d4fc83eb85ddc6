// The drawing surface's fields, primitives of the base kind, clip rules, Assign and SaveToFile.
#include "graphics/dibx.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "core/utils.h"
#include "graphics/dib.h"
#include "graphics/dibx_draw.h"

namespace kova {

TDrawRule DrawResultRule(const TCustomDIBX& dst) {
  const int32_t bit_count = dst.BitCount();
  return dst.RowResults && (bit_count == 15 || bit_count == 16 || bit_count == 32) ? TDrawRule::Row
                                                                                   : TDrawRule::PerPixel;
}

TCustomDIBX::TCustomDIBX() = default;
TCustomDIBX::~TCustomDIBX() = default;

draw::TScratch& TCustomDIBX::DrawScratch() {
  if (!scratch_) scratch_ = std::make_unique<draw::TScratch>();
  return *scratch_;
}

bool TCustomDIBX::IsEmpty() const { return Width() == 0 || Height() == 0; }
int32_t TCustomDIBX::BitCount() const { return 0; }
void TCustomDIBX::SetBitCount(int32_t) {}
uint32_t TCustomDIBX::RedMask() const { return 0; }
uint32_t TCustomDIBX::GreenMask() const { return 0; }
uint32_t TCustomDIBX::BlueMask() const { return 0; }
ptrdiff_t TCustomDIBX::Pitch() const { return 0; }
uint32_t TCustomDIBX::GetPixel(int32_t, int32_t) const { return 0; }
void TCustomDIBX::SetPixel(int32_t, int32_t, uint32_t) {}
int32_t TCustomDIBX::BlueShift() const { return 0; }
int32_t TCustomDIBX::GreenShift() const { return 0; }
int32_t TCustomDIBX::RedShift() const { return 0; }
int32_t TCustomDIBX::Height() const { return height_; }
int32_t TCustomDIBX::Width() const { return width_; }
TCustomDIBX* TCustomDIBX::BaseSurface() { return this; }
int32_t TCustomDIBX::StorageBitCount() const { return BitCount(); }

void TCustomDIBX::SetSize(int32_t width, int32_t height, int32_t) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

uint8_t* TCustomDIBX::PixelAddress(int32_t, int32_t) { return nullptr; }
void TCustomDIBX::Unlock() {}
TPixelView TCustomDIBX::GetDC() { return TPixelView{}; }
void TCustomDIBX::ReleaseDC() {}
void TCustomDIBX::ResetClipRect() { ClipRect.Right = 0; }

void TCustomDIBX::AddClipRect(const TRect& rect) {
  TRect r = rect;
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, Width());
  r.Bottom = std::min(r.Bottom, Height());
  if (r.Left >= r.Right || r.Top >= r.Bottom) return;
  if (ClipRect.Right == 0) {
    ClipRect = r;
  } else {
    ClipRect = TRect{std::min(ClipRect.Left, r.Left), std::min(ClipRect.Top, r.Top),
                     std::max(ClipRect.Right, r.Right), std::max(ClipRect.Bottom, r.Bottom)};
  }
}

int32_t TCustomDIBX::ColorToPixel(int32_t color) const { return color; }

TRect TCustomDIBX::GetClipRect() const { return ClipRect.Right != 0 ? ClipRect : BoundsRect(); }

bool TCustomDIBX::ClipBlit(TRect& dst, TRect& src, bool mirror_x, bool mirror_y) const {
  const draw::TBox clip = draw::DrawableBox(*this);
  if (clip.Empty()) return false;
  draw::TBox s = draw::TBox::Of(src), d;
  const bool any = draw::ClipBlitBox(clip, dst.Left, dst.Top, s, mirror_x, mirror_y, d);
  src = s.Rect();
  dst = d.Rect();
  return any;
}

bool TCustomDIBX::ClipPattern(TRect& dst, int32_t& offset_x, int32_t& offset_y) const {
  draw::TBox d = draw::TBox::Of(dst);
  int64_t ox = offset_x, oy = offset_y;
  if (!draw::ClipPatternBox(draw::DrawableBox(*this), d, ox, oy)) return false;
  dst = d.Rect();
  // The phase only matters modulo the pattern's size: offsets wrap like the 32-bit values they are.
  offset_x = int32_t(ox);
  offset_y = int32_t(oy);
  return true;
}

TPoint TCustomDIBX::TileOrigin(int32_t origin_x, int32_t origin_y, const TRect& src_rect) {
  const int64_t w = int64_t(src_rect.Right) - src_rect.Left, h = int64_t(src_rect.Bottom) - src_rect.Top;
  int64_t x = w > 0 ? origin_x % w : 0;
  int64_t y = h > 0 ? origin_y % h : 0;
  if (x < 0) x += w;
  if (y < 0) y += h;
  return TPoint{int32_t(src_rect.Left + x), int32_t(src_rect.Top + y)};
}

bool TCustomDIBX::PrepareStretch(TRect& dst, TRect& src, bool mirror_x, bool mirror_y, double& step_x,
                                 double& step_y, double& frac_x, double& frac_y) const {
  draw::TBox d = draw::TBox::Of(dst), s = draw::TBox::Of(src);
  const bool any =
      draw::PrepareStretchBox(draw::DrawableBox(*this), d, s, mirror_x, mirror_y, step_x, step_y, frac_x, frac_y);
  dst = d.Rect();
  src = s.Rect();
  return any;
}

bool TCustomDIBX::PrepareReduced(TRect& dst, TRect& src, bool mirror_x, bool mirror_y, int32_t& factor_x,
                                 int32_t& factor_y) const {
  draw::TBox d = draw::TBox::Of(dst), s = draw::TBox::Of(src);
  int64_t fx = 0, fy = 0;
  const bool any = draw::PrepareReducedBox(draw::DrawableBox(*this), d, s, mirror_x, mirror_y, fx, fy);
  dst = d.Rect();
  src = s.Rect();
  factor_x = draw::Saturate(fx);
  factor_y = draw::Saturate(fy);
  return any;
}

TRect CalcRotatedBounds(int32_t x, int32_t y, int32_t pivot_x, int32_t pivot_y, int32_t angle,
                        const TRect& src_rect, int32_t scale_x, int32_t scale_y, int32_t width,
                        int32_t height, bool mirror_x, bool mirror_y) {
  double px = pivot_x, py = pivot_y;
  if (mirror_x) px = width - 1 - px;
  if (mirror_y) py = height - 1 - py;
  const double a = angle * 2.0 * M_PI / 256.0;
  const double sx = scale_x / 256.0, sy = scale_y / 256.0;
  const double l = px * sx, t = py * sy;
  const double r = double(int64_t(src_rect.Right) - src_rect.Left) * sx - l - 1;
  const double b = double(int64_t(src_rect.Bottom) - src_rect.Top) * sy - t - 1;
  const double ca = std::cos(a), sa = std::sin(a);
  const double ox[4] = {-l, r, -l, r}, oy[4] = {-t, -t, b, b};
  double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  for (int i = 0; i < 4; ++i) {
    const double cx = x + ox[i] * ca - oy[i] * sa, cy = y + ox[i] * sa + oy[i] * ca;
    if (i == 0 || cx < min_x) min_x = cx;
    if (i == 0 || cx > max_x) max_x = cx;
    if (i == 0 || cy < min_y) min_y = cy;
    if (i == 0 || cy > max_y) max_y = cy;
  }
  // Extreme scales or positions fall outside what a rectangle holds: keep the edges in range (the
  // drawing is clipped away) rather than converting an out-of-range value.
  auto edge = [](double v) {
    constexpr double kLimit = 1073741824.0;  // 2^30: room for the width arithmetic of callers
    return int32_t(std::trunc(std::clamp(v, -kLimit, kLimit)));
  };
  return TRect{edge(min_x), edge(min_y), edge(max_x + 1), edge(max_y + 1)};
}

void TCustomDIBX::Assign(TCustomDIBX& source) {
  if (&source == this) return;
  auto* src_mem = dynamic_cast<TDIBX*>(&source);
  auto* dst_mem = dynamic_cast<TDIBX*>(this);
  if (src_mem && dst_mem && Width() == source.Width() && Height() == source.Height() &&
      Pitch() == source.Pitch() && !IsEmpty()) {
    const size_t bytes = size_t(Pitch() < 0 ? -Pitch() : Pitch()) * size_t(Height());
    if (bytes / 4 == 0) return;
    uint8_t* d = dst_mem->Surface().PixelData();
    const uint8_t* s = src_mem->Surface().PixelData();
    if (d && s && dst_mem->Surface().Size() >= bytes / 4 * 4 && src_mem->Surface().Size() >= bytes / 4 * 4)
      std::memcpy(d, s, bytes / 4 * 4);
    return;
  }
  Draw(0, 0, source, source.BoundsRect(), false, false, false);
}

void TCustomDIBX::CopyFrom(TCustomDIBX& source) {
  if (&source == this) return;
  SetSize(source.Width(), source.Height(), source.BitCount());
  if (source.BitCount() <= 8 && BitCount() <= 8) {
    std::array<TRGBQuad, 256> palette{};
    source.GetPalette(palette);
    SetPalette(palette);
  }
  Assign(source);
  TransparentColor = source.TransparentColor;
}

void TCustomDIBX::SaveToFile(const std::string& host_path) {
  const size_t dot = host_path.find_last_of('.');
  if (dot == std::string::npos) return;
  std::string ext = host_path.substr(dot);
  if (ext.find('/') != std::string::npos) return;
  for (char& ch : ext) ch = char(std::tolower(static_cast<unsigned char>(ch)));
  if (ext != ".bmp" || IsEmpty()) return;
  TDIB image;
  image.SetSize(Width(), Height(), 24);
  const TPixelView view = GetDC();
  if (view.Bits) ConvertBlit(image.View(), image.View().Bounds(), view, BoundsRect());
  ReleaseDC();
  image.SaveToFile(host_path);
}

void TCustomDIBX::Clear() {
  width_ = 0;
  height_ = 0;
}

void TCustomDIBX::ReleaseSurface() {}
void TCustomDIBX::GetPalette(std::span<TRGBQuad>) const {}
void TCustomDIBX::GetPaletteEntries(std::span<TRGBQuad>, int32_t, int32_t) const {}
void TCustomDIBX::SetPalette(std::span<const TRGBQuad>) {}
void TCustomDIBX::SetPaletteEntries(std::span<const TRGBQuad>, int32_t, int32_t) {}

void TCustomDIBX::StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                              int32_t sy, int32_t sw, int32_t sh) {
  const TPixelView view = GetDC();
  if (view.Bits) ConvertBlit(dc, TRect{x, y, x + w, y + h}, view, TRect{sx, sy, sx + sw, sy + sh});
  ReleaseDC();
}

void TCustomDIBX::Unshare() {}
void TCustomDIBX::AssignSurface(const TDIBSurface&, TCustomDIBX*) {}

}  // namespace kova
