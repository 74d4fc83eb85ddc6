// Tiles, code tables and reductions: the tile grid (pieces, origin phase, spacing, clip), scaled
// cells, 4-bit and 8-bit code tables, and the reduced drawing of 1-bit and 4-bit glyph pictures.
#include <gtest/gtest.h>

#include <vector>

#include "dibx_test_util.h"
#include "dibx_xf_test_util.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

using test::FillNoise;
using test::Make;
using test::Pixels;
using test::RowOf;
using test::SetRowResults;
using test::TSpyDIBX;
using Row = std::vector<uint32_t>;

// The (x, y, source rectangle) of each recorded call.
struct TPiece {
  int32_t x, y;
  TRect src;
  friend bool operator==(const TPiece&, const TPiece&) = default;
};
std::vector<TPiece> PiecesOf(const TSpyDIBX& spy) {
  std::vector<TPiece> out;
  for (const auto& c : spy.calls) out.push_back({c.dst.Left, c.dst.Top, c.src});
  return out;
}

TEST(DibxTile, GridPiecesOriginAndSpacing) {
  TDIBX src;
  Make(src, 10, 10, 32);
  FillNoise(src, 1);
  TSpyDIBX dst;
  Make(dst, 30, 30, 32);
  dst.DrawTile(TRect{0, 0, 25, 25}, 0, 0, src, src.BoundsRect(), false, 0, 0);
  ASSERT_EQ(dst.calls.size(), 9u);
  EXPECT_EQ(PiecesOf(dst)[2], (TPiece{20, 0, TRect{0, 0, 5, 10}}));
  EXPECT_EQ(PiecesOf(dst)[8], (TPiece{20, 20, TRect{0, 0, 5, 5}}));
  EXPECT_EQ(dst.GetPixel(24, 24), src.GetPixel(4, 4));
  EXPECT_EQ(dst.GetPixel(25, 25), 0u);

  // Origin (-3, 0): each tile row starts with source column 7.
  dst.calls.clear();
  dst.DrawTile(TRect{0, 0, 25, 10}, 0, 0, src, src.BoundsRect(), false, -3, 0);
  EXPECT_EQ(PiecesOf(dst), (std::vector<TPiece>{{0, 0, {7, 0, 10, 10}}, {3, 0, {0, 0, 10, 10}},
                                                 {13, 0, {0, 0, 10, 10}}, {23, 0, {0, 0, 2, 10}}}));
  // Spacing 2 leaves two untouched columns between tiles; a sub-rectangle tiles from its corner.
  Make(dst, 30, 30, 32);
  dst.calls.clear();
  dst.DrawTile(TRect{0, 0, 25, 4}, 2, 0, src, TRect{2, 3, 12, 13}, false, 0, 0);
  EXPECT_EQ(PiecesOf(dst), (std::vector<TPiece>{{0, 0, {2, 3, 12, 7}}, {12, 0, {2, 3, 12, 7}},
                                                 {24, 0, {2, 3, 3, 7}}}));
  EXPECT_EQ(dst.GetPixel(10, 0), 0u);
  EXPECT_EQ(dst.GetPixel(11, 3), 0u);
  EXPECT_EQ(dst.GetPixel(12, 0), src.GetPixel(2, 3));
}

TEST(DibxTile, ClipIsSetForThePiecesAndRestored) {
  TDIBX src;
  Make(src, 4, 4, 32, 7);
  TSpyDIBX dst;
  Make(dst, 20, 20, 32);
  dst.SetClipRect(TRect{2, 2, 9, 9});
  dst.DrawTileAdd(TRect{5, 0, 20, 20}, 0, 0, src, src.BoundsRect(), false, 128, 0, 0);
  ASSERT_FALSE(dst.calls.empty());
  for (const auto& c : dst.calls) {
    EXPECT_EQ(c.clip, (TRect{5, 2, 9, 9}));
    EXPECT_EQ(c.level, 128);
  }
  EXPECT_EQ(dst.ClipRect, (TRect{2, 2, 9, 9}));
  EXPECT_EQ(dst.GetPixel(4, 4), 0u);
  EXPECT_EQ(dst.GetPixel(9, 4), 0u);
  EXPECT_EQ(dst.GetPixel(8, 8), 3u);
}

