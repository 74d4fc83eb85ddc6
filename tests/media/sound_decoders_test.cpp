// The sound decoders: Ogg Vorbis, our RIFF WAVE reader, WMA/ASF, the converter to the mixer's and
// the bus's formats, and the PCM stream the wave-out mixer reads, over fixtures encoded by the
// test writers from generated tones.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/stream.h"
#include "media/ogg_stream.h"
#include "media/sound_decoders.h"
#include "media/wav_reader.h"
#include "platform/media/media_codecs.h"
#include "support/sound_writer.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;
using plat::IPcmDecoder;
using plat::TPcmFormat;

constexpr TPcmFormat kBus{2, 44100, 16};

class SoundDecoders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plat::QuietMediaLibraryLog(); }
  plat::TMediaCodecs codecs;
};

std::unique_ptr<TStream> Stream(const Bytes& bytes) { return std::make_unique<TMemoryStream>(bytes); }

std::unique_ptr<plat::IByteSource> Source(const Bytes& bytes) {
  return std::make_unique<TStreamByteSource>(Stream(bytes));
}

// Everything the decoder gives, read in pieces of odd sizes; fails the test when the decoder
// would not stop.
Bytes ReadAll(IPcmDecoder& decoder, int64_t limit_bytes = int64_t(1) << 28) {
  Bytes out;
  uint8_t piece[7000];
  for (int calls = 0;; ++calls) {
    const int64_t got = decoder.Read(piece, sizeof piece);
    if (got <= 0) break;
    EXPECT_EQ(got % decoder.Format().BlockAlign(), 0);
    out.insert(out.end(), piece, piece + got);
    if (int64_t(out.size()) > limit_bytes || calls > 1'000'000) {
      ADD_FAILURE() << "the decode does not end";
      break;
    }
  }
  return out;
}

std::vector<int16_t> Samples(const Bytes& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

struct ToneSeen {
  double peak = 0;       // of full scale
  double frequency = 0;  // Hz, from the upward zero crossings
};

// The tone on one channel, away from the first and last tenth (encoder ramps).
ToneSeen Measure(const std::vector<int16_t>& samples, int channels, int channel, int rate) {
  const size_t frames = samples.size() / size_t(channels);
  const size_t from = frames / 10, to = frames - frames / 10;
  ToneSeen seen;
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = from; i < to; ++i) {
    const int v = samples[i * size_t(channels) + size_t(channel)];
    seen.peak = std::max(seen.peak, std::abs(v) / 32767.0);
    const int before = samples[(i - 1) * size_t(channels) + size_t(channel)];
    if (before < 0 && v >= 0) {
      if (crossings++ == 0) first = i;
      last = i;
    }
  }
  if (crossings > 1) seen.frequency = double(crossings - 1) * rate / double(last - first);
  return seen;
}

void ExpectTone(const Bytes& pcm, const TPcmFormat& format, double amplitude, double frequency) {
  const std::vector<int16_t> samples = Samples(pcm);
  for (int c = 0; c < format.channels; ++c) {
    const ToneSeen seen = Measure(samples, format.channels, c, format.rate);
    EXPECT_NEAR(seen.peak, amplitude, amplitude * 0.08) << "channel " << c;
    EXPECT_NEAR(seen.frequency, frequency, frequency * 0.01) << "channel " << c;
  }
}

TEST_F(SoundDecoders, OggToneDecodesAtItsOwnFormatWithItsExactLength) {
  struct Case {
    int channels, rate;
    int64_t frames;
  };
  for (const Case& c : {Case{2, 44100, 44100}, Case{1, 22050, 30001}, Case{1, 44100, 7}}) {
    SCOPED_TRACE(std::to_string(c.channels) + "ch " + std::to_string(c.rate));
    const ToneSpec tone{c.channels, c.rate, c.frames, 440.0, 0.5};
    auto decoder = codecs.OpenOgg(Source(OggTone(tone)));
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->Format(), (TPcmFormat{c.channels, c.rate, 16}));
    EXPECT_EQ(decoder->TotalFrames(), c.frames);
    const Bytes pcm = ReadAll(*decoder);
    EXPECT_EQ(int64_t(pcm.size()), c.frames * c.channels * 2);
    EXPECT_EQ(decoder->FramePosition(), c.frames);
    if (c.frames > 1000) ExpectTone(pcm, decoder->Format(), 0.5, 440.0);
  }
}

