// A game's sound checked through the kovarun program's --audio file: what the audio bus played,
// frame by frame on the virtual clock. A sound the start page plays from its first frame is in
// the file from its first sample on, as the decoder gives it at full volume (checked against a
// plain libvorbisfile decode of the same bytes), through the backend's voices and, with
// DirectSound off in "game.ini", through the wave-out mixer alike; the same game gives the same
// bytes every run; damaged sound data reports the decoder's message and the game plays on.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/vocabulary.h"
#include "script/test_game.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/page_writer.h"
#include "support/run_program.h"
#include "support/sound_writer.h"

namespace kova::test {
namespace {

constexpr int32_t kSound = 42;

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t U16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

// The samples of a 44-byte-header PCM file as kovarun writes it; empty (with a failure) otherwise.
std::vector<int16_t> WaveSamples(const std::vector<uint8_t>& file) {
  std::vector<int16_t> out;
  EXPECT_GE(file.size(), 44u);
  if (file.size() < 44) return out;
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(U32(file, 4), file.size() - 8);
  EXPECT_EQ(U16(file, 20), 1);       // PCM
  EXPECT_EQ(U16(file, 22), 2);       // stereo
  EXPECT_EQ(U32(file, 24), 44100u);  // rate
  EXPECT_EQ(U32(file, 28), 176400u);
  EXPECT_EQ(U16(file, 32), 4);
  EXPECT_EQ(U16(file, 34), 16);
  EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
  EXPECT_EQ(U32(file, 40), file.size() - 44);
  for (size_t i = 44; i + 1 < file.size(); i += 2) out.push_back(int16_t(U16(file, i)));
  return out;
}

// A plain decode of Ogg bytes with libvorbisfile: the oracle.
struct MemoryFile {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};
size_t MemRead(void* dst, size_t size, size_t n, void* src) {
  auto* m = static_cast<MemoryFile*>(src);
  const size_t want = std::min(size * n, m->bytes->size() - m->at);
  std::memcpy(dst, m->bytes->data() + m->at, want);
  m->at += want;
  return size ? want / size : 0;
}
std::vector<int16_t> OracleDecode(const std::vector<uint8_t>& ogg) {
  MemoryFile m{&ogg};
  OggVorbis_File vf;
  ov_callbacks cb{MemRead, nullptr, nullptr, nullptr};
  std::vector<int16_t> out;
  if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return out;
  char buffer[8192];
  int section = 0;
  for (;;) {
    const long n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &section);
    if (n <= 0) break;
    const auto* s = reinterpret_cast<const int16_t*>(buffer);
    out.insert(out.end(), s, s + n / 2);
  }
  ov_clear(&vf);
  return out;
}

class KovarunSoundTest : public ::testing::Test {
 protected:
  // A game whose start page plays `source` in its first frame, waits `wait_ms` and ends; `more`
  // adds commands after the sound.
  void WriteGame(const std::string& folder, const std::string& source, int32_t wait_ms,
                 const std::function<void(PageWriter&)>& more = {}) {
    ProjectBuilder p = TestGameProject();
    p.screen_width = 32;
    p.screen_height = 16;
    tree.WriteFile(folder + "/kova.kpb", p.Build());
    tree.WriteFile(folder + "/install.dat", TestGameInstallSet());
    PageWriter start;
    start.Component(kSound, {{PR_NAME, Value(S("music"))}, {PR_SOURCE, Value(S(source))}});
    if (more) more(start);
    start.Wait(NoResult(), Value(I(wait_ms)));
    start.Terminate();
    tree.WriteFile(folder + "/start.ksb", start.Bytes());
  }

  // Runs the game with --audio; the samples written (the run's standard error in `err`).
  std::vector<int16_t> Play(const std::string& folder, std::string* err = nullptr) {
    const std::string wav = tree.Path(folder + ".wav"), err_path = tree.Path(folder + ".err");
    std::remove(wav.c_str());
    const int status =
        RunProgram(KOVARUN_PATH, {"--no-logo", tree.Path(folder), "--frames", "400", "--audio", wav}, "", err_path);
    EXPECT_EQ(status, 0);
    if (err) {
      const std::vector<uint8_t> text = ReadAll(err_path);
      *err = std::string(text.begin(), text.end());
    }
    return WaveSamples(ReadAll(wav));
  }

