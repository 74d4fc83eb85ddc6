#include "motion/wipe_masks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <string>

#include "graphics/simd_dispatch.h"
#include "mask_wipe_support.h"
#include "motion/wipe_images.h"

namespace kova {
namespace {

using test::Configure;
using test::Pixels;
using test::TWipeSurfaces;

uint8_t MaskAt(TWipeMask& w, int32_t x, int32_t y) { return uint8_t(w.Mask.GetPixel(x, y)); }

TWipeMask& AsMask(std::unique_ptr<TCustomWipe>& w) { return dynamic_cast<TWipeMask&>(*w); }

// Steps the transition at `pos`; true when it drew (Step said not done).
bool StepAt(TCustomWipe& w, int32_t pos) {
  w.SetPosition(pos);
  return !w.Step();
}

TEST(WipeMaskKindsTest, FactoryMakesEachKindWithItsClampedParameters) {
  TWipeSurfaces s(16, 12, 32);
  struct Case {
    int32_t kind;
    int32_t p0, p1;
  };
  for (const Case& c : {Case{WP_BLINDH, 20, 1}, Case{WP_BLINDV, 20, 1}, Case{WP_CURTAINH, 30, 1},
                        Case{WP_CURTAINV, 30, 1}, Case{WP_GRID, 80, 30}, Case{WP_GRIDH, 80, 30}, Case{WP_GRIDV, 80, 30},
                        Case{WP_DITHER, 2, 1}, Case{WP_CLOCKHAND, 2, 1}, Case{WP_MASKFADE, 2, 1},
                        Case{WP_MASKWHITE, 0, 0}, Case{WP_MASKBLACK, 0, 0}}) {
    auto w = s.Make(c.kind);
    ASSERT_NE(w, nullptr) << c.kind;
    EXPECT_EQ(w->GetParam(0), c.p0) << c.kind;
    EXPECT_EQ(w->GetParam(1), c.p1) << c.kind;
  }
  EXPECT_NE(dynamic_cast<TWipeGrid*>(s.Make(WP_GRIDH).get()), nullptr);
  EXPECT_NE(dynamic_cast<TWipeShadowWhite*>(s.Make(WP_MASKBLACK).get()), nullptr);
  EXPECT_NE(dynamic_cast<TWipeOrderHMask*>(s.Make(WP_CURTAINV).get()), nullptr);
  // Out-of-range parameters: the mask rule keeps p0 >= 2 and p1 >= 1, the curtains both >= 1.
  auto blind = s.Make(WP_BLINDH);
  blind->SetParam(0, -7);
  blind->SetParam(1, 0);
  blind->SetParam(2, 99);
  EXPECT_EQ(blind->GetParam(0), 2);
  EXPECT_EQ(blind->GetParam(1), 1);
  EXPECT_EQ(blind->GetParam(2), 0);
  auto curtain = s.Make(WP_CURTAINH);
  curtain->SetParam(0, 0);
  curtain->SetParam(1, -3);
  EXPECT_EQ(curtain->GetParam(0), 1);
  EXPECT_EQ(curtain->GetParam(1), 1);
}

TEST(WipeMaskKindsTest, BlindHOpensColumnJOfEachStripeAtTwiceJPlusOne) {
  for (bool reverse : {false, true}) {
    TWipeSurfaces s(60, 4, 32);
    auto w = s.Make(WP_BLINDH);  // p0 20, p1 1
    Configure(*w, 39, reverse);
    TWipeMask& m = AsMask(w);
    EXPECT_EQ(m.MaskHeight(), 1);
    for (int32_t pos = 0; pos < 39; ++pos) {
      ASSERT_TRUE(StepAt(*w, pos));
      EXPECT_TRUE(m.HardMask);
      for (int32_t x = 0; x < 60; ++x) {
        const int32_t j = reverse ? 19 - x % 20 : x % 20;
        ASSERT_EQ(MaskAt(m, x, 0), pos >= 2 * j + 1 ? 255 : 0) << "pos " << pos << " x " << x << " rev " << reverse;
      }
    }
    // At pos 38 only the last column of each stripe is still closed: the old picture there, the
    // new one elsewhere, on every row.
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 60; ++x) {
        const bool closed = (reverse ? 19 - x % 20 : x % 20) == 19;
        ASSERT_EQ(s.dest.GetPixel(x, y), (closed ? s.old_layer : s.new_layer).GetPixel(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(WipeMaskKindsTest, BlindVOpensRowsOfEachBandDownward) {
  TWipeSurfaces s(8, 50, 16);
  auto w = s.Make(WP_BLINDV);
  w->SetParam(0, 10);
  w->SetParam(1, 4);  // soft: 4 steps from 0 to 255
  Configure(*w, 22, false);  // (10 - 1) x 2 + 4 = 22 steps: s = pos
  TWipeMask& m = AsMask(w);
  EXPECT_EQ(m.MaskHeight(), 10);
  ASSERT_TRUE(StepAt(*w, 5));
  // Row y has delay 2y: level min(255, (5 - 2y) x 255 div 4).
  const uint8_t expect[10] = {255, 191, 63, 0, 0, 0, 0, 0, 0, 0};
  for (int32_t y = 0; y < 10; ++y) EXPECT_EQ(MaskAt(m, 3, y), expect[y]) << y;
  EXPECT_FALSE(m.HardMask);
  // The mask repeats every 10 rows: rows 0, 10, ..., 40 show the new picture.
  for (int32_t band = 0; band < 5; ++band) {
    EXPECT_EQ(s.dest.GetPixel(2, band * 10), s.new_layer.GetPixel(2, band * 10));
    EXPECT_EQ(s.dest.GetPixel(2, band * 10 + 4), s.old_layer.GetPixel(2, band * 10 + 4));
  }
}

TEST(WipeMaskKindsTest, CurtainHSweepsTwentyTwoSegmentsOverEightHundredAndOneSteps) {
  TWipeSurfaces s(640, 2, 32);
  auto w = s.Make(WP_CURTAINH);  // p0 30, p1 1: n 22, total (21 + 29) x 16 + 1 = 801
  Configure(*w, 801, false);  // s = pos
  TWipeMask& m = AsMask(w);
  ASSERT_TRUE(StepAt(*w, 1));
  EXPECT_EQ(MaskAt(m, 0, 0), 255);
  EXPECT_EQ(MaskAt(m, 1, 0), 0);
  EXPECT_EQ(MaskAt(m, 30, 0), 0);
  ASSERT_TRUE(StepAt(*w, 17));  // delay 16: column 1 and the second segment's first column
  EXPECT_EQ(MaskAt(m, 1, 0), 255);
  EXPECT_EQ(MaskAt(m, 30, 0), 255);
  EXPECT_EQ(MaskAt(m, 2, 0), 0);
  EXPECT_EQ(MaskAt(m, 31, 0), 0);
  // The last column (segment 21, column 9) has delay (21 + 9) x 16 = 480.
  ASSERT_TRUE(StepAt(*w, 480));
  EXPECT_EQ(MaskAt(m, 639, 0), 0);
  ASSERT_TRUE(StepAt(*w, 481));
  EXPECT_EQ(MaskAt(m, 639, 0), 255);
  EXPECT_TRUE(m.HardMask);
}

TEST(WipeMaskKindsTest, CurtainVReversedStartsAtTheBottomRow) {
  TWipeSurfaces s(3, 60, 15);
  auto w = s.Make(WP_CURTAINV);
  w->SetParam(0, 10);
  Configure(*w, ((6 - 1) + (10 - 1)) * 16 + 1, true);  // s = pos
  TWipeMask& m = AsMask(w);
  EXPECT_EQ(m.MaskHeight(), 60);
  ASSERT_TRUE(StepAt(*w, 1));
  EXPECT_EQ(MaskAt(m, 0, 59), 255);
  EXPECT_EQ(MaskAt(m, 0, 58), 0);
  ASSERT_TRUE(StepAt(*w, 17));
  EXPECT_EQ(MaskAt(m, 2, 58), 255);
  EXPECT_EQ(MaskAt(m, 2, 49), 255);  // the next band's first row
  EXPECT_EQ(MaskAt(m, 2, 0), 0);
  EXPECT_EQ(s.dest.GetPixel(1, 49), s.new_layer.GetPixel(1, 49));
  EXPECT_EQ(s.dest.GetPixel(1, 48), s.old_layer.GetPixel(1, 48));
}

TEST(WipeMaskKindsTest, GridCellsStartFourStepsApartByDistance) {
  TWipeSurfaces s(640, 480, 32);
  auto w = s.Make(WP_GRID);  // p0 80, p1 30: 8 x 6 cells, n 9, total 8 x 4 + 30 = 62
  Configure(*w, 62, false);  // s = pos
  TWipeMask& m = AsMask(w);
  EXPECT_EQ(m.MaskHeight(), 480);
  ASSERT_TRUE(StepAt(*w, 0));
  EXPECT_EQ(MaskAt(m, 40, 40), 0);
  // Cell (0, 0) at step 1: level 255 div 30 = 8, a 2 x 2 square at its centre.
  ASSERT_TRUE(StepAt(*w, 1));
  EXPECT_EQ(MaskAt(m, 39, 39), 8);
  EXPECT_EQ(MaskAt(m, 40, 40), 8);
  EXPECT_EQ(MaskAt(m, 38, 40), 0);
  EXPECT_EQ(MaskAt(m, 120, 40), 0);  // cell (1, 0): delay 4
  EXPECT_FALSE(m.HardMask);
  // Step 30: cell (0, 0) is whole and full.
  ASSERT_TRUE(StepAt(*w, 30));
  EXPECT_EQ(MaskAt(m, 0, 0), 255);
  EXPECT_EQ(MaskAt(m, 79, 79), 255);
  // The far cell (7, 5): delay Round(Hypot(5, 7)) x 4 = 36.
  ASSERT_TRUE(StepAt(*w, 36));
  EXPECT_EQ(MaskAt(m, 600, 440), 0);
  ASSERT_TRUE(StepAt(*w, 37));
  EXPECT_EQ(MaskAt(m, 600, 440), 8);
  // Reversed, the far cell goes first.
  auto r = s.Make(WP_GRID);
  Configure(*r, 62, true);
  ASSERT_TRUE(StepAt(*r, 30));
  EXPECT_EQ(MaskAt(AsMask(r), 639, 479), 255);
  EXPECT_EQ(MaskAt(AsMask(r), 40, 40), 0);
}

TEST(WipeMaskKindsTest, GridHUsesOneCellRowAndGridVOrdersByRow) {
  TWipeSurfaces s(640, 480, 16);
  auto h = s.Make(WP_GRIDH);
  Configure(*h, 58, false);  // 8 cells: total 7 x 4 + 30 = 58, s = pos
  TWipeMask& mh = AsMask(h);
  EXPECT_EQ(mh.MaskHeight(), 80);
  EXPECT_EQ(mh.Mask.Height(), 80);
  ASSERT_TRUE(StepAt(*h, 35));  // column 7 starts at 28: level (35 - 28) x 255 div 30 = 59
  EXPECT_EQ(MaskAt(mh, 600, 40), 59);
  EXPECT_EQ(MaskAt(mh, 40, 40), 255);
  // Every 80 rows the same cell row.
  EXPECT_EQ(s.dest.GetPixel(40, 440), s.new_layer.GetPixel(40, 440));
  // GridV: 6 cell rows, total 5 x 4 + 30 = 50, reversed from the bottom.
  auto v = s.Make(WP_GRIDV);
  Configure(*v, 50, true);
  ASSERT_TRUE(StepAt(*v, 30));
  TWipeMask& mv = AsMask(v);
  EXPECT_EQ(MaskAt(mv, 40, 440), 255);
  EXPECT_EQ(MaskAt(mv, 600, 440), 255);
  EXPECT_EQ(MaskAt(mv, 40, 360), 255 * 26 / 30);  // row 4: delay 4
  EXPECT_EQ(MaskAt(mv, 40, 40), 255 * 10 / 30);   // row 0: delay 20
}

int32_t CountOpen(TWipeMask& m, int32_t x0) {
  int32_t n = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = x0; x < x0 + 64; ++x) n += MaskAt(m, x, y) == 255;
  return n;
}

TEST(WipeMaskKindsTest, DitherOpensLevelCellsOfAFixedOrder) {
  TWipeSurfaces s(150, 70, 32);
  auto w = s.Make(WP_DITHER);
  Configure(*w, 4096, false);  // level = pos
  TWipeMask& m = AsMask(w);
  EXPECT_EQ(m.Mask.Height(), 64);
  std::set<std::pair<int32_t, int32_t>> open_before;
  for (int32_t pos : {0, 1, 100, 2047, 2048, 3000, 4095}) {
    ASSERT_TRUE(StepAt(*w, pos));
    EXPECT_TRUE(m.HardMask);
    EXPECT_EQ(CountOpen(m, 0), pos) << pos;
    // The block repeats across the width (the last copy cut at the edge).
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 64; x < 150; ++x) ASSERT_EQ(MaskAt(m, x, y), MaskAt(m, x % 64, y)) << pos;
    }
    // The cells open so far stay open: always the first ones of one order.
    std::set<std::pair<int32_t, int32_t>> open;
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x)
        if (MaskAt(m, x, y) == 255) open.insert({x, y});
    for (const auto& c : open_before) EXPECT_TRUE(open.count(c)) << pos;
    open_before = open;
  }
  // Another transition gives the same pattern at the same position; the rows below the block
  // repeat it.
  TWipeSurfaces t(150, 70, 32);
  auto again = t.Make(WP_DITHER);
  Configure(*again, 4096, false);
  ASSERT_TRUE(StepAt(*again, 3000));
  ASSERT_TRUE(StepAt(*w, 3000));
  EXPECT_EQ(Pixels(AsMask(again).Mask), Pixels(m.Mask));
  for (int32_t x = 0; x < 150; ++x) {
    const bool open = MaskAt(m, x, 66 - 64) == 255;
    EXPECT_EQ(s.dest.GetPixel(x, 66), (open ? s.new_layer : s.old_layer).GetPixel(x, 66)) << x;
  }
}

TEST(WipeMaskKindsTest, DitherNarrowerThanItsBlockStaysInsideTheMask) {
  for (int32_t width : {1, 10, 63}) {
    TWipeSurfaces s(width, 3, 16);
    auto w = s.Make(WP_DITHER);
    Configure(*w, 4096, false);
    TWipeMask& m = AsMask(w);
    for (int32_t pos : {1, 2000, 2048, 4095}) {
      ASSERT_TRUE(StepAt(*w, pos));
      int32_t open = 0;
      for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < width; ++x) open += MaskAt(m, x, y) == 255;
      EXPECT_LE(open, pos);
      EXPECT_GE(open, pos - (4096 - 64 * width));
    }
  }
}

// The direction of pixel (x, y) from the centre of a w x h surface, clockwise from up, in turns.
double TurnOf(int32_t x, int32_t y, int32_t w, int32_t h) {
  const double a = std::atan2(x + 0.5 - w / 2.0, h / 2.0 - (y + 0.5));
  return (a < 0 ? a + 2 * std::numbers::pi : a) / (2 * std::numbers::pi);
}

TEST(WipeMaskKindsTest, ClockhandRevealsTheSweptSector) {
  const int32_t w = 64, h = 48;
  for (bool reverse : {false, true}) {
    for (int32_t pos : {1, 10, 25, 40, 55, 63}) {
      TWipeSurfaces s(w, h, 32);
      auto hand = s.Make(WP_CLOCKHAND);
      Configure(*hand, 64, reverse);
      ASSERT_TRUE(StepAt(*hand, pos));
      EXPECT_TRUE(AsMask(hand).HardMask);
      const double swept = pos / 64.0;
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
          double t = TurnOf(x, y, w, h);
          if (reverse) t = 1 - t;
          // Pixels more than 2 pixels' angle from both edges of the sector, away from the centre.
          const double r = std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0);
          const double margin = 2.5 / (2 * std::numbers::pi * std::max(r, 1.0));
          if (r < 3 || std::abs(t - swept) < margin || t < margin || t > 1 - margin) continue;
          const TDIBX& expect = t < swept ? s.new_layer : s.old_layer;
          ASSERT_EQ(s.dest.GetPixel(x, y), expect.GetPixel(x, y))
              << "pos " << pos << " rev " << reverse << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(WipeMaskKindsTest, ClockhandEdgeOfTheHandIsCovered) {
  // Just after the start the hand is a line from the centre straight up: its pixels are new.
  TWipeSurfaces s(40, 30, 32);
  auto hand = s.Make(WP_CLOCKHAND);
  Configure(*hand, 100000, false);
  ASSERT_TRUE(StepAt(*hand, 1));
  for (int32_t y = 0; y <= 15; ++y) EXPECT_EQ(MaskAt(AsMask(hand), 20, y), 255) << y;
  EXPECT_EQ(MaskAt(AsMask(hand), 18, 5), 0);
  EXPECT_EQ(MaskAt(AsMask(hand), 22, 5), 0);
}

TEST(WipeMaskKindsTest, ClockhandFirstStepAtZeroDrawsNothing) {
  TWipeSurfaces s(32, 24, 16);
  const std::vector<uint32_t> before = Pixels(s.dest);
  auto hand = s.Make(WP_CLOCKHAND);
  Configure(*hand, 100, false);
  EXPECT_FALSE(hand->Step());
  EXPECT_EQ(Pixels(s.dest), before);
}

TEST(WipeMaskKindsTest, HardMasksHoldOnlyZeroAndFull) {
  struct Case {
    int32_t kind;
    int32_t p1;  // 0: the default
    bool hard;
  };
  for (const Case& c : {Case{WP_BLINDH, 0, true}, Case{WP_BLINDH, 5, false}, Case{WP_BLINDV, 0, true},
                        Case{WP_CURTAINH, 0, true}, Case{WP_CURTAINV, 0, true}, Case{WP_GRID, 1, true},
                        Case{WP_GRIDH, 0, false}, Case{WP_GRIDV, 1, true}, Case{WP_DITHER, 0, true},
                        Case{WP_CLOCKHAND, 0, true}, Case{WP_MASKFADE, 0, false}}) {
    TWipeSurfaces s(97, 61, 32);
    auto w = s.Make(c.kind);
    w->SetParam(0, 13);
    if (c.p1 > 0) w->SetParam(1, c.p1);
    Configure(*w, 50, false);
    TWipeMask& m = AsMask(w);
    bool graded = false;
    for (int32_t pos = 1; pos < 50; pos += 3) {
      ASSERT_TRUE(StepAt(*w, pos)) << c.kind;
      EXPECT_EQ(m.HardMask, c.hard) << c.kind;
      for (uint32_t v : Pixels(m.Mask)) {
        if (v != 0 && v != 255) graded = true;
      }
    }
    EXPECT_EQ(graded, !c.hard) << c.kind;
  }
}

TEST(WipeMaskKindsTest, RepeatedStepAtOnePositionDrawsNothing) {
  for (int32_t kind : test::MaskKinds()) {
    TWipeSurfaces s(50, 40, 32);
    auto w = s.Make(kind);
    Configure(*w, 30, false);
    ASSERT_TRUE(StepAt(*w, 11)) << kind;
    test::FillPattern(s.dest, 99);
    const std::vector<uint32_t> marked = Pixels(s.dest);
    EXPECT_FALSE(w->Step()) << kind;
    EXPECT_EQ(Pixels(s.dest), marked) << kind;
    EXPECT_EQ(w->UpdateArea(), (TRect{0, 0, 50, 40})) << kind;
  }
}

// ---- Both compositions, every instruction set ----

struct TComposeCase {
  int32_t bits;
  bool row_results;
  int32_t w, h;        // Dest
  int32_t ow, oh;      // old layer
  int32_t nw, nh;      // new layer
};

// Dest's pixels after stepping a fresh transition of `kind` through `positions`.
std::vector<uint32_t> Compose(int32_t kind, const TComposeCase& c, bool reverse, bool fast,
                              const std::vector<int32_t>& positions) {
  TWipeSurfaces s(c.w, c.h, c.ow, c.oh, c.nw, c.nh, c.bits);
  s.dest.RowResults = c.row_results;
  auto w = s.Make(kind);
  if (kind == WP_BLINDH || kind == WP_BLINDV || kind == WP_GRID || kind == WP_GRIDH) w->SetParam(0, 7);
  if (kind == WP_GRID || kind == WP_BLINDH) w->SetParam(1, 5);
  AsMask(w).FastPath = fast;
  Configure(*w, 40, reverse);
  for (int32_t pos : positions) {
    w->SetPosition(pos);
    w->Step();
  }
  return Pixels(s.dest);
}

TEST(WipeMaskComposeTest, DirectAndSurfaceCompositionsGiveTheSamePixelsAtEveryLevel) {
  const TSimdLevel saved = ActiveSimdLevel();
  const std::vector<TComposeCase> cases = {
      {15, true, 37, 29, 37, 29, 37, 29},  {16, true, 37, 29, 37, 29, 37, 29},
      {32, true, 37, 29, 37, 29, 37, 29},  {32, false, 37, 29, 37, 29, 37, 29},
      {16, true, 37, 29, 20, 40, 50, 11},  {32, true, 37, 29, 50, 11, 20, 40},
      {15, true, 3, 2, 3, 2, 3, 2},        {32, true, 1, 1, 1, 1, 1, 1},
  };
  const std::vector<int32_t> positions = {3, 17, 26, 39};
  for (int32_t kind : test::MaskKinds()) {
    for (const TComposeCase& c : cases) {
      for (bool reverse : {false, true}) {
        SetSimdLevel(TSimdLevel::Scalar);
        const std::vector<uint32_t> expect = Compose(kind, c, reverse, false, positions);
        for (TSimdLevel level : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
          if (SetSimdLevel(level) != level) continue;
          for (bool fast : {true, false}) {
            ASSERT_EQ(Compose(kind, c, reverse, fast, positions), expect)
                << "kind " << kind << " bits " << c.bits << " rows " << c.row_results << " size " << c.w << "x"
                << c.h << " old " << c.ow << "x" << c.oh << " new " << c.nw << "x" << c.nh << " rev " << reverse
                << " fast " << fast << " level " << SimdLevelName(level);
          }
        }
      }
    }
  }
  SetSimdLevel(saved);
}

// The per-pixel rule of a graded mask value m: (n x m + o x (255 - m)) shr 8 per channel.
uint32_t Mix(uint32_t o, uint32_t n, uint32_t m, std::initializer_list<uint32_t> channels) {
  uint32_t out = 0;
  for (uint32_t c : channels) out |= uint32_t((uint64_t(n & c) * m + uint64_t(o & c) * (255 - m)) >> 8) & c;
  return out;
}

TEST(WipeMaskComposeTest, GradedMaskBlendsEachChannel) {
  struct Case {
    int32_t bits;
    bool row_results;
    std::initializer_list<uint32_t> channels;
  };
  const Case cases[] = {{15, true, {0x7C00, 0x3E0, 0x1F}},
                        {16, true, {0xF800, 0x7E0, 0x1F}},
                        {32, true, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}},
                        {32, false, {0xFF0000, 0xFF00, 0xFF}}};
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      // A mask fade without a mask picture: mask value pos x 512 div len - 1 everywhere.
      TWipeSurfaces s(9, 7, c.bits);
      s.dest.RowResults = c.row_results;
      auto w = s.Make(WP_MASKFADE);
      AsMask(w).FastPath = fast;
      Configure(*w, 512, false);
      ASSERT_TRUE(StepAt(*w, 101));
      for (int32_t y = 0; y < 7; ++y) {
        for (int32_t x = 0; x < 9; ++x) {
          const uint32_t o = s.old_layer.GetPixel(x, y), n = s.new_layer.GetPixel(x, y);
          // The destination rule leaves a pixel that both layers share (row results).
          const uint32_t expect = o == n && c.row_results ? o : Mix(o, n, 100, c.channels);
          ASSERT_EQ(s.dest.GetPixel(x, y), expect) << c.bits << " " << x << "," << y << " fast " << fast;
        }
      }
    }
  }
}

