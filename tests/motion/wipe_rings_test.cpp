// The ring and piece transitions: their tables' numbers, and their pictures against the formulas
// computed here pixel by pixel, at 15, 16 and 32 bits (and 24 bits through the per-pixel path).
#include "motion/wipe_rings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "motion/wipe_factory.h"

namespace kova {
namespace {

// Distinct colours per pixel, so a pixel from the wrong place or layer shows. At 32 bits the old
// picture has a top byte beside its channels.
void PaintOld(TCustomDIBX& s) {
  const uint32_t top = s.BitCount() == 32 ? 0x5A000000u : 0u;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      s.SetPixel(x, y, top | uint32_t(s.ColorToPixel(((x * 7) & 255) | ((y * 5) & 255) << 8 | 0x28 << 16)));
    }
  }
}

void PaintNew(TCustomDIBX& s) {
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      s.SetPixel(x, y, uint32_t(s.ColorToPixel(0xC8 | ((x * 3 + 9) & 255) << 8 | ((y * 11 + 3) & 255) << 16)));
    }
  }
}

struct TScreens {
  TDIBX dest, from, to;
  TScreens(int32_t w, int32_t h, int32_t bits) : TScreens(w, h, bits, w, h, bits) {}
  TScreens(int32_t w, int32_t h, int32_t bits, int32_t lw, int32_t lh, int32_t layer_bits) {
    dest.SetSize(w, h, bits);
    from.SetSize(lw, lh, layer_bits);
    to.SetSize(lw, lh, layer_bits);
    PaintOld(from);
    PaintNew(to);
    dest.Fill(uint32_t(dest.ColorToPixel(0x405060)));
  }
};

std::vector<uint32_t> Pixels(const TCustomDIBX& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) v.push_back(s.GetPixel(x, y));
  }
  return v;
}

int32_t RoundEven(double v) { return int32_t(std::nearbyint(v)); }

uint32_t AddGrey(const TCustomDIBX& dest, uint32_t p, int32_t k) {
  const uint32_t g = uint32_t(dest.ColorToPixel(k * 0x010101));
  uint32_t out = 0;
  for (uint32_t m : {dest.RedMask(), dest.GreenMask(), dest.BlueMask()}) out |= std::min((p & m) + (g & m), m);
  return out;
}

TEST(WipeSpotTest, DistancesAndRadiusAt640x480) {
  TScreens s(640, 480, 16);
  TWipeSpot spot(TWipeEnv{}, s.dest, s.from, s.to);
  EXPECT_EQ(spot.Radius, 912);
  ASSERT_EQ(spot.DistMap.size(), size_t(640 * 480));
  const auto at = [&spot](int32_t x, int32_t y) { return spot.DistMap[size_t(y) * 640 + size_t(x)]; };
  EXPECT_EQ(at(320, 240), 0);
  EXPECT_EQ(at(0, 0), 400);
  EXPECT_EQ(at(639, 479), RoundEven(std::hypot(239.0, 319.0)));
  spot.SetReverse(true);
  EXPECT_EQ(at(320, 240), 400);
  EXPECT_EQ(at(0, 0), 0);
  spot.SetReverse(false);
  EXPECT_EQ(at(0, 0), 400);
}

