// Presenting a 1280 x 720 frame through the SDL presenter (dummy driver unless SDL_VIDEODRIVER
// names another; software renderer there), whole or as 50 scattered dirty rectangles, against a
// plain memcpy of the frame.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/window/frame_pixels.h"
#include "platform/sdl/sdl_video.h"

namespace kova::plat {
namespace {

constexpr int32_t kW = 1280, kH = 720;

struct Frame {
  explicit Frame(int32_t bits) : bits(bits), stride(kW * (bits == 32 ? 4 : 2)), bytes(size_t(stride) * kH) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 2654435761u >> 24);
  }
  TFrameBuffer View() const {  // bottom-up, as memory surfaces keep their rows
    return TFrameBuffer{bytes.data() + size_t(kH - 1) * stride, -ptrdiff_t{stride}, kW, kH, bits};
  }
  int32_t bits;
  int32_t stride;
  std::vector<uint8_t> bytes;
};

// 50 rectangles of 64 x 40 spread over the frame (about 14% of its pixels).
std::vector<TScreenRect> Scattered() {
  std::vector<TScreenRect> rects;
  uint32_t seed = 12345;
  for (int i = 0; i < 50; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int32_t x = int32_t((seed >> 8) % (kW - 64));
    seed = seed * 1103515245u + 12345u;
    const int32_t y = int32_t((seed >> 8) % (kH - 40));
    rects.push_back(TScreenRect{x, y, x + 64, y + 40});
  }
  return rects;
}

struct Screen {
  Screen() {
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    std::string error;
    video = TSdlVideo::Open(&error);
    if (video) window = TSdlWindow::Create(*video, "bench", {kW, kH}, TSdlWindow::TOptions{false, true}, &error);
    if (window) presenter = TSdlPresenter::Create(*window, {kW, kH}, {}, &error);
    this->error = error;
  }
  std::string error;
  std::unique_ptr<TSdlVideo> video;
  std::unique_ptr<TSdlWindow> window;
  std::unique_ptr<TSdlPresenter> presenter;
};

void BM_MemcpyFrame(benchmark::State& state) {
  const Frame frame(32);
  std::vector<uint8_t> out(frame.bytes.size());
  for (auto _ : state) {
    std::memcpy(out.data(), frame.bytes.data(), frame.bytes.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.bytes.size()));
}
BENCHMARK(BM_MemcpyFrame);

// The conversion alone into a 32-bit buffer (what an upload does to each rectangle).
void BM_ConvertFrame(benchmark::State& state) {
  const Frame frame(int32_t(state.range(0)));
  std::vector<uint8_t> out(size_t(kW) * kH * 4);
  for (auto _ : state) {
    ConvertFrameRect(frame.View(), TScreenRect{0, 0, kW, kH}, out.data(), kW * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ConvertFrame)->Arg(32)->Arg(16);

void Present(benchmark::State& state, bool scattered) {
  Screen screen;
  if (!screen.presenter) {
    state.SkipWithError(screen.error.c_str());
    return;
  }
  state.SetLabel(screen.video->DriverName() + "/" + screen.presenter->RendererName());
  const Frame frame(int32_t(state.range(0)));
  const std::vector<TScreenRect> rects = scattered ? Scattered() : std::vector<TScreenRect>{{0, 0, kW, kH}};
  for (auto _ : state) screen.presenter->PresentRects(frame.View(), rects);
}

void BM_PresentFullFrame(benchmark::State& state) { Present(state, false); }
BENCHMARK(BM_PresentFullFrame)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_Present50Rects(benchmark::State& state) { Present(state, true); }
BENCHMARK(BM_Present50Rects)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova::plat