TEST_F(SoundDecoders, OggSeeksAreSampleAccurate) {
  const ToneSpec tone{2, 44100, 44100, 1000.0, 0.6};
  const Bytes ogg = OggTone(tone);
  auto whole = codecs.OpenOgg(Source(ogg));
  ASSERT_NE(whole, nullptr);
  const Bytes all = ReadAll(*whole);
  auto decoder = codecs.OpenOgg(Source(ogg));
  for (int64_t frame : {int64_t(30000), int64_t(1), int64_t(12345), int64_t(0), int64_t(43700)}) {
    SCOPED_TRACE(frame);
    ASSERT_TRUE(decoder->SeekFrame(frame));
    EXPECT_EQ(decoder->FramePosition(), frame);
    Bytes got(400 * 4);
    ASSERT_EQ(decoder->Read(got.data(), int64_t(got.size())), int64_t(got.size()));
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + frame * 4));
  }
  // Past the end: held at the end, nothing more to read.
  EXPECT_TRUE(decoder->SeekFrame(1'000'000));
  EXPECT_EQ(decoder->FramePosition(), 44100);
  uint8_t b[16];
  EXPECT_EQ(decoder->Read(b, sizeof b), 0);
}

TEST_F(SoundDecoders, OtherRatesAndChannelsAreConvertedForTheMixerAndTheBus) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool is_ogg;
    bool for_bus;
    TPcmFormat want;
  };
  const ToneSpec stereo48{2, 48000, 48000, 440.0, 0.5};
  const ToneSpec mono48{1, 48000, 24000, 440.0, 0.5};
  const ToneSpec mono22{1, 22050, 22050, 440.0, 0.5};
  const ToneSpec low{1, 11025, 11025, 440.0, 0.5};
  const Case cases[] = {
      {"ogg 48k stereo, mixer", OggTone(stereo48), true, false, {2, 44100, 16}},
      {"ogg 48k mono, mixer", OggTone(mono48), true, false, {1, 44100, 16}},
      {"ogg 48k stereo, bus", OggTone(stereo48), true, true, kBus},
      {"wav 22k mono, bus", WavTone(mono22), false, true, kBus},
      {"wav 11k 8-bit mono, mixer", WavTone(low, {8}), false, false, {1, 44100, 16}},
      {"wav 11k 8-bit mono, bus", WavTone(low, {8}), false, true, kBus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoder = c.for_bus ? OpenBusDecoder(codecs, Stream(c.bytes), c.is_ogg)
                             : OpenMixerDecoder(codecs, Stream(c.bytes), c.is_ogg);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->Format(), c.want);
    const int64_t seconds_frames = 44100 * (c.name[0] == 'o' && c.want.channels == 1 ? 1 : 2) / 2;
    EXPECT_NEAR(double(decoder->TotalFrames()), double(seconds_frames), 2.0);
    const Bytes pcm = ReadAll(*decoder);
    EXPECT_EQ(int64_t(pcm.size()), decoder->TotalFrames() * c.want.BlockAlign());
    // 8-bit sound keeps its top bits only: its peak is coarser.
    ExpectTone(pcm, c.want, 0.5, 440.0);
  }
}

TEST_F(SoundDecoders, ConvertedSoundSeeksToTheFrameAsked) {
  auto decoder = OpenBusDecoder(codecs, Stream(WavTone({1, 22050, 22050, 440.0, 0.5})), false);
  ASSERT_NE(decoder, nullptr);
  const Bytes all = ReadAll(*decoder);
  ASSERT_TRUE(decoder->SeekFrame(22050));
  EXPECT_EQ(decoder->FramePosition(), 22050);
  Bytes got(1000 * 4);
  ASSERT_EQ(decoder->Read(got.data(), int64_t(got.size())), int64_t(got.size()));
  // The resampler starts afresh after a seek: the same sound within a sample's rounding.
  const std::vector<int16_t> a = Samples(got), b = Samples(Bytes(all.begin() + 22050 * 4, all.begin() + 23050 * 4));
  for (size_t i = 64; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 600) << i;
}

