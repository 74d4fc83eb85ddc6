// The wave: its children drawn row by row shifted by the travelling sine, the phase clock with its
// carried remainder and wrap, the switch-off at amplitude 0, the widened redraw, the factory and
// the save record.
#include <vector>

#include <gtest/gtest.h>

#include "components/widgets/kova_wave.h"
#include "core/stream_records.h"
#include "support/control_record_writer.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

struct WaveScene : SceneDriver {
  WaveScene() { root.SetColor(0); }
  // A wave at (20, 0), 20 x 48, over a white child that covers it.
  TKovaWave* NewWave() {
    auto* wave = dynamic_cast<TKovaWave*>(root.CreateComponent(KT_WAVE));
    EXPECT_NE(wave, nullptr);
    wave->SetName("w");
    wave->SetParent(root.ActiveBase());
    wave->SetBounds(20, 0, 20, 48);
    Box("inside", TRect{0, 0, 20, 48}, wave);
    return wave;
  }
};

TEST(WaveTest, ChildrenDrawShiftedByTheTravellingSine) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  ASSERT_EQ(w->WaveSurface().RowOffsets.size(), 48u);
  EXPECT_EQ(w->WaveSurface().WaveOrigin.X, 20);
  scene.Frame(16);  // 4096 / 2000: two phase steps back from 0, to 253
  EXPECT_EQ(w->Phase(), 253);
  struct Row {
    int32_t row, offset;
  };
  // offset = round(10 sin(2 pi (253 / 256 + row / 200)))
  const uint32_t white = scene.PixelOf(0xFFFFFF), black = scene.PixelOf(0);
  for (const Row r : {Row{0, -1}, Row{12, 3}, Row{24, 6}, Row{36, 9}, Row{47, 10}}) {
    SCOPED_TRACE(r.row);
    EXPECT_EQ(w->WaveSurface().RowOffsets[size_t(r.row)], r.offset);
    EXPECT_EQ(scene.Pixel(19 + r.offset, r.row), black);
    EXPECT_EQ(scene.Pixel(20 + r.offset, r.row), white);
    EXPECT_EQ(scene.Pixel(39 + r.offset, r.row), white);
    EXPECT_EQ(scene.Pixel(40 + r.offset, r.row), black);
  }
  // Switched off, the child draws straight onto the layer, and the shifted rows are cleared.
  w->SetAmp(0);
  EXPECT_EQ(w->GetTargetDIB(), scene.root.ActiveBase()->GetTargetDIB());
  scene.Frame(16);
  EXPECT_EQ(scene.Pixel(19, 0), black);
  EXPECT_EQ(scene.Pixel(20, 47), white);
  EXPECT_EQ(scene.Pixel(39, 47), white);
  EXPECT_EQ(scene.Pixel(40, 47), black);
  EXPECT_EQ(scene.Pixel(49, 47), black);
}

TEST(WaveTest, GrandchildrenDrawThroughTheWaveToo) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  TKovaControl* inside = scene.root.FindControl("inside");
  ASSERT_NE(inside, nullptr);
  inside->SetColor(0x0000FF);
  scene.Box("deeper", TRect{5, 0, 10, 48}, inside);  // white, at x 25 .. 29 before the shift
  scene.Frame(16);
  const int32_t offset = w->WaveSurface().RowOffsets[24];
  ASSERT_EQ(offset, 6);
  EXPECT_EQ(scene.Pixel(24 + offset, 24), scene.PixelOf(0x0000FF));
  EXPECT_EQ(scene.Pixel(25 + offset, 24), scene.PixelOf(0xFFFFFF));
  EXPECT_EQ(scene.Pixel(29 + offset, 24), scene.PixelOf(0xFFFFFF));
  EXPECT_EQ(scene.Pixel(30 + offset, 24), scene.PixelOf(0x0000FF));
}

TEST(WaveTest, PhaseStepsCarryTheRemainderAndWrapBy255) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  struct Step {
    int32_t delta, phase, accumulator;
  };
  for (const Step s : {Step{16, 253, 96}, Step{16, 251, 192}, Step{100, 239, 1792}, Step{0, 239, 1792},
                       Step{1, 238, 48}}) {
    scene.Frame(s.delta);
    EXPECT_EQ(w->Phase(), s.phase) << s.delta;
    EXPECT_EQ(w->Accumulator(), s.accumulator) << s.delta;
  }
  w->SetAniPaused(true);
  scene.Frame(100);
  EXPECT_EQ(w->Phase(), 238);
  w->SetAniPaused(false);
  // A huge number of steps in one frame still lands inside 0 .. 254.
  w->SetDelay(0);
  EXPECT_EQ(w->GetDelay(), 1);
  scene.Frame(100000);
  EXPECT_EQ(w->Phase(), int32_t(((238 - int64_t(100000) * 256 - 48) % 255 + 255) % 255));
}

