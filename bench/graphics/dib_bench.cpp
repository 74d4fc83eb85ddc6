// BMP loading against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/stream.h"
#include "graphics/dib.h"

namespace kova {
namespace {

std::vector<uint8_t> MakeBmp(int32_t w, int32_t h) {
  TDIB dib;
  dib.SetSize(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = dib.RowAddress(y);
    for (int32_t i = 0; i < dib.WidthBytes(); ++i) row[i] = uint8_t(i * 7 + y);
  }
  TMemoryStream out;
  dib.SaveToStream(out);
  return std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().end());
}

const std::vector<uint8_t>& FullHdBmp() {
  static const std::vector<uint8_t> bytes = MakeBmp(1920, 1080);
  return bytes;
}

// Loading into the same bitmap again (its pixel memory is reused).
void BM_BmpLoad1080p24_Reused(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = FullHdBmp();
  TDIB dib;
  for (auto _ : state) {
    TSpanStream stream(bytes);
    dib.LoadFromStream(stream);
    benchmark::DoNotOptimize(dib.PixelData());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_BmpLoad1080p24_Reused)->Unit(benchmark::kMicrosecond);

// Loading into a new bitmap each time.
void BM_BmpLoad1080p24_Fresh(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = FullHdBmp();
  for (auto _ : state) {
    TDIB dib;
    TSpanStream stream(bytes);
    dib.LoadFromStream(stream);
    benchmark::DoNotOptimize(dib.PixelData());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_BmpLoad1080p24_Fresh)->Unit(benchmark::kMicrosecond);

// The floor: copying the pixel bytes of the same file into memory already owned.
void BM_Memcpy1080p24(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = FullHdBmp();
  const size_t n = bytes.size() - 54;
  std::vector<uint8_t> dst(n, 1);
  for (auto _ : state) {
    std::memcpy(dst.data(), bytes.data() + 54, n);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_Memcpy1080p24)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