TEST_F(SoundDecoders, WavInEachMixerFormatGivesItsOwnBytes) {
  for (int bits : {8, 16}) {
    for (int channels : {1, 2}) {
      for (int rate : {22050, 44100}) {
        for (bool extensible : {false, true}) {
          SCOPED_TRACE(std::to_string(bits) + " bits " + std::to_string(channels) + "ch " + std::to_string(rate) +
                       (extensible ? " extensible" : ""));
          const Bytes wav = WavTone({channels, rate, 1001, 440.0, 0.7}, {bits, extensible});
          auto decoder = OpenMixerDecoder(codecs, Stream(wav), false);
          ASSERT_NE(decoder, nullptr);
          EXPECT_EQ(decoder->Format(), (TPcmFormat{channels, rate, bits}));
          EXPECT_EQ(decoder->TotalFrames(), 1001);
          const size_t data = 1001 * size_t(channels * bits / 8);
          const size_t header = extensible ? 68 : 44;
          EXPECT_EQ(ReadAll(*decoder), Bytes(wav.begin() + ptrdiff_t(header), wav.begin() + ptrdiff_t(header + data)));
          ASSERT_TRUE(decoder->SeekFrame(1000));
          const size_t block = size_t(channels * bits / 8);
          uint8_t last[4] = {};
          EXPECT_EQ(decoder->Read(last, sizeof last), int64_t(block));
          EXPECT_EQ(std::memcmp(last, wav.data() + header + data - block, block), 0);
        }
      }
    }
  }
}

// A WAVE file assembled from chunks, for the reader's structure cases.
Bytes Riff(const std::vector<Bytes>& chunks, uint32_t riff_size = 0) {
  Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  const uint32_t size = riff_size ? riff_size : uint32_t(out.size() - 8);
  std::memcpy(out.data() + 4, &size, 4);
  return out;
}

Bytes Chunk(const char* id, const Bytes& body, uint32_t declared = UINT32_MAX) {
  Bytes out(id, id + 4);
  const uint32_t size = declared == UINT32_MAX ? uint32_t(body.size()) : declared;
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(size >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  if (declared == UINT32_MAX && body.size() % 2) out.push_back(0);
  return out;
}

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes b(16);
  const uint16_t block = uint16_t(channels * bits / 8);
  const uint32_t bps = rate * block;
  std::memcpy(&b[0], &tag, 2);
  std::memcpy(&b[2], &channels, 2);
  std::memcpy(&b[4], &rate, 4);
  std::memcpy(&b[8], &bps, 4);
  std::memcpy(&b[12], &block, 2);
  std::memcpy(&b[14], &bits, 2);
  return b;
}

