// Stretched drawing and scaled pattern fills: the sampling of columns and rows (magnified,
// reduced, mirrored, clipped with the fractional carry), the two result rules, the guards against
// reading outside the source, rows wider than any fixed table, and the code-table stretch.
#include <gtest/gtest.h>

#include <string>
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

// A one-row 32-bit source of the values 1, 2, ... n.
void MakeCounting(TDIBX& s, int32_t n, int32_t bits = 32) {
  s.SetSize(n, 1, bits);
  for (int32_t x = 0; x < n; ++x) s.SetPixel(x, 0, uint32_t(x + 1));
}

using Row = std::vector<uint32_t>;

TEST(DibxStretch, SamplingOfColumns) {
  struct TCase {
    int32_t src_w, dst_w;
    bool mirror;
    Row want;
  };
  const TCase cases[] = {
      {2, 4, false, {1, 1, 2, 2}},
      {2, 4, true, {2, 2, 1, 1}},
      {3, 7, false, {1, 1, 1, 2, 2, 3, 3}},
      {3, 7, true, {3, 3, 3, 2, 2, 1, 1}},
      {7, 3, false, {1, 3, 5}},
      {7, 3, true, {7, 5, 3}},
      {4, 4, true, {4, 3, 2, 1}},
  };
  for (bool row : {true, false}) {
    for (int32_t bits : {8, 16, 24, 32}) {
      for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.src_w << " -> " << c.dst_w << " mirror " << c.mirror << " bits "
                                        << bits << " row " << row);
        TDIBX src, dst;
        SetRowResults(row, dst);
        MakeCounting(src, c.src_w, bits);
        Make(dst, c.dst_w, 1, bits);
        dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), false, c.mirror, false, 255);
        EXPECT_EQ(RowOf(dst), c.want);
      }
    }
  }
}

TEST(DibxStretch, RowsFollowTheSameSampling) {
  // A 1 x 3 column stretched to 1 x 7, mirrored: the rows read 3 3 3 2 2 1 1.
  TDIBX src, dst;
  Make(src, 1, 3, 32);
  for (int32_t y = 0; y < 3; ++y) src.SetPixel(0, y, uint32_t(y + 1));
  Make(dst, 1, 7, 32);
  dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), false, false, true, 255);
  EXPECT_EQ(Pixels(dst), (Row{3, 3, 3, 2, 2, 1, 1}));
}

TEST(DibxStretch, ClippingKeepsTheFractionalSourcePosition) {
  for (bool mirror : {false, true}) {
    SCOPED_TRACE(mirror);
    TDIBX src, whole, clipped;
    MakeCounting(src, 8);
    Make(whole, 32, 1, 32);
    Make(clipped, 32, 1, 32);
    // Step 1/4: the clip 10 pixels in cuts 2.5 source pixels.
    whole.StretchDraw(TRect{0, 0, 32, 1}, src, src.BoundsRect(), false, mirror, false, 255);
    clipped.SetClipRect(TRect{10, 0, 27, 1});
    clipped.StretchDraw(TRect{0, 0, 32, 1}, src, src.BoundsRect(), false, mirror, false, 255);
    for (int32_t x = 0; x < 32; ++x) {
      EXPECT_EQ(clipped.GetPixel(x, 0), x >= 10 && x < 27 ? whole.GetPixel(x, 0) : 0u) << x;
    }
  }
}

