// A game playing a video through kovarun: the video (made with the media library's own encoders)
// is a loose ".wmv" file of the game, shown by a Movie command over (or, with Overlay off,
// through) the scene. Each --shot shows the video's picture of the frame's time; the --audio file
// holds its sound track while it plays and silence after it; at its end the auto-scrapped video
// is gone from the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/vocabulary.h"
#include "graphics/dib.h"
#include "graphics/pictures/png_loader.h"
#include "script/test_game.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "support/run_program.h"
#include "support/video_writer.h"

namespace kova::test {
namespace {

constexpr int32_t kMovie = 12;
constexpr int32_t kWidth = 48, kHeight = 32;
constexpr int32_t kLeft = 8, kTop = 4;  // where the 16 x 16 video shows
constexpr int32_t kFrameMs = 16;        // kovarun's frame
constexpr uint32_t kBackground = 0x000000;

struct Played {
  int status = -1;
  std::vector<uint32_t> picture;  // 0xRRGGBB, kWidth x kHeight
  std::vector<int16_t> sound;     // interleaved stereo
  uint32_t At(int32_t x, int32_t y) const { return picture[size_t(y * kWidth + x)]; }
};

// Within the encoder's loss of each channel.
bool Near(uint32_t a, uint32_t b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 40) return false;
  }
  return true;
}

class KovarunVideoTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    VideoSpec wanted;  // 10 pictures a second: red, green, blue, two pictures each (600 ms)
    clip = VideoBytes(wanted);
    ASSERT_FALSE(clip.empty()) << "the media library has no WMV encoder";
    ProjectBuilder p = TestGameProject();
    p.screen_width = kWidth;
    p.screen_height = kHeight;
    tree.WriteFile("game/kova.kpb", p.Build());
    tree.WriteFile("game/install.dat", TestGameInstallSet());
    tree.WriteFile("game/clip.wmv", AsText(clip));
    PageWriter start;
    start.Component(kMovie, {{PR_NAME, Value(S("clip"))},
                             {PR_SOURCE, Value(S("clip.wmv"))},
                             {PR_LEFT, Value(I(kLeft))},
                             {PR_TOP, Value(I(kTop))},
                             {PR_OVERLAY, Value(B(GetParam()))},
                             {PR_AUTOSCRAP, Value(B(true))}});
    start.Wait(NoResult(), Value(I(100000)));
    tree.WriteFile("game/start.ksb", start.Bytes());
  }

  Played Play(int32_t frames, bool audio = false) {
    const std::string shot = tree.Path("shot.png"), wav = tree.Path("game.wav");
    std::remove(shot.c_str());
    std::vector<std::string> args = {"--no-logo", tree.Path("game"), "--frames", std::to_string(frames),
                                     "--shot", shot};
    if (audio) {
      args.push_back("--audio");
      args.push_back(wav);
    }
    Played run;
    run.status = RunProgram(KOVARUN_PATH, args, "", tree.Path("game.err"));
    if (run.status != 0) return run;
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface png;
    ReadPng(file, png);
    for (int32_t y = 0; y < png.Height(); ++y) {
      for (int32_t x = 0; x < png.Width(); ++x) run.picture.push_back(png.GetPixel(x, y) & 0xFFFFFF);
    }
    if (audio) {
      std::ifstream in(wav, std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
        run.sound.push_back(int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
      }
    }
    return run;
  }

  std::vector<uint8_t> clip;
  GameTree tree;
};

TEST_P(KovarunVideoTest, ShotsShowThePictureOfTheFramesTime) {
  struct Case {
    int32_t frames;
    uint32_t colour;
  };
  // Each colour shows for 200 ms; the shots are taken well inside each.
  for (const Case& c : {Case{6, 0xff0000}, Case{19, 0x00ff00}, Case{31, 0x0000ff}}) {
    SCOPED_TRACE(c.frames);
    const Played run = Play(c.frames);
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.picture.size(), size_t(kWidth * kHeight));
    EXPECT_PRED2(Near, run.At(kLeft + 8, kTop + 8), c.colour);
    EXPECT_PRED2(Near, run.At(kLeft, kTop), c.colour);
    EXPECT_PRED2(Near, run.At(kLeft + 15, kTop + 15), c.colour);
    // Nothing of it outside its place.
    EXPECT_EQ(run.At(kLeft - 1, kTop + 8), kBackground);
    EXPECT_EQ(run.At(kLeft + 16, kTop + 8), kBackground);
    EXPECT_EQ(run.At(kLeft + 8, kTop + 16), kBackground);
  }
}

TEST_P(KovarunVideoTest, ItsSoundPlaysWhileItShowsAndItIsGoneAtItsEnd) {
  const int32_t frames = 60;  // 960 ms: the video ended at 600 ms
  const Played run = Play(frames, true);
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.At(kLeft + 8, kTop + 8), kBackground);
  auto rms = [&](int32_t from_ms, int32_t to_ms) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = size_t(from_ms) * 441 / 10 * 2; i < size_t(to_ms) * 441 / 10 * 2 && i < run.sound.size(); ++i, ++n) {
      sum += double(run.sound[i]) * run.sound[i];
    }
    return n ? std::sqrt(sum / double(n)) : 0.0;
  };
  ASSERT_GE(run.sound.size(), size_t(frames * kFrameMs * 441 / 10 * 2));
  EXPECT_GT(rms(100, 500), 1000.0);  // the tone, at half of full scale
  EXPECT_LT(rms(750, 950), 50.0);    // silence after the end
}

INSTANTIATE_TEST_SUITE_P(Modes, KovarunVideoTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Overlay" : "Surface"; });

}  // namespace
}  // namespace kova::test