TEST(DibxTile, DegenerateTilesEndAndDrawNothing) {
  TDIBX src;
  Make(src, 10, 10, 32, 7);
  TSpyDIBX dst;
  Make(dst, 30, 30, 32);
  dst.DrawTile(TRect{0, 0, 25, 25}, 0, 0, src, TRect{3, 3, 3, 8}, false, 0, 0);
  dst.DrawTile(TRect{0, 0, 25, 25}, 0, 0, src, src.BoundsRect(), false, 0, 0);
  dst.calls.clear();
  dst.DrawTileAlpha(TRect{0, 0, 25, 25}, 0, 0, src, src.BoundsRect(), false, 0, 0, 0);
  dst.StretchTile(TRect{0, 0, 25, 25}, 0, 10, 256, 256, src, src.BoundsRect(), false, false, false, 255, 0, 0);
  dst.StretchTile(TRect{0, 0, 25, 25}, 10, 10, 0, 256, src, src.BoundsRect(), false, false, false, 255, 0, 0);
  dst.StretchTile(TRect{0, 0, 25, 25}, 10, 10, 256, 256, src, src.BoundsRect(), false, false, false, 256, 0, 0);
  EXPECT_TRUE(dst.calls.empty());
  // A spacing that cancels the tile width still moves on.
  dst.DrawTile(TRect{0, 0, 4, 1}, -20, 0, src, src.BoundsRect(), false, 0, 0);
  EXPECT_EQ(dst.calls.size(), 4u);
  // Huge rectangles of tiny tiles cost only the pieces that reach the clip.
  const TRect huge{-2000000000, -2000000000, 2000000000, 2000000000};
  dst.SetClipRect(TRect{4, 5, 7, 7});
  dst.calls.clear();
  dst.DrawTile(huge, 0, 0, src, TRect{0, 0, 1, 1}, false, 0, 0);
  EXPECT_EQ(dst.calls.size(), 6u);
  dst.calls.clear();
  dst.StretchTile(huge, 1, 1, 256, 256, src, TRect{0, 0, 1, 1}, false, false, false, 255, 0, 0);
  EXPECT_EQ(dst.calls.size(), 6u);
}

TEST(DibxTile, StretchedCells) {
  TDIBX src;
  Make(src, 5, 5, 32, 0x80);
  TSpyDIBX dst;
  Make(dst, 40, 40, 32);
  // Cells 10 x 10 at scale 2: a pitch of 20, tiles of 10.
  dst.StretchTile(TRect{0, 0, 30, 10}, 10, 10, 512, 512, src, src.BoundsRect(), false, false, false, 255, 0, 0);
  ASSERT_EQ(dst.calls.size(), 2u);
  EXPECT_EQ(dst.calls[0].dst, (TRect{0, 0, 10, 10}));
  EXPECT_EQ(dst.calls[1].dst, (TRect{20, 0, 30, 10}));
  EXPECT_EQ(dst.calls[1].level, 255);
  // Origin -5 puts the cells at -15 (wholly outside, not drawn), 5 and 25; level 300 adds with 44.
  dst.calls.clear();
  dst.StretchTile(TRect{0, 0, 30, 10}, 10, 10, 512, 512, src, src.BoundsRect(), false, false, false, 300, -5, 0);
  ASSERT_EQ(dst.calls.size(), 2u);
  EXPECT_EQ(dst.calls[0].op, "StretchDrawAdd");
  EXPECT_EQ(dst.calls[0].level, 44);
  EXPECT_EQ(dst.calls[0].dst, (TRect{5, 0, 15, 10}));
  EXPECT_EQ(dst.calls[1].dst, (TRect{25, 0, 35, 10}));
  EXPECT_EQ(dst.ClipRect, TRect{});
  EXPECT_EQ(dst.GetPixel(12, 5), (0x80u * 44) >> 8);
  EXPECT_EQ(dst.GetPixel(17, 5), 0u);
  EXPECT_EQ(dst.GetPixel(8, 10), 0u);
}

// A 4-bit one-row source of the given codes.
void MakeCodes4(TDIBX& s, std::initializer_list<uint32_t> codes) {
  s.SetSize(int32_t(codes.size()), 1, 4);
  int32_t x = 0;
  for (uint32_t c : codes) s.SetPixel(x++, 0, c);
}

