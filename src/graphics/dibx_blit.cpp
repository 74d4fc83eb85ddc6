// The unscaled blits of the drawing surface: copy with an optional key, through an 8-bit mask,
// translucent, additive, and the mask forms of the last two.
#include <algorithm>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"

namespace kova {

using draw::TBlit;
using draw::TFormat;
using draw::TOp;
using draw::TOpArgs;

namespace {

uint32_t Level(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

// The set-up shared by the six blits: a drawable destination and a source of its pixel size.
bool SetUp(TCustomDIBX& dst, int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
           bool mirror_y, TCustomDIBX* mask, TFormat& f, TBlit& b) {
  f = draw::FormatOf(dst);
  if (f == TFormat::None || source.BytesPerPixel() != dst.BytesPerPixel()) return false;
  return draw::PrepareBlit(dst, x, y, source, src_rect, mirror_x, mirror_y, mask, b);
}

bool RowRule(const TCustomDIBX& dst) { return DrawResultRule(dst) == TDrawRule::Row; }

}  // namespace

void TCustomDIBX::Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                       bool mirror_x, bool mirror_y) {
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, f, b)) return;
  TOpArgs a;
  a.key = uint32_t(source.TransparentColor);
  const bool keyed = transparent && source.TransparentColor >= 0;
  draw::DrawBlit(*this, f, &source, nullptr, b, keyed ? TOp::Key : TOp::Copy, a);
}

void TCustomDIBX::DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                           bool mirror_y, TCustomDIBX& mask) {
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, f, b)) return;
  TOpArgs a;
  a.skip_equal = RowRule(*this);
  draw::DrawBlit(*this, f, &source, &mask, b, TOp::Mask, a);
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                            bool mirror_x, bool mirror_y, int32_t alpha) {
  if (alpha <= 0) return;
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, f, b)) return;
  TOpArgs a;
  a.level = Level(alpha);
  // The row results honour the key only when asked; the per-pixel results always do.
  a.keyed = (transparent || !RowRule(*this)) && source.TransparentColor >= 0;
  a.key = uint32_t(source.TransparentColor);
  a.skip_equal = true;
  draw::DrawBlit(*this, f, &source, nullptr, b, TOp::Blend, a);
}

void TCustomDIBX::DrawMaskAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t alpha) {
  if (alpha <= 0) return;
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, f, b)) return;
  TOpArgs a;
  a.level = Level(alpha);
  a.skip_equal = RowRule(*this);
  draw::DrawBlit(*this, f, &source, &mask, b, TOp::MaskBlend, a);
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool,
                          bool mirror_x, bool mirror_y, int32_t level) {
  if (level <= 0) return;
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, f, b)) return;
  TOpArgs a;
  // Grey planes add without the level (256: the source unscaled).
  a.level = f == TFormat::P8 ? 256 : Level(level);
  a.keyed = source.TransparentColor >= 0;
  a.key = uint32_t(source.TransparentColor);
  draw::DrawBlit(*this, f, &source, nullptr, b, TOp::Add, a);
}

void TCustomDIBX::DrawMaskAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                              bool mirror_y, TCustomDIBX& mask, int32_t level) {
  if (level <= 0) return;
  TFormat f;
  TBlit b;
  if (!SetUp(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, f, b)) return;
  TOpArgs a;
  a.level = Level(level);
  draw::DrawBlit(*this, f, &source, &mask, b, TOp::MaskAdd, a);
}

}  // namespace kova
