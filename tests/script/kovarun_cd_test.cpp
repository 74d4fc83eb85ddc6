// A game playing a CD track through kovarun, its disc an image the test writes and names with
// KOVA_CD_IMAGE: the --audio file holds the track's tone from the first frame, up to one second
// before the track's end, then silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/vocabulary.h"
#include "script/test_game.h"
#include "support/cd_image_writer.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "support/run_program.h"

namespace kova::test {
namespace {

constexpr int32_t kSound = 42;

std::vector<int16_t> WaveData(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out;
  for (size_t i = 44; i + 1 < file.size(); i += 2) out.push_back(int16_t(uint8_t(file[i]) | uint8_t(file[i + 1]) << 8));
  return out;
}

TEST(KovarunCd, AGamePlaysATrackOfTheDiscImage) {
  GameTree tree;
  const std::vector<CdImageTrack> tracks = {{75 + 20, true}, {3 * 75 + 5, true}};
  const std::string cue = CdImageWriter::Write(tree, "disc", tracks);
  ProjectBuilder p = TestGameProject();
  p.screen_width = 32;
  p.screen_height = 16;
  tree.WriteFile("game/kova.kpb", p.Build());
  tree.WriteFile("game/install.dat", TestGameInstallSet());
  PageWriter start;
  start.Component(kSound, {{PR_NAME, Value(S("music"))}, {PR_SOURCE, Value(S("CD_2"))}});
  start.Wait(NoResult(), Value(I(2500)));
  start.Terminate();
  tree.WriteFile("game/start.ksb", start.Bytes());

  const std::string wav = tree.Path("game.wav");
  ::setenv("KOVA_CD_IMAGE", cue.c_str(), 1);
  const int status = RunProgram(KOVARUN_PATH, {"--no-logo", tree.Path("game"), "--frames", "400", "--audio", wav}, "",
                                tree.Path("game.err"));
  ::unsetenv("KOVA_CD_IMAGE");
  ASSERT_EQ(status, 0);
  const std::vector<int16_t> played = WaveData(wav);
  // The track's first two seconds (its length is 3 s and 5 sectors: played up to 2 s), at the
  // CD line's full level.
  std::vector<int16_t> expected = CdImageWriter::Samples(2, tracks[1]);
  expected.resize(2 * 44100 * 2);
  ASSERT_GT(played.size(), expected.size());
  const auto first_difference = std::mismatch(expected.begin(), expected.end(), played.begin()).first;
  EXPECT_EQ(first_difference - expected.begin(), ptrdiff_t(expected.size()));
  EXPECT_TRUE(std::all_of(played.begin() + ptrdiff_t(expected.size()), played.end(), [](int16_t v) { return v == 0; }));
}

}  // namespace
}  // namespace kova::test
