// The fire: its cooling table, the heat step against hand-worked fields, the 40 ms step clock,
// tiny and oversized fields, the seeded noise, its additive drawing at 16 and 32 bits (zoomed and
// not), the factory and the save record.
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "components/widgets/kova_fire.h"
#include "core/stream_records.h"
#include "support/control_record_writer.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

struct FireScene : SceneDriver {
  explicit FireScene(TDisplayFormat format = kDisplay8888) : SceneDriver(format) { root.SetColor(0); }
  TKovaFire* NewFire(int32_t w, int32_t h, int32_t left = 10, int32_t top = 10) {
    auto* fire = dynamic_cast<TKovaFire*>(root.CreateComponent(KT_FIRE));
    EXPECT_NE(fire, nullptr);
    fire->SetName("f");
    fire->SetParent(root.ActiveBase());
    fire->SetLeft(left);
    fire->SetTop(top);
    fire->SetOrigWidth(w);
    fire->SetOrigHeight(h);
    return fire;
  }
};

std::vector<uint8_t> Row(TKovaFire& f, int32_t y) {
  std::vector<uint8_t> row;
  for (int32_t x = 0; x < f.Field().Width(); ++x) row.push_back(uint8_t(f.Field().GetPixel(x, y)));
  return row;
}

TEST(FireTest, PowerSetsTheCoolingConstantAndTable) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(4, 4);
  // At creation: constant 4.5, entry i = round(i / (4.5 - 0.05 t^3)).
  EXPECT_DOUBLE_EQ(f->CoolingConstant(), 4.5);
  EXPECT_EQ(f->Cooling()[0], 0);
  EXPECT_EQ(f->Cooling()[302], 67);
  EXPECT_EQ(f->Cooling()[778], 173);
  EXPECT_EQ(f->Cooling()[1023], 227);
  struct Case {
    int32_t power, stored;
    double constant;
  };
  for (const Case c : {Case{0, 0, 5.5}, Case{128, 128, 4.2175}, Case{255, 255, 2.9450195}, Case{300, 255, 2.4941},
                       Case{-2000, 0, 25.5391}}) {
    SCOPED_TRACE(c.power);
    f->SetPower(c.power);
    EXPECT_EQ(f->GetPower(), c.stored);
    EXPECT_NEAR(f->CoolingConstant(), c.constant, 1e-3);
  }
  f->SetPower(255);
  EXPECT_EQ(f->Cooling()[1023], 254);  // 1023 / 2.945 passes the cap
  // A power so large that the constant goes negative: every entry stays a heat value.
  f->SetPower(1000000);
  for (int32_t i = 0; i < 1024; ++i) ASSERT_LE(f->Cooling()[size_t(i)], 254) << i;
  EXPECT_EQ(f->Cooling()[1023], 254);
}

TEST(FireTest, OneStepWithoutNoiseMatchesTheHandWorkedField) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(5, 6);
  scene.Frame(16);  // initialises: all cold
  ASSERT_EQ(f->State(), 1);
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(Row(*f, y), std::vector<uint8_t>(5, 16));
  std::fill(f->Noise().begin(), f->Noise().end(), uint8_t(0));
  scene.Frame(40);
  EXPECT_EQ(f->NoiseY(), 1);
  EXPECT_EQ(f->NoiseX(), 0);
  const std::vector<std::vector<uint8_t>> want = {
      {16, 67, 67, 67, 16},         // 16 + 16 + 16 + 254
      {16, 173, 173, 173, 16},      // 254 + 254 + 16 + 254
      {254, 226, 226, 226, 254},    // 4 x 254
      {254, 226, 226, 226, 254},
      {254, 254, 254, 254, 254},
      {254, 254, 254, 254, 254},
  };
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(Row(*f, y), want[size_t(y)]) << "row " << y;
}

TEST(FireTest, StepsOncePerFortyMillisecondsAtMostOncePerFrame) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(6, 8);
  scene.Frame(16);  // initialisation only
  struct Case {
    int32_t delta, noise_y, elapsed;
  };
  // NoiseY advances by one on each step; a long frame steps once and keeps its remainder.
  for (const Case c : {Case{30, 0, 30}, Case{30, 1, 20}, Case{200, 2, 20}, Case{19, 2, 39}, Case{1, 3, 0}}) {
    scene.Frame(c.delta);
    EXPECT_EQ(f->NoiseY(), c.noise_y) << c.delta;
    EXPECT_EQ(f->Elapsed(), c.elapsed) << c.delta;
  }
  // The animation pause stops it (and it no longer plays).
  f->SetAniPaused(true);
  EXPECT_FALSE(f->GetPlaying());
  scene.Frame(40);
  EXPECT_EQ(f->NoiseY(), 3);
  f->SetAniPaused(false);
  scene.Frame(40);
  EXPECT_EQ(f->NoiseY(), 4);
}

