// The flip of a game run by the kovarun program: a game shows one picture on its layer, prepares
// another on the hidden layer and flips with a transition; shots after chosen frame counts (16 ms
// of the virtual clock each) hold the mixture that the transition's formula gives at that point,
// computed here from the shots of the start and the end picture. Every kind has its own formula
// below, written from the kind's definition (not from the transitions' code); where the picture
// hangs on floating-point rounding edges or on the session's random draws, only the pixels the
// formula fixes are compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/xr_random.h"
#include "core/vocabulary.h"
#include "graphics/dib.h"
#include "graphics/pictures/png_loader.h"
#include "script/test_game.h"
#include "support/run_program.h"
#include "support/bmp_writer.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/page_writer.h"


namespace kova::test {
namespace {

constexpr int32_t kWidth = 24, kHeight = 16;
constexpr double kPi = 3.14159265358979323846;

using Picture = std::vector<uint32_t>;  // 0xRRGGBB, row by row

// What a formula knows of one shot: `from` and `to` are the shots of the start and the end
// picture, the flip's numbers as the transition sees them (the parameters after the kind's
// defaults and clamps are the formula's own business), `grey` the mask picture's grey level at
// each screen pixel (nullptr: the flip names no mask picture).
struct Mix {
  const Picture& from;
  const Picture& to;
  int32_t pos, len, w, h;
  int32_t p0, p1;
  bool rev;
  const std::vector<int32_t>* grey;

  uint32_t Old(int32_t x, int32_t y) const { return from[size_t(y * w + x)]; }
  uint32_t New(int32_t x, int32_t y) const { return to[size_t(y * w + x)]; }
};

// The picture a formula gives: the shot must be one of `pictures` (several where the session's
// random draws decide between them) at the pixels marked in `checked` (empty: every pixel). Not
// `certain`: the formula cannot fix the picture at this point.
struct Expected {
  std::vector<Picture> pictures;
  std::vector<uint8_t> checked;
  bool certain = true;
};

Expected Whole(Picture p) { return {{std::move(p)}, {}, true}; }
Expected Unknown() { return {{}, {}, false}; }

using Formula = std::function<Expected(const Mix&)>;

// Round as the formulas define it: the nearest integer, halves to even. `ambiguous` is set when
// the value lies so near a half that another evaluation order could round it the other way.
int32_t RoundEven(double v, bool& ambiguous) {
  if (std::fabs(v - std::floor(v) - 0.5) < 1e-9) ambiguous = true;
  return int32_t(std::nearbyint(v));
}

uint32_t Channel(uint32_t p, int shift) { return p >> shift & 0xFF; }

// Per channel (d x (255 - a) + s x a) shr 8.
uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
  uint32_t v = 0;
  for (int shift : {0, 8, 16}) v |= ((Channel(d, shift) * (255 - a) + Channel(s, shift) * a) >> 8) << shift;
  return v;
}

// Grey g added to (or, with `subtract`, taken from) every channel, saturated.
uint32_t AddGrey(uint32_t p, int32_t g, bool subtract) {
  uint32_t v = 0;
  for (int shift : {0, 8, 16}) {
    const int32_t c = int32_t(Channel(p, shift)) + (subtract ? -g : g);
    v |= uint32_t(c < 0 ? 0 : c > 255 ? 255 : c) << shift;
  }
  return v;
}
Picture AddGrey(const Picture& picture, int32_t g, bool subtract) {
  Picture out(picture.size());
  for (size_t i = 0; i < picture.size(); ++i) out[i] = AddGrey(picture[i], g, subtract);
  return out;
}

// A translucent draw of `s` over `d` at `alpha` (0 draws nothing, a pixel equal in both kept).
void DrawAlphaOver(Picture& d, const Picture& s, uint32_t alpha) {
  if (alpha == 0) return;
  for (size_t i = 0; i < d.size(); ++i) {
    if (d[i] != s[i]) d[i] = Blend(d[i], s[i], alpha);
  }
}

struct Box {
  int32_t x, y, w, h;
};

// The stretched draw of `src`'s rectangle `s` onto `dst`'s rectangle `d` (inside `dst`): the
// nearest source pixel by 16.16 steps Trunc(source size / destination size x 65536); alpha below
// 255 blends, leaving a pixel equal in both.
void Stretch(Picture& dst, int32_t dst_w, Box d, const Picture& src, int32_t src_w, Box s, uint32_t alpha) {
  if (alpha == 0 || d.w < 1 || d.h < 1) return;
  const int32_t step_u = int32_t(double(s.w) / d.w * 65536), step_v = int32_t(double(s.h) / d.h * 65536);
  for (int32_t j = 0; j < d.h; ++j) {
    const int32_t r = (s.y * 65536 + j * step_v) / 65536;
    if (r < s.y || r >= s.y + s.h) continue;
    for (int32_t i = 0; i < d.w; ++i) {
      const uint32_t sp = src[size_t(r * src_w + (s.x * 65536 + i * step_u) / 65536)];
      uint32_t& dp = dst[size_t((d.y + j) * dst_w + d.x + i)];
      if (alpha >= 255) {
        dp = sp;
      } else if (dp != sp) {
        dp = Blend(dp, sp, alpha);
      }
    }
  }
}

// ---- Fades and colour flashes ----

// The cross-fade: the start picture, then the end picture over it at the level pos x 256 div len,
// placed at (Round(p0 x r), Round(p1 x r)) with r = (len - 1 - pos) / len.
Expected Fade(const Mix& m) {
  const uint32_t a = uint32_t(m.pos) * 256 / uint32_t(m.len);
  const double r = double(m.len - 1 - m.pos) / m.len;
  bool ambiguous = false;
  const int32_t ox = RoundEven(m.p0 * r, ambiguous), oy = RoundEven(m.p1 * r, ambiguous);
  if (ambiguous) return Unknown();
  Picture out = m.from;
  for (int32_t y = 0; a > 0 && y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      const int32_t sx = x - ox, sy = y - oy;
      if (sx < 0 || sy < 0 || sx >= m.w || sy >= m.h) continue;
      uint32_t& d = out[size_t(y * m.w + x)];
      if (d != m.New(sx, sy)) d = Blend(d, m.New(sx, sy), a);
    }
  }
  return Whole(out);
}

// Through white or black: v := pos x 511 div len; below 256 the start picture with grey v added
// (taken), then the end picture with grey 511 - v.
Expected PassThrough(const Mix& m, bool black) {
  const int32_t v = m.pos * 511 / m.len;
  return Whole(v < 256 ? AddGrey(m.from, v, black) : AddGrey(m.to, 511 - v, black));
}
Expected White(const Mix& m) { return PassThrough(m, false); }
Expected Black(const Mix& m) { return PassThrough(m, true); }

// The flash: the end picture with grey 255 - pos x 255 div len added.
Expected Flash(const Mix& m) { return Whole(AddGrey(m.to, 255 - m.pos * 255 / m.len, false)); }