// ---- Ends, lengths and bad set-ups ----

TEST(WipeMaskSafetyTest, DoneAtTheEndAndAtOnceForLengthsBelowOne) {
  for (int32_t kind : test::AllMaskFamilyKinds()) {
    struct Case {
      int32_t length, position;
    };
    for (const Case& c : {Case{20, 20}, Case{20, 35}, Case{0, 0}, Case{-4, 0}, Case{1, 1}}) {
      TWipeSurfaces s(30, 20, 16);
      const std::vector<uint32_t> before = Pixels(s.dest);
      auto w = s.Make(kind);
      Configure(*w, c.length, false);
      w->SetPosition(c.position);
      EXPECT_TRUE(w->Step()) << kind << " len " << c.length;
      EXPECT_EQ(Pixels(s.dest), before) << kind << " len " << c.length;
      EXPECT_EQ(w->UpdateArea(), (TRect{0, 0, 30, 20}));
    }
  }
}

TEST(WipeMaskSafetyTest, StepWithoutPrepareOrAfterDestChangedSizeDrawsNothing) {
  for (int32_t kind : test::AllMaskFamilyKinds()) {
    TWipeSurfaces s(30, 20, 32);
    const std::vector<uint32_t> before = Pixels(s.dest);
    auto w = s.Make(kind);
    w->SetLength(10);
    w->SetPosition(5);
    EXPECT_FALSE(w->Step()) << kind;
    EXPECT_EQ(Pixels(s.dest), before) << kind;
    // Prepared, then the destination grows: the mask (or level map) no longer fits.
    w->Prepare();
    s.dest.SetSize(45, 33, 32);
    test::FillPattern(s.dest, 5);
    const std::vector<uint32_t> resized = Pixels(s.dest);
    w->SetPosition(6);
    EXPECT_FALSE(w->Step()) << kind;
    EXPECT_EQ(Pixels(s.dest), resized) << kind;
  }
}