TEST(DibxStretch, TheTwoResultRules) {
  struct TCase {
    int op;  // 0 StretchDraw, 1 StretchDrawMask, 2 StretchDrawAdd
    int32_t bits;
    bool row;
    uint32_t d, s, m;
    int32_t level;
    uint32_t want;
  };
  const TCase cases[] = {
      // Blending leaves a pixel equal to the source under the row results only.
      {0, 32, true, 0xFFFFFF, 0xFFFFFF, 0, 128, 0xFFFFFF},
      {0, 32, false, 0xFFFFFF, 0xFFFFFF, 0, 128, 0xFEFEFE},
      {0, 16, true, 0xFFFF, 0xFFFF, 0, 128, 0xFFFF},
      {0, 24, true, 0xFFFFFF, 0xFFFFFF, 0, 128, 0xFEFEFE},
      {0, 16, false, 0, 0xFFFF, 0, 128, 0x7BEF},
      // Alpha 255 and above copy exactly.
      {0, 16, false, 0, 0xFFFF, 0, 255, 0xFFFF},
      {0, 32, true, 0, 0xFFFFFF, 0, 1000, 0xFFFFFF},
      // Masks at alpha 255: the row results weigh by m and copy a full mask.
      {1, 32, true, 0, 0xFFFFFF, 255, 255, 0xFFFFFF},
      {1, 32, true, 0, 0xFFFFFF, 128, 255, 0x7F7F7F},
      {1, 32, false, 0, 0xFFFFFF, 255, 255, 0xFDFDFD},
      {1, 32, false, 0, 0xFFFFFF, 128, 255, 0x7E7E7E},
      {1, 16, true, 0, 0xFFFF, 255, 128, 0x7BEF},
      {1, 16, true, 0, 0xFFFF, 0, 255, 0},
      // Additive: the 32-bit row leaves a pixel equal to the source.
      {2, 32, true, 0x404040, 0x404040, 0, 255, 0x404040},
      {2, 32, false, 0x404040, 0x404040, 0, 255, 0x7F7F7F},
      {2, 16, true, 0x8410, 0x8410, 0, 255, 0xFFFF},
      {2, 8, false, 200, 100, 0, 255, 255},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "op " << c.op << " bits " << c.bits << " row " << c.row << " level "
                                    << c.level);
    TDIBX src, dst, mask;
    SetRowResults(c.row, dst);
    Make(src, 3, 2, c.bits, c.s);
    Make(mask, 3, 2, 8, c.m);
    Make(dst, 7, 5, c.bits, c.d);
    switch (c.op) {
      case 0: dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), false, false, false, c.level); break;
      case 1: dst.StretchDrawMask(dst.BoundsRect(), src, src.BoundsRect(), true, false, mask, c.level); break;
      case 2: dst.StretchDrawAdd(dst.BoundsRect(), src, src.BoundsRect(), false, false, true, c.level); break;
    }
    for (uint32_t p : Pixels(dst)) ASSERT_EQ(p, c.want) << std::hex << p;
  }
}

// A mask value above 0 whose weight m * level >> 8 comes to 0 still blends, darkening white by one
// step per channel, in every masked draw alike; only a mask value of 0 leaves the pixel.
TEST(DibxStretch, MaskedDrawsBlendEveryPixelTheMaskTouches) {
  struct TCase {
    const char* op;
    int32_t bits;
    bool row;
    uint32_t m;
    uint32_t want;
  };
  const TCase cases[] = {
      {"StretchDrawMask", 32, true, 1, 0xFEFEFE},   {"StretchDrawMask", 32, false, 1, 0xFEFEFE},
      {"StretchDrawMask", 16, true, 1, 0xF7DE},     {"StretchDrawMask", 16, false, 0, 0xFFFF},
      {"DrawRotateMask", 32, true, 1, 0xFEFEFE},    {"DrawRotateMask", 16, false, 1, 0xF7DE},
      {"DrawRotateMask", 24, false, 0, 0xFFFFFF},   {"DrawMaskAlpha", 32, true, 1, 0xFEFEFE},
      {"DrawMaskAlpha", 16, false, 1, 0xF7DE},      {"DrawPatternTableMask", 32, false, 1, 0xFEFEFE},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.op << " bits " << c.bits << " row " << c.row << " m " << c.m);
    TDIBX src, mask, dst;
    SetRowResults(c.row, dst);
    Make(src, 2, 2, c.bits, 0);
    Make(mask, 2, 2, 8, c.m);
    Make(dst, 2, 2, c.bits, test::FullValue(c.bits));
    const std::string op = c.op;
    if (op == "StretchDrawMask") dst.StretchDrawMask(dst.BoundsRect(), src, src.BoundsRect(), false, false, mask, 128);
    if (op == "DrawRotateMask") dst.DrawRotateMask(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, mask, 128);
    if (op == "DrawMaskAlpha") dst.DrawMaskAlpha(0, 0, src, src.BoundsRect(), false, false, mask, 128);
    if (op == "DrawPatternTableMask") dst.DrawPatternTableMask(dst.BoundsRect(), 256, 256, src, 0, 0, false, false, mask, 128);
    EXPECT_EQ(Pixels(dst), Row(4, c.want));
  }
}

