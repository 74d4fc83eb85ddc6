// The wave-out mixer over a fake wave-out device and a fake clock, pumped by hand: the widening
// of the eight source formats, the level, the saturating add, loops, the end test, the playing
// position, the queue of at most two blocks and the lifecycle; then its own pump thread, and the
// bus's wave-out device with a tone captured from the bus.
#include "media/wave_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "core/stream.h"
#include "platform/audio_sinks.h"

namespace kova {
namespace {

using plat::TPcmFormat;

// Records what the mixer writes; a block stays queued until the test plays it (or Reset).
class FakeWaveOut : public IWaveOutDevice {
 public:
  bool Open() override {
    ++opens;
    if (!can_open) return false;
    open = true;
    return true;
  }
  void Write(TWaveBlock& block) override {
    std::lock_guard lock(mutex);
    written.push_back(block.samples);
    if (done_on_write) {
      block.done = true;
    } else {
      pending.push_back(&block);
    }
  }
  void Reset() override {
    std::lock_guard lock(mutex);
    for (TWaveBlock* block : pending) block->done = true;
    pending.clear();
  }
  void Close() override {
    std::lock_guard lock(mutex);
    open = false;
    pending.clear();
  }
  // The oldest queued block has played.
  void PlayOne() {
    std::lock_guard lock(mutex);
    ASSERT_FALSE(pending.empty());
    pending.front()->done = true;
    pending.pop_front();
  }
  size_t Queued() {
    std::lock_guard lock(mutex);
    return pending.size();
  }
  size_t Writes() {
    std::lock_guard lock(mutex);
    return written.size();
  }
  std::vector<int16_t> Block(size_t i) {
    std::lock_guard lock(mutex);
    return written.at(i);
  }