// At t = 600 of 912 the centre (distance 0) has the new picture and the corners (400) are still
// on the ring over the old one; reversed the other way round. At t = 256 the centre is the new
// pixel at full white.
TEST(WipeSpotTest, CentreFirstCornersFirstReversedWhiteAtTheCrest) {
  for (int32_t bits : {15, 16, 32}) {
    SCOPED_TRACE(bits);
    for (bool reverse : {false, true}) {
      TScreens s(640, 480, bits);
      TWipeSpot spot(TWipeEnv{}, s.dest, s.from, s.to);
      spot.SetReverse(reverse);
      spot.SetLength(912);
      spot.SetPosition(600);
      EXPECT_FALSE(spot.Step());
      const uint32_t centre_new = s.to.GetPixel(320, 240), corner_old = s.from.GetPixel(0, 0);
      if (!reverse) {
        EXPECT_EQ(s.dest.GetPixel(320, 240), centre_new);
        EXPECT_EQ(s.dest.GetPixel(0, 0), AddGrey(s.dest, corner_old, 200));
      } else {
        EXPECT_EQ(s.dest.GetPixel(0, 0), s.to.GetPixel(0, 0));
        EXPECT_EQ(s.dest.GetPixel(320, 240), AddGrey(s.dest, s.from.GetPixel(320, 240), 200));
      }
    }
    TScreens s(640, 480, bits);
    TWipeSpot spot(TWipeEnv{}, s.dest, s.from, s.to);
    spot.SetLength(912);
    spot.SetPosition(256);
    spot.Step();
    EXPECT_EQ(s.dest.GetPixel(320, 240), s.dest.RedMask() | s.dest.GreenMask() | s.dest.BlueMask());
    EXPECT_EQ(s.dest.GetPixel(330, 240), AddGrey(s.dest, s.from.GetPixel(330, 240), 246));  // d 10: rising
  }
}

// The whole picture against the formula, for odd sizes, both directions, the direct paths and
// the per-pixel one (24 bits); a spot created without SetReverse steps like a forward one. The
// wide screen has rows wholly before, on and behind the ring.
TEST(WipeSpotTest, PictureFollowsTheRingFormula) {
  for (int32_t bits : {15, 16, 24, 32}) {
    for (auto [w, h] : {std::pair{37, 23}, std::pair{301, 45}}) {
      for (bool reverse : {false, true}) {
        for (int32_t pos : {0, 1, 150, 300, 420, 559}) {
          SCOPED_TRACE(testing::Message() << bits << " bits, " << w << "x" << h << ", reverse " << reverse << ", pos "
                                          << pos);
          TScreens s(w, h, bits);
          auto wipe = CreateWipe(WP_SPOT, TWipeEnv{}, s.dest, s.from, s.to);
          ASSERT_NE(wipe, nullptr);
          if (reverse) wipe->SetReverse(true);
          wipe->SetLength(560);
          wipe->SetPosition(pos);
          EXPECT_FALSE(wipe->Step());
          EXPECT_EQ(wipe->UpdateArea(), (TRect{0, 0, w, h}));
          const int32_t cx = w / 2, cy = h / 2;
          const int32_t reach = RoundEven(std::hypot(double(cy), double(cx))), t = pos * (reach + 512) / 560;
          for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x) {
              const int32_t r = RoundEven(std::hypot(double(std::abs(y - cy)), double(std::abs(x - cx))));
              const int32_t d = reverse ? reach - r : r;
              uint32_t want = d + 256 <= t ? s.to.GetPixel(x, y) : s.from.GetPixel(x, y);
              if (d <= t && t < d + 512) want = AddGrey(s.dest, want, t < d + 256 ? t - d : 511 - (t - d));
              ASSERT_EQ(s.dest.GetPixel(x, y), want) << x << "," << y;
            }
          }
        }
      }
    }
  }
}

TEST(WipeRippleTest, TablesAt640x480) {
  TScreens s(640, 480, 16);
  auto wipe = CreateWipe(WP_RIPPLE, TWipeEnv{}, s.dest, s.from, s.to);
  auto& ripple = dynamic_cast<TWipeRipple&>(*wipe);
  EXPECT_EQ(ripple.GetParam(0), 5);
  ASSERT_EQ(ripple.Wave.size(), 160u);
  EXPECT_EQ(ripple.Reach(), 560);
  for (size_t n = 0; n < 160; ++n) EXPECT_EQ(ripple.Wave[n], int32_t(n % 40) / 8) << n;  // q = 40: 0,0,..,4
  EXPECT_EQ(ripple.QuarterWidth(), 320);
  EXPECT_EQ(ripple.QuarterHeight(), 240);
  EXPECT_EQ(ripple.DistMap[0], 400);
  EXPECT_EQ(ripple.CosMap[0], RoundEven(-320.0 / 400 * 65536));
  EXPECT_EQ(ripple.SinMap[0], RoundEven(-240.0 / 400 * 65536));
  ripple.SetParam(0, 10);
  EXPECT_EQ(ripple.Wave[39], 9);
  EXPECT_EQ(ripple.Wave[40], 0);
}

