// The scene's per-frame costs: a full redraw through the control tree against the same blits
// called directly, the hit test of the mouse step, and the update pass.
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "components/scene/kova_base_list.h"
#include "components/scene/scene_host.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kScreenW = 1280, kScreenH = 720, kSprite = 64, kSprites = 200;

// An opaque picture drawn at its place.
class Sprite : public TKovaControl {
 public:
  Sprite(TKovaObject* owner, TCustomDIBX* picture) : TKovaControl(owner), picture_(picture) {}
  uint8_t GetCompoType() const override { return KT_IMAGES; }
  void Draw() override {
    TCustomDIBX* target = GetTargetDIB();
    target->Draw(GetScreenLeft(), GetScreenTop(), *picture_, TRect{0, 0, kSprite, kSprite}, false, false, false);
  }

 private:
  TCustomDIBX* picture_;
};

// Deterministic places spread over the screen.
std::vector<TPoint> Places(int n) {
  std::vector<TPoint> out;
  uint32_t s = 12345;
  for (int i = 0; i < n; ++i) {
    s = s * 1103515245u + 12345u;
    const int32_t x = int32_t((s >> 8) % uint32_t(kScreenW - kSprite));
    s = s * 1103515245u + 12345u;
    const int32_t y = int32_t((s >> 8) % uint32_t(kScreenH - kSprite));
    out.push_back(TPoint{x, y});
  }
  return out;
}

struct SpriteScene {
  explicit SpriteScene(TDisplayFormat format) : host(format), root(&host) {
    host.SetScreenSize(kScreenW, kScreenH);
    root.SetWidth(kScreenW);
    root.SetHeight(kScreenH);
    root.SetColor(0x202020);
    picture.SetSize(kSprite, kSprite, host.ScreenBitCount());
    picture.Fill(uint32_t(picture.ColorToPixel(0x3060C0)));
    for (TPoint p : Places(kSprites)) {
      auto* s = new Sprite(&root, &picture);
      s->SetParent(root.ActiveBase());
      s->SetBounds(p.X, p.Y, kSprite, kSprite);
    }
  }
  THeadlessSceneHost host;
  TKovaBaseList root;
  TDIBX picture;
};

void BM_SceneFullRedraw(benchmark::State& state) {
  SpriteScene scene(state.range(0) == 32 ? kDisplay8888 : kDisplay565);
  for (auto _ : state) {
    scene.root.ActiveBase()->InvalidateAll();
    scene.root.Draw();
    scene.root.EndFrame();
  }
  state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_SceneFullRedraw)->Arg(32)->Arg(16);

// The same picture: the layer's fill and the 200 blits, called directly.
void BM_DirectBlits(benchmark::State& state) {
  SpriteScene scene(state.range(0) == 32 ? kDisplay8888 : kDisplay565);
  TCustomDIBX& screen = scene.host.Screen();
  const std::vector<TPoint> places = Places(kSprites);
  const uint32_t back = uint32_t(screen.ColorToPixel(0x202020));
  for (auto _ : state) {
    screen.FillRect(TRect{0, 0, kScreenW, kScreenH}, back);
    for (TPoint p : places) screen.Draw(p.X, p.Y, scene.picture, TRect{0, 0, kSprite, kSprite}, false, false, false);
  }
  state.SetItemsProcessed(state.iterations() * kSprites);
}
BENCHMARK(BM_DirectBlits)->Arg(32)->Arg(16);

void BM_HitTest1000(benchmark::State& state) {
  TKovaBaseList root;
  root.SetWidth(kScreenW);
  root.SetHeight(kScreenH);
  for (int i = 0; i < 1000; ++i) {
    auto* c = new TKovaControl(&root);
    c->SetParent(root.ActiveBase());
    c->SetBounds((i % 40) * 32, (i / 40) * 28, 30, 26);
  }
  int32_t x = 0;
  for (auto _ : state) {
    x = (x + 37) % kScreenW;
    benchmark::DoNotOptimize(root.ActiveBase()->HitTest(TPoint{x, 300}, kMaskOther));
  }
}
BENCHMARK(BM_HitTest1000);

class Ticker : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;
  uint8_t GetCompoType() const override { return KT_TIMER; }
  bool Update() override {
    ++ticks;
    return false;
  }
  int64_t ticks = 0;
};

void BM_Update2000(benchmark::State& state) {
  TKovaBaseList root;
  root.SetWidth(64);
  root.SetHeight(64);
  for (int i = 0; i < 1000; ++i) new Ticker(&root);
  for (int i = 0; i < 1000; ++i) {
    auto* c = new TKovaControl(&root);
    c->SetParent(root.ActiveBase());
  }
  for (auto _ : state) root.Update();
  state.SetItemsProcessed(state.iterations() * 2000);
}
BENCHMARK(BM_Update2000);

}  // namespace
}  // namespace kova