TEST(DibxStretch, KeysAndMasksAreReadAtTheSampledPixel) {
  TDIBX src, dst, mask;
  MakeCounting(src, 4);
  src.TransparentColor = 2;
  Make(dst, 8, 1, 32, 9);
  dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), true, false, false, 255);
  EXPECT_EQ(RowOf(dst), (Row{1, 1, 9, 9, 3, 3, 4, 4}));
  Make(dst, 8, 1, 32, 9);
  dst.StretchDrawAdd(dst.BoundsRect(), src, src.BoundsRect(), true, true, false, 255);
  EXPECT_EQ(RowOf(dst), (Row{12, 12, 11, 11, 9, 9, 9, 9}));
  // The mask follows the mirrored source column.
  Make(mask, 4, 1, 8);
  mask.SetPixel(0, 0, 255);
  Make(dst, 8, 1, 32, 0);
  dst.StretchDrawMask(dst.BoundsRect(), src, src.BoundsRect(), true, false, mask, 255);
  EXPECT_EQ(RowOf(dst), (Row{0, 0, 0, 0, 0, 0, 1, 1}));
}

TEST(DibxStretch, RowsWiderThanAnyFixedTable) {
  TDIBX src, dst;
  MakeCounting(src, 1500);
  Make(dst, 3000, 2, 32);
  dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), false, false, false, 255);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3000; ++x) ASSERT_EQ(dst.GetPixel(x, y), uint32_t(x / 2 + 1)) << x;
}

TEST(DibxStretch, DegenerateArgumentsDrawNothing) {
  TDIBX src, dst, src16, mask24;
  MakeCounting(src, 4);
  Make(src16, 4, 1, 16, 5);
  Make(mask24, 4, 1, 24, 255);
  Make(dst, 8, 1, 32, 9);
  dst.StretchDraw(TRect{0, 0, 0, 1}, src, src.BoundsRect(), false, false, false, 255);
  dst.StretchDraw(TRect{5, 0, 2, 1}, src, src.BoundsRect(), false, false, false, 255);
  dst.StretchDraw(dst.BoundsRect(), src, TRect{2, 0, 2, 1}, false, false, false, 255);
  dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), false, false, false, 0);
  dst.StretchDrawAdd(dst.BoundsRect(), src, src.BoundsRect(), false, false, false, 0);
  dst.StretchDraw(dst.BoundsRect(), src16, src16.BoundsRect(), false, false, false, 255);
  dst.StretchDrawMask(dst.BoundsRect(), src, src.BoundsRect(), false, false, mask24, 255);
  dst.StretchDraw(dst.BoundsRect(), src, TRect{10, 0, 14, 1}, false, false, false, 255);
  EXPECT_EQ(RowOf(dst), Row(8, 9));
}

TEST(DibxStretch, SourceRectanglesPastTheSourceReadOnlyInside) {
  TDIBX src, dst;
  MakeCounting(src, 4);
  Make(src, 4, 3, 32);
  FillNoise(src, 1);
  for (int32_t x = 0; x < 4; ++x) src.SetPixel(x, 0, uint32_t(x + 1));
  Make(dst, 8, 2, 32, 9);
  // Rows -1 and 0 of a 2-row rectangle starting above the source: only row 0 is drawn.
  dst.StretchDraw(dst.BoundsRect(), src, TRect{-2, -1, 6, 1}, false, false, false, 255);
  EXPECT_EQ(RowOf(dst, 0), Row(8, 9));
  EXPECT_EQ(RowOf(dst, 1), (Row{9, 9, 1, 2, 3, 4, 9, 9}));
  // Mirrored, magnified and far past the edges: only source pixels are read.
  Make(dst, 64, 16, 32, 9);
  dst.StretchDraw(dst.BoundsRect(), src, TRect{-30, -20, 30, 20}, false, true, true, 128);
  dst.StretchDrawMask(dst.BoundsRect(), src, TRect{-30, -20, 30, 20}, true, true, src, 128);
}

TEST(DibxPatternTable, UnscaledMatchesFillPattern) {
  TDIBX pattern, got, want;
  Make(pattern, 4, 2, 32);
  FillNoise(pattern, 5);
  for (auto [ox, oy] : {std::pair{0, 0}, {3, -1}, {-6, 5}}) {
    SCOPED_TRACE(testing::Message() << ox << ", " << oy);
    Make(got, 20, 12, 32, 1);
    Make(want, 20, 12, 32, 1);
    got.SetClipRect(TRect{4, 3, 18, 11});
    want.SetClipRect(TRect{4, 3, 18, 11});
    got.DrawPatternTable(TRect{2, 1, 19, 12}, 256, 256, pattern, ox, oy, false, false, false, 255);
    want.FillPattern(TRect{2, 1, 19, 12}, pattern, ox, oy, false, false);
    EXPECT_EQ(Pixels(got), Pixels(want));
  }
}

