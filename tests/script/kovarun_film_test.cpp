// A film played by a game run by the kovarun program: a cinema shows a film of box, image, tile,
// label and wipe tracks, and the shots after chosen frame counts hold what the tracks' formulas
// give at the tick of that frame. The frames are 16 ms of the virtual clock; the cinema made in
// the first frame waits two updates and then adds 16 ms a frame, so after frame k its time is
// 16 (k - 2) ms and its tick Round(16 (k - 2) / (1000 / 60)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/vocabulary.h"
#include "graphics/dib.h"
#include "graphics/pictures/png_loader.h"
#include "script/test_game.h"
#include "support/bmp_writer.h"
#include "support/expr_builder.h"
#include "support/film_writer.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "support/run_program.h"

namespace kova::test {
namespace {

constexpr int32_t kWidth = 64, kHeight = 48;
constexpr int32_t kCinemaNew = 23;
constexpr uint32_t kBackground = 0x102030;

// The tick the cinema shows after frame k.
int32_t TickAfterFrame(int32_t k) { return int32_t(std::nearbyint(16.0 * (k - 2) / (1000.0 / 60.0))); }

// Linear over n ticks from a to b at step i, as the tracks interpolate integers.
int32_t Lerp(int32_t a, int32_t b, int32_t i, int32_t n) { return a + (b - a) * i / (n - 1); }

std::vector<uint8_t> SolidBmp(int32_t w, int32_t h, uint32_t rgb) {
  BmpFields bmp;
  bmp.width = w;
  bmp.height = h;
  bmp.pixels.assign(size_t(w * h), rgb);
  return BuildBmp(bmp);
}

class KovarunFilmTest : public ::testing::Test {
 protected:
  // The film: a box sliding right and turning from red to blue over ticks 0-59, a picture sliding
  // down and fading, a tile scrolling, a label; then a fade (ticks 60-89) to the other layer, on
  // which a green box lies from tick 60 on.
  void SetUp() override {
    ProjectBuilder p = TestGameProject();
    p.screen_width = kWidth;
    p.screen_height = kHeight;
    tree.WriteFile("film/kova.kpb", p.Build());
    tree.WriteFile("film/install.dat", TestGameInstallSet());
    tree.WriteFile("film/pic.bmp", SolidBmp(4, 4, 0xFFFF00));
    tree.WriteFile("film/stripe.bmp", SolidBmp(2, 2, 0x00FFFF));

    FilmWriter w;
    w.width = kWidth;
    w.height = kHeight;
    w.color = int32_t(kBackground >> 16 | (kBackground & 0xFF00) | (kBackground & 0xFF) << 16);
    FilmBox box;
    box.base.duration = 60;
    box.rect.pos_start = {0, 0};
    box.rect.pos_end = {40, 0};
    box.rect.width_start = box.rect.width_end = 8;
    box.rect.height_start = box.rect.height_end = 8;
    box.color_start = 0x0000FF;  // red (red in the low byte)
    box.color_end = 0xFF0000;    // blue
    w.Add(box);
    FilmImage image;
    image.base.duration = 60;
    image.block.pos_start = {2, 12};
    image.block.pos_end = {2, 32};
    image.file_name = "pic.bmp";
    w.Add(image);
    FilmTile tile;
    tile.image.base.duration = 60;
    tile.image.block.pos_start = tile.image.block.pos_end = {40, 20};
    tile.image.file_name = "stripe.bmp";
    tile.width_start = tile.width_end = 12;
    tile.height_start = tile.height_end = 6;
    w.Add(tile);
    FilmLabel label;
    label.base.duration = 60;
    label.block.pos_start = label.block.pos_end = {20, 36};
    label.text = "Aa";
    label.font_height = 10;
    label.font_color = 0xFFFFFF;
    w.Add(label);
    FilmWipe wipe;
    wipe.base.start = 60;
    wipe.base.duration = 30;
    wipe.wipe_kind = 1;  // fade
    w.Add(wipe);
    FilmBox after;
    after.base.start = 60;
    after.base.duration = 200;
    after.base.other_layer = true;
    after.rect.pos_start = after.rect.pos_end = {0, 0};
    after.rect.width_start = after.rect.width_end = kWidth;
    after.rect.height_start = after.rect.height_end = kHeight;
    after.color_start = after.color_end = 0x00FF00;
    w.Add(after);
    tree.WriteFile("film/show.kmt", w.Bytes());

    PageWriter start;
    start.Component(kCinemaNew, {{PR_NAME, Value(S("film"))}, {PR_SOURCE, Value(S("show.kmt"))}});
    start.Wait(NoResult(), Value(I(100000)));
    tree.WriteFile("film/start.ksb", start.Bytes());
  }

  using Picture = std::vector<uint32_t>;
  Picture Shot(int32_t frames) {
    const std::string shot = tree.Path("shot.png"), err = tree.Path("err.txt");
    std::remove(shot.c_str());
    const int status = RunProgram(KOVARUN_PATH,
                                  {"--no-logo", tree.Path("film"), "--frames", std::to_string(frames), "--shot", shot},
                                  "", err);
    EXPECT_EQ(status, 0);
    Picture out;
    if (status != 0) return out;
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface png;
    ReadPng(file, png);
    for (int32_t y = 0; y < png.Height(); ++y) {
      for (int32_t x = 0; x < png.Width(); ++x) out.push_back(png.GetPixel(x, y) & 0xFFFFFF);
    }
    return out;
  }
  static uint32_t At(const Picture& p, int32_t x, int32_t y) { return p[size_t(y * kWidth + x)]; }