// The mean of the square of side 2 x amount + 1 about each pixel, of the pixels inside.
Picture BoxBlur(const Picture& p, int32_t w, int32_t h, int32_t amount) {
  if (amount == 0) return p;
  Picture out(p.size());
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint32_t sum[3] = {}, count = 0;
      for (int32_t j = std::max(0, y - amount); j <= std::min(h - 1, y + amount); ++j) {
        for (int32_t i = std::max(0, x - amount); i <= std::min(w - 1, x + amount); ++i) {
          for (int c = 0; c < 3; ++c) sum[c] += Channel(p[size_t(j * w + i)], 8 * c);
          ++count;
        }
      }
      out[size_t(y * w + x)] = sum[0] / count | sum[1] / count << 8 | sum[2] / count << 16;
    }
  }
  return out;
}

// The blurred passes: v := pos x 639 div len; the start picture fades into its blurred copy (blur
// amount min(W, H) div 20), which brightens (darkens) by (v - 256) x 4; the end picture's blurred
// copy then clears by (383 - v) x 4 and sharpens into the end picture.
Expected BlurPass(const Mix& m, bool black) {
  const int32_t v = m.pos * 639 / m.len, amount = std::min(m.w, m.h) / 20;
  if (v < 256 || v >= 384) {
    Picture out = v < 256 ? m.from : m.to;
    DrawAlphaOver(out, BoxBlur(out, m.w, m.h, amount), uint32_t(v < 256 ? v : 639 - v));
    return Whole(out);
  }
  if (v < 320) return Whole(AddGrey(BoxBlur(m.from, m.w, m.h, amount), (v - 256) * 4, black));
  return Whole(AddGrey(BoxBlur(m.to, m.w, m.h, amount), (383 - v) * 4, black));
}
Expected BlurWhite(const Mix& m) { return BlurPass(m, false); }
Expected BlurBlack(const Mix& m) { return BlurPass(m, true); }

// ---- Mask kinds: per pixel a level 0 (start picture) .. 255 (end picture) ----

// The composition through a mask of one level per screen pixel; a hard mask shows the end picture
// wherever its level is not 0.
Picture ThroughMask(const Mix& m, const std::vector<int32_t>& mask, bool hard) {
  Picture out(m.from.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const int32_t k = mask[i];
    const uint32_t o = m.from[i], n = m.to[i];
    out[i] = k == 0 ? o : (hard || k == 255) ? n : Blend(o, n, uint32_t(k));
  }
  return out;
}

// The level of a pixel with delay d at step s over p1 steps.
int32_t Level(int32_t s, int32_t d, int32_t p1) { return d > s ? 0 : std::min(255, (s - d) * 255 / p1); }

Expected BlindH(const Mix& m) {
  const int32_t p0 = std::max(m.p0, 2), p1 = std::max(m.p1, 1);
  const int32_t s = m.pos * ((p0 - 1) * 2 + p1) / m.len;
  std::vector<int32_t> mask(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      mask[size_t(y * m.w + x)] = Level(s, (m.rev ? p0 - 1 - x % p0 : x % p0) * 2, p1);
    }
  }
  return Whole(ThroughMask(m, mask, p1 < 2));
}

Expected BlindV(const Mix& m) {
  const int32_t p0 = std::max(m.p0, 2), p1 = std::max(m.p1, 1);
  const int32_t s = m.pos * ((p0 - 1) * 2 + p1) / m.len;
  std::vector<int32_t> mask(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      mask[size_t(y * m.w + x)] = Level(s, (m.rev ? p0 - 1 - y % p0 : y % p0) * 2, p1);
    }
  }
  return Whole(ThroughMask(m, mask, p1 < 2));
}

// Curtains: segments of p0 opening one pixel every 16 steps, each 16 steps after the one before.
Expected Curtain(const Mix& m, bool vertical) {
  const int32_t p0 = std::max(m.p0, 1), p1 = std::max(m.p1, 1), extent = vertical ? m.h : m.w;
  const int32_t n = (extent + p0 - 1) / p0, total = ((n - 1) + (p0 - 1)) * 16 + p1;
  const int32_t s = m.pos * total / m.len;
  std::vector<int32_t> mask(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      const int32_t along = vertical ? y : x, i = m.rev ? extent - 1 - along : along;
      mask[size_t(y * m.w + x)] = Level(s, (i / p0 + i % p0) * 16, p1);
    }
  }
  return Whole(ThroughMask(m, mask, p1 <= 1));
}
Expected CurtainH(const Mix& m) { return Curtain(m, false); }
Expected CurtainV(const Mix& m) { return Curtain(m, true); }

// Grids: a square growing from each cell's centre; the cells start 4 steps apart by column (H), by
// row (V) or by distance from the top-left corner. GridH's mask is one cell row, repeated down.
enum class GridOrder { Distance, Columns, Rows };
Expected Grid(const Mix& m, GridOrder order) {
  const int32_t p0 = std::max(m.p0, 2), p1 = std::max(m.p1, 1);
  const int32_t mh = order == GridOrder::Columns ? std::min(p0, m.h) : m.h;
  const int32_t cx = (m.w + p0 - 1) / p0, cy = (mh + p0 - 1) / p0;
  const int32_t n = order == GridOrder::Columns ? cx
                    : order == GridOrder::Rows  ? cy
                                                : int32_t(std::lround(std::hypot(cy - 1, cx - 1)));
  const int32_t s = m.pos * ((n - 1) * 4 + p1) / m.len;
  std::vector<int32_t> cells(size_t(m.w * mh), 0);
  for (int32_t j = 0; j * p0 < m.w; ++j) {
    for (int32_t k = 0; k * p0 < mh; ++k) {
      int32_t e = 0;
      if (order == GridOrder::Columns) e = m.rev ? cx - 1 - j : j;
      if (order == GridOrder::Rows) e = m.rev ? cy - 1 - k : k;
      if (order == GridOrder::Distance) {
        e = int32_t(std::lround(m.rev ? std::hypot(cy - 1 - k, cx - 1 - j) : std::hypot(k, j)));
      }
      const int32_t d = e * 4;
      if (d > s) continue;
      const int32_t level = std::min(255, (s - d) * 255 / p1), size = std::min(p0, (s - d) * p0 / p1);
      if (level <= 0 || size <= 0) continue;
      const int32_t off = (p0 - size) / 2;
      for (int32_t y = k * p0 + off; y < std::min(mh, k * p0 + off + size); ++y) {
        for (int32_t x = j * p0 + off; x < std::min(m.w, j * p0 + off + size); ++x) cells[size_t(y * m.w + x)] = level;
      }
    }
  }
  std::vector<int32_t> mask(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) mask[size_t(y * m.w + x)] = cells[size_t((y % mh) * m.w + x)];
  }
  return Whole(ThroughMask(m, mask, p1 < 2));
}
Expected GridAll(const Mix& m) { return Grid(m, GridOrder::Distance); }
Expected GridH(const Mix& m) { return Grid(m, GridOrder::Columns); }
Expected GridV(const Mix& m) { return Grid(m, GridOrder::Rows); }

