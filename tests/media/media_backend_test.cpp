// The backend's voices over a bus on the null device, pulled on the caller's clock (the pulls
// wait for the decoders), with decoders made up by the tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/stream.h"
#include "media/audio_bus.h"
#include "media/fake_decoders.h"
#include "media/media_backend.h"
#include "platform/audio_device.h"
#include "platform/media/media_codecs.h"
#include "support/sound_writer.h"

namespace kova::test {
namespace {

class MediaBackendTest : public ::testing::Test {
 protected:
  MediaBackendTest() {
    std::string error;
    EXPECT_TRUE(bus_.Open(error)) << error;
  }

  TVoiceDecoders Decoders() {
    TVoiceDecoders d;
    d.stream = [this](std::unique_ptr<TStream>, bool is_ogg) {
      last_is_ogg_ = is_ogg;
      return std::move(next_);
    };
    d.wma = [this](std::vector<uint8_t> bytes) {
      wma_bytes_ = bytes.size();
      return std::move(next_);
    };
    return d;
  }

  TVoiceHandle AddVoice(std::unique_ptr<plat::IPcmDecoder> decoder) {
    next_ = std::move(decoder);
    return backend_.OggAdd(std::make_unique<TMemoryStream>(), true);
  }
  TVoiceHandle AddTone(int64_t frames, int16_t level = 10000) {
    return AddVoice(std::make_unique<TFakeDecoder>(frames, false, level));
  }
  TVoiceHandle AddRamp(int64_t frames) { return AddVoice(std::make_unique<TFakeDecoder>(frames, true)); }

  // One pull of exactly `frames` frames.
  std::vector<int16_t> Pull(size_t frames) {
    std::vector<int16_t> samples(frames * 2);
    bus_.Mix(samples, true);
    return samples;
  }

