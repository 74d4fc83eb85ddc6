// Randomised differential tests of the instruction-set rows against the reference rows: every
// entry a table replaces, pixel for pixel, over lengths around the vector widths, both directions
// and all switches; and every drawing operation, mirrored and clipped, at every depth and result
// rule, giving the same pixels under each instruction set.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dibx_test_util.h"
#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "graphics/pixels/formats.h"
#include "graphics/pixels/ops.h"
#include "graphics/simd_dispatch.h"

namespace kova {
namespace {

using pixels::TFormat;
using pixels::TOp;
using pixels::TOpArgs;
using pixels::TPixelOps;

struct TRandom {
  std::mt19937 gen{12345};
  uint32_t Next() { return uint32_t(gen()); }
  uint32_t Below(uint32_t n) { return Next() % n; }
  bool Coin() { return Below(2) == 1; }
  // Pixels drawn from a few values often, so equal pixels and key matches occur.
  uint32_t Pixel() {
    static const uint32_t common[] = {0, 0xFFFFFFFF, 0x00FFFFFF, 0x00123456, 0xFF808080};
    return Below(3) == 0 ? common[Below(5)] : Next();
  }
  uint8_t MaskValue() {
    const uint32_t k = Below(4);
    return k == 0 ? 0 : k == 1 ? 255 : uint8_t(Next());
  }
  uint32_t Level(uint32_t top) {
    const uint32_t k = Below(5);
    return k == 0 ? 255 : k == 1 ? 1 : k == 2 ? top : Below(top + 1);
  }
};

// The levels an operation takes: up to 256 where 256 means "unscaled".
uint32_t TopLevel(TOp op) {
  switch (op) {
    case TOp::Add:
    case TOp::MaskBlend:
    case TOp::MaskAdd:
    case TOp::FillMask: return 256;
    default: return 255;
  }
}

// One set of rows: destination, source pixels (or codes) and mask, with room on both sides so that
// reversed walks have memory behind their first value.
struct TRows {
  static constexpr int32_t kPad = 80;
  std::vector<uint32_t> d, s;
  std::vector<uint8_t> m;
  void Fill(TRandom& r, int32_t n) {
    const size_t size = size_t(n + 2 * kPad);
    d.resize(size);
    s.resize(size);
    m.resize(size);
    for (auto& v : d) v = r.Pixel();
    // Sources and masks come in runs as often as not (key pixels, mask values 0 and 255), so the
    // fast rows' shortcuts for whole vectors, and groups of vectors, that all skip or all copy are
    // taken as well as their mixed cases.
    for (size_t i = 0; i < size;) {
      const size_t end = std::min(size, i + 1 + r.Below(r.Coin() ? 4 : 48));
      const uint32_t kind = r.Below(4);
      for (; i < end; ++i) s[i] = kind == 0 || (kind == 1 && r.Below(4) == 0) ? 0x00123456 : r.Pixel();
    }
    for (size_t i = 0; i < size;) {
      const size_t end = std::min(size, i + 1 + r.Below(r.Coin() ? 4 : 48));
      const uint32_t kind = r.Below(4);
      for (; i < end; ++i) m[i] = kind == 0 ? 0 : kind == 1 ? 255 : r.MaskValue();
    }
    for (size_t i = 0; i < size; ++i)
      if (r.Below(5) == 0) d[i] = s[i];
  }
};

// The fast rows of one table against the reference, for every entry the table replaces. Returns
// how many entries were compared.
int32_t CompareRows(const TPixelOps& fast, const char* name) {
  const TPixelOps& ref = pixels::ScalarPixelOps();
  TRandom r;
  std::array<uint32_t, 256> table{};
  for (auto& v : table) v = r.Pixel();
  int32_t compared = 0;
  for (size_t op = 0; op < pixels::kOpCount; ++op) {
    for (size_t f = 0; f < pixels::kFormatCount; ++f) {
      const pixels::TRowFn a_row = ref.rows[op][f], b_row = fast.rows[op][f];
      if (a_row == b_row) continue;
      ++compared;
      const int32_t bytes = pixels::BytesOf(TFormat(f));
      for (int32_t iter = 0; iter < 300; ++iter) {
        const int32_t n = iter < 70 ? iter : int32_t(r.Below(iter % 2 ? 70 : 200));
        const int32_t dir = r.Coin() ? -1 : 1;
        TOpArgs args;
        args.level = r.Level(TopLevel(TOp(op)));
        args.color = r.Pixel();
        args.keyed = r.Coin();
        args.key = r.Below(3) == 0 ? r.Pixel() : 0x00123456;
        // 16-bit pixels match a key of their size (the source's runs hold 0x3456 and 0x0012); a
        // wider key, which no pixel matches, is kept now and then.
        if (bytes == 2 && r.Below(4) != 0) args.key &= 0xFFFF;
        args.skip_equal = r.Coin();
        args.skip_zero_weight = r.Coin();
        args.table = table.data();
        args.table_mode = pixels::TTableMode(r.Below(4));
        args.threshold = int32_t(r.Below(300)) - 20;
        TRows base;
        base.Fill(r, n);
        TRows a = base, b = base;
        // Rows are walked from their first value: the end of the row when reversed.
        const int32_t first = dir < 0 ? TRows::kPad + n - 1 : TRows::kPad;
        auto run = [&](pixels::TRowFn row, TRows& x) {
          uint8_t* d = reinterpret_cast<uint8_t*>(x.d.data() + TRows::kPad);
          const uint8_t* s = reinterpret_cast<const uint8_t*>(x.s.data()) + ptrdiff_t(first) * bytes;
          row(d, s, x.m.data() + first, n, dir, args);
        };
        run(a_row, a);
        run(b_row, b);
        if (a.d != b.d) {
          ADD_FAILURE() << name << " op " << op << " format " << f << " n " << n << " dir " << dir
                            << " level " << args.level << " keyed " << int(args.keyed) << " skip_equal "
                        << int(args.skip_equal) << " skip_zero_weight " << int(args.skip_zero_weight);
          return compared;
        }
      }
    }
  }
  for (int32_t bytes = 1; bytes <= 4; ++bytes) {
    if (fast.gathers[bytes] != ref.gathers[bytes]) {
      ++compared;
      for (int32_t iter = 0; iter < 100; ++iter) {
        const int32_t n = int32_t(r.Below(70));
        std::vector<uint8_t> row(64 * 4), a(size_t(n) * 4 + 4, 1), b(a);
        for (auto& v : row) v = uint8_t(r.Next());
        std::vector<int32_t> cols(size_t(n) + 1);
        for (auto& c : cols) c = int32_t(r.Below(64));
        ref.gathers[bytes](a.data(), row.data(), cols.data(), n);
        fast.gathers[bytes](b.data(), row.data(), cols.data(), n);
        if (a != b) {
          ADD_FAILURE() << name << " gather of " << bytes << " bytes, n " << n;
          return compared;
        }
      }
    }
  }
  return compared;
}

TEST(PixelOps, FastRowsEqualTheReferenceRows) {
  for (TSimdLevel level : {TSimdLevel::Sse2, TSimdLevel::Avx2}) {
    if (level > SupportedSimdLevel()) continue;
    const TPixelOps& fast = pixels::PixelOps(level);
    // Both 32-bit formats have fast rows for every operation but the tables and translucency, and
    // both 16-bit formats for the blends, the masks and the colour's blend, adds and subtractions.
    EXPECT_GE(CompareRows(fast, std::string(SimdLevelName(level)).c_str()), 38) << SimdLevelName(level);
  }
}

// Every table's block routines draw what their row routines draw row by row, over rows going down
// or up in memory, mirrored or not, with and without a mask.
TEST(PixelOps, BlocksEqualTheirRowsOneByOne) {
  TRandom r;
  std::array<uint32_t, 256> table{};
  for (auto& v : table) v = r.Pixel();
  for (TSimdLevel level : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
    if (level > SupportedSimdLevel()) continue;
    const TPixelOps& ops = pixels::PixelOps(level);
    for (size_t op = 0; op < pixels::kOpCount; ++op) {
      for (size_t f = 0; f < pixels::kFormatCount; ++f) {
        const pixels::TRowFn row = ops.rows[op][f];
        const pixels::TBlockFn block = ops.blocks[op][f];
        if (!row) continue;
        ASSERT_NE(block, nullptr) << "op " << op << " format " << f;
        const int32_t bytes = pixels::BytesOf(TFormat(f));
        for (int32_t iter = 0; iter < 20; ++iter) {
          const int32_t n = int32_t(r.Below(40)), rows = 1 + int32_t(r.Below(4));
          const int32_t dir = r.Coin() ? -1 : 1, up = r.Coin() ? -1 : 1;
          TOpArgs args;
          args.level = r.Level(TopLevel(TOp(op)));
          args.color = r.Pixel();
          args.keyed = r.Coin();
          args.key = 0x00123456;
          args.skip_equal = r.Coin();
          args.skip_zero_weight = r.Coin();
          args.table = table.data();
          args.table_mode = pixels::TTableMode(r.Below(4));
          args.threshold = int32_t(r.Below(300)) - 20;
          // The planes' rows are a row of TRows each, pitch pixels apart (more than the row).
          const int32_t pitch = n + 2 * TRows::kPad;
          TRows base;
          base.Fill(r, pitch * rows - 2 * TRows::kPad);
          TRows a = base, b = base;
          const int32_t first_row = up < 0 ? rows - 1 : 0;
          const auto at = [&](TRows& x, int32_t y, uint8_t*& d, const uint8_t*& s, const uint8_t*& m) {
            const int32_t at = TRows::kPad + y * pitch + (dir < 0 ? n - 1 : 0);
            d = reinterpret_cast<uint8_t*>(x.d.data() + TRows::kPad + y * pitch);
            s = reinterpret_cast<const uint8_t*>(x.s.data()) + ptrdiff_t(at) * bytes;
            m = x.m.data() + at;
          };
          for (int32_t j = 0; j < rows; ++j) {
            uint8_t* d;
            const uint8_t *s, *m;
            at(a, first_row + j * up, d, s, m);
            row(d, s, m, n, dir, args);
          }
          uint8_t* d;
          const uint8_t *s, *m;
          at(b, first_row, d, s, m);
          const ptrdiff_t step = ptrdiff_t(pitch) * up;
          block(pixels::TBlock{d, s, m, step * 4, step * bytes, step, n, rows, dir}, args);
          ASSERT_EQ(a.d, b.d) << SimdLevelName(level) << " op " << op << " format " << f << " n " << n << " rows "
                              << rows << " dir " << dir << " up " << up;
        }
      }
    }
  }
}

TEST(PixelOps, LevelsCanBeForcedAndAreCapped) {
  const TSimdLevel saved = ActiveSimdLevel();
  EXPECT_EQ(SetSimdLevel(TSimdLevel::Scalar), TSimdLevel::Scalar);
  EXPECT_EQ(&pixels::PixelOps(), &pixels::ScalarPixelOps());
  EXPECT_EQ(SetSimdLevel(TSimdLevel::Avx2), SupportedSimdLevel());
  EXPECT_EQ(&pixels::PixelOps(), &pixels::PixelOps(SupportedSimdLevel()));
  EXPECT_EQ(SimdLevelName(TSimdLevel::Sse2), "sse2");
  SetSimdLevel(saved);
}

// The formats' arithmetic against the formulas as written, per channel on the masked values, for
// every pair of channel values at a spread of weights.
TEST(PixelOps, FormatsComputeTheWrittenFormulas) {
  auto check = [](auto fmt, const char* name, std::initializer_list<uint32_t> masks) {
    using F = decltype(fmt);
    for (uint32_t a : {0u, 1u, 2u, 100u, 127u, 128u, 200u, 254u, 255u}) {
      for (uint32_t dv = 0; dv < 256; ++dv) {
        for (uint32_t sv = 0; sv < 256; sv += 3) {
          uint32_t d = 0, s = 0, blend = 0, blend255 = 0, add = 0;
          for (uint32_t m : masks) {
            const uint32_t shift = uint32_t(__builtin_ctz(m));
            d |= (dv << shift) & m;
            s |= (sv << shift) & m;
          }
          for (uint32_t m : masks) {
            const uint64_t dm = d & m, sm = s & m;
            blend |= uint32_t(((dm * (255 - a) + sm * a) >> 8) & m);
            blend255 |= uint32_t(((dm * (255 - a) + sm * a) / 255) & m);
            const uint64_t t = dm + (((sm * a) >> 8) & m);
            add |= uint32_t(t > m ? m : t);
          }
          ASSERT_EQ(F::Blend(d, s, a), blend) << name << " " << std::hex << d << " " << s << " " << a;
          ASSERT_EQ(F::Blend255(d, s, a), blend255) << name << " " << std::hex << d << " " << s << " " << a;
          ASSERT_EQ(F::AddSat(d, F::Scale(s, a)), add) << name << " " << std::hex << d << " " << s << " " << a;
        }
      }
    }
    // Random pixels, the bits of the pixel outside the channels set too, and the unscaled level 256.
    TRandom r;
    for (int32_t i = 0; i < 200000; ++i) {
      const uint32_t d = r.Next() & F::kPixelMask, s = r.Next() & F::kPixelMask, level = r.Below(257);
      uint32_t scale = 0, add = 0, sub = 0;
      for (uint32_t m : masks) {
        const uint64_t dm = d & m, sm = s & m;
        scale |= uint32_t(((sm * level) >> 8) & m);
        add |= uint32_t(std::min<uint64_t>(dm + sm, m));
        sub |= uint32_t(dm < sm ? 0 : dm - sm);
      }
      ASSERT_EQ(F::Scale(s, level), scale) << name << " " << std::hex << s << " " << level;
      ASSERT_EQ(F::AddSat(d, s), add) << name << " " << std::hex << d << " " << s;
      ASSERT_EQ(F::SubSat(d, s), sub) << name << " " << std::hex << d << " " << s;
    }
  };
  check(pixels::F8{}, "8", {0xFF});
  check(pixels::F555{}, "555", {0x7C00, 0x3E0, 0x1F});
  check(pixels::F565{}, "565", {0xF800, 0x7E0, 0x1F});
  check(pixels::F24{}, "24", {0xFF0000, 0xFF00, 0xFF});
  check(pixels::F32{}, "32", {0xFF0000, 0xFF00, 0xFF});
  check(pixels::F32Bytes{}, "32 bytes", {0xFF000000u, 0xFF0000, 0xFF00, 0xFF});
}

// The Cover operation of every table against the glyph drawing's formulas as written: for every
// coverage c the pixels had and every glyph coverage m (a row of 256 pixels, m = 0..255 along it,
// walked both ways), at 15, 16 and 32 bits, m 0 leaves the pixel, m 255 writes the colour, and
// otherwise u := c + (255 - c) m div 255, w := m 255 div u, and per channel (colour w + old
// (255 - w)) >> 8 on the masked values.
TEST(PixelOps, CoverFollowsTheGlyphFormulaForEveryCoverage) {
  struct TCase {
    TFormat format;
    std::vector<uint32_t> masks;
  };
  const TCase cases[] = {{TFormat::P555, {0x7C00, 0x3E0, 0x1F}},
                         {TFormat::P565, {0xF800, 0x7E0, 0x1F}},
                         {TFormat::P32, {0xFF0000, 0xFF00, 0xFF}},
                         {TFormat::P32Bytes, {0xFF000000u, 0xFF0000, 0xFF00, 0xFF}}};
  TRandom r;
  for (TSimdLevel level : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
    if (level > SupportedSimdLevel()) continue;
    const TPixelOps& ops = pixels::PixelOps(level);
    for (const TCase& k : cases) {
      const int32_t bytes = pixels::BytesOf(k.format);
      const uint32_t full = bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
      for (int32_t dir : {1, -1}) {
        for (uint32_t c = 0; c < 256; ++c) {
          TOpArgs args;
          args.color = r.Pixel() & full;
          std::vector<uint32_t> d(256);
          std::vector<uint8_t> cover(256, uint8_t(c)), mask(256);
          for (uint32_t& v : d) v = r.Pixel() & full;
          for (uint32_t i = 0; i < 256; ++i) mask[i] = uint8_t(i);
          std::vector<uint8_t> row(256 * 4);
          for (size_t i = 0; i < 256; ++i) std::memcpy(row.data() + i * size_t(bytes), &d[i], size_t(bytes));
          const size_t first = dir > 0 ? 0 : 255;
          ops.Row(TOp::Cover, k.format)(row.data(), cover.data() + first, mask.data() + first, 256, dir, args);
          for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t m = dir > 0 ? i : 255 - i, old = d[i];
            uint32_t want = old;
            if (m == 255) {
              want = args.color;
            } else if (m > 0) {
              const uint32_t u = c + (255 - c) * m / 255, w = m * 255 / u;
              want = 0;
              for (uint32_t cm : k.masks)
                want |= uint32_t((((uint64_t(args.color) & cm) * w + (uint64_t(old) & cm) * (255 - w)) >> 8) & cm);
            }
            uint32_t got = 0;
            std::memcpy(&got, row.data() + i * size_t(bytes), size_t(bytes));
            ASSERT_EQ(got, want) << SimdLevelName(level) << " format " << int(k.format) << " dir " << dir << " c "
                                 << c << " m " << m << std::hex << " old " << old << " colour " << args.color;
          }
        }
      }
    }
  }
}

// ---- Whole operations ----

uint32_t Full(int32_t bits) {
  switch (bits) {
    case 8: return 0xFF;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return 0xFFFFFFFF;
  }
}

// Surfaces with random pixels, a few of them the key.
void Noise(TCustomDIBX& s, TRandom& r, uint32_t key) {
  const uint32_t full = Full(s.BitCount());
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, r.Below(4) == 0 ? key : r.Pixel() & full);
}

