// The player's own costs:
//  - presenting a 1280 x 720 frame through the screen manager into a real SDL window (the dummy
//    driver unless SDL_VIDEODRIVER names another), whole or as 50 scattered dirty rectangles of the
//    scene's active layer, against a memcpy of the frame;
//  - one frame step of a game whose scene is empty (the script waiting);
//  - the start of a game whose game.dat is 1 GiB, up to the first presented frame, against reading
//    the archive's directory alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/scene_parts.h"
#include "components/scene/kova_base_list.h"
#include "core/archive.h"
#include "platform/sdl/sdl_video.h"
#include "player/form_view.h"
#include "player/headless_desktop.h"
#include "player/screen_manager.h"
#include "support/archive_builder.h"
#include "support/game_tree.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

namespace kova {
namespace {

using namespace kova::test;

constexpr int32_t kW = 1280, kH = 720;

// The scene over a screen manager whose presenter is an SDL window's.
struct SdlScreen {
  class Host : public TSceneHost {
   public:
    TScreenManager* screen = nullptr;
    TCustomDIBX* ScreenSurface() override { return &screen->BackBuffer(); }
    int32_t ScreenBitCount() override { return screen->BitCount(); }
  };

  SdlScreen() {
    ::setenv("SDL_VIDEODRIVER", "dummy", 0);
    video = plat::TSdlVideo::Open(&error);
    if (video) window = plat::TSdlWindow::Create(*video, "bench", {kW, kH}, plat::TSdlWindow::TOptions{false, true}, &error);
    if (window) presenter = plat::TSdlPresenter::Create(*window, {kW, kH}, {}, &error);
    if (!presenter) return;
    screen = std::make_unique<TScreenManager>(display, *window, *presenter, kW, kH, 0, 0);
    host.screen = screen.get();
    globals = std::make_unique<TSceneParts>(TSceneInputs{.host = &host});
    globals->Root().SetWidth(kW);
    globals->Root().SetHeight(kH);
    // Something other than black in the back buffer.
    TDIBX& back = screen->BackBuffer();
    for (int32_t y = 0; y < kH; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(back.PixelAddress(0, y));
      for (int32_t x = 0; x < kW; ++x) row[x] = uint32_t(x * 2654435761u ^ y * 40503u);
      back.Unlock();
    }
  }

  std::string error;
  std::unique_ptr<plat::TSdlVideo> video;
  std::unique_ptr<plat::TSdlWindow> window;
  std::unique_ptr<plat::TSdlPresenter> presenter;
  plat::TConfigurableDisplay display;
  std::unique_ptr<TScreenManager> screen;
  Host host;
  std::unique_ptr<TSceneParts> globals;
};

// 50 rectangles of 64 x 40 spread over the frame (about 14% of its pixels).
std::vector<TRect> Scattered() {
  std::vector<TRect> rects;
  uint32_t seed = 12345;
  for (int i = 0; i < 50; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int32_t x = int32_t((seed >> 8) % (kW - 64));
    seed = seed * 1103515245u + 12345u;
    const int32_t y = int32_t((seed >> 8) % (kH - 40));
    rects.push_back(TRect{x, y, x + 64, y + 40});
  }
  return rects;
}

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> in(size_t(kW) * kH * 4, 7), out(in.size());
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

void Present(benchmark::State& state, const std::vector<TRect>& dirty) {
  SdlScreen s;
  if (!s.screen) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  state.SetLabel(s.video->DriverName() + "/" + s.presenter->RendererName());
  TKovaBaseList& root = s.globals->Root();
  for (auto _ : state) {
    state.PauseTiming();
    root.EndFrame();
    for (const TRect& r : dirty) root.ActiveBase()->DirtyList().Add(r);
    state.ResumeTiming();
    s.screen->Present(root);
  }
  state.counters["rects"] = double(root.ActiveBase()->DirtyList().Count());
}

void BM_PresentFullFrame(benchmark::State& state) { Present(state, {TRect{0, 0, kW, kH}}); }
BENCHMARK(BM_PresentFullFrame)->Unit(benchmark::kMicrosecond);

void BM_Present50ScatteredRects(benchmark::State& state) { Present(state, Scattered()); }
BENCHMARK(BM_Present50ScatteredRects)->Unit(benchmark::kMicrosecond);

// A game whose start page waits forever; `extra` is added to its game.dat as a stored entry of
// that many bytes (a hole in the file, never read).
std::string WriteGame(const GameTree& tree, int64_t extra) {
  ProjectBuilder p;
  p.screen_width = kW;
  p.screen_height = kH;
  InstallSetBuilder set;
  set.version = 107;
  set.game_key = "KOVA-BENCH";
  set.complete = 1;
  PageWriter start;
  start.While(Yes(), 3).Indent(1).Wait(NoResult(), Value(I(16))).Indent(0).WhileLoop(NoResult(), 0);
  const std::vector<uint8_t> project = p.Build(), install = set.Build(), page = start.Bytes();
  ArchiveBuilder archive;
  archive.Add("kova.kpb", std::string(project.begin(), project.end()));
  archive.Add("install.dat", std::string(install.begin(), install.end()));
  archive.Add("start.ksb", std::string(page.begin(), page.end()));
  archive.Add("movie.dat", std::string(1, '\0'), true);
  const int64_t end = int64_t(archive.Build().size());
  if (extra > 1) archive.OverrideOffset(archive.Count(), end - 1 + extra);
  const std::string path = tree.WriteFile("game/game.dat", archive.Build());
  if (extra > 1 && ::truncate(path.c_str(), end - 1 + extra) != 0) return {};
  return tree.Path("game");
}

void BM_FrameStepEmptyScene(benchmark::State& state) {
  GameTree tree;
  plat::THeadlessServices services;
  TSession session(services);
  TLaunchInfo launch;
  launch.Params = {WriteGame(tree, 0)};
  if (!session.Open(launch)) {
    state.SkipWithError("the game did not open");
    return;
  }
  for (auto _ : state) session.Step(16);
}
BENCHMARK(BM_FrameStepEmptyScene)->Unit(benchmark::kMicrosecond);

constexpr int64_t kGiB = int64_t(1) << 30;

// Start-up to the first presented frame; the game's size is the argument (bytes beyond its pages).
void BM_StartToFirstFrame(benchmark::State& state) {
  GameTree tree;
  const std::string game = WriteGame(tree, state.range(0));
  for (auto _ : state) {
    THeadlessDesktop desktop;
    TFormView view(desktop, TSoundSettings{});
    TLaunchInfo launch;
    launch.Params = {game};
    if (!view.Create(launch, "") || view.Idle() || desktop.Opened().at(0).presenter->PresentCount() < 1) {
      state.SkipWithError("no first frame");
      return;
    }
  }
}
// 0: the cost of start-up itself; 1 GiB: what a big game.dat adds to it.
BENCHMARK(BM_StartToFirstFrame)->Arg(0)->Arg(kGiB)->Unit(benchmark::kMillisecond);

void BM_ReadDirectoryOf1GiBGame(benchmark::State& state) {
  GameTree tree;
  const std::string game = WriteGame(tree, kGiB);
  for (auto _ : state) {
    TVrFileCollection archive;
    archive.Open(game + "/game.dat");
    benchmark::DoNotOptimize(archive.Count());
  }
}
BENCHMARK(BM_ReadDirectoryOf1GiBGame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