// The dither: the first pos x 4096 div len cells of a fixed order (the generator of seed 12341
// over 0..4095) of a 64 x 64 block are open; the block repeats across and down.
Expected Dither(const Mix& m) {
  static const std::vector<int32_t> order = [] {
    TXrRandom random(12341);
    random.SetRange(4096);
    std::vector<int32_t> cells(4096);
    for (int32_t& c : cells) c = random.Next();
    return cells;
  }();
  const int32_t level = m.pos * 4096 / m.len;
  std::vector<int32_t> block(4096, 0);
  for (int32_t i = 0; i < level; ++i) block[size_t(order[size_t(i)])] = 255;
  std::vector<int32_t> mask(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) mask[size_t(y * m.w + x)] = block[size_t(y % 64 * 64 + x % 64)];
  }
  return Whole(ThroughMask(m, mask, true));
}

// The clock hand: the end picture where the hand has swept (clockwise from twelve o'clock from
// the centre (W div 2, H div 2); reversed counter-clockwise from (W div 2 - 1, H div 2)), the
// start picture elsewhere. Checked at pixels at least 2.5 pixels from the hand, the axes through
// the centre and the quadrants' edges, where the fill's rasterisation cannot matter.
Expected Clockhand(const Mix& m) {
  const double turn = double(m.pos) / m.len * 2 * kPi, a = m.rev ? 2 * kPi - turn : turn;
  const double cx = m.rev ? m.w / 2 - 1 : m.w / 2, cy = m.h / 2;
  const double hx = std::sin(a), hy = -std::cos(a);  // the hand's direction
  Picture out(m.from.size());
  std::vector<uint8_t> checked(m.from.size(), 0);
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      double phi = std::atan2(dx, -dy);  // clockwise from up
      if (phi < 0) phi += 2 * kPi;
      const bool swept = m.rev ? phi > a : phi < a;
      out[size_t(y * m.w + x)] = swept ? m.New(x, y) : m.Old(x, y);
      const double to_hand = std::fabs(dx * hy - dy * hx);
      const double to_axes = std::min({std::fabs(dx), std::fabs(dy), std::fabs(x + 0.5 - m.w / 2)});
      checked[size_t(y * m.w + x)] = to_hand >= 2.5 && to_axes >= 2.5;
    }
  }
  return {{out}, checked, true};
}

// ---- Mask-image kinds: per pixel grey level g of the mask picture (255 without one) ----

int32_t Grey(const Mix& m, size_t i) { return m.grey ? (*m.grey)[i] : 255; }

// The mask fade: level clamp(pos x 512 div len + g - 256, 0, 255).
Expected MaskFade(const Mix& m) {
  std::vector<int32_t> mask(m.from.size());
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = std::clamp(m.pos * 512 / m.len + Grey(m, i) - 256, 0, 255);
  return Whole(ThroughMask(m, mask, false));
}

// Mask white and black: k = clamp(pos x 768 div len + g - 256, 0, 511); below 256 the start pixel
// with grey k added (taken), else the end pixel with grey 511 - k.
Expected MaskPass(const Mix& m, bool black) {
  Picture out(m.from.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const int32_t k = std::clamp(m.pos * 768 / m.len + Grey(m, i) - 256, 0, 511);
    out[i] = k < 256 ? AddGrey(m.from[i], k, black) : AddGrey(m.to[i], 511 - k, black);
  }
  return Whole(out);
}
Expected MaskWhite(const Mix& m) { return MaskPass(m, false); }
Expected MaskBlack(const Mix& m) { return MaskPass(m, true); }

// ---- Sliding, scaling and twisting ----

// The scrolls: the start picture moved by o (W or H x pos div len) left (up), the end picture
// following from the right (below); reversed the other way.
Expected Scroll(const Mix& m, bool vertical) {
  const int32_t extent = vertical ? m.h : m.w, o = extent * m.pos / m.len;
  Picture out(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      const int32_t along = vertical ? y : x;
      const int32_t s = m.rev ? along - o : along + o;  // in the start picture
      const bool old = s >= 0 && s < extent;
      const int32_t t = old ? s : m.rev ? s + extent : s - extent;
      const int32_t sx = vertical ? x : t, sy = vertical ? t : y;
      out[size_t(y * m.w + x)] = old ? m.Old(sx, sy) : m.New(sx, sy);
    }
  }
  return Whole(out);
}
Expected ScrollH(const Mix& m) { return Scroll(m, false); }
Expected ScrollV(const Mix& m) { return Scroll(m, true); }

// The bamboo blinds: c := (2 x extent - 1) x pos div len; line c of the start picture (the end
// picture at 2 x extent - 1 - c once c reaches the extent) smeared over lines 0..c (the last
// c + 1 lines reversed), the rest of that picture in place.
Expected Sudare(const Mix& m, bool vertical) {
  const int32_t extent = vertical ? m.h : m.w;
  int32_t c = (2 * extent - 1) * m.pos / m.len;
  const bool late = c >= extent;
  if (late) c = 2 * extent - 1 - c;
  Picture out(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      int32_t along = vertical ? y : x;
      if (m.rev ? along >= extent - 1 - c : along <= c) along = m.rev ? extent - 1 - c : c;
      const int32_t sx = vertical ? x : along, sy = vertical ? along : y;
      out[size_t(y * m.w + x)] = late ? m.New(sx, sy) : m.Old(sx, sy);
    }
  }
  return Whole(out);
}
Expected SudareH(const Mix& m) { return Sudare(m, false); }
Expected SudareV(const Mix& m) { return Sudare(m, true); }

// The twists: each line turns about the centre line at a := pos x 3pi/2 / len - (i / extent) x pi/2
// for line i in walking order: not started (a < 0) it keeps the start picture, turning it is
// black with the start (end) line squeezed to Round(cos a x across) pixels in its middle, finished
// (a > pi) the end picture. Lines whose a or squeeze lies at a rounding edge are not checked, and
// in a vertical twist the pixel below the bottom band where H - |c| is odd is never drawn.
Expected Twist(const Mix& m, bool vertical) {
  const int32_t extent = vertical ? m.w : m.h, across = vertical ? m.h : m.w;
  const double phase = m.pos * 3 * kPi / 2 / m.len;
  Picture out = m.from;
  std::vector<uint8_t> checked(m.from.size(), 1);
  auto put = [&](int32_t line, int32_t at, uint32_t p) {
    const size_t i = size_t(vertical ? at * m.w + line : line * m.w + at);
    out[i] = p;
  };
  auto source = [&](bool end, int32_t line, int32_t at) {
    return vertical ? (end ? m.New(line, at) : m.Old(line, at)) : (end ? m.New(at, line) : m.Old(at, line));
  };
  for (int32_t i = 0; i < extent; ++i) {
    const int32_t line = m.rev ? extent - 1 - i : i;
    const double a = phase - double(i) / extent * kPi / 2;
    bool ambiguous = std::fabs(a) < 1e-9 || std::fabs(a - kPi) < 1e-9;
    if (a > kPi) {
      for (int32_t at = 0; at < across; ++at) put(line, at, source(true, line, at));
    } else if (a >= 0) {
      const int32_t c = RoundEven(std::cos(a) * across, ambiguous), n = std::abs(c);
      const int32_t start = vertical ? (across - n) / 2 : (c > 0 ? (across - c) / 2 : (across + c) / 2);
      const int32_t step = n > 0 ? int32_t(double(across) / n * 65536) : 0;
      for (int32_t at = 0; at < across; ++at) {
        const bool inside = at >= start && at < start + n;
        put(line, at, inside ? source(c < 0, line, (at - start) * step / 65536) : 0);
      }
      if (vertical && (across - n) % 2 == 1) checked[size_t((across - 1) * m.w + line)] = 0;
    }
    if (ambiguous) {
      for (int32_t at = 0; at < across; ++at) checked[size_t(vertical ? at * m.w + line : line * m.w + at)] = 0;
    }
  }
  return {{out}, checked, true};
}
Expected TwistH(const Mix& m) { return Twist(m, false); }
Expected TwistV(const Mix& m) { return Twist(m, true); }