// Below 12 pixels the wave has fewer than 4 entries: no displacement, and no division by zero.
TEST(WipeRippleTest, NoDisplacementBelowTwelvePixels) {
  for (auto [w, h] : {std::pair{11, 40}, std::pair{40, 11}, std::pair{12, 12}, std::pair{1, 1}}) {
    TScreens s(w, h, 32);
    TWipeRipple ripple(TWipeEnv{}, s.dest, s.from, s.to);
    ripple.SetParam(0, 9);
    EXPECT_TRUE(std::all_of(ripple.Wave.begin(), ripple.Wave.end(), [](int32_t v) { return v == 0; })) << w << "x" << h;
  }
}

// The Part's rule over the whole screen, the middle column and row of odd sizes included.
std::vector<uint32_t> RippleReference(TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to, int32_t amplitude,
                                      int32_t pos, int32_t len) {
  const int32_t w = dest.Width(), h = dest.Height(), hw = w / 2, hh = h / 2;
  std::vector<int32_t> wave(size_t(std::min(hw, hh) * 2 / 3));
  const int32_t q = int32_t(wave.size()) / 4;
  for (size_t n = 0; n < wave.size(); ++n) wave[n] = q ? int32_t(n) % q * amplitude / q : 0;
  const int32_t last = int32_t(wave.size()) - 1;
  const int32_t t = pos * (RoundEven(std::hypot(double(hh), double(hw))) + int32_t(wave.size())) / len;
  std::vector<uint32_t> out = Pixels(dest);
  const auto put = [&](int32_t x, int32_t y, uint32_t v) { out[size_t(y) * size_t(w) + size_t(x)] = v; };
  for (int32_t j = 0; j < (h + 1) / 2; ++j) {
    for (int32_t i = 0; i < (w + 1) / 2; ++i) {
      const int32_t dx = i - hw, dy = j - hh;
      const int32_t d = RoundEven(std::hypot(double(dy), double(dx))), k = last + d - t;
      const int32_t xs[2] = {i, w - 1 - i}, ys[2] = {j, h - 1 - j};
      if (k > last || k < 0) {
        for (int32_t x : xs) {
          for (int32_t y : ys) put(x, y, k > last ? from.GetPixel(x, y) : to.GetPixel(x, y));
        }
        continue;
      }
      const double a = std::atan2(double(dy), double(dx));
      const int64_t r = d + wave[size_t(k)];
      const int64_t sx = RoundEven(std::cos(a) * 65536) * r / 65536 + hw;
      const int64_t sy = RoundEven(std::sin(a) * 65536) * r / 65536 + hh;
      const bool in = sx >= 0 && sx < w && sy >= 0 && sy < h;
      for (int32_t mx = 0; mx < 2; ++mx) {
        for (int32_t my = 0; my < 2; ++my) {
          const int32_t fx = in ? (mx ? w - 1 - int32_t(sx) : int32_t(sx)) : xs[mx];
          const int32_t fy = in ? (my ? h - 1 - int32_t(sy) : int32_t(sy)) : ys[my];
          put(xs[mx], ys[my], to.GetPixel(fx, fy));
        }
      }
    }
  }
  return out;
}