TEST(DibxTable, FourBitCodes) {
  std::vector<uint32_t> table(16);
  for (uint32_t i = 0; i < 16; ++i) table[i] = 0x1000u * i + i;
  TDIBX src, dst;
  MakeCodes4(src, {1, 2, 0, 15, 3});
  src.TransparentColor = 0;
  Make(dst, 5, 1, 16, 7);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 255, table);
  EXPECT_EQ(RowOf(dst), (Row{0x1001, 0x2002, 7, 0xF00F, 0x3003}));
  // Mirrored, the nibbles are walked backwards.
  Make(dst, 5, 1, 16, 7);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, true, false, 255, table);
  EXPECT_EQ(RowOf(dst), (Row{0x3003, 0xF00F, 7, 0x2002, 0x1001}));

  // Blends leave a pixel equal to the entry; additions saturate.
  std::vector<uint32_t> white(16, 0xFFFF);
  MakeCodes4(src, {1, 1});
  src.TransparentColor = -1;
  Make(dst, 2, 1, 16);
  dst.SetPixel(1, 0, 0xFFFF);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 128, white);
  EXPECT_EQ(RowOf(dst), (Row{0x7BEF, 0xFFFF}));
  Make(dst, 2, 1, 16, 0x0821);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 256 + 128, white);
  EXPECT_EQ(RowOf(dst), (Row{0x8410, 0x8410}));

  // 15 and 16 bits always, 32 bits only with the row results, other depths never.
  for (auto [bits, row, drawn] : {std::tuple{32, true, true}, {32, false, false}, {24, true, false},
                                  {8, true, false}, {15, false, true}}) {
    SCOPED_TRACE(testing::Message() << bits << " " << row);
    SetRowResults(row, dst);
    Make(dst, 2, 1, bits, 5);
    dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 255, table);
    EXPECT_EQ(dst.GetPixel(0, 0), drawn ? (bits == 15 ? 0x1001u & 0x7FFF : 0x1001u) : 5u);
  }
  SetRowResults(true, dst);
  // Level 0, a short table or an 8-bit source draw nothing.
  TDIBX src8;
  Make(src8, 2, 1, 8, 1);
  Make(dst, 2, 1, 16, 5);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 0, table);
  dst.DrawTable(0, 0, src, src.BoundsRect(), false, false, false, 255, std::span(table).first(8));
  dst.DrawTable(0, 0, src8, src8.BoundsRect(), false, false, false, 255, table);
  EXPECT_EQ(RowOf(dst), (Row{5, 5}));
}

TEST(DibxTable, EightBitCodesAddFromTheThreshold) {
  std::vector<uint32_t> table(256);
  for (uint32_t i = 0; i < 256; ++i) table[i] = 0x10 * i;
  TDIBX src, dst;
  Make(src, 4, 1, 8);
  for (int32_t x = 0; x < 4; ++x) src.SetPixel(x, 0, uint32_t(x));
  for (int32_t bits : {32, 24, 8}) {
    for (bool row : {true, false}) {
      SetRowResults(row, dst);
      Make(dst, 4, 1, bits, 5);
      dst.DrawTableAdd(0, 0, src, src.BoundsRect(), 2, false, false, 255, table);
      EXPECT_EQ(RowOf(dst), (Row{5, 5, 5 + (0x20 * 255 >> 8), 5 + (0x30 * 255 >> 8)})) << bits << " " << row;
    }
  }
  SetRowResults(true, dst);
  Make(dst, 4, 1, 32, 5);
  dst.DrawTableAdd(0, 0, src, src.BoundsRect(), 0, true, false, 0, table);
  EXPECT_EQ(RowOf(dst), Row(4, 5));
  dst.DrawTableAdd(1, 0, src, src.BoundsRect(), 0, true, false, 128, table);
  EXPECT_EQ(RowOf(dst), (Row{5, 5 + 0x18, 5 + 0x10, 5 + 0x8}));
}

// A 1-bit source; `ink` gives the pixels that are 0 bits.
void MakeMono(TDIBX& s, int32_t w, int32_t h, bool (*ink)(int32_t, int32_t)) {
  s.SetSize(w, h, 1);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s.SetPixel(x, y, ink(x, y) ? 0 : 1);
}

// Blocks that straddle bytes, start inside a byte or reach past the source: the ink of every block
// counted bit by bit gives the blend (C n + d (F F - n)) / (F F) per channel.
TEST(DibxReduced, BlocksAcrossBytesCountEveryBit) {
  TDIBX src, dst;
  MakeMono(src, 29, 10, [](int32_t x, int32_t y) { return (x * 7 + y * 3) % 5 < 2; });
  for (int32_t factor : {3, 5}) {
    for (bool mirror : {false, true}) {
      SCOPED_TRACE(testing::Message() << "factor " << factor << " mirror " << mirror);
      const TRect sr{1, 0, 31, 10};  // one column in, reaching two columns past the source
      Make(dst, 12, 4, 32, 0x102030);
      dst.DrawMonoReduced(0, 0, src, sr, 0xF0E0D0, mirror, false, 255, factor);
      const int32_t w = 30 / factor, h = 10 / factor;
      for (int32_t j = 0; j < h; ++j) {
        for (int32_t i = 0; i < w; ++i) {
          const int32_t c0 = mirror ? sr.Left + (w - 1 - i) * factor : sr.Left + i * factor;
          uint32_t n = 0;
          for (int32_t r = j * factor; r < (j + 1) * factor; ++r)
            for (int32_t c = c0; c < c0 + factor; ++c) n += c < 29 && src.GetPixel(c, r) == 0;
          const uint32_t area = uint32_t(factor * factor);
          uint32_t want = 0;
          for (int32_t shift : {0, 8, 16})
            want |= ((((0xF0E0D0u >> shift) & 0xFF) * n + ((0x102030u >> shift) & 0xFF) * (area - n)) / area) << shift;
          ASSERT_EQ(dst.GetPixel(i, j) & 0xFFFFFF, want) << i << ", " << j;
        }
      }
    }
  }
}