// The rotated draw of the whole `src` (the screen's size) at level `level` with its pivot
// (px, py) at (X, Y), scaled by scale / 256 and turned by angle / 256 of a turn: the nearest
// source pixel by the 16.16 walk from the bounding box. Where a box edge lies at an integer (so
// another evaluation could truncate it either way) the lines beside it are not checked.
void Rotate(Picture& dst, std::vector<uint8_t>& checked, int32_t w, int32_t h, int32_t scale, const Picture& src,
            int32_t angle, uint32_t level) {
  if (level == 0 || scale < 1) return;
  const int32_t X = w / 2, Y = h / 2, px = w / 2, py = h / 2;
  const double a = angle * 2 * kPi / 256, s = scale / 256.0, ca = std::cos(a), sa = std::sin(a);
  const int32_t dudx = int32_t(65536 * ca / s), dvdx = int32_t(-65536 * sa / s);
  const int32_t dudy = int32_t(65536 * sa / s), dvdy = int32_t(65536 * ca / s);
  const double l = px * s, t = py * s, r = w * s - l - 1, b = h * s - t - 1;
  double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
  for (const auto& [ox, oy] : {std::pair{-l, -t}, std::pair{r, -t}, std::pair{-l, b}, std::pair{r, b}}) {
    const double x = X + ox * ca - oy * sa, y = Y + ox * sa + oy * ca;
    min_x = std::min(min_x, x), max_x = std::max(max_x, x), min_y = std::min(min_y, y), max_y = std::max(max_y, y);
  }
  const int32_t left = int32_t(min_x), top = int32_t(min_y), right = int32_t(max_x + 1), bottom = int32_t(max_y + 1);
  auto near_integer = [](double v) { return std::fabs(v - std::nearbyint(v)) < 1e-6; };
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const bool edge_x = (near_integer(min_x) && std::abs(x - int32_t(std::nearbyint(min_x))) <= 1) ||
                          (near_integer(max_x + 1) && std::abs(x - int32_t(std::nearbyint(max_x + 1))) <= 1);
      const bool edge_y = (near_integer(min_y) && std::abs(y - int32_t(std::nearbyint(min_y))) <= 1) ||
                          (near_integer(max_y + 1) && std::abs(y - int32_t(std::nearbyint(max_y + 1))) <= 1);
      if (edge_x || edge_y) checked[size_t(y * w + x)] = 0;
      if (x < left || x >= right || y < top || y >= bottom) continue;
      const int32_t u = px * 65536 + (x - X) * dudx + (y - Y) * dudy, v = py * 65536 + (x - X) * dvdx + (y - Y) * dvdy;
      if (u < 0 || v < 0 || u >> 16 >= w || v >> 16 >= h) continue;
      const uint32_t sp = src[size_t((v >> 16) * w + (u >> 16))];
      uint32_t& dp = dst[size_t(y * w + x)];
      dp = level >= 255 ? sp : Blend(dp, sp, level);
    }
  }
}

// Small: the end picture, the start picture over it about the centre at z = Round((len - 1 - pos)
// / len x 255) (scale and level), turned by Round(p0 x pos / len) (negated reversed).
Expected Small(const Mix& m) {
  bool ambiguous = false;
  const int32_t z = RoundEven(double(m.len - 1 - m.pos) / m.len * 255.0, ambiguous);
  const int32_t angle = RoundEven(double(m.p0) * m.pos / m.len, ambiguous);
  if (ambiguous) return Unknown();
  Picture out = m.to;
  std::vector<uint8_t> checked(out.size(), 1);
  Rotate(out, checked, m.w, m.h, z, m.from, m.rev ? -angle : angle, uint32_t(z));
  return {{out}, checked, true};
}

// Big: the start picture, the end picture over it at z = Round(pos / len x 255), turned by
// Round(p0 x (len - 1 - pos) / len).
Expected Big(const Mix& m) {
  bool ambiguous = false;
  const int32_t z = RoundEven(double(m.pos) / m.len * 255.0, ambiguous);
  const int32_t angle = RoundEven(double(m.p0) * (m.len - 1 - m.pos) / m.len, ambiguous);
  if (ambiguous) return Unknown();
  Picture out = m.from;
  std::vector<uint8_t> checked(out.size(), 1);
  Rotate(out, checked, m.w, m.h, z, m.to, m.rev ? -angle : angle, uint32_t(z));
  return {{out}, checked, true};
}

// The zoom: f := 2 x pos / len; the rectangle (W, H) x |1 - f| of the start (f <= 1) or end
// picture about the point (p0, p1) moved by k = f or 2 - f, kept inside, stretched over the screen.
Expected Zoomin(const Mix& m) {
  const double f = 2.0 * m.pos / m.len, s = f <= 1 ? 1 - f : f - 1, k = f <= 1 ? f : 2 - f;
  bool ambiguous = false;
  const int32_t w = std::max(1, RoundEven(m.w * s, ambiguous)), h = std::max(1, RoundEven(m.h * s, ambiguous));
  int32_t left = RoundEven((m.p0 - m.w / 2.0) * k, ambiguous) + m.w / 2 - w / 2;
  int32_t top = RoundEven((m.p1 - m.h / 2.0) * k, ambiguous) + m.h / 2 - h / 2;
  if (ambiguous) return Unknown();
  left = left < 0 ? 0 : left + w > m.w ? m.w - w : left;
  top = top < 0 ? 0 : top + h > m.h ? m.h - h : top;
  Picture out(m.from.size());
  Stretch(out, m.w, {0, 0, m.w, m.h}, f <= 1 ? m.from : m.to, m.w, {left, top, w, h}, 255);
  return Whole(out);
}

// The mosaic: v := pos x 1023 div len; both pictures (by quarter of v) shrunk to ((W shr 2) x e
// shr 8, (H shr 2) x e shr 8) on a work picture, the end one blended in at its level, and the
// work picture stretched back over the screen.
Expected Mosaic(const Mix& m) {
  const int32_t v = m.pos * 1023 / m.len;
  const int32_t e = v < 512 ? 263 - 15 * (v / 2) / 16 : 15 * ((v - 512) / 2) / 16 + 24;
  const int32_t w = std::max(1, (m.w >> 2) * e >> 8), h = std::max(1, (m.h >> 2) * e >> 8);
  Picture work(m.from.size());
  Stretch(work, m.w, {0, 0, w, h}, v >= 768 ? m.to : m.from, m.w, {0, 0, m.w, m.h}, 255);
  if (v >= 256 && v < 768) {
    const uint32_t level = uint32_t(v < 512 ? (v - 256) / 4 : (v - 256) / 2);
    Stretch(work, m.w, {0, 0, w, h}, m.to, m.w, {0, 0, m.w, m.h}, level);
  }
  Picture out(m.from.size());
  Stretch(out, m.w, {0, 0, m.w, m.h}, work, m.w, {0, 0, w, h}, 255);
  return Whole(out);
}

