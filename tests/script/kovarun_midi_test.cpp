// A game's MIDI song through kovarun's --audio file: the sequencer on the game clock, the software
// synthesizer rendering into the audio bus. The notes sound at their times across a tempo change,
// the song is silent between them, and the same game gives the same bytes every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/vocabulary.h"
#include "platform/media/synth_midi.h"
#include "script/test_game.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/midi_writer.h"
#include "support/page_writer.h"
#include "support/run_program.h"

namespace kova::test {
namespace {

constexpr int32_t kSound = 42;

std::vector<int16_t> WaveSamples(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> out;
  for (size_t i = 44; i + 1 < file.size(); i += 2) out.push_back(int16_t(file[i] | file[i + 1] << 8));
  return out;
}

// The loudest value between `from_ms` and `to_ms`.
int32_t PeakBetween(const std::vector<int16_t>& s, int from_ms, int to_ms) {
  int32_t m = 0;
  for (size_t i = size_t(from_ms * 44.1) * 2; i < size_t(to_ms * 44.1) * 2 && i < s.size(); ++i) {
    m = std::max(m, std::abs(int32_t(s[i])));
  }
  return m;
}

// Two short notes: one at 500 ms (120 beats a minute, 480 ticks a beat), then the tempo halves,
// and one 660 ticks after the first note's end (at 625 ms) at the new tempo, at 2000 ms.
std::vector<uint8_t> Song() {
  TMidiWriter w(0, 480);
  w.Track().Tempo(0, 500000).Program(0, 0, 0).NoteOn(480, 0, 72, 110).NoteOff(120, 0, 72);
  w.Tempo(0, 1000000).NoteOn(660, 0, 76, 110).NoteOff(60, 0, 76).EndOfTrack(480);
  return w.Bytes();
}

class KovarunMidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::string> candidates = plat::DefaultSoundFonts();
    if (plat::FindSoundFont("", candidates).empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
  }

  void WriteGame(const std::string& folder) {
    ProjectBuilder p = TestGameProject();
    p.screen_width = 32;
    p.screen_height = 16;
    tree.WriteFile(folder + "/kova.kpb", p.Build());
    tree.WriteFile(folder + "/install.dat", TestGameInstallSet());
    tree.WriteFile(folder + "/song.mid", Song());
    PageWriter start;
    start.Component(kSound, {{PR_NAME, Value(S("music"))}, {PR_SOURCE, Value(S("song.mid"))}});
    start.Wait(NoResult(), Value(I(3200)));
    start.Terminate();
    tree.WriteFile(folder + "/start.ksb", start.Bytes());
  }

  std::vector<int16_t> Play(const std::string& folder) {
    const std::string wav = tree.Path(folder + ".wav"), err = tree.Path(folder + ".err");
    std::remove(wav.c_str());
    EXPECT_EQ(RunProgram(KOVARUN_PATH, {"--no-logo", tree.Path(folder), "--frames", "400", "--audio", wav}, "", err), 0);
    return WaveSamples(wav);
  }

  GameTree tree;
};

TEST_F(KovarunMidiTest, NotesSoundAtTheirTimesAndTheSameGameGivesTheSameBytes) {
  WriteGame("midi");
  const std::vector<int16_t> first = Play("midi");
  ASSERT_GT(first.size(), size_t(3000 * 44.1 * 2));
  // The song starts with the game's first frame; frames are 16 ms, so each event is heard within
  // one frame of its time.
  EXPECT_LE(PeakBetween(first, 0, 480), 2);  // the dither of silence
  EXPECT_GT(PeakBetween(first, 520, 620), 1500);
  EXPECT_LT(PeakBetween(first, 1400, 1980), 300);  // the first note has died away
  EXPECT_GT(PeakBetween(first, 2020, 2120), 1500);
  EXPECT_EQ(Play("midi"), first);
}

}  // namespace
}  // namespace kova::test