TEST(DibxReduced, MonoBlocksBlendByTheirInk) {
  TDIBX src, dst;
  // Eight 0 bits of sixteen: half and half at level 255, a quarter at level 128.
  MakeMono(src, 4, 4, [](int32_t, int32_t y) { return y < 2; });
  for (auto [level, want] : {std::pair{255, 0x7F7F7Fu}, {128, 0x3F3F3Fu}}) {
    Make(dst, 1, 1, 32, 0);
    dst.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFFFFFF, false, false, level, 4);
    EXPECT_EQ(dst.GetPixel(0, 0), want);
  }
  // Other factors divide by the block's size: 2 x 2 blocks with two 0 bits give half.
  Make(dst, 2, 2, 16, 0);
  dst.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFFFF, false, false, 255, 2);
  EXPECT_EQ(Pixels(dst), (Row{0xFFFF, 0xFFFF, 0, 0}));
  MakeMono(src, 4, 4, [](int32_t x, int32_t) { return x % 2 == 0; });
  Make(dst, 2, 2, 16, 0);
  dst.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFFFF, false, false, 255, 2);
  EXPECT_EQ(Pixels(dst), (Row{0x7BEF, 0x7BEF, 0x7BEF, 0x7BEF}));
  // Mirrored blocks come from the other end; factor 0 and 8-bit destinations draw nothing.
  MakeMono(src, 8, 4, [](int32_t x, int32_t) { return x < 4; });
  Make(dst, 2, 1, 32, 0);
  dst.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFFFFFF, true, false, 255, 4);
  EXPECT_EQ(RowOf(dst), (Row{0, 0xFFFFFF}));
  Make(dst, 2, 1, 32, 9);
  dst.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFFFFFF, false, false, 255, 0);
  EXPECT_EQ(RowOf(dst), (Row{9, 9}));
  TDIBX dst8;
  Make(dst8, 2, 1, 8, 9);
  dst8.DrawMonoReduced(0, 0, src, src.BoundsRect(), 0xFF, false, false, 255, 4);
  EXPECT_EQ(RowOf(dst8), (Row{9, 9}));
}

TEST(DibxReduced, ColourCodesMixTheirColours) {
  const std::array<uint32_t, 3> colors = {0xFF0000, 0x0000FF, 0x00FF00};
  TDIBX src, dst;
  auto make = [&](uint32_t (*code)(int32_t, int32_t)) {
    src.SetSize(4, 4, 4);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 4; ++x) src.SetPixel(x, y, code(x, y));
  };
  auto draw = [&](int32_t level, uint32_t d) {
    Make(dst, 1, 1, 32, d);
    dst.DrawMonoReducedColors(0, 0, src, src.BoundsRect(), colors, 0, false, false, level, 4);
    return dst.GetPixel(0, 0);
  };
  // Only the low two bits of a nibble count: 5 is code 1.
  make([](int32_t, int32_t) -> uint32_t { return 5; });
  EXPECT_EQ(draw(255, 0x123456), 0xFF0000u);
  make([](int32_t, int32_t) -> uint32_t { return 0; });
  EXPECT_EQ(draw(255, 0x123456), 0x123456u);
  // Half code 1 over black, and half code 3 (the third colour) over black.
  make([](int32_t, int32_t y) -> uint32_t { return y < 2 ? 1 : 0; });
  EXPECT_EQ(draw(255, 0), 0x7F0000u);
  make([](int32_t, int32_t y) -> uint32_t { return y < 2 ? 3 : 0; });
  EXPECT_EQ(draw(255, 0), 0x007F00u);
  // Above 255 the colours add at level and 255, saturating.
  make([](int32_t, int32_t) -> uint32_t { return 2; });
  EXPECT_EQ(draw(300, 0x101010), 0x10103Bu);
  EXPECT_EQ(draw(511, 0x1010F0), 0x1010FFu);
}

}  // namespace
}  // namespace kova