  bool can_open = true;
  bool done_on_write = false;
  bool open = false;
  int opens = 0;
  std::mutex mutex;
  std::vector<std::vector<int16_t>> written;
  std::deque<TWaveBlock*> pending;
};

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes(values.size() * 2);
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

// A mixer on a fake device and clock, pumped by hand, with the streams its sources read.
struct Rig {
  explicit Rig(int32_t delay = 100) : mixer(device, [this] { return now; }, delay, false) {}
  TWavBuffer* Source(const TPcmFormat& format, const std::vector<uint8_t>& bytes) {
    streams.push_back(std::make_unique<TMemoryStream>(bytes));
    return mixer.AddBuffer(format, *streams.back());
  }
  FakeWaveOut device;
  uint32_t now = 1000;
  std::vector<std::unique_ptr<TMemoryStream>> streams;  // outlive the mixer's sources
  TWavOut mixer;
};

constexpr TPcmFormat kStereo16{2, 44100, 16};

TEST(WavOut, BlockSizeFollowsTheDelay) {
  struct Case {
    int32_t delay, block;
  };
  for (const Case c : {Case{100, 17640}, Case{300, 52920}, Case{500, 88200}, Case{20, 17640}, Case{5000, 88200}}) {
    Rig rig(c.delay);
    EXPECT_EQ(rig.mixer.BlockSize(), c.block) << c.delay;
  }
  Rig rig(500);
  ASSERT_TRUE(rig.mixer.Open());
  rig.Source(kStereo16, std::vector<uint8_t>(200000, 1))->Play();
  rig.mixer.Pump();
  ASSERT_EQ(rig.device.Writes(), 2u);
  EXPECT_EQ(rig.device.Block(0).size(), 44100u);  // 88200 bytes
}

// Every row of the widening table: the bytes one block reads and what each input unit becomes.
TEST(WavOut, WidensEachFormatToFortyFourKiloHertzStereo) {
  struct Case {
    int32_t channels, rate, bits, bytes_read;
  };
  const int32_t block = 17640;
  const Case cases[] = {
      {2, 44100, 16, block},     {1, 44100, 16, block / 2}, {2, 22050, 16, block / 2}, {2, 44100, 8, block / 2},
      {1, 44100, 8, block / 4},  {2, 22050, 8, block / 4},  {1, 22050, 16, block / 4}, {1, 22050, 8, block / 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.rate << " Hz " << c.bits << " bits");
    const TPcmFormat format{c.channels, c.rate, c.bits};
    // Twice the bytes one block reads, every input sample different from its neighbours.
    std::vector<uint8_t> bytes;
    std::vector<int16_t> input;  // each input sample as a 16-bit value
    const int32_t samples = 2 * c.bytes_read / (c.bits / 8);
    for (int32_t i = 0; i < samples; ++i) {
      if (c.bits == 8) {
        const uint8_t b = uint8_t(i * 7 + 3);
        bytes.push_back(b);
        input.push_back(int16_t((b - 128) * 256));
      } else {
        const int16_t v = int16_t(i * 601 - 20000);
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
        input.push_back(v);
      }
    }
    Rig rig;
    ASSERT_TRUE(rig.mixer.Open());
    TWavBuffer* source = rig.Source(format, bytes);
    source->Play();
    rig.mixer.Pump();
    ASSERT_EQ(rig.device.Writes(), 2u);
    const std::vector<int16_t> out = rig.device.Block(0);
    ASSERT_EQ(out.size(), size_t(block / 2));
    const int32_t repeat = 44100 / c.rate;
    bool all = true;
    for (size_t f = 0; f < out.size() / 2 && all; ++f) {
      const size_t frame = f / size_t(repeat);
      const int16_t left = input[frame * size_t(c.channels)];
      const int16_t right = input[frame * size_t(c.channels) + size_t(c.channels - 1)];
      all = out[2 * f] == left && out[2 * f + 1] == right;
      EXPECT_EQ(out[2 * f], left) << "frame " << f;
      EXPECT_EQ(out[2 * f + 1], right) << "frame " << f;
    }
    // The second block goes on where the first stopped.
    EXPECT_EQ(rig.device.Block(1)[0], input[size_t(c.bytes_read / (c.bits / 8))]);
    rig.now += 1000;
    EXPECT_EQ(source->GetPosition(), 2 * c.bytes_read);
  }
}

TEST(WavOut, TwoFullScaleSourcesSaturate) {
  const std::vector<int16_t> in = {32767, -32768, 30000, -30000, 100, -100};
  const std::vector<int16_t> sum = {32767, -32768, 32767, -32768, 200, -200};
  std::vector<int16_t> values, expect;
  for (int i = 0; i < 3; ++i) {  // 18 values: both the wide and the value-by-value add
    values.insert(values.end(), in.begin(), in.end());
    expect.insert(expect.end(), sum.begin(), sum.end());
  }
  expect.insert(expect.end(), {0, 0});
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  for (int i = 0; i < 2; ++i) rig.Source(kStereo16, Pcm16(values))->Play();
  rig.mixer.Pump();
  ASSERT_GE(rig.device.Writes(), 1u);
  const std::vector<int16_t> out = rig.device.Block(0);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + ptrdiff_t(expect.size())), expect);
}

TEST(WavOut, LevelScalesBelowTwoHundredFiftyFive) {
  const std::vector<int16_t> in = {1000, -1001, 32767, -32768};
  struct Case {
    int32_t level;
    std::vector<int16_t> expect;  // of each value of `in`
  };
  const Case cases[] = {
      {256, {1000, -1001, 32767, -32768}}, {255, {1000, -1001, 32767, -32768}},
      {254, {992, -994, 32511, -32512}},   {128, {500, -501, 16383, -16384}},
      {64, {250, -251, 8191, -8192}},      {0, {0, 0, 0, 0}},
      {400, {1000, -1001, 32767, -32768}}, {-7, {0, 0, 0, 0}},
  };
  // 17 frames: the values four times over, then the first two once more.
  std::vector<int16_t> values;
  for (int i = 0; i < 34; ++i) values.push_back(in[size_t(i) % in.size()]);
  for (const Case& c : cases) {
    Rig rig;
    ASSERT_TRUE(rig.mixer.Open());
    TWavBuffer* source = rig.Source(kStereo16, Pcm16(values));
    source->SetLevel(c.level);
    source->Play();
    rig.mixer.Pump();
    ASSERT_GE(rig.device.Writes(), 1u) << c.level;
    const std::vector<int16_t> out = rig.device.Block(0);
    std::vector<int16_t> expect;
    for (size_t i = 0; i < values.size(); ++i) expect.push_back(c.expect[i % in.size()]);
    expect.push_back(0);
    EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + ptrdiff_t(expect.size())), expect) << c.level;
  }
}