struct TScene {
  TDIBX src, mask, base, codes4, codes8, mono;
  std::array<uint32_t, 256> table{};
};

// Every drawing operation once, with the iteration's mirrors, position, clip and levels.
void DrawEverything(TDIBX& dst, TScene& sc, TRandom& r) {
  const int32_t w = sc.src.Width(), h = sc.src.Height();
  const int32_t dx = int32_t(r.Below(15)) - 5, dy = int32_t(r.Below(7)) - 2;
  const bool mx = r.Coin(), my = r.Coin();
  const int32_t level = int32_t(r.Level(255)), wide = int32_t(r.Below(512));
  const uint32_t color = r.Pixel() & Full(dst.BitCount());
  const TRect sr{int32_t(r.Below(3)) - 1, 0, w - int32_t(r.Below(3)) + 1, h};
  const TRect dr{dx, dy, dx + int32_t(r.Below(60)) + 1, dy + int32_t(r.Below(9)) + 1};
  if (r.Coin()) dst.SetClipRect(TRect{int32_t(r.Below(9)), int32_t(r.Below(3)), dst.Width() - int32_t(r.Below(9)),
                                      dst.Height() - int32_t(r.Below(3))});
  dst.Draw(dx, dy, sc.src, sr, r.Coin(), mx, my);
  dst.DrawAlpha(dx + 1, dy, sc.src, sr, r.Coin(), mx, my, level);
  dst.DrawMask(dx, dy + 1, sc.src, sr, mx, my, sc.mask);
  dst.DrawMaskAlpha(dx + 2, dy, sc.src, sr, mx, my, sc.mask, level);
  dst.DrawAdd(dx, dy, sc.src, sr, false, mx, my, level);
  dst.DrawMaskAdd(dx + 3, dy + 1, sc.src, sr, mx, my, sc.mask, level);
  dst.FillRectAlpha(dr, color, level);
  dst.FillRectAdd(dr, color, int32_t(r.Below(257)));
  dst.FillRectSub(TRect{dx, dy + 1, dx + w, dy + h}, color);
  dst.FillMask(dx, dy, sc.mask, sc.mask.BoundsRect(), mx, my, color, level);
  dst.FillPattern(dr, sc.src, dx, dy, mx, my);
  dst.StretchDraw(dr, sc.src, sr, r.Coin(), mx, my, level);
  dst.StretchDrawMask(dr, sc.src, sr, mx, my, sc.mask, level);
  dst.StretchDrawAdd(dr, sc.src, sr, r.Coin(), mx, my, level);
  dst.StretchDrawMaskAdd(dr, sc.src, sr, mx, my, sc.mask, level);
  const int32_t angle = int32_t(r.Below(256)), scale = 128 + int32_t(r.Below(400));
  dst.DrawRotate(dx + 20, dy + 3, scale, scale, sc.src, sr, w / 2, h / 2, angle, r.Coin(), mx, my, wide);
  dst.DrawRotateMask(dx + 20, dy + 3, scale, scale, sc.src, sr, w / 2, h / 2, angle, mx, my, sc.mask, wide);
  dst.DrawPatternTable(dr, scale, scale, sc.src, dx, dy, r.Coin(), mx, my, wide);
  dst.DrawPatternTableMask(dr, scale, scale, sc.src, dx, dy, mx, my, sc.mask, wide);
  dst.DrawTable(dx, dy, sc.codes4, sc.codes4.BoundsRect(), false, mx, my, wide, sc.table);
  dst.DrawTableAdd(dx, dy, sc.codes8, sc.codes8.BoundsRect(), int32_t(r.Below(200)), mx, my, level, sc.table);
  dst.StretchDrawTableAdd(dr, sc.codes8, sc.codes8.BoundsRect(), int32_t(r.Below(200)), mx, my, level, sc.table);
  dst.DrawMonoReduced(dx, dy, sc.mono, sc.mono.BoundsRect(), color, mx, my, level, 2);
  dst.DrawMonoReducedColors(dx, dy, sc.codes4, sc.codes4.BoundsRect(), {color, ~color, color >> 1}, 0, mx, my, wide,
                            2);
  dst.DrawTileAlpha(dr, 1, 0, sc.src, sr, true, level, dx, dy);
  dst.StretchTileMask(dr, 9, 5, scale, scale, sc.src, sr, sc.mask, mx, my, wide, dx, dy);
}