TEST_F(SoundDecoders, WavChunksAreWalkedWithinTheBytesThereAre) {
  const Bytes pcm = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // five 16-bit mono frames
  const Bytes fmt = Chunk("fmt ", Fmt(1, 1, 22050, 16));
  Bytes extensible_float = Fmt(0xFFFE, 1, 22050, 16);
  extensible_float.resize(40);
  extensible_float[24] = 3;  // the sub-format of floating-point samples
  struct Case {
    const char* name;
    Bytes file;
    int64_t frames;  // -1: no decoder
  };
  const Case cases[] = {
      {"plain", Riff({fmt, Chunk("data", pcm)}), 5},
      {"data before fmt", Riff({Chunk("data", pcm), fmt}), 5},
      {"odd chunk padded", Riff({Chunk("LIST", {'a', 'b', 'c'}), fmt, Chunk("data", pcm)}), 5},
      {"data size beyond the bytes", Riff({fmt, Chunk("data", pcm, 0x7FFFFFF0)}), 5},
      {"data size 0xFFFFFFFF", Riff({fmt, Chunk("data", pcm, 0xFFFFFFFE)}), 5},
      {"odd data keeps whole frames", Riff({fmt, Chunk("data", Bytes(pcm.begin(), pcm.end() - 1))}), 4},
      {"riff size beyond the bytes", Riff({fmt, Chunk("data", pcm)}, 0xFFFFFFF0), 5},
      {"chunk size beyond the bytes", Riff({Chunk("junk", {1, 2}, 0xFFFFFF00), fmt, Chunk("data", pcm)}), -1},
      {"no fmt", Riff({Chunk("data", pcm)}), -1},
      {"no data", Riff({fmt}), -1},
      {"float tag", Riff({Chunk("fmt ", Fmt(3, 1, 22050, 32)), Chunk("data", pcm)}), -1},
      {"extensible float", Riff({Chunk("fmt ", extensible_float), Chunk("data", pcm)}), -1},
      {"24 bits", Riff({Chunk("fmt ", Fmt(1, 1, 22050, 24)), Chunk("data", pcm)}), -1},
      {"three channels", Riff({Chunk("fmt ", Fmt(1, 3, 22050, 16)), Chunk("data", pcm)}), -1},
      {"rate 0", Riff({Chunk("fmt ", Fmt(1, 1, 0, 16)), Chunk("data", pcm)}), -1},
      {"short fmt", Riff({Chunk("fmt ", Bytes(14, 1)), Chunk("data", pcm)}), -1},
      {"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, -1},
      {"empty", Bytes{}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto decoder = OpenWavDecoder(Source(c.file));
    if (c.frames < 0) {
      EXPECT_EQ(decoder, nullptr);
      continue;
    }
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(decoder->TotalFrames(), c.frames);
    EXPECT_EQ(ReadAll(*decoder), Bytes(pcm.begin(), pcm.begin() + c.frames * 2));
  }
}

TEST_F(SoundDecoders, TheCallerSaysWhetherTheDataIsOgg) {
  const Bytes ogg = OggTone({2, 44100, 4410, 440.0, 0.5});
  const Bytes wav = WavTone({2, 44100, 4410, 440.0, 0.5});
  EXPECT_NE(OpenMixerDecoder(codecs, Stream(ogg), true), nullptr);
  EXPECT_EQ(OpenMixerDecoder(codecs, Stream(ogg), false), nullptr);
  EXPECT_NE(OpenMixerDecoder(codecs, Stream(wav), false), nullptr);
  EXPECT_EQ(OpenMixerDecoder(codecs, Stream(wav), true), nullptr);
  EXPECT_EQ(OpenMixerDecoder(codecs, nullptr, true), nullptr);
}

TEST_F(SoundDecoders, WmaToneDecodesToTheBusFormat) {
  const Bytes wma = WmaTone({2, 44100, 44100, 440.0, 0.5});
  if (wma.empty()) GTEST_SKIP() << "the media library has no WMA encoder or ASF muxer";
  auto decoder = OpenWmaBusDecoder(codecs, wma);
  ASSERT_NE(decoder, nullptr);
  EXPECT_EQ(decoder->Format(), kBus);
  EXPECT_NEAR(double(decoder->TotalFrames()), 44100.0, 44100.0 * 0.1);
  const Bytes all = ReadAll(*decoder);
  EXPECT_NEAR(double(all.size()) / 4, 44100.0, 44100.0 * 0.1);
  ExpectTone(all, kBus, 0.5, 440.0);
  // A seek decodes again up to the frame: the same sound as read straight through.
  ASSERT_TRUE(decoder->SeekFrame(10000));
  EXPECT_EQ(decoder->FramePosition(), 10000);
  Bytes got(500 * 4);
  ASSERT_EQ(decoder->Read(got.data(), int64_t(got.size())), int64_t(got.size()));
  EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + 10000 * 4));

  // Mono at another rate comes out at the bus's rate, on both sides.
  const Bytes mono = WmaTone({1, 22050, 22050, 440.0, 0.5});
  auto converted = OpenWmaBusDecoder(codecs, mono);
  ASSERT_NE(converted, nullptr);
  EXPECT_EQ(converted->Format(), kBus);
  ExpectTone(ReadAll(*converted), kBus, 0.5, 440.0);

  EXPECT_EQ(OpenWmaBusDecoder(codecs, WavTone({2, 44100, 100, 440.0, 0.5})), nullptr);
  EXPECT_EQ(OpenWmaBusDecoder(codecs, {}), nullptr);
}