TEST(WavOut, LoopingSourceWrapsInsideOneBlock) {
  std::vector<int16_t> values;
  for (int i = 0; i < 2000; ++i) values.push_back(int16_t(i + 1));  // 1000 frames
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* looping = rig.Source(kStereo16, Pcm16(values));
  looping->SetLoop(true);
  looping->Play();
  rig.mixer.Pump();
  ASSERT_EQ(rig.device.Writes(), 2u);
  const std::vector<int16_t> first = rig.device.Block(0);
  const std::vector<int16_t> second = rig.device.Block(1);
  bool wraps = true;
  for (size_t i = 0; i < first.size(); ++i) wraps &= first[i] == values[i % values.size()];
  for (size_t i = 0; i < second.size(); ++i) wraps &= second[i] == values[(first.size() + i) % values.size()];
  EXPECT_TRUE(wraps);
  rig.now += 100000;
  EXPECT_FALSE(looping->IsEnd());

  // Without the loop the block ends in silence after the one pass, and the source ends.
  Rig once;
  ASSERT_TRUE(once.mixer.Open());
  TWavBuffer* source = once.Source(kStereo16, Pcm16(values));
  source->Play();
  once.mixer.Pump();
  ASSERT_EQ(once.device.Writes(), 1u);
  const std::vector<int16_t> block = once.device.Block(0);
  EXPECT_TRUE(std::equal(values.begin(), values.end(), block.begin()));
  EXPECT_TRUE(std::all_of(block.begin() + ptrdiff_t(values.size()), block.end(), [](int16_t v) { return v == 0; }));
}

// A looping source whose length is a whole number of blocks plays on without a gap.
TEST(WavOut, LoopingSourceOfWholeBlocksNeverStops) {
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* source = rig.Source(kStereo16, std::vector<uint8_t>(size_t(rig.mixer.BlockSize()), 9));
  source->SetLoop(true);
  source->Play();
  for (int i = 0; i < 4; ++i) {
    rig.mixer.Pump();
    rig.device.PlayOne();
    rig.device.PlayOne();
    rig.now += 200;
  }
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 10u);
  EXPECT_FALSE(source->IsEnd());
}

TEST(WavOut, NeverQueuesMoreThanTwoBlocks) {
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* source = rig.Source(kStereo16, std::vector<uint8_t>(200000, 5));
  source->SetLoop(true);
  source->Play();
  rig.mixer.Pump();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 2u);
  rig.device.PlayOne();
  rig.mixer.Pump();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 3u);
  EXPECT_EQ(rig.device.Queued(), 2u);
}

// Nothing is queued for sources that are paused, exhausted or were never played; a source that
// was never played is not heard with one that plays.
TEST(WavOut, MixesOnlySourcesThatPlay) {
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* paused = rig.Source(kStereo16, Pcm16({100, 100}));
  paused->Play();
  paused->Pause();
  TWavBuffer* idle = rig.Source(kStereo16, Pcm16({1000, 1000}));
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 0u);
  EXPECT_TRUE(paused->Paused());
  EXPECT_FALSE(idle->Playing());

  TWavBuffer* short_one = rig.Source(kStereo16, Pcm16({7, 7}));
  short_one->Play();
  rig.mixer.Pump();  // one block, then the source is exhausted
  ASSERT_EQ(rig.device.Writes(), 1u);
  EXPECT_EQ(rig.device.Block(0)[0], 7);  // neither the paused nor the idle source
  rig.device.PlayOne();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 1u);

  paused->Play();  // resumes: heard again
  rig.mixer.Pump();
  ASSERT_EQ(rig.device.Writes(), 2u);
  EXPECT_EQ(rig.device.Block(1)[0], 100);
}