// ---- Rings and pieces ----

// The spotlight: t := pos x Radius div len over distances from the centre (from the corners
// reversed); the end picture from d + 256 <= t, a ring of grey added 512 wide from d on.
Expected Spot(const Mix& m) {
  const int32_t cx = m.w / 2, cy = m.h / 2, reach = int32_t(std::lround(std::hypot(cy, cx)));
  const int32_t t = m.pos * (reach + 512) / m.len;
  Picture out(m.from.size());
  for (int32_t y = 0; y < m.h; ++y) {
    for (int32_t x = 0; x < m.w; ++x) {
      const int32_t r = int32_t(std::lround(std::hypot(std::abs(y - cy), std::abs(x - cx))));
      const int32_t d = m.rev ? reach - r : r;
      uint32_t p = d + 256 <= t ? m.New(x, y) : m.Old(x, y);
      if (d <= t && t < d + 512) p = AddGrey(p, t < d + 256 ? t - d : 511 - (t - d), false);
      out[size_t(y * m.w + x)] = p;
    }
  }
  return Whole(out);
}

// The ripple (even sizes): per pixel of the top-left quarter at distance d from the centre,
// k := last + d - t with t := pos x R div len: beyond the ring the start picture, passed the end
// picture, on the ring the end picture read at distance d + Wave[k] in the same direction, all
// mirrored into the other quarters. Pixels whose direction's cosine or sine x 65536 lies at a
// rounding edge are not checked.
Expected Ripple(const Mix& m) {
  const int32_t hw = m.w / 2, hh = m.h / 2, waves = std::min(hw, hh) * 2 / 3, q = waves / 4;
  std::vector<int32_t> wave(static_cast<size_t>(waves));
  for (int32_t n = 0; n < waves; ++n) wave[size_t(n)] = n % q * m.p0 / q;
  const int32_t reach = int32_t(std::lround(std::hypot(hh, hw))) + waves, last = waves - 1;
  const int32_t t = m.pos * reach / m.len;
  Picture out(m.from.size());
  std::vector<uint8_t> checked(m.from.size(), 1);
  for (int32_t j = 0; j < hh; ++j) {
    for (int32_t i = 0; i < hw; ++i) {
      const int32_t dx = i - hw, dy = j - hh, d = int32_t(std::lround(std::hypot(dy, dx)));
      const double angle = std::atan2(dy, dx), cs = std::cos(angle) * 65536, sn = std::sin(angle) * 65536;
      bool ambiguous = false;
      const int32_t cos_v = RoundEven(cs, ambiguous), sin_v = RoundEven(sn, ambiguous);
      const int32_t k = last + d - t;
      const int32_t xs[2] = {i, m.w - 1 - i}, ys[2] = {j, m.h - 1 - j};
      int32_t sx = i, sy = j;
      bool moved = false;
      if (k >= 0 && k <= last) {
        const int32_t r = d + wave[size_t(k)];
        sx = int32_t(int64_t(cos_v) * r / 65536) + hw, sy = int32_t(int64_t(sin_v) * r / 65536) + hh;
        moved = sx >= 0 && sx < m.w && sy >= 0 && sy < m.h;
      }
      for (int a = 0; a < 2; ++a) {
        for (int b = 0; b < 2; ++b) {
          const size_t at = size_t(ys[b] * m.w + xs[a]);
          if (k > last) {
            out[at] = m.from[at];
          } else if (!moved) {
            out[at] = m.to[at];
          } else {
            out[at] = m.New(a ? m.w - 1 - sx : sx, b ? m.h - 1 - sy : sy);
          }
          if (ambiguous && k >= 0 && k <= last) checked[at] = 0;
        }
      }
    }
  }
  return {{out}, checked, true};
}

// The chips: on the end picture, square chips of the start picture (side p0, at least 16) start
// p1 time units apart in an order the session's generator draws, rise and fall away. A chip not
// started (or just started) is in its place; one wholly above or below the screen is not seen;
// any other chip's place depends on the draws, so no picture is fixed then. The shot is one of
// the pictures of the orders of the cells.
Expected Crack(const Mix& m) {
  const int32_t p0 = m.p0 < 17 ? 16 : m.p0, p1 = std::max(m.p1, 0);
  const int32_t cols = (m.w + p0 - 1) / p0, rows = (m.h + p0 - 1) / p0, count = cols * rows;
  auto rise = [](int32_t e) { return e * (5 * e - 1500) / 1000; };
  int32_t fall = 0;
  while (m.h > rise(fall)) ++fall;
  const int32_t t = (fall + (count - 1) * p1) * m.pos / m.len;
  std::vector<int32_t> cells(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) cells[size_t(i)] = i;
  std::vector<Picture> pictures;
  do {
    Picture out = m.to;
    for (int32_t k = 0; k < count; ++k) {
      const int32_t cell = cells[size_t(k)], col = cell % cols, row = cell / cols, delay = p1 * k;
      const int32_t chip_h = std::min(p0, m.h - row * p0);
      if (t > delay) {
        const int32_t y = row * p0 + rise(t - delay);
        if (y + chip_h <= 0 || y >= m.h) continue;
        return Unknown();
      }
      for (int32_t y = row * p0; y < row * p0 + chip_h; ++y) {
        for (int32_t x = col * p0; x < std::min(m.w, col * p0 + p0); ++x) out[size_t(y * m.w + x)] = m.Old(x, y);
      }
    }
    pictures.push_back(std::move(out));
  } while (std::next_permutation(cells.begin(), cells.end()));
  return {pictures, {}, true};
}

// ---- The table ----

// A flip: its kind, length and record fields (parameters and mask name only when given), the
// screen size, and the frames after which a shot is taken (counted from the flip's entry step: 0
// is that step).
struct KindCase {
  const char* name;
  int32_t kind;
  int32_t length;
  std::vector<int32_t> frames;
  Formula formula;
  std::optional<int32_t> p0 = std::nullopt, p1 = std::nullopt;
  bool reverse = false;
  bool mask_picture = false;  // a grey mask picture named by the flip
  int32_t width = kWidth, height = kHeight;
  bool swap_shot = false;  // also a shot of the swap's frame (the flip's timing)
};

// The parameters a kind has before the flip gives its own.
std::pair<int32_t, int32_t> DefaultParams(int32_t kind) {
  switch (kind) {
    case WP_BLINDH: case WP_BLINDV: return {20, 1};
    case WP_CURTAINH: case WP_CURTAINV: return {30, 1};
    case WP_GRID: case WP_GRIDH: case WP_GRIDV: return {80, 30};
    case WP_RIPPLE: return {5, 0};
    case WP_CRACK: return {64, 3};
    default: return {0, 0};
  }
}

// A row whose run also shoots the swap's frame.
KindCase Timed(KindCase c) {
  c.swap_shot = true;
  return c;
}

