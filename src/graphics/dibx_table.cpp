// Code pictures drawn through a table of pixel values: 4-bit codes (16 entries) written, blended
// or added, and 8-bit codes (256 entries) added at a level.
#include <algorithm>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/pixel_view.h"

namespace kova {

using draw::TFormat;
using draw::TOp;
using draw::TOpArgs;
using pixels::TTableMode;

void TCustomDIBX::DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool,
                            bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  if (level <= 0 || table.size() < 16 || source.BitCount() != 4) return;
  level = std::min(level, 511);
  if (level > 255 && (level & 255) == 0) return;
  // 15 and 16 bits always; 32 bits only with the row results.
  const TFormat f = draw::FormatOf(*this);
  if (f != TFormat::P555 && f != TFormat::P565 && f != TFormat::P32Bytes) return;
  draw::TBlit b;
  if (!draw::PrepareBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, b)) return;
  TOpArgs a;
  a.table = table.data();
  a.keyed = source.TransparentColor >= 0;
  a.key = uint32_t(source.TransparentColor);
  a.level = uint32_t(level & 255);
  a.table_mode = level == 255 ? TTableMode::Write : level > 255 ? TTableMode::AddNonZero : TTableMode::Blend;
  draw::TDrawScope scope(*this, f, &source);
  if (!scope.Ok()) return;
  // Each row's nibbles become one code byte per pixel, walked in the draw's direction.
  const int32_t w = b.dst.Width();
  uint8_t* codes = draw::ScratchBytes(*this, w);
  const pixels::TRowFn row = scope.Row(TOp::Table);
  for (int32_t j = 0; j < b.dst.Height(); ++j) {
    const uint8_t* s = scope.src.Row(b.sy + j * b.dir_y);
    for (int32_t i = 0; i < w; ++i) codes[i] = uint8_t(ReadPackedPixel(s, b.sx + i * b.dir_x, 4));
    row(scope.dst.Row(b.dst.Top + j) + ptrdiff_t(b.dst.Left) * scope.Bytes(), codes, nullptr, w, 1, a);
  }
}

void TCustomDIBX::DrawTableAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t threshold,
                               bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  if (level <= 0 || table.size() < 256 || source.BitCount() != 8) return;
  const TFormat f = draw::FormatOf(*this);
  draw::TBlit b;
  if (f == TFormat::None || !draw::PrepareBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, b)) return;
  TOpArgs a;
  a.table = table.data();
  a.table_mode = TTableMode::Add;
  a.threshold = threshold;
  a.level = uint32_t(std::min(level, 255));
  draw::DrawBlit(*this, f, &source, nullptr, b, TOp::Table, a);
}

}  // namespace kova