TEST(WavOut, EndsOnlyOnceTheQueuedSoundHasDrained) {
  Rig rig(300);
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* source = rig.Source(kStereo16, Pcm16({1, 2, 3, 4}));
  source->Play();
  EXPECT_FALSE(source->IsEnd());
  rig.mixer.Pump();  // mixed at 1000, exhausted
  rig.now = 1000 + 610;
  EXPECT_FALSE(source->IsEnd());
  rig.now = 1000 + 611;
  EXPECT_TRUE(source->IsEnd());

  // Played again from the start: not ended until it has drained once more.
  source->Replay();
  source->SetPosition(0);
  EXPECT_FALSE(source->IsEnd());
  rig.device.PlayOne();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 2u);
  EXPECT_FALSE(source->IsEnd());
}

TEST(WavOut, PositionIsEstimatedFromTheLastMix) {
  Rig rig;  // delay 100: a block is 17640 bytes, 100 ms of 44100 Hz 16-bit stereo
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* source = rig.Source(kStereo16, std::vector<uint8_t>(100000, 0));
  source->SetLoop(true);
  source->Play();
  rig.mixer.Pump();  // two blocks: position 35280
  rig.now += 50;
  EXPECT_EQ(source->GetPosition(), 35280 - 17640 + 8820);
  rig.now += 150;
  EXPECT_EQ(source->GetPosition(), 35280 - 17640 + 35280);  // E = 200 is not past 2 x DelayTime
  rig.now += 1;
  EXPECT_EQ(source->GetPosition(), 35280);

  // Terms rounded to the nearest byte (22.05 bytes a ms), the result held within the stream.
  Rig mono;
  ASSERT_TRUE(mono.mixer.Open());
  TWavBuffer* small = mono.Source({1, 22050, 8}, std::vector<uint8_t>(3000, 128));
  small->SetLoop(true);
  small->Play();
  mono.mixer.Pump();  // 2 x 2205 bytes, wrapped: position 1410
  EXPECT_EQ(small->GetPosition(), 0);  // 1410 - 2205, held at 0
  mono.now += 3;
  EXPECT_EQ(small->GetPosition(), 0);
  mono.now += 100;  // E = 103: 1410 - 2205 + 2271
  EXPECT_EQ(small->GetPosition(), 1410 - 2205 + 2271);
  mono.now += 97;  // E = 200: 1410 - 2205 + 4410 is past the stream's end
  EXPECT_EQ(small->GetPosition(), 3000);
}

TEST(WavOut, SetPositionAlignsToWholeFrames) {
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* source = rig.Source(kStereo16, Pcm16({1, 2, 3, 4, 5, 6}));
  source->SetPosition(7);  // inside the second frame
  source->Play();
  rig.mixer.Pump();
  ASSERT_EQ(rig.device.Writes(), 1u);
  const std::vector<int16_t> out = rig.device.Block(0);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 6), (std::vector<int16_t>{3, 4, 5, 6, 0, 0}));
  source->SetPosition(-40);
  rig.now += 1000;
  EXPECT_EQ(source->GetPosition(), 0);
}

// A format the table does not hold, or an empty stream, plays nothing and ends at once, so that
// a script waiting for the end goes on.
TEST(WavOut, SourceWithNothingToPlayEnds) {
  Rig rig;
  ASSERT_TRUE(rig.mixer.Open());
  TWavBuffer* wide = rig.Source({2, 48000, 16}, std::vector<uint8_t>(50000, 3));
  TWavBuffer* odd = rig.Source({3, 44100, 16}, std::vector<uint8_t>(50000, 3));
  TWavBuffer* empty = rig.Source(kStereo16, {});
  for (TWavBuffer* s : {wide, odd, empty}) {
    s->SetLoop(true);
    s->Play();
  }
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 0u);
  EXPECT_TRUE(wide->IsEnd());
  EXPECT_TRUE(odd->IsEnd());
  EXPECT_TRUE(empty->IsEnd());
}