const std::vector<KindCase>& Cases() {
  // Frames are chosen so that each case's positions (16 x (frame - 1) ms) fall in distinct phases.
  static const std::vector<KindCase> cases = {
      Timed({"fade", WP_FADE, 480, {0, 1, 2, 11, 16, 30}, Fade}),
      {"fade_sliding", WP_FADE, 480, {2, 9, 20}, Fade, 9, -5},
      {"blindh", WP_BLINDH, 480, {8, 20, 29}, BlindH},
      {"blindh_soft_reversed", WP_BLINDH, 480, {9, 17}, BlindH, 5, 4, true},
      {"blindv", WP_BLINDV, 480, {3, 12, 24}, BlindV, 5, 3},
      {"blindv_reversed", WP_BLINDV, 480, {4, 16}, BlindV, 6, 1, true},
      {"curtainh", WP_CURTAINH, 480, {10, 19, 28}, CurtainH, 6, 20},
      {"curtainh_reversed", WP_CURTAINH, 480, {6, 20}, CurtainH, 4, 1, true},
      {"curtainv", WP_CURTAINV, 480, {3, 11, 23}, CurtainV, 5, 12},
      {"curtainv_reversed", WP_CURTAINV, 480, {7, 18}, CurtainV, 1, 1, true},
      Timed({"scroll", WP_SCROLLH, 480, {2, 11, 21, 30}, ScrollH}),
      {"scrollh_reversed", WP_SCROLLH, 480, {5, 18}, ScrollH, std::nullopt, std::nullopt, true},
      {"scrollv", WP_SCROLLV, 480, {3, 14, 27}, ScrollV},
      {"scrollv_reversed", WP_SCROLLV, 480, {8, 22}, ScrollV, std::nullopt, std::nullopt, true},
      {"grid", WP_GRID, 480, {2, 12, 25}, GridAll},
      {"grid_cells", WP_GRID, 480, {10, 18, 27}, GridAll, 6, 4},
      {"grid_cells_reversed", WP_GRID, 480, {5, 14}, GridAll, 5, 1, true},
      {"gridh", WP_GRIDH, 480, {4, 13, 22}, GridH, 7, 5},
      {"gridh_reversed", WP_GRIDH, 480, {6, 19}, GridH, 5, 3, true},
      {"gridv", WP_GRIDV, 480, {4, 13, 22}, GridV, 5, 6},
      {"gridv_reversed", WP_GRIDV, 480, {7, 17}, GridV, 4, 2, true},
      {"dither", WP_DITHER, 480, {9, 17}, Dither},
      {"dither_whole_block", WP_DITHER, 480, {5, 16, 26}, Dither, std::nullopt, std::nullopt, false, false, 72, 64},
      Timed({"white", WP_WHITE, 480, {2, 10, 16, 17, 30}, White}),
      Timed({"black", WP_BLACK, 480, {2, 16, 17, 25}, Black}),
      Timed({"flash", WP_FLASH, 320, {0, 2, 9, 20}, Flash}),
      {"mosaic", WP_MOSAIC, 480, {6, 10, 20, 24}, Mosaic},
      {"mosaic_large", WP_MOSAIC, 480, {3, 12, 21}, Mosaic, std::nullopt, std::nullopt, false, false, 56, 40},
      {"sudareh", WP_SUDAREH, 480, {8, 15, 24}, SudareH},
      {"sudareh_reversed", WP_SUDAREH, 480, {6, 20}, SudareH, std::nullopt, std::nullopt, true},
      {"sudarev", WP_SUDAREV, 480, {11, 19, 28}, SudareV},
      {"sudarev_reversed", WP_SUDAREV, 480, {7, 23}, SudareV, std::nullopt, std::nullopt, true},
      {"spot", WP_SPOT, 480, {7, 13, 27}, Spot},
      {"spot_reversed", WP_SPOT, 480, {12, 25}, Spot, std::nullopt, std::nullopt, true},
      {"maskfade_without_mask", WP_MASKFADE, 480, {9, 16}, MaskFade},
      {"maskfade", WP_MASKFADE, 480, {10, 17, 25}, MaskFade, std::nullopt, std::nullopt, false, true},
      {"maskfade_reversed", WP_MASKFADE, 480, {6, 20}, MaskFade, std::nullopt, std::nullopt, true, true},
      {"maskwhite_without_mask", WP_MASKWHITE, 480, {16}, MaskWhite},
      {"maskwhite", WP_MASKWHITE, 480, {2, 9, 15, 22}, MaskWhite, std::nullopt, std::nullopt, false, true},
      {"maskwhite_reversed", WP_MASKWHITE, 480, {8, 19}, MaskWhite, std::nullopt, std::nullopt, true, true},
      {"maskblack", WP_MASKBLACK, 480, {11, 18, 27}, MaskBlack, std::nullopt, std::nullopt, false, true},
      {"maskblack_reversed", WP_MASKBLACK, 480, {7, 21}, MaskBlack, std::nullopt, std::nullopt, true, true},
      {"maskblack_without_mask", WP_MASKBLACK, 480, {20}, MaskBlack},
      {"small", WP_SMALL, 480, {2, 8, 16, 29}, Small},
      {"small_turning", WP_SMALL, 480, {4, 12, 20}, Small, 96},
      {"small_turning_reversed", WP_SMALL, 480, {9, 17}, Small, 96, std::nullopt, true},
      {"big", WP_BIG, 496, {2, 9, 16, 30}, Big},
      {"big_turning", WP_BIG, 496, {5, 13, 21}, Big, 40},
      {"big_turning_reversed", WP_BIG, 496, {10, 18}, Big, 40, std::nullopt, true},
      {"ripple", WP_RIPPLE, 480, {6, 10, 14, 18}, Ripple, std::nullopt, std::nullopt, false, false, 32, 24},
      {"ripple_deep", WP_RIPPLE, 480, {8, 12, 16}, Ripple, 11, std::nullopt, false, false, 40, 28},
      {"blurwhite", WP_BLURWHITE, 480, {10, 14, 17, 27}, BlurWhite},
      {"blurwhite_large", WP_BLURWHITE, 480, {6, 18, 25}, BlurWhite, std::nullopt, std::nullopt, false, false,
       48, 40},
      {"blurblack", WP_BLURBLACK, 480, {3, 15, 19, 22}, BlurBlack},
      {"blurblack_large", WP_BLURBLACK, 480, {8, 19}, BlurBlack, std::nullopt, std::nullopt, false, false,
       48, 40},
      {"twisth", WP_TWISTH, 480, {6, 11, 16, 21}, TwistH},
      {"twisth_reversed", WP_TWISTH, 480, {8, 17}, TwistH, std::nullopt, std::nullopt, true},
      {"twistv", WP_TWISTV, 480, {7, 12, 17, 22}, TwistV},
      {"twistv_reversed", WP_TWISTV, 480, {9, 18}, TwistV, std::nullopt, std::nullopt, true},
      {"crack", WP_CRACK, 480, {0, 12, 25}, Crack},
      {"crack_two_chips", WP_CRACK, 480, {0, 2, 12, 20}, Crack, 10, 200},
      {"crack_wide_chips", WP_CRACK, 480, {2, 10, 14}, Crack, 17, 150},
      {"crack_together", WP_CRACK, 480, {3, 20}, Crack, 20, 0},
      {"zoomin", WP_ZOOMIN, 480, {0, 6, 16, 21}, Zoomin},
      {"zoomin_point", WP_ZOOMIN, 480, {9, 16, 24}, Zoomin, 17, 5},
      {"clockhand", WP_CLOCKHAND, 480, {4, 10, 17, 24}, Clockhand},
      {"clockhand_reversed", WP_CLOCKHAND, 480, {8, 14, 21}, Clockhand, std::nullopt, std::nullopt, true},
  };
  return cases;
}