  GameTree tree;
};

TEST_F(KovarunFilmTest, ShotsShowTheTracksAtTheTickOfTheFrame) {
  for (int32_t frames : {12, 27, 45}) {
    SCOPED_TRACE(frames);
    const Picture p = Shot(frames);
    ASSERT_EQ(p.size(), size_t(kWidth * kHeight));
    const int32_t tick = TickAfterFrame(frames);
    ASSERT_LT(tick, 60);
    // The box: its left edge and its colour, each channel interpolated on its own.
    const int32_t left = Lerp(0, 40, tick, 60);
    const uint32_t red = uint32_t(Lerp(255, 0, tick, 60)), blue = uint32_t(Lerp(0, 255, tick, 60));
    const uint32_t colour = red << 16 | blue;
    EXPECT_EQ(At(p, left, 3), colour) << "tick " << tick;
    EXPECT_EQ(At(p, left + 7, 7), colour);
    if (left > 0) {
      EXPECT_EQ(At(p, left - 1, 3), kBackground);
    }
    EXPECT_EQ(At(p, left + 8, 3), kBackground);
    // The picture moving down.
    const int32_t top = Lerp(12, 32, tick, 60);
    EXPECT_EQ(At(p, 2, top), 0xFFFF00u);
    EXPECT_EQ(At(p, 5, top + 3), 0xFFFF00u);
    EXPECT_EQ(At(p, 2, top - 1), kBackground);
    // The tile covers its whole rectangle with the 2 x 2 picture.
    EXPECT_EQ(At(p, 40, 20), 0x00FFFFu);
    EXPECT_EQ(At(p, 51, 25), 0x00FFFFu);
    EXPECT_EQ(At(p, 52, 25), kBackground);
  }
}

TEST_F(KovarunFilmTest, TheWipeFadesToTheOtherLayerAndStaysThere) {
  // Tick 75 lies half-way through the fade: neither the old picture nor the new one.
  int32_t frames = 2;
  while (TickAfterFrame(frames) < 75) ++frames;
  const Picture mid = Shot(frames);
  ASSERT_FALSE(mid.empty());
  const uint32_t p = At(mid, 30, 10);
  EXPECT_NE(p, 0x00FF00u);
  EXPECT_NE(p, kBackground);
  EXPECT_GT(p >> 8 & 0xFF, kBackground >> 8 & 0xFF) << std::hex << p;
  // After the fade: the green box of the other layer alone.
  while (TickAfterFrame(frames) < 100) ++frames;
  const Picture after = Shot(frames);
  ASSERT_FALSE(after.empty());
  for (int32_t y = 0; y < kHeight; y += 7) {
    for (int32_t x = 0; x < kWidth; x += 9) EXPECT_EQ(At(after, x, y), 0x00FF00u) << x << "," << y;
  }
}

// A game saved while its film plays and loaded in a fresh run: the loaded film goes on from the
// tick it was saved at (after the two frames a cinema waits once set to a tick), so both runs end
// with the box where the saving run left it, give or take those frames; a film started anew at
// the load would lag by the whole time played before the save.
TEST_F(KovarunFilmTest, AFilmSavedMidWayGoesOnFromTheSameTickWhenLoaded) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 320;
  p.screen_height = 16;
  tree.WriteFile("saves/kova.kpb", p.Build());
  tree.WriteFile("saves/install.dat", TestGameInstallSet());
  FilmWriter w;
  w.width = 320;
  w.height = 16;
  w.color = 0;
  FilmBox box;  // one pixel to the right a tick
  box.base.duration = 300;
  box.rect.pos_start = {0, 0};
  box.rect.pos_end = {299, 0};
  box.rect.width_start = box.rect.width_end = 4;
  box.rect.height_start = box.rect.height_end = 16;
  box.color_start = box.color_end = 0xFFFFFF;
  w.Add(box);
  tree.WriteFile("saves/run.kmt", w.Bytes());
  PageWriter start;
  start.GameLoad(Value(I(1)));  // nothing to load in the first run
  start.Wait(NoResult(), Value(I(16)));
  start.Component(kCinemaNew, {{PR_NAME, Value(S("film"))}, {PR_SOURCE, Value(S("run.kmt"))}});
  start.Wait(NoResult(), Value(I(600)));
  start.GameSave(Value(I(1)), "", 0, Value(S("run")));
  start.Wait(NoResult(), Value(I(500)));
  start.Terminate();
  tree.WriteFile("saves/start.ksb", start.Bytes());

  // The box's left edge at the end of a run, and whether the run made the cinema itself (the
  // loading run takes it from the save and goes on after the saving command).
  bool made = false;
  auto box_left = [&](const std::string& png_name) {
    const std::string shot = tree.Path(png_name), err = tree.Path("save_err.txt"), log = tree.Path("save_log.txt");
    EXPECT_EQ(RunProgram(KOVARUN_PATH, {"--no-logo", tree.Path("saves"), "--shot", shot, "--log", log}, "", err), 0);
    std::ifstream trace(log);
    made = false;
    for (std::string line; std::getline(trace, line);) made |= line.find("start.ksb(3)") != std::string::npos;
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface png;
    ReadPng(file, png);
    for (int32_t x = 0; x < png.Width(); ++x) {
      if ((png.GetPixel(x, 8) & 0xFFFFFF) == 0xFFFFFF) return x;
    }
    return -1;
  };
  const int32_t saving = box_left("saving.png");
  EXPECT_TRUE(made);
  const int32_t loading = box_left("loading.png");
  EXPECT_FALSE(made);
  // About 1100 ms played in the saving run: tick 66 or so.
  EXPECT_GT(saving, 55);
  EXPECT_GE(loading, saving - 3);
  EXPECT_LE(loading, saving);
}

}  // namespace
}  // namespace kova::test