  GameTree tree;
};

ToneSpec Tone() {
  ToneSpec t;
  t.channels = 2;
  t.rate = 44100;
  t.frames = 22050;  // half a second
  t.frequency = 440.0;
  t.amplitude = 0.5;
  return t;
}

TEST_F(KovarunSoundTest, MusicIsInTheFileAsDecodedFromItsFirstFrameOn) {
  const std::vector<uint8_t> ogg = OggTone(Tone());
  const std::vector<int16_t> expected = OracleDecode(ogg);
  ASSERT_EQ(expected.size(), size_t(Tone().frames * 2));
  for (const bool mixer : {false, true}) {
    SCOPED_TRACE(mixer ? "wave-out mixer" : "voices");
    const std::string folder = mixer ? "mixer" : "voices";
    WriteGame(folder, "music.ogg", 1000);
    tree.WriteFile(folder + "/music.ogg", ogg);
    if (mixer) tree.WriteFile(folder + "/game.ini", std::string("[Sound]\r\nDirectSound=0\r\nDelayTime=200\r\n"));
    const std::vector<int16_t> played = Play(folder);
    // The run: frames of 16 ms until the wait of 1000 ms is over and the game ends.
    ASSERT_GT(played.size(), expected.size());
    EXPECT_EQ(played.size() % 2, 0u);
    const size_t first_difference =
        size_t(std::mismatch(expected.begin(), expected.end(), played.begin()).first - expected.begin());
    EXPECT_EQ(first_difference, expected.size());
    // After its end the sound is silent.
    EXPECT_TRUE(
        std::all_of(played.begin() + ptrdiff_t(expected.size()), played.end(), [](int16_t v) { return v == 0; }));
  }
}

TEST_F(KovarunSoundTest, TheSameGameGivesTheSameBytesEveryRun) {
  ToneSpec music = Tone();
  music.frames = 88200;  // two seconds
  tree.WriteFile("same/music.ogg", OggTone(music));
  ToneSpec wave = Tone();
  wave.channels = 1;
  wave.rate = 22050;
  wave.frames = 2205;  // a tenth of a second
  wave.frequency = 1000.0;
  tree.WriteFile("same/click.wav", WavTone(wave));
  WriteGame("same", "music.ogg", 800, [](PageWriter& p) {
    p.Component(kSound,
                {{PR_NAME, Value(S("click"))}, {PR_SOURCE, Value(S("click.wav"))}, {PR_VOLUME, Value(I(600))}});
    p.Wait(NoResult(), Value(I(100)));
    // A fade-out of the music over 300 ms.
    p.MovieStop(Value(S("music")), Value(I(300)), Value(B(false)));
  });
  const std::vector<int16_t> first = Play("same");
  const std::vector<int16_t> second = Play("same");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  // The fade: the music's level falls to nothing within its 300 ms after 100 ms of play.
  const size_t fade_end = size_t((100 + 300 + 48) * 44.1) * 2;
  ASSERT_LT(fade_end, first.size());
  const auto peak = [&](size_t from, size_t to) {
    int32_t m = 0;
    for (size_t i = from; i < to && i < first.size(); ++i) m = std::max(m, std::abs(int32_t(first[i])));
    return m;
  };
  EXPECT_GT(peak(0, 4410), 10000);
  EXPECT_EQ(peak(fade_end, fade_end + 4410), 0);
  // Sampled frame by frame (16 ms, 1411 values), the level falls through the fade step by step:
  // never rising, and for several frames neither full nor silent.
  const int32_t full = peak(0, 4410);
  int32_t last = full, between = 0;
  for (size_t at = 4410; at + 1411 <= fade_end; at += 1411) {
    const int32_t p = peak(at, at + 1411);
    if (p < full * 9 / 10) {
      EXPECT_LE(p, last + full / 50) << "at value " << at;
      if (p > full / 100) ++between;
    }
    last = std::min(last, p);
  }
  EXPECT_GE(between, 5);
}

TEST_F(KovarunSoundTest, DamagedSoundDataIsReportedAndTheGamePlaysOnSilently) {
  std::vector<uint8_t> ogg = OggTone(Tone());
  ogg.resize(ogg.size() / 3);
  for (size_t i = 60; i < ogg.size(); i += 7) ogg[i] ^= 0x5A;
  tree.WriteFile("bad/music.ogg", ogg);
  WriteGame("bad", "music.ogg", 300);
  std::string err;
  const std::vector<int16_t> played = Play("bad", &err);
  // Either the decoder refused the data at once, or it played what it could and stopped.
  EXPECT_FALSE(played.empty());
  EXPECT_NE(err.find("terminated"), std::string::npos) << err;
}

}  // namespace
}  // namespace kova::test