// Even and odd sizes; at 47 wide the middle column falls in a run of eight entries of the vector
// rows, at 291 x 200 whole blocks lie off the ring.
TEST(WipeRippleTest, PictureFollowsTheRingFormula) {
  for (int32_t bits : {15, 16, 24, 32}) {
    for (auto [w, h] : {std::pair{64, 48}, std::pair{45, 31}, std::pair{47, 33}, std::pair{291, 200}}) {
      for (int32_t pos : {0, 10, 37, 60, 99}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, " << w << "x" << h << ", pos " << pos);
        TScreens s(w, h, bits);
        auto wipe = CreateWipe(WP_RIPPLE, TWipeEnv{}, s.dest, s.from, s.to);
        ASSERT_NE(wipe, nullptr);
        wipe->SetParam(0, 7);
        wipe->SetLength(100);
        wipe->SetPosition(pos);
        const std::vector<uint32_t> want = RippleReference(s.dest, s.from, s.to, 7, pos, 100);
        EXPECT_FALSE(wipe->Step());
        ASSERT_EQ(Pixels(s.dest), want);
      }
    }
  }
}

// ---- Crack ----

// A generator that answers the values given, in turn (then 0), and records the ranges asked.
struct TScriptedDraws {
  std::deque<uint32_t> values;
  std::vector<uint32_t> ranges;
};

TWipeEnv ScriptedEnv(const std::shared_ptr<TScriptedDraws>& draws) {
  TWipeEnv env;
  env.random = [draws](uint32_t range) {
    draws->ranges.push_back(range);
    if (draws->values.empty()) return 0u;
    const uint32_t v = draws->values.front();
    draws->values.pop_front();
    return v;
  };
  return env;
}

TEST(WipeCrackTest, ChipSizeDelaysAndFallTime) {
  struct Case {
    int32_t p0, size, count;
  };
  for (const Case& c : {Case{10, 16, 7 * 4}, Case{16, 16, 7 * 4}, Case{-3, 16, 7 * 4}, Case{17, 17, 6 * 3},
                        Case{64, 64, 2 * 1}}) {
    TScreens s(100, 50, 16);
    TWipeCrack crack(TWipeEnv{}, s.dest, s.from, s.to);
    crack.SetParam(0, c.p0);
    EXPECT_EQ(crack.GetParam(0), c.size) << c.p0;
    EXPECT_EQ(int32_t(crack.Pieces.size()), c.count) << c.p0;
  }
  TScreens s(640, 480, 16);
  auto wipe = CreateWipe(WP_CRACK, TWipeEnv{}, s.dest, s.from, s.to);
  auto& crack = dynamic_cast<TWipeCrack&>(*wipe);
  EXPECT_EQ(crack.FallTime, 495);
  ASSERT_EQ(crack.Pieces.size(), 10u * 8u);
  EXPECT_EQ(crack.TotalDelay, 79 * 3);
  for (size_t k = 0; k < crack.Pieces.size(); ++k) EXPECT_EQ(crack.Pieces[k]->Delay, int32_t(3 * k));
  crack.SetParam(1, 0);
  EXPECT_EQ(crack.TotalDelay, 0);
  EXPECT_TRUE(std::all_of(crack.Pieces.begin(), crack.Pieces.end(), [](const auto& p) { return p->Delay == 0; }));
  crack.SetParam(1, -4);
  EXPECT_EQ(crack.GetParam(1), 0);
}

