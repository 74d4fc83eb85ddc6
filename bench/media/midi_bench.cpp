// The song reader over a Standard MIDI File of 100,000 events made by the test suite's writer
// (notes with running status, controllers, a tempo change every thousand events), in one track
// and spread over eight tracks that must be merged; against reading the file's bytes: a loop that
// touches every byte and a copy into a vector.
#include <cstring>
#include <numeric>
#include <vector>

#include <benchmark/benchmark.h>

#include "media/midi_file.h"
#include "support/midi_writer.h"

namespace kova {
namespace {

constexpr int kEvents = 100000;

std::vector<uint8_t> Song(int tracks) {
  test::TMidiWriter w(tracks == 1 ? 0 : 1, 480);
  const int per_track = kEvents / tracks;
  for (int t = 0; t < tracks; ++t) {
    w.Track();
    const int channel = t % 16;
    w.Program(0, channel, t * 8);
    for (int i = 1; i < per_track - 1; ++i) {
      if (t == 0 && i % 1000 == 0) {
        w.Tempo(0, 400000 + uint32_t(i % 7) * 25000);
      } else if (i % 10 == 0) {
        w.Control(0, channel, 7, i & 0x7F);
      } else if (i % 2 == 1) {
        w.NoteOn(uint32_t(t + 1), channel, 40 + i % 40, 100);
      } else {
        w.Event(uint32_t(7 + t), {uint8_t(40 + (i - 1) % 40), 0});  // running status, velocity 0
      }
    }
    w.EndOfTrack(1);
  }
  return w.Bytes();
}

void BM_MidiLoad(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Song(int(state.range(0)));
  TMidiV song;
  for (auto _ : state) {
    song.LoadFromStream(bytes);
    benchmark::DoNotOptimize(song.Events().data());
  }
  if (song.Events().size() != size_t(kEvents)) state.SkipWithError("not every event was read");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * kEvents);
}
BENCHMARK(BM_MidiLoad)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

void BM_MidiTouchBytes(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Song(1);
  for (auto _ : state) {
    uint32_t sum = 0;
    for (uint8_t b : bytes) {
      sum += b;
      benchmark::DoNotOptimize(sum);
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_MidiTouchBytes)->Unit(benchmark::kMicrosecond);

void BM_MidiCopyBytes(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Song(1);
  for (auto _ : state) {
    std::vector<uint8_t> copy(bytes.size());
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_MidiCopyBytes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