// A picture with every channel varying, so that a mixture differs at each pixel.
std::vector<uint8_t> Gradient(int32_t w, int32_t h, uint32_t base) {
  BmpFields bmp;
  bmp.width = w;
  bmp.height = h;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) bmp.pixels.push_back(base ^ uint32_t(x * 23 << 16 | y * 41 << 8 | (x + y) * 13));
  }
  return BuildBmp(bmp);
}

// The grey mask picture: 10 x 6 grey levels from black to white, repeated over the screen.
constexpr int32_t kMaskWidth = 10, kMaskHeight = 6;
int32_t MaskGrey(int32_t x, int32_t y) { return (x * 29 + y * 53) % 7 == 0 ? 255 * (x % 2) : (x * 29 + y * 53) % 256; }
std::vector<uint8_t> MaskPicture() {
  BmpFields bmp;
  bmp.width = kMaskWidth;
  bmp.height = kMaskHeight;
  for (int32_t y = 0; y < kMaskHeight; ++y) {
    for (int32_t x = 0; x < kMaskWidth; ++x) bmp.pixels.push_back(uint32_t(MaskGrey(x, y)) * 0x010101);
  }
  return BuildBmp(bmp);
}

class KovarunFlipTest : public ::testing::Test {
 protected:
  // Writes the game: the start layer in one colour with one picture, the hidden layer in another
  // with another picture; after a few frames the flip of `c`, then a long wait.
  void WriteGame(const KindCase& c) {
    width = c.width;
    height = c.height;
    ProjectBuilder p = TestGameProject();
    p.screen_width = width;
    p.screen_height = height;
    tree.WriteFile("flip/kova.kpb", p.Build());
    tree.WriteFile("flip/install.dat", TestGameInstallSet());
    tree.WriteFile("flip/old.wxa", Gradient(12, 8, 0x204060));
    tree.WriteFile("flip/new.wxa", Gradient(16, 10, 0xC08010));
    constexpr int32_t kImgNew = 9;
    PageWriter start;
    start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(PR_COLOR), I(0x302010)}));
    start.Calc(ExprBuilder().Call(3, "____0", {S("BASE1"), I(PR_COLOR), I(0x1080F0)}));
    start.Component(kImgNew, {{PR_NAME, Value(S("old"))}, {PR_SOURCE, Value(S("old.wxa"))}, {PR_LEFT, Value(I(2))},
                              {PR_TOP, Value(I(3))}});
    // On the hidden layer (the one-byte name 1).
    start.Component(kImgNew, {{PR_NAME, Value(S("new"))}, {PR_PARENT, Value(S("\x01"))},
                              {PR_SOURCE, Value(S("new.wxa"))}, {PR_LEFT, Value(I(7))}, {PR_TOP, Value(I(5))}});
    start.Wait(NoResult(), Value(I(40)));
    flip_line = start.Next() + 1;
    PageWriter::FlipRecord flip;
    flip.kind = Value(I(c.kind));
    flip.length = Value(I(c.length));
    if (c.reverse) flip.reverse = Yes();
    if (c.p0) flip.param0 = Value(I(*c.p0));
    if (c.p1) flip.param1 = Value(I(*c.p1));
    if (c.mask_picture) {
      tree.WriteFile("flip/mask.wxa", MaskPicture());
      flip.mask = Value(S("mask.wxa"));
    }
    start.Flip(flip);
    start.Wait(NoResult(), Value(I(100000)));
    tree.WriteFile("flip/start.ksb", start.Bytes());
  }

  struct Shot {
    int status = -1;
    std::string err;
    Picture picture;
    // The game clock at which the flip was entered (-1 when the trace does not show it).
    int64_t flip_clock = -1;
    std::vector<std::string> log;
  };

  // Runs kovarun on the game `folder` for `frames` frames and reads its shot and trace.
  Shot Run(long frames, const std::string& folder = "flip") {
    const std::string shot = tree.Path("shot.png"), log = tree.Path("trace.txt"), err = tree.Path("err.txt");
    std::remove(shot.c_str());
    const std::vector<std::string> args = {"--no-logo", tree.Path(folder), "--frames", std::to_string(frames),
                                           "--shot",          shot,       "--log",    log};
    Shot result;
    result.status = RunProgram(KOVARUN_PATH, args, "", err);
    std::ifstream err_in(err);
    std::stringstream err_text;
    err_text << err_in.rdbuf();
    result.err = err_text.str();
    std::ifstream log_in(log);
    const std::string flip_trace = " : start.ksb(" + std::to_string(flip_line) + ")";
    for (std::string line; std::getline(log_in, line);) {
      if (line.size() > 11 && line.substr(8) == flip_trace) {
        result.flip_clock = std::stoll(line.substr(0, 8), nullptr, 16);
      }
      result.log.push_back(line);
    }
    if (result.status != 0) return result;
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface png;
    ReadPng(file, png);
    EXPECT_EQ(png.Width(), width);
    EXPECT_EQ(png.Height(), height);
    for (int32_t y = 0; y < png.Height(); ++y) {
      for (int32_t x = 0; x < png.Width(); ++x) result.picture.push_back(png.GetPixel(x, y) & 0xFFFFFF);
    }
    return result;
  }

  GameTree tree;
  int32_t flip_line = 0;
  int32_t width = kWidth, height = kHeight;
};

// Where a shot differs from a computed picture at the checked pixels ("" when it does not).
std::string FirstDifference(const Picture& got, const Picture& want, const std::vector<uint8_t>& checked,
                            int32_t width) {
  if (got.size() != want.size()) return "sizes differ";
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i] && (checked.empty() || checked[i])) {
      char text[96];
      std::snprintf(text, sizeof text, "at (%d, %d): %06X, computed %06X", int(i % size_t(width)),
                    int(i / size_t(width)), got[i], want[i]);
      return text;
    }
  }
  return {};
}

// "" when the shot is one of the expected pictures, else where it differs from the first.
std::string Mismatch(const Picture& got, const Expected& e, int32_t width) {
  for (const Picture& want : e.pictures) {
    if (FirstDifference(got, want, e.checked, width).empty()) return {};
  }
  return e.pictures.empty() ? "no picture" : FirstDifference(got, e.pictures[0], e.checked, width);
}

