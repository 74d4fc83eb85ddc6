// The map image's work on a hover change: the masks of an 800 x 600 frame remade for the newly
// hovered region (the region cut out of the base picture's mask and kept alone in the hover
// picture's), against memcpy of the 32-bit frame (1.92 MB). Regions: a rectangle, an ellipse and
// a star-shaped polygon, each about a quarter of the frame.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "components/widgets/kova_map_image.h"
#include "components/widgets/map_regions.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kW = 800, kH = 600;

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t(kW) * kH * 4, 7), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from.size()));
}
BENCHMARK(BM_FrameMemcpy);

TMapRegion BenchRegion(int64_t kind) {
  switch (kind) {
    case 0: return TMapRegion::Rect(200, 150, 599, 449);
    case 1: return TMapRegion::Ellipse(150, 100, 649, 499);
    default: return TMapRegion::Polygon({{400, 50}, {640, 560}, {110, 230}, {690, 230}, {160, 560}});
  }
}

// Both masks of a frame for one hover change, from a frame mask of the picture's colour key.
void BM_MapMaskRemake(benchmark::State& state) {
  const TMapRegion region = BenchRegion(state.range(0));
  TDIBX frame_mask, base, hover;
  frame_mask.SetSize(kW, kH, 8);
  frame_mask.Fill(255);
  base.SetSize(kW, kH, 8);
  hover.SetSize(kW, kH, 8);
  for (auto _ : state) {
    MaskRegion(base, &frame_mask, region, false);
    MaskRegion(hover, &frame_mask, region, true);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
  state.SetLabel(state.range(0) == 0 ? "rectangle" : state.range(0) == 1 ? "ellipse" : "polygon");
}
BENCHMARK(BM_MapMaskRemake)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
}  // namespace kova