TEST(WaveTest, OneRowPerWaveGivesEveryRowTheSameOffset) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  w->SetWaveLen(0);
  EXPECT_EQ(w->GetWaveLen(), 1);
  w->SetAmp(7);
  scene.Frame(16);
  EXPECT_EQ(w->WaveSurface().RowOffsets, std::vector<int32_t>(48, -1));  // round(7 sin(2 pi 253 / 256))
  // Nothing moves at amplitude 0.
  w->SetAmp(0);
  scene.Frame(16);
  EXPECT_EQ(w->WaveSurface().RowOffsets, std::vector<int32_t>(48, 0));
}

TEST(WaveTest, MovingOrResizingPlacesTheSurface) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  w->SetLeft(5);
  w->SetTop(6);
  w->SetHeight(30);
  EXPECT_EQ(w->WaveSurface().WaveOrigin.X, 5);
  EXPECT_EQ(w->WaveSurface().WaveOrigin.Y, 6);
  EXPECT_EQ(w->WaveSurface().RowOffsets.size(), 30u);
  // Beyond the pixel budget the surface holds no rows (and no memory).
  w->SetWidth(1 << 20);
  w->SetHeight(1 << 20);
  EXPECT_EQ(w->WaveSurface().RowOffsets.size(), 0u);
  scene.Frame(16);
}

TEST(WaveTest, TheFactoryMakesWavesWithTheirDefaults) {
  WaveScene scene;
  auto* w = dynamic_cast<TKovaWave*>(scene.root.CreateComponent(KT_WAVE));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetCompoType(), 19);
  EXPECT_EQ(w->GetAmp(), 10);
  EXPECT_EQ(w->GetWaveLen(), 200);
  EXPECT_EQ(w->GetDelay(), 2000);
  EXPECT_TRUE(w->GetPlaying());
  w->SetPaused(true);
  EXPECT_FALSE(w->GetPlaying());
}

TEST(WaveTest, SaveRecordRoundTripsAndOldRecordsAreMadeSafe) {
  WaveScene scene;
  TKovaWave* w = scene.NewWave();
  w->SetAmp(-7);
  w->SetWaveLen(50);
  w->SetDelay(300);
  w->SetOnIdle("idle");
  w->SetPaused(true);
  TMemoryStream saved;
  w->SaveToStream(saved);

  auto* loaded = static_cast<TKovaWave*>(scene.root.CreateComponent(KT_WAVE));
  saved.SetPosition(0);
  loaded->LoadFromStream(saved, 129);
  EXPECT_EQ(saved.GetPosition(), saved.Size());
  EXPECT_EQ(loaded->GetAmp(), -7);
  EXPECT_EQ(loaded->GetWaveLen(), 50);
  EXPECT_EQ(loaded->GetDelay(), 300);
  EXPECT_EQ(loaded->GetOnIdle(), "idle");
  EXPECT_TRUE(loaded->GetPaused());
  EXPECT_EQ(loaded->GetControlCount(), 1);
  EXPECT_EQ(loaded->WaveSurface().RowOffsets.size(), 48u);
  EXPECT_EQ(loaded->WaveSurface().WaveOrigin.X, 20);
  TMemoryStream again;
  loaded->SaveToStream(again);
  EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
            std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end()));

  // Version 103: no handler or pause; a wave length and delay of 0 would divide by zero.
  TMemoryStream old;
  test::WriteControlRecord103(old, "old", 3, 4, 10, 12);
  for (int32_t v : {5, 0, -2}) WriteStreamInteger(old, v);
  old.SetPosition(0);
  auto* from_old = static_cast<TKovaWave*>(scene.root.CreateComponent(KT_WAVE));
  from_old->LoadFromStream(old, 103);
  EXPECT_EQ(old.GetPosition(), old.Size());
  EXPECT_EQ(from_old->GetAmp(), 5);
  EXPECT_EQ(from_old->GetWaveLen(), 1);
  EXPECT_EQ(from_old->GetDelay(), 1);
  EXPECT_EQ(from_old->GetOnIdle(), "");
  EXPECT_EQ(from_old->WaveSurface().RowOffsets.size(), 12u);
  EXPECT_EQ(from_old->WaveSurface().WaveOrigin.X, 3);
  EXPECT_EQ(from_old->WaveSurface().WaveOrigin.Y, 4);
}

}  // namespace
}  // namespace kova