class KovarunFlipKindTest : public KovarunFlipTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(KovarunFlipKindTest, ShotsMidTransitionHoldTheKindsMixture) {
  const KindCase& c = Cases()[GetParam()];
  WriteGame(c);
  // A run well past the end gives the end picture and the flip's entry step: the frame whose
  // clock the trace gives for it.
  const long frames = 40 + (c.length + 15) / 16;
  const Shot to = Run(frames);
  ASSERT_EQ(to.status, 0) << to.err;
  ASSERT_GT(to.flip_clock, 0) << "the flip's trace line";
  const long entry = long(to.flip_clock / 16);
  // The swap comes in the first step whose time since the start time (the step after the entry)
  // reaches the length.
  const long swap = entry + 1 + (c.length + 15) / 16;
  ASSERT_LT(swap + 2, frames);
  const Shot from = Run(entry - 1);
  ASSERT_EQ(from.status, 0) << from.err;
  ASSERT_NE(from.picture, to.picture);
  // The mask picture's grey level at each screen pixel, inverted by the reverse flag.
  std::vector<int32_t> grey(size_t(width * height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t g = MaskGrey(x % kMaskWidth, y % kMaskHeight);
      grey[size_t(y * width + x)] = c.reverse ? 255 - g : g;
    }
  }
  const auto [default0, default1] = DefaultParams(c.kind);
  auto expected = [&](int32_t position) {
    const Mix mix{from.picture, to.picture, position, c.length, width, height, c.p0.value_or(default0),
                  c.p1.value_or(default1), c.reverse, c.mask_picture ? &grey : nullptr};
    return c.formula(mix);
  };
  for (const int32_t after : c.frames) {
    SCOPED_TRACE("frame " + std::to_string(after) + " after the entry");
    // The position handed over at that frame: 0 in the entry step and the next, then the time
    // since the start time.
    const int32_t position = after < 2 ? 0 : 16 * (after - 1);
    ASSERT_LT(position, c.length);
    const Expected want = expected(position);
    ASSERT_TRUE(want.certain) << "the formula fixes no picture at position " << position;
    ASSERT_TRUE(want.checked.empty() || std::count(want.checked.begin(), want.checked.end(), 1) > 0);
    const Shot mid = Run(entry + after);
    ASSERT_EQ(mid.status, 0) << mid.err;
    EXPECT_EQ(Mismatch(mid.picture, want, width), "");
  }
  if (c.swap_shot) {
    EXPECT_EQ(Run(swap).picture, to.picture) << "the swap";
  }
  // The step before the swap still shows the transition's last picture.
  const Expected last = expected(16 * int32_t(swap - 2 - entry));
  const Shot before = Run(swap - 1);
  if (last.certain) {
    EXPECT_EQ(Mismatch(before.picture, last, width), "") << "the step before the swap";
  }
  if (last.certain && last.pictures.size() == 1 && last.checked.empty() && last.pictures[0] != to.picture) {
    EXPECT_NE(before.picture, to.picture) << "the step before the swap";
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, KovarunFlipKindTest, ::testing::Range(size_t(0), Cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) { return Cases()[info.param].name; });

// A game saved by an event handler while its flip runs, and loaded by a fresh run from its first
// frame: the loaded flip finds no transition, completes in its third run (the layers swap) and
// clears the old layer as the saved flag says; a second flip back shows that layer without the
// control it had. Both runs end on the same picture.
TEST_F(KovarunFlipTest, AFlipSavedMidwayEndsAfterTheLoadAsInTheSavingRun) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = kWidth;
  p.screen_height = kHeight;
  tree.WriteFile("saves/kova.kpb", p.Build());
  tree.WriteFile("saves/install.dat", TestGameInstallSet());
  tree.WriteFile("saves/left.wxa", Gradient(6, 5, 0x204060));
  tree.WriteFile("saves/carried.wxa", Gradient(8, 6, 0xC08010));
  constexpr int32_t kImgNew = 9;
  constexpr uint32_t kColourA = 0x302010, kColourB = 0x1080F0;
  PageWriter start;
  start.GameLoad(Value(I(1)));  // nothing to load in the saving run
  start.Wait(NoResult(), Value(I(16)));
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(PR_COLOR), I(kColourA)}));
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE1"), I(PR_COLOR), I(kColourB)}));
  start.Component(kImgNew, {{PR_NAME, Value(S("left"))}, {PR_SOURCE, Value(S("left.wxa"))}, {PR_LEFT, Value(I(2))},
                            {PR_TOP, Value(I(3))}});
  start.Component(kImgNew, {{PR_NAME, Value(S("carried"))}, {PR_SOURCE, Value(S("carried.wxa"))},
                            {PR_LEFT, Value(I(12))}, {PR_TOP, Value(I(6))}});
  start.Wait(NoResult(), Value(I(40)));
  // The idle event queued in the flip's entry step runs its handler before the flip's next run.
  start.SetProp(Value(S("left")), Value(I(PR_ONIDLE)), Value(S("save.ksb")));
  PageWriter::FlipRecord flip;
  flip.kind = Value(I(WP_FADE));
  flip.length = Value(I(200));
  flip.move_mode = Value(I(1));
  flip.names = {Value(S("carried"))};
  flip.clear = Yes();
  start.Flip(flip);
  const int32_t after_flip = start.Next() + 1;
  start.Calc(Assign("limit", I(1)));
  start.Flip(Value(I(WP_NONE)), Value(I(1)));  // back to the first layer
  start.Wait(NoResult(), Value(I(100)));
  start.Terminate();
  tree.WriteFile("saves/start.ksb", start.Bytes());
  PageWriter save;
  save.SetProp(Value(S("left")), Value(I(PR_ONIDLE)), Value(S("")));
  save.GameSave(Value(I(1)), "", 0, Value(S("mid-flip")));
  tree.WriteFile("saves/save.ksb", save.Bytes());

  const Shot saving = Run(200, "saves");
  ASSERT_EQ(saving.status, 0) << saving.err;
  ASSERT_NE(saving.err.find("terminated"), std::string::npos) << saving.err;
  ASSERT_TRUE(std::any_of(saving.log.begin(), saving.log.end(),
                          [](const std::string& l) { return l.ends_with(" : save.ksb(2)"); }));
  const Shot loading = Run(200, "saves");
  ASSERT_EQ(loading.status, 0) << loading.err;
  ASSERT_NE(loading.err.find("terminated"), std::string::npos) << loading.err;
  // The load is served in the first frame; the loaded flip runs in the next three and the
  // command after it in the third.
  const std::string after = " : start.ksb(" + std::to_string(after_flip) + ")";
  const auto first_after = std::find_if(loading.log.begin(), loading.log.end(),
                                        [&](const std::string& l) { return l.ends_with(after); });
  ASSERT_NE(first_after, loading.log.end());
  EXPECT_EQ(first_after->substr(0, 8), "00000040");
  EXPECT_FALSE(std::any_of(loading.log.begin(), loading.log.end(),
                           [](const std::string& l) { return l.ends_with(" : save.ksb(2)"); }));
  // The first layer shows again, without "left".
  EXPECT_EQ(loading.picture, saving.picture);
  ASSERT_EQ(saving.picture.size(), size_t(kWidth * kHeight));
  const uint32_t rgb_a = kColourA >> 16 | (kColourA & 0xFF00) | (kColourA & 0xFF) << 16;
  for (const uint32_t px : saving.picture) ASSERT_EQ(px, rgb_a);
}

}  // namespace
}  // namespace kova::test