// Every cell once, the cell drawn from the cells left and then the speed; without a generator
// from the environment the order is the same in every run.
TEST(WipeCrackTest, RandomOrderAndSpeeds) {
  auto draws = std::make_shared<TScriptedDraws>();
  draws->values = {2, 0, 0, 199, 1, 150};
  TScreens s(48, 32, 32);
  TWipeCrack crack(ScriptedEnv(draws), s.dest, s.from, s.to);
  crack.SetParam(0, 16);
  EXPECT_EQ(draws->ranges, (std::vector<uint32_t>{6, 200, 5, 200, 4, 200, 3, 200, 2, 200, 1, 200}));
  ASSERT_EQ(crack.Pieces.size(), 6u);
  // Cells 0..5 of 3 columns: pick 2 -> cell 2, pick 0 of {0,1,3,4,5} -> 0, pick 1 of {1,3,4,5} -> 3
  EXPECT_EQ((std::pair{crack.Pieces[0]->Col, crack.Pieces[0]->Row}), (std::pair{2, 0}));
  EXPECT_EQ(crack.Pieces[0]->SpeedX, -100);
  EXPECT_EQ((std::pair{crack.Pieces[1]->Col, crack.Pieces[1]->Row}), (std::pair{0, 0}));
  EXPECT_EQ(crack.Pieces[1]->SpeedX, 99);
  EXPECT_EQ((std::pair{crack.Pieces[2]->Col, crack.Pieces[2]->Row}), (std::pair{0, 1}));
  EXPECT_EQ(crack.Pieces[2]->SpeedX, 50);

  const auto order = [](TWipeCrack& c) {
    std::vector<std::array<int32_t, 3>> v;
    for (const auto& p : c.Pieces) v.push_back({p->Col, p->Row, p->SpeedX});
    return v;
  };
  TScreens big(200, 120, 16);
  TWipeCrack a(TWipeEnv{}, big.dest, big.from, big.to), b(TWipeEnv{}, big.dest, big.from, big.to);
  a.SetParam(0, 16);
  b.SetParam(0, 16);
  EXPECT_EQ(order(a), order(b));
  std::set<std::pair<int32_t, int32_t>> cells;
  for (const auto& [col, row, speed] : order(a)) {
    cells.insert({col, row});
    EXPECT_TRUE(speed >= -100 && speed <= 99) << speed;
  }
  EXPECT_EQ(cells.size(), size_t(13 * 8));
}

// The picture: the new layer, the waiting chips in place in start order, then the moving ones
// from the last to the first, each a cell of the old layer.
std::vector<uint32_t> CrackReference(TWipeCrack& crack, TCustomDIBX& from, TCustomDIBX& to, int64_t t) {
  const int32_t w = to.Width(), h = to.Height(), p0 = crack.GetParam(0);
  std::vector<uint32_t> out = Pixels(to);
  const auto paste = [&](const TWipeCrackDraw& c, int64_t x, int64_t y) {
    for (int32_t v = 0; v < p0 && c.Row * p0 + v < h; ++v) {
      for (int32_t u = 0; u < p0 && c.Col * p0 + u < w; ++u) {
        if (x + u >= 0 && x + u < w && y + v >= 0 && y + v < h) {
          out[size_t(y + v) * size_t(w) + size_t(x + u)] = from.GetPixel(c.Col * p0 + u, c.Row * p0 + v);
        }
      }
    }
  };
  for (const auto& c : crack.Pieces) {
    if (c && t < c->Delay) paste(*c, c->Col * p0, c->Row * p0);
  }
  for (size_t k = crack.Pieces.size(); k-- > 0;) {
    const auto& c = crack.Pieces[k];
    if (!c || t < c->Delay) continue;
    const int64_t e = t - c->Delay;
    paste(*c, c->Col * p0 + e * c->SpeedX / 100, c->Row * p0 + e * (5 * e - 1500) / 1000);
  }
  return out;
}