// Copies of `good` cut short at several points (and at `partial`) and with bytes flipped through
// its body.
std::vector<std::pair<std::string, Bytes>> Damaged(const Bytes& good, size_t partial) {
  std::vector<std::pair<std::string, Bytes>> out;
  for (size_t cut : {size_t(0), size_t(4), size_t(13), size_t(40), size_t(60), size_t(200), good.size() / 3,
                     partial, good.size() - 1}) {
    if (cut >= good.size()) continue;
    out.emplace_back("cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + ptrdiff_t(cut)));
  }
  for (size_t step : {size_t(7), size_t(97), size_t(1009)}) {
    Bytes b = good;
    for (size_t i = step / 2; i < b.size(); i += step) b[i] ^= 0x5A;
    out.emplace_back("every " + std::to_string(step) + "th byte flipped", std::move(b));
  }
  Bytes ones = good;
  std::fill(ones.begin() + ptrdiff_t(ones.size() / 2), ones.end(), 0xFF);
  out.emplace_back("second half 0xFF", std::move(ones));
  return out;
}

TEST_F(SoundDecoders, DamagedDataGivesNoDecoderOrAShortDecodeAndNeverHangs) {
  const ToneSpec tone{2, 44100, 88200, 440.0, 0.5};
  struct Format {
    const char* name;
    int64_t frames;
    Bytes good;
    std::function<std::unique_ptr<IPcmDecoder>(const Bytes&)> open;
  };
  Format formats[] = {
      {"ogg", tone.frames, OggTone(tone), [&](const Bytes& b) { return OpenBusDecoder(codecs, Stream(b), true); }},
      {"wav", tone.frames, WavTone(tone), [&](const Bytes& b) { return OpenBusDecoder(codecs, Stream(b), false); }},
      {"wav 8-bit mono", 11025, WavTone({1, 22050, 11025, 440.0, 0.5}, {8}),
       [&](const Bytes& b) { return OpenMixerDecoder(codecs, Stream(b), false); }},
      {"wma", tone.frames, WmaTone(tone), [&](const Bytes& b) { return OpenWmaBusDecoder(codecs, b); }},
  };
  for (Format& f : formats) {
    if (f.good.empty()) continue;  // no WMA encoder
    // Ogg cut inside its last page, a WAV cut in half: the sound before the cut is decoded.
    size_t partial = f.good.size() / 2;
    if (std::string(f.name) == "ogg") {
      const std::string text(f.good.begin(), f.good.end());
      partial = text.rfind("OggS") + 20;
    }
    for (const auto& [how, bytes] : Damaged(f.good, partial)) {
      SCOPED_TRACE(std::string(f.name) + ", " + how);
      const auto start = std::chrono::steady_clock::now();
      auto decoder = f.open(bytes);
      const bool halved = bytes.size() == partial && std::string(f.name) != "wma";
      if (!decoder) {
        EXPECT_FALSE(halved);
        continue;
      }
      ASSERT_TRUE(decoder->Format().Valid());
      // At most a little more than the tone there was (a damaged length may say more).
      const Bytes first = ReadAll(*decoder, (tone.frames + 44100) * decoder->Format().BlockAlign());
      if (halved) {
        const double frames = double(first.size()) / decoder->Format().BlockAlign();
        const double full = double(f.frames);
        EXPECT_GT(frames, full * 0.3);
        EXPECT_LT(frames, full * (std::string(f.name) == "ogg" ? 0.99 : 0.7));
      }
      decoder->SeekFrame(decoder->TotalFrames() / 2);
      ReadAll(*decoder, (tone.frames + 44100) * decoder->Format().BlockAlign());
      decoder->SeekFrame(0);
      ReadAll(*decoder, (tone.frames + 44100) * decoder->Format().BlockAlign());
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
  }
}

// A memory stream whose reads fail with the system's read error once `good` bytes were read (a
// disk that fails under a range stream).
class FailingStream : public TMemoryStream {
 public:
  FailingStream(const std::vector<uint8_t>& bytes, int64_t good) : TMemoryStream(bytes), good_(good) {}
  int64_t Read(void* buffer, int64_t count) override {
    if (read_ + count > good_) Raise<EReadError>(TMsg::StreamReadError);
    read_ += count;
    return TMemoryStream::Read(buffer, count);
  }

 private:
  int64_t good_, read_ = 0;
};

TEST_F(SoundDecoders, AStreamThatFailsUnderTheDecoderEndsTheSound) {
  const ToneSpec tone{2, 44100, 88200, 440.0, 0.5};
  const Bytes ogg = OggTone(tone), wav = WavTone(tone);
  for (bool is_ogg : {true, false}) {
    SCOPED_TRACE(is_ogg ? "ogg" : "wav");
    const Bytes& bytes = is_ogg ? ogg : wav;
    // Enough for the headers and the length (Ogg reads its last page at the open).
    const int64_t good = is_ogg ? int64_t(bytes.size()) * 3 / 2 : int64_t(bytes.size()) / 2;
    auto decoder = OpenBusDecoder(codecs, std::make_unique<FailingStream>(bytes, good), is_ogg);
    ASSERT_NE(decoder, nullptr);
    const Bytes pcm = ReadAll(*decoder);
    EXPECT_LT(int64_t(pcm.size()), tone.frames * 4);
  }
}

TEST_F(SoundDecoders, OggStreamReadsAndSeeksWholeFramesOfTheDecodedSound) {
  const ToneSpec tone{2, 22050, 22050, 440.0, 0.5};
  const Bytes ogg = OggTone(tone);
  auto whole = codecs.OpenOgg(Source(ogg));
  const Bytes all = ReadAll(*whole);
  TOggStream stream(codecs, Stream(ogg), true);
  EXPECT_EQ(stream.Format(), (TPcmFormat{2, 22050, 16}));
  EXPECT_EQ(stream.GetSize(), 22050 * 4);
  EXPECT_EQ(stream.LengthMs(), 1000);
  uint8_t buffer[64];
  EXPECT_EQ(stream.Read(buffer, 0), 0);
  EXPECT_EQ(stream.Read(buffer, -5), 0);
  EXPECT_EQ(stream.Write(buffer, 4), 0);

  struct Move {
    int64_t offset;
    TSeekOrigin origin;
    int64_t position;
  };
  const Move moves[] = {
      {4000, TSeekOrigin::Beginning, 4000},
      {6, TSeekOrigin::Current, 4004},   // held to whole frames (4 bytes)
      {-8, TSeekOrigin::End, 22050 * 4 - 8},
      {-1, TSeekOrigin::Beginning, 0},
      {1 << 30, TSeekOrigin::Current, 22050 * 4},
      {INT64_MAX, TSeekOrigin::End, 22050 * 4},
      {INT64_MIN, TSeekOrigin::Current, 0},
      {40003, TSeekOrigin::Beginning, 40000},
  };
  for (const Move& m : moves) {
    SCOPED_TRACE(m.offset);
    EXPECT_EQ(stream.Seek(m.offset, m.origin), m.position);
    EXPECT_EQ(stream.GetPosition(), m.position);
  }
  ASSERT_EQ(stream.Read(buffer, sizeof buffer), int64_t(sizeof buffer));
  EXPECT_EQ(std::memcmp(buffer, all.data() + 40000, sizeof buffer), 0);
  EXPECT_EQ(stream.GetPosition(), 40000 + int64_t(sizeof buffer));
  stream.Seek(-4, TSeekOrigin::End);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 4);
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);

  // A WAV at another rate is read converted, its length in ms kept.
  TOggStream wav(codecs, Stream(WavTone({1, 48000, 24000, 440.0, 0.5})), false);
  EXPECT_EQ(wav.Format(), (TPcmFormat{1, 44100, 16}));
  EXPECT_EQ(wav.LengthMs(), 500);
}

TEST_F(SoundDecoders, OggStreamOverDataThatIsNoSoundRaisesTheSoundDataError) {
  const Bytes ogg = OggTone({1, 22050, 2205, 440.0, 0.5});
  const Bytes garbage(4000, 0x42);
  struct Case {
    const char* name;
    Bytes bytes;
    bool is_ogg;
  };
  for (const Case& c : {Case{"garbage as ogg", garbage, true}, Case{"garbage as wav", garbage, false},
                        Case{"ogg as wav", ogg, false}, Case{"empty", {}, true}}) {
    SCOPED_TRACE(c.name);
    try {
      TOggStream stream(codecs, Stream(c.bytes), c.is_ogg);
      ADD_FAILURE() << "no error";
    } catch (const EKovaError& e) {
      EXPECT_EQ(e.Message(), MsgText(TMsg::SoundDataInvalid));
    }
  }
}

}  // namespace
}  // namespace kova::test
