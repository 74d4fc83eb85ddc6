// What every transition kind shares: the protocol's ends and safety at any size.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "motion/wipe_factory.h"

namespace kova {
namespace {

// A surface of w x h at `bits` holding a pattern that differs per seed.
std::unique_ptr<TDIBX> Pattern(int32_t w, int32_t h, int32_t bits, uint32_t seed) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = (uint32_t(x) * 37u + uint32_t(y) * 91u + seed * 0x9E3779B9u) & 0xFFFFFF;
      s->SetPixel(x, y, uint32_t(s->ColorToPixel(int32_t(c))));
    }
  }
  return s;
}

std::vector<uint32_t> Pixels(TCustomDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  }
  return out;
}

TWipeEnv FixedEnv() {
  TWipeEnv env;
  env.random = [n = uint32_t(7)](uint32_t range) mutable {
    n = n * 1103515245u + 12345u;
    return (n >> 8) % range;
  };
  return env;
}

struct Made {
  std::unique_ptr<TDIBX> dest, from, to;
  std::unique_ptr<TCustomWipe> wipe;
};

// Made as the drivers make one: the kind's defaults, length, reverse, position, then the given
// parameters (when `params`), then Prepare.
Made Make(int32_t kind, int32_t w, int32_t h, int32_t bits, int32_t length, bool reverse, int32_t layer_w = -1,
          int32_t layer_h = -1, const std::array<int32_t, 2>* params = nullptr) {
  Made m;
  m.dest = Pattern(w, h, bits, 1);
  m.from = Pattern(layer_w < 0 ? w : layer_w, layer_h < 0 ? h : layer_h, bits, 2);
  m.to = Pattern(layer_w < 0 ? w : layer_w, layer_h < 0 ? h : layer_h, bits, 3);
  m.wipe = CreateWipe(kind, FixedEnv(), *m.dest, *m.from, *m.to);
  if (m.wipe) {
    m.wipe->SetLength(length);
    m.wipe->SetReverse(reverse);
    m.wipe->SetPosition(0);
    if (params) {
      m.wipe->SetParam(0, (*params)[0]);
      m.wipe->SetParam(1, (*params)[1]);
    }
    m.wipe->Prepare();
  }
  return m;
}

// Every kind that exists, at each depth, both directions.
class WipeKindsTest : public testing::TestWithParam<int32_t> {};

TEST_P(WipeKindsTest, AtItsLengthAStepIsOverAndDrawsNothing) {
  const int32_t bits = GetParam();
  for (int32_t kind = 1; kind < kWipeTypeCount; ++kind) {
    for (bool reverse : {false, true}) {
      Made m = Make(kind, 40, 30, bits, 500, reverse);
      if (!m.wipe) continue;
      const std::vector<uint32_t> before = Pixels(*m.dest);
      m.wipe->SetPosition(500);
      EXPECT_TRUE(m.wipe->Step()) << "kind " << kind;
      EXPECT_EQ(Pixels(*m.dest), before) << "kind " << kind;
      EXPECT_EQ(m.wipe->UpdateArea(), (TRect{0, 0, 40, 30})) << "kind " << kind;
      m.wipe->SetPosition(900);
      EXPECT_TRUE(m.wipe->Step()) << "kind " << kind;
    }
  }
}

TEST_P(WipeKindsTest, ALengthBelowOneIsOverAtTheFirstStep) {
  const int32_t bits = GetParam();
  for (int32_t kind = 1; kind < kWipeTypeCount; ++kind) {
    for (int32_t length : {0, -5}) {
      Made m = Make(kind, 24, 16, bits, length, false);
      if (!m.wipe) continue;
      const std::vector<uint32_t> before = Pixels(*m.dest);
      EXPECT_TRUE(m.wipe->Step()) << "kind " << kind << " length " << length;
      EXPECT_EQ(Pixels(*m.dest), before) << "kind " << kind;
    }
  }
}

// Every position of a short transition on tiny, odd and mismatched sizes, with parameters out of
// range: the sanitizers see any read or write outside a surface.
TEST_P(WipeKindsTest, EveryPositionIsSafeOnTinyOddAndMismatchedSizes) {
  const int32_t bits = GetParam();
  struct Size {
    int32_t w, h, lw, lh;
  };
  const Size sizes[] = {{1, 1, -1, -1}, {3, 2, -1, -1}, {13, 7, -1, -1}, {70, 9, -1, -1},
                        {20, 14, 9, 5}, {9, 5, 20, 14}};
  for (int32_t kind = 1; kind < kWipeTypeCount; ++kind) {
    for (const Size& s : sizes) {
      for (bool reverse : {false, true}) {
        for (int32_t p0 : {0, -3, 100000}) {
          const std::array<int32_t, 2> params{p0, -p0};
          Made m = Make(kind, s.w, s.h, bits, 12, reverse, s.lw, s.lh, &params);
          if (!m.wipe) break;
          for (int32_t pos = 0; pos <= 12; ++pos) {
            m.wipe->SetPosition(pos);
            m.wipe->Step();
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, WipeKindsTest, testing::Values(15, 16, 32));

}  // namespace
}  // namespace kova