TEST(WipeMaskSafetyTest, TinyOddSizesMismatchedLayersAndWildParametersStayInside) {
  struct Size {
    int32_t w, h, ow, oh, nw, nh;
  };
  const Size sizes[] = {{1, 1, 1, 1, 1, 1}, {3, 2, 3, 2, 3, 2}, {3, 2, 1, 1, 5, 7}, {17, 9, 4, 30, 30, 4},
                        {9, 5, 4, 5, 6, 3}};
  const int32_t params[][2] = {{0, 0}, {1, 1}, {2, 1}, {INT32_MAX, INT32_MAX}, {-5, 1000}};
  for (int32_t kind : test::AllMaskFamilyKinds()) {
    for (const Size& z : sizes) {
      for (const auto& p : params) {
        for (int32_t bits : {15, 32}) {
          TWipeSurfaces s(z.w, z.h, z.ow, z.oh, z.nw, z.nh, bits);
          auto w = s.Make(kind);
          w->SetParam(0, p[0]);
          w->SetParam(1, p[1]);
          Configure(*w, 1000, kind % 2 == 0);
          for (int32_t pos : {0, 1, 333, 500, 999, INT32_MAX}) {
            w->SetPosition(pos);
            w->Step();
          }
          // Where Dest lies outside the old layer and the new one it keeps its pixels.
          if (z.w > std::max(z.ow, z.nw)) {
            TDIBX untouched;
            untouched.SetSize(z.w, z.h, bits);
            test::FillPattern(untouched, 7);
            EXPECT_EQ(s.dest.GetPixel(z.w - 1, 0), untouched.GetPixel(z.w - 1, 0)) << kind;
          }
        }
      }
    }
  }
}