TEST(WavOut, OpenAndClose) {
  Rig rig;
  EXPECT_FALSE(rig.mixer.IsOpen());
  ASSERT_TRUE(rig.mixer.Open());
  EXPECT_FALSE(rig.mixer.Open());
  EXPECT_EQ(rig.device.opens, 1);
  TWavBuffer* source = rig.Source(kStereo16, std::vector<uint8_t>(100000, 1));
  source->Play();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Queued(), 2u);
  rig.mixer.Close();
  EXPECT_FALSE(rig.device.open);
  EXPECT_EQ(rig.device.Queued(), 0u);  // reset
  rig.mixer.RemoveBuffer(source);      // freed by Close: nothing to do
  // Open again: a new source plays.
  ASSERT_TRUE(rig.mixer.Open());
  rig.Source(kStereo16, Pcm16({9, 9}))->Play();
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 3u);
  EXPECT_EQ(rig.device.Block(2)[0], 9);
}

TEST(WavOut, FailedOpenLeavesItemsSilent) {
  Rig rig;
  rig.device.can_open = false;
  EXPECT_FALSE(rig.mixer.Open());
  EXPECT_FALSE(rig.mixer.IsOpen());
  TWavBuffer* source = rig.Source(kStereo16, Pcm16({5, 5}));
  source->Play();
  EXPECT_FALSE(source->Playing());
  EXPECT_TRUE(source->IsEnd());
  rig.mixer.Pump();
  EXPECT_EQ(rig.device.Writes(), 0u);
  rig.mixer.RemoveBuffer(source);
}