  plat::TNullAudioDevice device_;
  TAudioBus bus_{device_};
  std::unique_ptr<plat::IPcmDecoder> next_;
  bool last_is_ogg_ = false;
  size_t wma_bytes_ = 0;
  TMediaBackend backend_{bus_, Decoders()};
};

TEST_F(MediaBackendTest, VolumeAndPanSetTheLevelOfEachSide) {
  struct Case {
    int32_t volume, pan;
    int32_t left, right;
  };
  const Case cases[] = {
      {0, 0, 10000, 10000},     {-2000, 0, 1000, 1000},   {-1000, 0, 3162, 3162}, {-10000, 0, 0, 0},
      {-12000, 0, 0, 0},        {0, -2000, 10000, 1000},  {0, 2000, 1000, 10000}, {0, -10000, 10000, 0},
      {-2000, 2000, 100, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    const TVoiceHandle v = AddTone(44100);
    ASSERT_NE(v, 0);
    backend_.SetVol(v, c.volume);
    backend_.SetPan(v, c.pan);
    EXPECT_EQ(backend_.GetVol(v), c.volume);
    EXPECT_EQ(backend_.GetPan(v), c.pan);
    backend_.Play(v);
    const std::vector<int16_t> out = Pull(1000);
    for (size_t i = 0; i < out.size(); i += 2) {
      ASSERT_NEAR(out[i], c.left, 1) << "frame " << i / 2;
      ASSERT_NEAR(out[i + 1], c.right, 1) << "frame " << i / 2;
    }
    backend_.Del(v);
  }
}

TEST_F(MediaBackendTest, PlaysEveryFrameOnceAndEndsAtItsLastFrame) {
  const TVoiceHandle v = AddRamp(4410);  // 100 ms
  EXPECT_EQ(backend_.GetLen(v), 100);
  EXPECT_FALSE(backend_.IsPlaying(v));
  EXPECT_EQ(Pull(100), std::vector<int16_t>(200, 0)) << "nothing before Play";
  backend_.Play(v);
  EXPECT_TRUE(backend_.IsPlaying(v));

  std::vector<int16_t> out = Pull(4000);
  EXPECT_EQ(backend_.GetPosition(v), 4000 * 1000 / 44100);
  EXPECT_FALSE(backend_.IsEnd(v));
  const std::vector<int16_t> rest = Pull(1000);
  out.insert(out.end(), rest.begin(), rest.end());
  for (int64_t f = 0; f < 5000; ++f) {
    const int16_t want = f < 4410 ? TFakeDecoder::RampAt(f) : int16_t(0);
    ASSERT_EQ(out[size_t(2 * f)], want) << "frame " << f;
    ASSERT_EQ(out[size_t(2 * f + 1)], int16_t(-want)) << "frame " << f;
  }
  EXPECT_TRUE(backend_.IsEnd(v));
  EXPECT_FALSE(backend_.IsPlaying(v));
  EXPECT_EQ(backend_.GetPosition(v), 100);
}

TEST_F(MediaBackendTest, RepeatLoopsWithoutAGapAndPositionStartsAgain) {
  const TVoiceHandle v = AddRamp(1000);
  backend_.SetAutoRepeat(v, true);
  EXPECT_TRUE(backend_.GetAutoRepeat(v));
  backend_.Play(v);
  std::vector<int16_t> out;
  for (int i = 0; i < 10; ++i) {  // 70000 frames: past the ring, many loops
    const std::vector<int16_t> part = Pull(7000);
    out.insert(out.end(), part.begin(), part.end());
  }
  for (int64_t f = 0; f < 70000; ++f) ASSERT_EQ(out[size_t(2 * f)], TFakeDecoder::RampAt(f % 1000)) << "frame " << f;
  Pull(500);
  EXPECT_EQ(backend_.GetPosition(v), 500 * 1000 / 44100);
  EXPECT_FALSE(backend_.IsEnd(v));
}

TEST_F(MediaBackendTest, SetPositionFlushesAndGoesOnFromThere) {
  const TVoiceHandle v = AddRamp(44100);
  backend_.Play(v);
  Pull(2000);
  backend_.SetPosition(v, 500);
  EXPECT_EQ(backend_.GetPosition(v), 500);
  std::vector<int16_t> out = Pull(705);
  for (int64_t f = 0; f < 705; ++f) ASSERT_EQ(out[size_t(2 * f)], TFakeDecoder::RampAt(22050 + f)) << "frame " << f;
  EXPECT_EQ(backend_.GetPosition(v), int32_t((22050 + 705) * 1000 / 44100));

  backend_.SetPosition(v, 5000);  // past the end: ended at once
  Pull(10);
  EXPECT_TRUE(backend_.IsEnd(v));
  backend_.SetPosition(v, -50);  // held at 0, and playing again
  EXPECT_FALSE(backend_.IsEnd(v));
  out = Pull(3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 1);
}

TEST_F(MediaBackendTest, PauseHoldsThePositionAndPlayGoesOn) {
  const TVoiceHandle v = AddRamp(44100);
  backend_.Play(v);
  Pull(1000);
  backend_.Pause(v);
  EXPECT_TRUE(backend_.IsPaused(v));
  EXPECT_TRUE(backend_.IsPlaying(v));
  EXPECT_EQ(Pull(500), std::vector<int16_t>(1000, 0));
  EXPECT_EQ(backend_.GetPosition(v), 1000 * 1000 / 44100);
  backend_.Play(v);
  EXPECT_FALSE(backend_.IsPaused(v));
  EXPECT_EQ(Pull(1)[0], TFakeDecoder::RampAt(1000));
}

TEST_F(MediaBackendTest, TwoVoicesSaturate) {
  const TVoiceHandle a = AddTone(44100, 30000);
  const TVoiceHandle b = AddTone(44100, 30000);
  backend_.Play(a);
  backend_.Play(b);
  EXPECT_EQ(Pull(10), std::vector<int16_t>(20, 32767));
}

TEST_F(MediaBackendTest, DataThatIsNoSoundOrNotInTheBusFormatGivesNoVoice) {
  next_ = nullptr;
  EXPECT_EQ(backend_.OggAdd(std::make_unique<TMemoryStream>(), false), 0);
  EXPECT_FALSE(last_is_ogg_);
  auto mono = std::make_unique<TFakeDecoder>(100, false);
  mono->WithFormat({1, 22050, 16});
  EXPECT_EQ(AddVoice(std::move(mono)), 0);
  next_ = std::make_unique<TFakeDecoder>(100, false);
  const TVoiceHandle w = backend_.WmpAdd(std::vector<uint8_t>(7));
  EXPECT_NE(w, 0);
  EXPECT_EQ(wma_bytes_, 7u);
  // Unknown handles answer nothing and do nothing.
  backend_.Del(w);
  backend_.Play(w);
  EXPECT_FALSE(backend_.IsPlaying(w));
  EXPECT_EQ(backend_.GetLen(w), 0);
}

TEST_F(MediaBackendTest, DelReturnsPromptlyAndNothingReadsAfterIt) {
  for (const bool slow : {false, true}) {
    SCOPED_TRACE(slow ? "a decoder that blocks in each read" : "a plain decoder");
    auto probe = std::make_shared<TDecoderProbe>();
    auto decoder = std::make_unique<TFakeDecoder>(44100 * 60, true);
    decoder->Probe(probe);
    if (slow) decoder->ReadDelay(std::chrono::milliseconds(150));
    const TVoiceHandle v = AddVoice(std::move(decoder));
    backend_.Play(v);
    Pull(2000);
    const auto start = std::chrono::steady_clock::now();
    backend_.Del(v);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(probe->freed);
    EXPECT_EQ(probe->reading, 0);
    const int32_t reads = probe->reads;
    EXPECT_EQ(Pull(100), std::vector<int16_t>(200, 0));
    EXPECT_EQ(probe->reads, reads);
  }
}

TEST_F(MediaBackendTest, APullOnTheDevicesClockLeavesAGapRatherThanWait) {
  auto decoder = std::make_unique<TFakeDecoder>(44100, false);
  decoder->ReadDelay(std::chrono::milliseconds(300));
  const TVoiceHandle v = AddVoice(std::move(decoder));
  backend_.Play(v);
  std::vector<int16_t> samples(2 * 100);
  const auto start = std::chrono::steady_clock::now();
  bus_.Mix(samples, false);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(samples, std::vector<int16_t>(200, 0));
  EXPECT_EQ(backend_.GetPosition(v), 0);
  EXPECT_EQ(Pull(100), std::vector<int16_t>(200, 10000)) << "a waiting pull gets the frames";
}

TEST_F(MediaBackendTest, ADecoderThatFailsEndsItsVoiceAndNoPullWaitsForIt) {
  auto decoder = std::make_unique<TFakeDecoder>(44100, false);
  decoder->Throwing();
  const TVoiceHandle v = AddVoice(std::move(decoder));
  backend_.Play(v);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Pull(100), std::vector<int16_t>(200, 0));
  backend_.SetPosition(v, 0);
  EXPECT_EQ(Pull(100), std::vector<int16_t>(200, 0));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(backend_.IsEnd(v));
}

TEST_F(MediaBackendTest, APullLongerThanTheVoicesBufferGetsEveryFrameWithoutStalling) {
  const TVoiceHandle voice = AddRamp(3 * 44100);
  backend_.Play(voice);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<int16_t> pulled = Pull(2 * 44100);  // two seconds, more than the buffer ahead
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(backend_.GetPosition(voice), 2000);
  size_t wrong = 0;  // every frame is the ramp's, with no gap
  for (size_t f = 0; f < 2 * 44100; ++f) wrong += pulled[2 * f] != int16_t(f % 30000);
  EXPECT_EQ(wrong, 0u);
}

TEST_F(MediaBackendTest, VoicesBeyondTheCapAreRefusedUntilOneIsDeleted) {
  std::vector<TVoiceHandle> voices;
  for (size_t i = 0; i < TMediaBackend::kMaxVoices; ++i) voices.push_back(AddTone(100));
  ASSERT_TRUE(std::find(voices.begin(), voices.end(), 0) == voices.end());
  EXPECT_THROW(AddTone(100), EOutOfMemory);
  backend_.Del(voices.front());
  EXPECT_NE(AddTone(100), 0);
}

TEST_F(MediaBackendTest, RestoreAttachesTheVoicesToTheReopenedBus) {
  const TVoiceHandle v = AddTone(44100);
  backend_.Play(v);
  bus_.Close();
  std::string error;
  ASSERT_TRUE(bus_.Open(error));
  backend_.Restore();
  EXPECT_EQ(Pull(4), std::vector<int16_t>(8, 10000)) << "attached once, not twice";
}

// The real decoders, through BusVoiceDecoders: what they give plays in the bus's format.
TEST(MediaBackendDecoders, PlayGeneratedSoundsAtTheirLevelAndLength) {
  plat::TMediaCodecs codecs;
  plat::TNullAudioDevice device;
  TAudioBus bus(device);
  std::string error;
  ASSERT_TRUE(bus.Open(error)) << error;
  TMediaBackend backend(bus, BusVoiceDecoders(codecs));

  const ToneSpec stereo{2, 44100, 22050, 441.0, 0.5};
  const std::vector<int16_t> exact = ToneSamples(stereo, true);
  struct Case {
    const char* what;
    TVoiceHandle voice;
    int32_t length_ms;
  };
  const Case cases[] = {
      {"WAVE in the bus's format", backend.OggAdd(std::make_unique<TMemoryStream>(WavBytes(exact, 2, 44100)), false),
       500},
      {"mono WAVE at 22050 Hz", backend.OggAdd(std::make_unique<TMemoryStream>(WavTone({1, 22050, 11025})), false),
       500},
      {"Ogg Vorbis", backend.OggAdd(std::make_unique<TMemoryStream>(OggTone(stereo)), true), 500},
      {"WMA", backend.WmpAdd(WmaTone(stereo)), 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "WMA" && WmaTone(stereo).empty()) continue;  // no encoder here
    ASSERT_NE(c.voice, 0);
    EXPECT_NEAR(backend.GetLen(c.voice), c.length_ms, 30);
    backend.Play(c.voice);
    std::vector<int16_t> out(size_t(2 * 30000));
    bus.Mix(out, true);
    if (c.voice == cases[0].voice) {
      EXPECT_TRUE(std::equal(exact.begin(), exact.end(), out.begin())) << "played exactly as written";
    }
    const auto peak = *std::max_element(out.begin(), out.end());
    EXPECT_NEAR(peak, 16384, 1800);
    EXPECT_TRUE(backend.IsEnd(c.voice));
    EXPECT_EQ(std::count(out.begin() + 2 * 25000, out.end(), int16_t(0)), 2 * 5000) << "silent after the end";
    backend.Del(c.voice);
  }
}

}  // namespace
}  // namespace kova::test
