// Drawing one cached glyph into a colour surface and its coverage surface.
//
// The pixel routines, each clipped to both surfaces (a the glyph's alpha at a pixel, m the
// coverage surface's byte there):
// - solid: the colour wherever a > 0 (coverage untouched);
// - body over: a = 255 writes the colour and m := 255; a in 1..254 sets m := m + (255 - m) a / 255
//   and mixes the colour over the pixel by w = a 255 / m (255 when m is 0), channel by channel;
// - two-colour blend: a = 255 writes the first colour, 1..254 mixes the first over the second;
// - coverage solid (m := 255 where a > 0) and coverage max (m := max(m, a));
// - border: the colour and m := 255 on every pixel within b (a square) of a covered pixel.
// The two blends are the pixel tables' Cover operation (graphics/pixels/ops.h): the colour over
// the pixel through a, weighed by the coverage m the pixel had (CoverWeight), m then updated to
// CoverUnion(m, a).
//
// Bars (underline, strike-out) run along the cell; where a neighbour is drawn differently the bar
// stops short of that end by the border (and, on the right, the shadow), so the bar's own border
// and shadow stay inside the cell; where the neighbour is drawn alike the bar meets the
// neighbour's bar.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/pixels/formats.h"
#include "graphics/pixels/ops.h"
#include "text/font_pixel.h"

namespace kova {
namespace {

using draw::TBox;

struct TTarget {
  uint8_t* color = nullptr;
  ptrdiff_t color_pitch = 0;
  uint8_t* cover = nullptr;
  ptrdiff_t cover_pitch = 0;
  TBox clip;
  pixels::TRowFn cover_row = nullptr;  // the Cover operation in the colour surface's format
  TBox touched;  // union of what was drawn; empty while nothing was