TEST(FireTest, NoisyFieldsStayAtOrAboveTheColdCode) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(16, 12);
  f->SetPower(0);
  scene.Frame(16);
  std::fill(f->Noise().begin(), f->Noise().end(), uint8_t(8));
  for (int i = 0; i < 30; ++i) scene.Frame(40);
  uint8_t low = 255;
  for (int32_t y = 0; y < 12; ++y)
    for (uint8_t v : Row(*f, y)) low = std::min(low, v);
  EXPECT_EQ(low, 16);
  EXPECT_EQ(Row(*f, 0), std::vector<uint8_t>(16, 16));  // the top stays cold
}

TEST(FireTest, SmallEmptyAndOversizedFieldsAreSafe) {
  struct Case {
    int32_t w, h;
    int32_t field_w, field_h;
  };
  for (const Case c : {Case{4, 2, 4, 2}, Case{1, 1, 1, 1}, Case{3, 3, 3, 3}, Case{1, 10, 1, 10}, Case{2, 8, 2, 8}, Case{0, 5, 0, 0}, Case{-3, 4, 0, 0},
                       Case{100000, 100000, 0, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.w << " x " << c.h);
    FireScene scene;
    TKovaFire* f = scene.NewFire(c.w, c.h);
    for (int i = 0; i < 4; ++i) scene.Frame(40);
    ASSERT_EQ(f->Field().Width(), c.field_w);
    ASSERT_EQ(f->Field().Height(), c.field_h);
    // Below three rows, only the hot bottom rows are left.
    if (c.h < 3 && c.field_h > 0) {
      for (int32_t y = 0; y < c.field_h; ++y) EXPECT_EQ(Row(*f, y), std::vector<uint8_t>(size_t(c.w), 254));
    }
  }
}

TEST(FireTest, SizeAndZoomSetTheControlAndASizeChangeRestarts) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(10, 8);
  EXPECT_EQ(f->GetWidth(), 10);
  f->SetWidth(99);  // ignored
  f->SetBounds(3, 4, 99, 99);
  EXPECT_EQ(f->GetLeft(), 3);
  EXPECT_EQ(f->GetWidth(), 10);
  f->SetZoomX(384);
  f->SetZoomY(0);  // at least 1
  EXPECT_EQ(f->GetZoomY(), 1);
  EXPECT_EQ(f->GetWidth(), 15);
  EXPECT_EQ(f->GetHeight(), 0);
  f->SetZoomY(300);
  EXPECT_EQ(f->GetHeight(), 9);
  for (int i = 0; i < 5; ++i) scene.Frame(40);
  ASSERT_EQ(Row(*f, 7), std::vector<uint8_t>(10, 254));
  f->SetOrigHeight(6);
  EXPECT_EQ(f->State(), 0);
  EXPECT_EQ(f->GetHeight(), 7);
  scene.Frame(40);  // initialised again: an empty field of the new size
  EXPECT_EQ(f->Field().Height(), 6);
  EXPECT_EQ(f->NoiseY(), 0);
  for (int32_t y = 0; y < 6; ++y) EXPECT_EQ(Row(*f, y), std::vector<uint8_t>(10, 16));
}

TEST(FireTest, TheSameSeedGivesTheSameFlame) {
  auto run = [](uint32_t seed) {
    FireScene scene;
    TKovaFire* f = scene.NewFire(24, 20);
    f->SetRandomSeed(seed);
    f->SetPower(200);
    for (int i = 0; i < 40; ++i) scene.Frame(40);
    std::vector<uint8_t> cells;
    for (int32_t y = 0; y < 20; ++y) {
      const std::vector<uint8_t> row = Row(*f, y);
      cells.insert(cells.end(), row.begin(), row.end());
    }
    return std::pair(cells, f->Noise());
  };
  const auto a = run(7), b = run(7), c = run(8);
  EXPECT_EQ(a, b);
  EXPECT_NE(a.second, c.second);
  EXPECT_TRUE(std::all_of(a.second.begin(), a.second.end(), [](uint8_t n) { return n <= 8; }));
  EXPECT_NE(std::count(a.second.begin(), a.second.end(), uint8_t(8)), 0);
}

// A grey level i added at level 255 onto black, per channel of the pixel format.
uint32_t AddedGrey(TDisplayFormat format, uint32_t grey_pixel) {
  uint32_t out = 0;
  for (uint32_t m : {format.RedMask, format.GreenMask, format.BlueMask}) out |= (((grey_pixel & m) * 255) >> 8) & m;
  return out;
}

class FireDrawTest : public ::testing::TestWithParam<TDisplayFormat> {};

INSTANTIATE_TEST_SUITE_P(Depths, FireDrawTest, ::testing::Values(kDisplay8888, kDisplay565),
                         [](const auto& info) { return std::to_string(info.param.BitCount); });