TEST(PixelOps, EveryOperationAgreesAcrossLevels) {
  const TSimdLevel saved = ActiveSimdLevel();
  TRandom r;
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    for (bool row_rule : {true, false}) {
      for (int32_t iter = 0; iter < 12; ++iter) {
        TScene sc;
        const int32_t w = 1 + int32_t(r.Below(45)), h = 1 + int32_t(r.Below(5));
        const uint32_t key = 0x123456 & Full(bits);
        sc.src.SetSize(w, h, bits);
        sc.mask.SetSize(w, h, 8);
        sc.base.SetSize(w + 9, h + 4, bits);
        sc.codes4.SetSize(w, h * 2, 4);
        sc.codes8.SetSize(w, h, 8);
        sc.mono.SetSize(w * 2, h * 2, 1);
        Noise(sc.src, r, key);
        Noise(sc.base, r, key);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w; ++x) {
            sc.mask.SetPixel(x, y, r.MaskValue());
            sc.codes8.SetPixel(x, y, r.Below(256));
          }
        for (int32_t y = 0; y < sc.codes4.Height(); ++y)
          for (int32_t x = 0; x < w; ++x) sc.codes4.SetPixel(x, y, r.Below(16));
        for (int32_t y = 0; y < sc.mono.Height(); ++y)
          for (int32_t x = 0; x < sc.mono.Width(); ++x) sc.mono.SetPixel(x, y, r.Below(2));
        sc.src.TransparentColor = int32_t(key);
        for (auto& v : sc.table) v = r.Pixel();
        std::vector<std::vector<uint32_t>> results;
        const uint32_t seed = r.Next();
        for (TSimdLevel lv : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
          if (lv > SupportedSimdLevel()) continue;
          SetSimdLevel(lv);
          TRandom same;  // the same arguments at every level
          same.gen.seed(seed);
          TDIBX dst;
          test::SetRowResults(row_rule, dst);
          dst.CopyFrom(sc.base);
          DrawEverything(dst, sc, same);
          results.push_back(test::PixelsOf(dst));
        }
        for (size_t i = 1; i < results.size(); ++i)
          ASSERT_EQ(results[0], results[i]) << "bits " << bits << " row " << row_rule << " iteration " << iter;
      }
    }
  }
  SetSimdLevel(saved);
}