TEST(DibxPatternTable, ScalesMirrorsAndLevels) {
  TDIBX pattern, dst, mask;
  MakeCounting(pattern, 4);
  auto row = [&](int32_t scale, int32_t ox, bool mirror, int32_t level, uint32_t fill = 0) {
    Make(dst, 10, 1, 32, fill);
    dst.DrawPatternTable(dst.BoundsRect(), scale, 256, pattern, ox, 0, false, mirror, false, level);
    return RowOf(dst);
  };
  EXPECT_EQ(row(512, 0, false, 255), (Row{1, 1, 2, 2, 3, 3, 4, 4, 1, 1}));
  EXPECT_EQ(row(128, 0, false, 255), (Row{1, 3, 1, 3, 1, 3, 1, 3, 1, 3}));
  // Offset 3 of a pattern 8 pixels wide at scale 2: one and a half pattern pixels in.
  EXPECT_EQ(row(512, 3, false, 255), (Row{2, 3, 3, 4, 4, 1, 1, 2, 2, 3}));
  EXPECT_EQ(row(256, -1, false, 255), (Row{4, 1, 2, 3, 4, 1, 2, 3, 4, 1}));
  // Mirrored: the phase is counted from the pattern's end.
  EXPECT_EQ(row(256, 0, true, 255), (Row{1, 4, 3, 2, 1, 4, 3, 2, 1, 4}));
  EXPECT_EQ(row(256, 1, true, 255), (Row{4, 3, 2, 1, 4, 3, 2, 1, 4, 3}));
  // 256 and above add with level - 256; 256 itself and scale 0 draw nothing.
  EXPECT_EQ(row(256, 0, false, 256 + 128, 0x10), (Row{0x10, 0x11, 0x11, 0x12, 0x10, 0x11, 0x11, 0x12, 0x10, 0x11}));
  EXPECT_EQ(row(256, 0, false, 256, 7), Row(10, 7));
  EXPECT_EQ(row(0, 0, false, 255, 7), Row(10, 7));
  // The key applies with Transparent; the mask is read at the pattern position.
  pattern.TransparentColor = 2;
  Make(dst, 6, 1, 32, 9);
  dst.DrawPatternTable(dst.BoundsRect(), 256, 256, pattern, 0, 0, true, false, false, 255);
  EXPECT_EQ(RowOf(dst), (Row{1, 9, 3, 4, 1, 9}));
  Make(mask, 4, 1, 8);
  mask.SetPixel(2, 0, 255);
  Make(dst, 6, 1, 32, 9);
  dst.DrawPatternTableMask(dst.BoundsRect(), 256, 256, pattern, 0, 0, false, false, mask, 255);
  EXPECT_EQ(RowOf(dst), (Row{9, 9, 3, 9, 9, 9}));
}

TEST(DibxStretch, CodeTableStretchAddsCodesFromTheThreshold) {
  std::vector<uint32_t> table(256);
  for (uint32_t i = 0; i < 256; ++i) table[i] = 0x001F;
  TDIBX src, dst;
  MakeCounting(src, 4, 8);  // codes 1 2 3 4
  for (bool row : {true, false}) {
    SetRowResults(row, dst);
    Make(dst, 8, 1, 16, 0);
    dst.StretchDrawTableAdd(dst.BoundsRect(), src, src.BoundsRect(), 3, true, false, 255, table);
    // Mirrored: 4 4 3 3 2 2 1 1; codes 3 and 4 add 31 * 255 >> 8 = 30. Only the row form exists.
    EXPECT_EQ(RowOf(dst), row ? (Row{30, 30, 30, 30, 0, 0, 0, 0}) : Row(8, 0));
  }
  TDIBX dst8;
  Make(dst8, 8, 1, 8, 0);
  dst8.StretchDrawTableAdd(dst8.BoundsRect(), src, src.BoundsRect(), 0, false, false, 255, table);
  EXPECT_EQ(RowOf(dst8), Row(8, 0));
}

}  // namespace
}  // namespace kova