TEST(WipeCrackTest, PictureFollowsTheChipFormula) {
  struct Case {
    int32_t w, h, p1;
    std::deque<uint32_t> draws;  // pick, speed + 100, for each chip
    std::vector<int32_t> positions;
  };
  const Case cases[] = {
      // 3 x 2 chips of 16, the right and bottom ones cut by the edges.
      {45, 30, 40, {4, 20, 0, 180, 3, 100, 1, 0, 1, 199, 0, 120}, {0, 1, 77, 150, 260, 330, 420, 518}},
      // One column: the first chip falls through the second while that one rises (drawn on top).
      {16, 40, 300, {0, 100, 0, 100, 0, 100}, {305, 309, 318}},
  };
  for (const Case& c : cases) {
    for (int32_t bits : {15, 16, 32}) {
      SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << ", " << bits << " bits");
      auto draws = std::make_shared<TScriptedDraws>();
      draws->values = c.draws;
      TScreens s(c.w, c.h, bits);
      TWipeCrack crack(ScriptedEnv(draws), s.dest, s.from, s.to);
      crack.SetParam(0, 16);
      crack.SetParam(1, c.p1);
      ASSERT_EQ(crack.Pieces.size(), c.draws.size() / 2);
      // t = pos: the length is the whole run.
      crack.SetLength(crack.FallTime + crack.TotalDelay);
      for (int32_t pos : c.positions) {
        SCOPED_TRACE(pos);
        const std::vector<uint32_t> want = CrackReference(crack, s.from, s.to, pos);
        crack.SetPosition(pos);
        EXPECT_FALSE(crack.Step());
        ASSERT_EQ(Pixels(s.dest), want);
        if (pos == 0) {
          EXPECT_EQ(Pixels(s.dest), Pixels(s.from));  // every chip still in place
        }
      }
    }
  }
  // By the last step every chip but the last has been falling for FallTime and is off.
  TScreens s(45, 30, 32);
  TWipeCrack crack(TWipeEnv{}, s.dest, s.from, s.to);
  crack.SetParam(0, 16);
  crack.SetParam(1, 40);
  crack.SetLength(crack.FallTime + crack.TotalDelay);
  crack.SetPosition(crack.Length - 1);
  crack.Step();
  EXPECT_TRUE(std::all_of(crack.Pieces.begin(), crack.Pieces.end() - 1, [](const auto& p) { return !p; }));
}

TEST(WipeCrackTest, DelaysSkipFallenChips) {
  TScreens s(64, 32, 32);
  TWipeCrack crack(TWipeEnv{}, s.dest, s.from, s.to);
  crack.SetParam(0, 16);
  crack.SetParam(1, 100);  // chip k starts at 100 k
  crack.SetLength(crack.FallTime + crack.TotalDelay);
  crack.SetPosition(crack.FallTime + 250);  // chips 0 to 2 have fallen off
  crack.Step();
  ASSERT_EQ(crack.Pieces.size(), 8u);
  EXPECT_FALSE(crack.Pieces[0] || crack.Pieces[1] || crack.Pieces[2]);
  EXPECT_TRUE(crack.Pieces[3] && crack.Pieces[7]);
  crack.SetParam(1, 7);
  EXPECT_EQ(crack.TotalDelay, 49);
  for (size_t k = 3; k < 8; ++k) EXPECT_EQ(crack.Pieces[k]->Delay, int32_t(7 * k));
  crack.SetPosition(1);
  EXPECT_FALSE(crack.Step());
}

// ---- All three ----

constexpr int32_t kRingKinds[] = {WP_SPOT, WP_RIPPLE, WP_CRACK};

TEST(WipeRingsTest, DoneLeavesTheDestinationAlone) {
  for (int32_t kind : kRingKinds) {
    for (int32_t bits : {15, 16, 32}) {
      SCOPED_TRACE(testing::Message() << "kind " << kind << ", " << bits << " bits");
      TScreens s(40, 30, bits);
      const std::vector<uint32_t> before = Pixels(s.dest);
      auto wipe = CreateWipe(kind, TWipeEnv{}, s.dest, s.from, s.to);
      ASSERT_NE(wipe, nullptr);
      wipe->SetReverse(true);
      wipe->Prepare();
      wipe->SetPosition(5);
      EXPECT_TRUE(wipe->Step());  // length 0: done at once
      for (int32_t len : {100, -20}) {
        wipe->SetLength(len);
        for (int32_t pos : {100, 250}) {
          wipe->SetPosition(pos);
          EXPECT_TRUE(wipe->Step());
          EXPECT_EQ(wipe->UpdateArea(), (TRect{0, 0, 40, 30}));
        }
      }
      EXPECT_EQ(Pixels(s.dest), before);
    }
  }
}