// Rows that lie end to end are drawn as one long row; the pixels must be those of drawing the
// rows one by one, whether or not the rows join (the destination, or the source and mask, are wider
// than what is drawn in some cases).
TEST(PixelOps, WholeSurfaceDrawsEqualRowByRowDraws) {
  const TSimdLevel saved = ActiveSimdLevel();
  TRandom r;
  for (int32_t bits : {8, 16, 24, 32}) {
    for (auto [dst_extra, src_extra] : {std::pair{0, 0}, std::pair{4, 0}, std::pair{0, 4}}) {
      for (int32_t w : {4, 8, 13, 36}) {
        const int32_t h = 5;
        TScene sc;
        const uint32_t key = 0x123456 & Full(bits);
        sc.src.SetSize(w + src_extra, h, bits);
        sc.mask.SetSize(w + src_extra, h, 8);
        sc.codes8.SetSize(w + src_extra, h, 8);
        sc.base.SetSize(w + dst_extra, h, bits);
        Noise(sc.src, r, key);
        Noise(sc.base, r, key);
        for (int32_t y = 0; y < h; ++y)
          for (int32_t x = 0; x < w + src_extra; ++x) {
            sc.mask.SetPixel(x, y, r.MaskValue());
            sc.codes8.SetPixel(x, y, r.Below(256));
          }
        sc.src.TransparentColor = int32_t(key);
        for (auto& v : sc.table) v = r.Pixel();
        const int32_t level = int32_t(r.Level(255));
        const uint32_t color = r.Pixel() & Full(bits);
        // Every unscaled operation over the rows [top, top + rows).
        const auto draw = [&](TDIBX& dst, int32_t top, int32_t rows) {
          const TRect sr{0, top, w, top + rows};
          dst.Draw(0, top, sc.src, sr, true, false, false);
          dst.DrawAlpha(0, top, sc.src, sr, true, false, false, level);
          dst.DrawMask(0, top, sc.src, sr, false, false, sc.mask);
          dst.DrawMaskAlpha(0, top, sc.src, sr, false, false, sc.mask, level);
          dst.DrawAdd(0, top, sc.src, sr, true, false, false, level);
          dst.DrawMaskAdd(0, top, sc.src, sr, false, false, sc.mask, level);
          dst.FillRectAlpha(sr, color, level);
          dst.FillRectAdd(sr, color, level);
          dst.FillRectSub(sr, color >> 1);
          dst.FillMask(0, top, sc.mask, sr, false, false, color, level);
          dst.DrawTableAdd(0, top, sc.codes8, sr, 3, false, false, level, sc.table);
          dst.Draw(0, top, sc.src, sr, false, false, false);
        };
        for (TSimdLevel lv : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
          if (lv > SupportedSimdLevel()) continue;
          SetSimdLevel(lv);
          for (bool row_rule : {true, false}) {
            TDIBX whole, by_rows;
            test::SetRowResults(row_rule, whole);
            test::SetRowResults(row_rule, by_rows);
            whole.CopyFrom(sc.base);
            by_rows.CopyFrom(sc.base);
            draw(whole, 0, h);
            for (int32_t y = 0; y < h; ++y) draw(by_rows, y, 1);
            ASSERT_EQ(test::PixelsOf(whole), test::PixelsOf(by_rows))
                << "bits " << bits << " width " << w << " extra " << dst_extra << "/" << src_extra << " level " << int(lv);
          }
        }
      }
    }
  }
  SetSimdLevel(saved);
}