// The pump thread wakes every DelayTime / 4 ms, runs against IsEnd and the other calls of the
// main thread (clean under ThreadSanitizer), and Close stops it at once.
TEST(WavOutThread, PumpsOnItsOwnAndStopsPromptly) {
  FakeWaveOut device;
  device.done_on_write = true;
  std::atomic<uint32_t> now{0};
  auto mixer = std::make_unique<TWavOut>(device, [&] { return now.load(); }, 100, true);
  std::vector<std::unique_ptr<TMemoryStream>> streams;
  ASSERT_TRUE(mixer->Open());
  std::vector<TWavBuffer*> sources;
  for (int i = 0; i < 3; ++i) {
    streams.push_back(std::make_unique<TMemoryStream>(std::vector<uint8_t>(40000, uint8_t(i))));
    sources.push_back(mixer->AddBuffer(kStereo16, *streams.back()));
    sources.back()->SetLoop(i != 0);
    sources.back()->Play();
  }
  // Between the rounds the main thread calls only what takes no lock (IsEnd), so that nothing
  // but IsEnd's own reads orders it after the pump's mixes.
  int ended = 0;
  for (int round = 0; round < 4; ++round) {
    sources[0]->Replay();
    sources[0]->SetPosition(0);
    sources[1]->SetLevel(100 + round);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
    while (std::chrono::steady_clock::now() < until) {
      now += 10;
      ended += sources[0]->IsEnd() ? 1 : 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  EXPECT_GE(device.Writes(), 8u);
  EXPECT_GT(ended, 0);  // the short source ended meanwhile
  (void)sources[2]->GetPosition();
  const auto closing = std::chrono::steady_clock::now();
  mixer->Close();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::milliseconds(500));
  const size_t writes = device.Writes();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(device.Writes(), writes);
}

// ---- the bus's wave-out device

TEST(BusWaveOut, PlaysBlocksInTurnAndMarksThemDone) {
  plat::TCaptureAudioDevice sink;
  TAudioBus bus(sink);
  std::string error;
  ASSERT_TRUE(bus.Open(error));
  // The blocks outlive the device that queues them.
  TWaveBlock early, a, b, c, d, e, f;
  TBusWaveOut out(bus);
  early.samples = {1, 1};
  out.Write(early);  // closed: done at once, never played
  EXPECT_TRUE(early.done);
  ASSERT_TRUE(out.Open());
  EXPECT_FALSE(out.Open());

  a.samples = {10, 11, 12, 13, 14, 15};
  b.samples = {20, 21, 22, 23};
  c.samples = {30, 31};
  out.Write(a);
  out.Write(b);
  ASSERT_TRUE(sink.Pull(2));  // 4 values: within a
  EXPECT_FALSE(a.done);
  ASSERT_TRUE(sink.Pull(2));  // the end of a, the start of b
  EXPECT_TRUE(a.done);
  EXPECT_FALSE(b.done);
  out.Write(c);
  ASSERT_TRUE(sink.Pull(4));  // the rest of b, c, then silence
  EXPECT_TRUE(b.done);
  EXPECT_TRUE(c.done);
  EXPECT_EQ(sink.Captured(),
            (std::vector<int16_t>{10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 30, 31, 0, 0, 0, 0}));

  d.samples = {40, 41, 42, 43};
  e.samples = {50, 51};
  out.Write(d);
  out.Write(e);
  ASSERT_TRUE(sink.Pull(1));
  out.Reset();
  EXPECT_TRUE(d.done);
  EXPECT_TRUE(e.done);
  sink.ClearCapture();
  ASSERT_TRUE(sink.Pull(1));
  EXPECT_EQ(sink.Captured(), (std::vector<int16_t>{0, 0}));

  // Closed: no more an input of the bus.
  f.samples = {60, 61};
  out.Write(f);
  out.Close();
  EXPECT_TRUE(f.done);
  sink.ClearCapture();
  ASSERT_TRUE(sink.Pull(1));
  EXPECT_EQ(sink.Captured(), (std::vector<int16_t>{0, 0}));
}

// A 441 Hz tone through the mixer, the bus's wave-out device and the bus, captured as the sound
// device pulls it: at its amplitude, its frequency, and halved at level 128.
TEST(BusWaveOut, CapturedToneKeepsItsAmplitude) {
  constexpr double kPi = 3.14159265358979323846;
  const int32_t amplitude = 12000;
  std::vector<int16_t> tone;
  for (int i = 0; i < 44100; ++i) {  // 1 s, 441 whole periods, mono
    tone.push_back(int16_t(std::lround(amplitude * std::sin(2 * kPi * 441.0 * i / 44100.0))));
  }
  TMemoryStream stream(Pcm16(tone));

  plat::TCaptureAudioDevice sink;
  TAudioBus bus(sink);
  std::string error;
  ASSERT_TRUE(bus.Open(error));
  TBusWaveOut out(bus);
  uint32_t now = 0;
  TWavOut mixer(out, [&] { return now; }, 100, false);
  ASSERT_TRUE(mixer.Open());
  TWavBuffer* source = mixer.AddBuffer({1, 44100, 16}, stream);
  source->SetLoop(true);
  source->Play();

  const auto measure = [&](int32_t level) {
    source->SetLevel(level);
    sink.ClearCapture();
    for (int frame = 0; frame < 64; ++frame) {  // 64 frames of 16 ms, a pump before each
      mixer.Pump();
      ASSERT_TRUE(sink.Pull(706));
      now += 16;
    }
  };
  measure(256);
  std::vector<int16_t> got = sink.Captured();
  // Skip the two blocks queued before the level changed; look at 0.5 s of the left channel.
  const size_t skip = 2 * 8820;
  ASSERT_GT(got.size(), skip + 44100);
  int32_t peak = 0;
  int crossings = 0;
  for (size_t i = skip; i < skip + 44100; i += 2) {
    peak = std::max(peak, std::abs(int32_t(got[i])));
    EXPECT_EQ(got[i], got[i + 1]);
    if (i > skip && (got[i - 2] < 0) != (got[i] < 0)) ++crossings;
  }
  EXPECT_NEAR(peak, amplitude, 2);
  EXPECT_NEAR(crossings, 441, 2);  // 0.5 s of 441 Hz: 441 sign changes

  measure(128);
  got = sink.Captured();
  peak = 0;
  for (size_t i = skip; i < skip + 44100; i += 2) peak = std::max(peak, std::abs(int32_t(got[i])));
  EXPECT_NEAR(peak, amplitude / 2, 2);
  mixer.Close();
}

}  // namespace
}  // namespace kova