TEST(WipeMaskSafetyTest, LayersOfAnotherPixelSizeAreNotReadAsDestPixels) {
  for (int32_t kind : test::AllMaskFamilyKinds()) {
    TWipeSurfaces s(20, 10, 32);
    s.old_layer.SetSize(21, 10, 16);
    test::FillPattern(s.old_layer, 1);
    const std::vector<uint32_t> before = Pixels(s.dest);
    auto w = s.Make(kind);
    Configure(*w, 10, false);
    w->SetPosition(5);
    w->Step();
    // No old pixel can be copied: where the mask kinds show nothing of the new layer Dest keeps
    // its pixels, and the colour passes draw nothing at all.
    const std::vector<uint32_t> after = Pixels(s.dest);
    for (size_t i = 0; i < after.size(); ++i) {
      if (kind == WP_MASKWHITE || kind == WP_MASKBLACK) {
        ASSERT_EQ(after[i], before[i]) << kind;
      } else if (after[i] != before[i]) {
        ASSERT_NE(dynamic_cast<TWipeMask*>(w.get()), nullptr);
        ASSERT_NE(MaskAt(AsMask(w), int32_t(i % 20), int32_t(i / 20) % AsMask(w).Mask.Height()), 0) << kind;
      }
    }
  }
}

}  // namespace
}  // namespace kova