  void Touch(const TBox& b) {
    if (b.Empty()) return;
    touched = touched.Empty() ? b
                              : TBox{std::min(touched.l, b.l), std::min(touched.t, b.t), std::max(touched.r, b.r),
                                     std::max(touched.b, b.b)};
  }
  uint8_t* ColorAt(int64_t x, int64_t y, int bytes) const {
    return color + ptrdiff_t(y) * color_pitch + ptrdiff_t(x) * bytes;
  }
  uint8_t* CoverAt(int64_t x, int64_t y) const { return cover + ptrdiff_t(y) * cover_pitch + ptrdiff_t(x); }
};

template <int Bytes>
inline void Store(uint8_t* p, uint32_t v) {
  if constexpr (Bytes == 2) {
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
  } else {
    std::memcpy(p, &v, 4);
  }
}

// The colour wherever the glyph covers: a select for every pixel, which the compiler vectorises
// (colour rows are aligned to their pixels' size).
template <int Bytes>
inline void SolidRow(uint8_t* row, const uint8_t* a, int32_t n, uint32_t color) {
  using P = std::conditional_t<Bytes == 4, uint32_t, uint16_t>;
  P* p = reinterpret_cast<P*>(row);
  const P v = P(color);
  for (int32_t i = 0; i < n; ++i) p[i] = a[i] ? v : p[i];
}

// The part of a w x h bitmap placed at (x, y) that lies in the clip: the box on the target and the
// bitmap pixel at its top-left.
struct TSpan {
  TBox box;
  int64_t sx = 0, sy = 0;
};
inline bool Clip(const TTarget& t, int64_t x, int64_t y, int64_t w, int64_t h, TSpan& s) {
  s.box = TBox{x, y, x + w, y + h}.Cut(t.clip);
  s.sx = s.box.l - x;
  s.sy = s.box.t - y;
  return !s.box.Empty();
}

enum class TRoutine { Solid, BodyOver, TwoColour, CoverMax, CoverSolid };

template <int Bytes>
void Glyph(TTarget& t, const TFontPixel& g, int64_t x, int64_t y, TRoutine routine, uint32_t one, uint32_t two) {
  TSpan s;
  if (!Clip(t, x, y, g.GetWidth(), g.GetHeight(), s)) return;
  const int32_t w = int32_t(s.box.W());
  pixels::TOpArgs args;
  args.color = one;
  for (int64_t row = 0; row < s.box.H(); ++row) {
    const uint8_t* a = g.Coverage().data() + size_t((s.sy + row) * g.GetWidth() + s.sx);
    uint8_t* c = t.ColorAt(s.box.l, s.box.t + row, Bytes);
    uint8_t* m = t.CoverAt(s.box.l, s.box.t + row);
    switch (routine) {
      case TRoutine::Solid: SolidRow<Bytes>(c, a, w, one); break;
      case TRoutine::CoverMax:
        for (int32_t i = 0; i < w; ++i) m[i] = std::max(m[i], a[i]);
        break;
      case TRoutine::CoverSolid:
        for (int32_t i = 0; i < w; ++i) m[i] = a[i] ? 255 : m[i];
        break;
      case TRoutine::TwoColour:
        // The second colour where the glyph covers, then the first over it; the coverage solid
        // routine came first, so the coverage there is 255 and the weight is a.
        SolidRow<Bytes>(c, a, w, two);
        t.cover_row(c, m, a, w, 1, args);
        break;
      case TRoutine::BodyOver:
        t.cover_row(c, m, a, w, 1, args);
        for (int32_t i = 0; i < w; ++i) m[i] = uint8_t(pixels::CoverUnion(m[i], a[i]));
        break;
    }
  }
  t.Touch(s.box);
}

// The border: the dilated bitmap (rows of width + 2b) painted at (x - b, y - b).
template <int Bytes>
void Border(TTarget& t, const TFontPixel& g, const std::vector<uint8_t>& dilated, int32_t b, int64_t x, int64_t y,
            uint32_t color) {
  const int64_t dw = g.GetWidth() + 2 * b, dh = g.GetHeight() + 2 * b;
  TSpan s;
  if (!Clip(t, x - b, y - b, dw, dh, s)) return;
  for (int64_t row = 0; row < s.box.H(); ++row) {
    const uint8_t* d = dilated.data() + size_t((s.sy + row) * dw + s.sx);
    uint8_t* c = t.ColorAt(s.box.l, s.box.t + row, Bytes);
    uint8_t* m = t.CoverAt(s.box.l, s.box.t + row);
    SolidRow<Bytes>(c, d, int32_t(s.box.W()), color);
    for (int64_t i = 0; i < s.box.W(); ++i) m[i] = d[i] ? 255 : m[i];
  }
  t.Touch(s.box);
}

template <int Bytes>
void Bar(TTarget& t, const TBox& bar, uint32_t color) {
  const TBox box = bar.Cut(t.clip);
  if (box.Empty()) return;
  for (int64_t y = box.t; y < box.b; ++y) {
    uint8_t* c = t.ColorAt(box.l, y, Bytes);
    for (int64_t x = box.l; x < box.r; ++x, c += Bytes) Store<Bytes>(c, color);
    std::memset(t.CoverAt(box.l, y), 255, size_t(box.W()));
  }
  t.Touch(box);
}

template <int Bytes>
void DrawGlyph(TTarget& t, const TFontPixel& g, const TGlyphDrawArgs& args) {
  const int32_t b = std::clamp(args.Border, 0, kMaxGlyphEdge);
  const int32_t s = std::clamp(args.Shadow, 0, kMaxGlyphEdge);
  const TGlyphColors& col = args.Colors;
  const TPoint at = g.Placement(args.Cell, b);
  const bool has_bitmap = g.GetWidth() > 0 && g.GetHeight() > 0;

  // The body's bars.
  std::vector<TBox> bars;
  const int64_t left = int64_t(args.Cell.Left) + (args.LeftDiffers ? b : 0);
  const int64_t right = int64_t(args.Cell.Right) - (args.RightDiffers ? b + s : 0);
  const auto add_bar = [&](int32_t top, int32_t thickness) {
    if (thickness <= 0 || left >= right) return;
    const int64_t y = int64_t(args.Cell.Top) + b + top;
    bars.push_back(TBox{left, y, right, y + thickness});
  };
  if (g.Style & kStyleUnderline) add_bar(g.UnderlineTop, g.UnderlineThickness);
  if (g.Style & kStyleStrikeOut) add_bar(g.StrikeOutTop, g.StrikeOutThickness);
  const auto bordered = [&](const TBox& r) {
    return TBox{r.l - (args.LeftDiffers ? b : 0), r.t - b, r.r + (args.RightDiffers ? b : 0), r.b + b};
  };
  const auto shifted = [&](const TBox& r) { return TBox{r.l + s, r.t + s, r.r + s, r.b + s}; };

  if (b == 0 && s == 0) {
    if (has_bitmap) {
      Glyph<Bytes>(t, g, at.X, at.Y, TRoutine::Solid, col.Text, 0);
      Glyph<Bytes>(t, g, at.X, at.Y, TRoutine::CoverMax, 0, 0);
    }
    for (const TBox& r : bars) Bar<Bytes>(t, r, col.Text);
    return;
  }
  const std::vector<uint8_t>* dilated = b > 0 && has_bitmap ? &g.Dilated(b) : nullptr;
  if (s > 0) {
    if (b > 0) {
      if (dilated) Border<Bytes>(t, g, *dilated, b, at.X + s, at.Y + s, col.Shadow);
      for (const TBox& r : bars) Bar<Bytes>(t, bordered(shifted(r)), col.Shadow);
    } else {
      if (has_bitmap) {
        Glyph<Bytes>(t, g, at.X + s, at.Y + s, TRoutine::CoverMax, 0, 0);
        Glyph<Bytes>(t, g, at.X + s, at.Y + s, TRoutine::Solid, col.Shadow, 0);
      }
      for (const TBox& r : bars) Bar<Bytes>(t, shifted(r), col.Shadow);
    }
  }
  if (b > 0) {
    if (dilated) Border<Bytes>(t, g, *dilated, b, at.X, at.Y, col.Border);
    for (const TBox& r : bars) Bar<Bytes>(t, bordered(r), col.Border);
    if (has_bitmap) {
      Glyph<Bytes>(t, g, at.X, at.Y, TRoutine::CoverSolid, 0, 0);
      Glyph<Bytes>(t, g, at.X, at.Y, TRoutine::TwoColour, col.Text, col.Border);
    }
  } else if (has_bitmap) {
    Glyph<Bytes>(t, g, at.X, at.Y, TRoutine::BodyOver, col.Text, 0);
  }
  for (const TBox& r : bars) Bar<Bytes>(t, r, col.Text);
}

}  // namespace

TRect TFontPixel::Draw(TCustomDIBX& color, TCustomDIBX& cover, const TGlyphDrawArgs& args) const {
  const draw::TFormat f = draw::FormatOf(color);
  const int bytes = pixels::BytesOf(f);
  if ((bytes != 2 && bytes != 4) || cover.BitCount() != 8) return {};
  draw::TDrawScope scope(color, f, &cover);
  if (!scope.Ok()) return {};
  TTarget t;
  t.color = scope.dst.base;
  t.color_pitch = scope.dst.pitch;
  t.cover = scope.src.base;
  t.cover_pitch = scope.src.pitch;
  t.clip = TBox{0, 0, std::min(color.Width(), cover.Width()), std::min(color.Height(), cover.Height())};
  // The blends work on the red, green and blue channels alone, at 32 bits too (P32: a blended
  // pixel's top byte is 0), whatever result rule the surface follows.
  t.cover_row = pixels::PixelOps().Row(pixels::TOp::Cover, bytes == 4 ? pixels::TFormat::P32 : f);
  if (bytes == 2) {
    DrawGlyph<2>(t, *this, args);
  } else {
    DrawGlyph<4>(t, *this, args);
  }
  return t.touched.Empty() ? TRect{} : t.touched.Rect();
}

}  // namespace kova