// The alpha surface's blits through the same tables.
TEST(PixelOps, AlphaSurfaceBlitsAgreeAcrossLevels) {
  const TSimdLevel saved = ActiveSimdLevel();
  TRandom r;
  for (int32_t bits : {15, 16, 24, 32}) {
    for (int32_t iter = 0; iter < 10; ++iter) {
      const int32_t w = 1 + int32_t(r.Below(45)), h = 1 + int32_t(r.Below(4));
      TDIBSurface src, base;
      src.SetSize(w, h, bits);
      base.SetSize(w + 6, h + 2, bits);
      const uint32_t full = Full(bits), key = 0x123456 & full;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) src.SetPixel(x, y, r.Below(4) == 0 ? key : r.Pixel() & full);
      for (int32_t y = 0; y < base.Height(); ++y)
        for (int32_t x = 0; x < base.Width(); ++x) base.SetPixel(x, y, r.Pixel() & full);
      src.NeedAlpha();
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) src.Alpha()->SetPixel(x, y, r.MaskValue());
      const int32_t x = int32_t(r.Below(9)) - 3, y = int32_t(r.Below(5)) - 2;
      const int32_t opacity = int32_t(r.Level(254)), mask_opacity = int32_t(r.Level(255));
      const TRect rect{0, 0, w, h};
      std::vector<std::vector<uint32_t>> results;
      for (TSimdLevel lv : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
        if (lv > SupportedSimdLevel()) continue;
        SetSimdLevel(lv);
        TDIBSurface dst(base);
        dst.DrawTranslucent(x, y, opacity, key, rect, src);
        dst.DrawAlphaMask(x + 1, y, mask_opacity, rect, src);
        dst.DrawKeyed(x, y + 1, key, rect, src);
        std::vector<uint32_t> pixels;
        for (int32_t yy = 0; yy < dst.Height(); ++yy)
          for (int32_t xx = 0; xx < dst.Width(); ++xx) pixels.push_back(dst.GetPixel(xx, yy));
        results.push_back(pixels);
      }
      for (size_t i = 1; i < results.size(); ++i)
        ASSERT_EQ(results[0], results[i]) << "bits " << bits << " iteration " << iter;
    }
  }
  SetSimdLevel(saved);
}

}  // namespace
}  // namespace kova