// Tiny and odd sizes, parameters far out of range, layers of another size or depth than the
// destination: every step stays inside every surface (the sanitizers watch), and the spot and the
// ripple leave the destination's pixels outside the common size as they were.
TEST(WipeRingsTest, AnySizeStaysInsideItsSurfaces) {
  struct Size {
    int32_t w, h, lw, lh, layer_bits;
  };
  const Size sizes[] = {{1, 1, 1, 1, 0},   {3, 2, 3, 2, 0},    {2, 1, 2, 1, 0},   {11, 13, 11, 13, 0},
                        {40, 30, 25, 18, 0}, {25, 18, 40, 31, 0}, {40, 30, 40, 30, 24}, {40, 30, 33, 41, 15},
                        {0, 0, 8, 8, 0},   {8, 8, 0, 0, 0}};
  for (int32_t kind : kRingKinds) {
    for (int32_t bits : {15, 16, 32}) {
      for (const Size& z : sizes) {
        SCOPED_TRACE(testing::Message() << "kind " << kind << ", " << bits << " bits, " << z.w << "x" << z.h
                                        << " layers " << z.lw << "x" << z.lh);
        TScreens s(z.w, z.h, bits, z.lw, z.lh, z.layer_bits ? z.layer_bits : bits);
        auto wipe = CreateWipe(kind, TWipeEnv{}, s.dest, s.from, s.to);
        ASSERT_NE(wipe, nullptr);
        wipe->SetParam(0, kind == WP_CRACK ? 1 : 1000000);
        wipe->SetParam(1, 1000000000);
        wipe->Prepare();
        wipe->SetLength(1000);
        const std::vector<uint32_t> before = Pixels(s.dest);
        for (int32_t pos : {0, 1, 333, 500, 999}) {
          wipe->SetPosition(pos);
          EXPECT_FALSE(wipe->Step());
        }
        if (kind == WP_CRACK) continue;
        const int32_t cw = std::min(z.w, z.lw), ch = std::min(z.h, z.lh);
        const std::vector<uint32_t> after = Pixels(s.dest);
        for (int32_t y = 0; y < z.h; ++y) {
          for (int32_t x = cw; x < z.w; ++x) ASSERT_EQ(after[size_t(y * z.w + x)], before[size_t(y * z.w + x)]);
          if (y >= ch) {
            for (int32_t x = 0; x < z.w; ++x) ASSERT_EQ(after[size_t(y * z.w + x)], before[size_t(y * z.w + x)]);
          }
        }
      }
    }
  }
  // The spot and the ripple on layers smaller than the destination: inside the common part they
  // draw the same as with layers of the full size.
  for (int32_t kind : {int32_t(WP_SPOT), int32_t(WP_RIPPLE)}) {
    TScreens full(40, 30, 32), part(40, 30, 32, 25, 18, 32);
    for (TScreens* s : {&full, &part}) {
      auto wipe = CreateWipe(kind, TWipeEnv{}, s->dest, s->from, s->to);
      wipe->SetLength(100);
      wipe->SetPosition(45);
      wipe->Step();
    }
    for (int32_t y = 0; y < 18; ++y) {
      for (int32_t x = 0; x < 25; ++x) {
        // The ripple may fetch its displaced pixel from outside the common part: then its own.
        const uint32_t got = part.dest.GetPixel(x, y), want = full.dest.GetPixel(x, y);
        if (kind == WP_SPOT) {
          ASSERT_EQ(got, want) << x << "," << y;
        } else if (got != want) {
          ASSERT_EQ(got, part.to.GetPixel(x, y)) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace kova
