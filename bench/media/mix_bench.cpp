// The wave-out mixer's work for one block of 88200 bytes (500 ms of 44100 Hz 16-bit stereo): 1,
// 8 and 32 looping sources read, widened, levelled and added, per source format; against a copy
// of one block and a plain scalar saturating add of the same number of ready-made blocks.
//
// Each iteration is one pump, which mixes two blocks (the device lets every block go at once): the
// "block" counter is the time of one block.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/stream.h"
#include "media/wave_out.h"

namespace kova {
namespace {

constexpr int32_t kDelay = 500;
constexpr size_t kBlockBytes = 88200;
constexpr size_t kBlockValues = kBlockBytes / 2;

class DoneAtOnce : public IWaveOutDevice {
 public:
  bool Open() override { return true; }
  void Write(TWaveBlock& block) override {
    benchmark::DoNotOptimize(block.samples.data());
    block.done = true;
  }
  void Reset() override {}
  void Close() override {}
};

const plat::TPcmFormat kFormats[] = {{2, 44100, 16}, {1, 22050, 8}, {1, 44100, 16}, {2, 22050, 16}};

void BM_MixBlock(benchmark::State& state) {
  const plat::TPcmFormat format = kFormats[state.range(0)];
  const int sources = int(state.range(1));
  state.SetLabel(std::to_string(format.channels) + "ch/" + std::to_string(format.rate) + "/" +
                 std::to_string(format.bits));
  DoneAtOnce device;
  std::vector<std::unique_ptr<TMemoryStream>> streams;
  TWavOut mixer(device, [] { return 0u; }, kDelay, false);
  mixer.Open();
  for (int i = 0; i < sources; ++i) {
    // Two seconds of a ramp, a different one for each source.
    std::vector<uint8_t> bytes(size_t(format.BytesPerSecond()) * 2);
    for (size_t b = 0; b < bytes.size(); ++b) bytes[b] = uint8_t(b * size_t(i + 3));
    streams.push_back(std::make_unique<TMemoryStream>(bytes));
    TWavBuffer* source = mixer.AddBuffer(format, *streams.back());
    source->SetLoop(true);
    source->SetLevel(i % 2 == 0 ? 256 : 200);
    source->Play();
  }
  for (auto _ : state) mixer.Pump();
  state.counters["block"] = benchmark::Counter(2, benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
  mixer.Close();
}
BENCHMARK(BM_MixBlock)->ArgsProduct({{0, 1, 2, 3}, {1, 8, 32}})->Unit(benchmark::kMicrosecond);

void BM_BlockMemcpy(benchmark::State& state) {
  std::vector<uint8_t> from(kBlockBytes, 0x30), to(kBlockBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBlockBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kBlockBytes));
}
BENCHMARK(BM_BlockMemcpy)->Unit(benchmark::kMicrosecond);

// A plain loop adding `n` ready-made blocks into one, value by value with saturation.
void BM_ScalarSaturatingAdd(benchmark::State& state) {
  const size_t n = size_t(state.range(0));
  std::vector<std::vector<int16_t>> inputs;
  for (size_t i = 0; i < n; ++i) {
    inputs.emplace_back(kBlockValues);
    for (size_t v = 0; v < kBlockValues; ++v) inputs[i][v] = int16_t(v * (i + 3));
  }
  std::vector<int16_t> block(kBlockValues);
  for (auto _ : state) {
    std::fill(block.begin(), block.end(), int16_t(0));
    for (const auto& in : inputs) {
      for (size_t v = 0; v < kBlockValues; ++v) {
        block[v] = int16_t(std::clamp(int32_t(block[v]) + int32_t(in[v]), -32768, 32767));
      }
    }
    benchmark::DoNotOptimize(block.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScalarSaturatingAdd)->Arg(1)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