TEST_P(FireDrawTest, AddsTheHeatAsGreyAndLeavesColdCellsOut) {
  for (const int32_t zoom : {256, 512}) {
    SCOPED_TRACE(zoom);
    FireScene scene(GetParam());
    TKovaFire* f = scene.NewFire(5, 6);
    f->SetZoomX(zoom);
    f->SetZoomY(zoom);
    scene.Frame(16);
    std::fill(f->Noise().begin(), f->Noise().end(), uint8_t(0));
    scene.Frame(40);  // the hand-worked field of the step test
    const int32_t z = zoom / 256;
    auto at = [&](int32_t cx, int32_t cy, int32_t dx = 0, int32_t dy = 0) {
      return scene.Pixel(10 + cx * z + dx, 10 + cy * z + dy);
    };
    const uint32_t black = scene.PixelOf(0);
    EXPECT_EQ(at(0, 0), black);  // cold
    EXPECT_EQ(at(4, 1, z - 1, z - 1), black);
    EXPECT_EQ(at(1, 0), AddedGrey(GetParam(), scene.PixelOf(0x434343)));  // 67
    EXPECT_EQ(at(3, 1, z - 1, z - 1), AddedGrey(GetParam(), scene.PixelOf(0xADADAD)));  // 173
    EXPECT_EQ(at(0, 5, z - 1, z - 1), AddedGrey(GetParam(), scene.PixelOf(0xFEFEFE)));  // 254
    EXPECT_EQ(scene.Pixel(10 + 5 * z, 10), black);  // outside
    EXPECT_EQ(scene.Pixel(10, 10 + 6 * z), black);
  }
}

TEST(FireTest, TheFactoryMakesFiresWithTheirDefaults) {
  FireScene scene;
  auto* f = dynamic_cast<TKovaFire*>(scene.root.CreateComponent(KT_FIRE));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetCompoType(), 6);
  EXPECT_EQ(f->GetPower(), 1);
  EXPECT_EQ(f->GetZoomX(), 256);
  EXPECT_EQ(f->Field().Width(), 8);
  EXPECT_EQ(f->Field().TransparentColor, 16);
  EXPECT_TRUE(f->GetPlaying());
}

TEST(FireTest, SaveRecordRoundTripsAndOldRecordsKeepTheirDefaults) {
  FireScene scene;
  TKovaFire* f = scene.NewFire(12, 9, 4, 5);
  f->SetPower(200);
  f->SetZoomX(384);
  f->SetZoomY(300);
  f->SetOnIdle("idle");
  f->SetPaused(true);
  for (int i = 0; i < 3; ++i) scene.Frame(40);
  TMemoryStream saved;
  f->SaveToStream(saved);

  auto* loaded = static_cast<TKovaFire*>(scene.root.CreateComponent(KT_FIRE));
  saved.SetPosition(0);
  loaded->LoadFromStream(saved, 129);
  EXPECT_EQ(saved.GetPosition(), saved.Size());
  EXPECT_EQ(loaded->GetPower(), 200);
  EXPECT_EQ(loaded->Cooling(), f->Cooling());
  EXPECT_EQ(loaded->GetOrigWidth(), 12);
  EXPECT_EQ(loaded->GetOrigHeight(), 9);
  EXPECT_EQ(loaded->GetZoomX(), 384);
  EXPECT_EQ(loaded->GetZoomY(), 300);
  EXPECT_EQ(loaded->GetWidth(), 18);
  EXPECT_EQ(loaded->GetHeight(), 10);
  EXPECT_EQ(loaded->GetOnIdle(), "idle");
  EXPECT_TRUE(loaded->GetPaused());
  EXPECT_EQ(loaded->State(), 0);  // the field starts again
  TMemoryStream again;
  loaded->SaveToStream(again);
  EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
            std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end()));

  // Version 103: power, field size and horizontal zoom only.
  TMemoryStream old;
  test::WriteControlRecord103(old, "old", 1, 2, 999, 999);
  for (int32_t v : {0, 20, 10, 512}) WriteStreamInteger(old, v);
  old.SetPosition(0);
  auto* from_old = static_cast<TKovaFire*>(scene.root.CreateComponent(KT_FIRE));
  from_old->LoadFromStream(old, 103);
  EXPECT_EQ(old.GetPosition(), old.Size());
  EXPECT_DOUBLE_EQ(from_old->CoolingConstant(), 5.5);
  EXPECT_EQ(from_old->GetZoomX(), 512);
  EXPECT_EQ(from_old->GetZoomY(), 256);
  EXPECT_EQ(from_old->GetWidth(), 40);
  EXPECT_EQ(from_old->GetHeight(), 10);
  EXPECT_FALSE(from_old->GetPaused());
}

}  // namespace
}  // namespace kova
