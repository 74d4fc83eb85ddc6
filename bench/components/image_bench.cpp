// Image components and the picture cache: a 640 x 480 image drawn unscaled against memcpy of its
// rows; blended (level 128), stretched 2x and turned against pixman (OVER with a constant mask,
// nearest scaling, nearest affine); a cache hit against a case-folding hash lookup; and making 100
// image sets that share one picture against making one, and against decoding that picture once.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "components/scene/scene_parts.h"
#include "components/scene/scene_subsystem.h"
#include "components/scene/image_cache.h"
#include "components/widgets/kova_images.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "graphics/pictures/png_saver.h"
#include "graphics/pictures/wexa_frame_list.h"

namespace kova {
namespace {

constexpr int32_t kW = 640, kH = 480;

class Pictures : public IPictureSource {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  bool PictureExists(std::string_view name) override { return files.count(std::string(name)) != 0; }
  void LoadPicture(TStream& dest, std::string_view name) override {
    const auto& bytes = files.at(std::string(name));
    dest.Write(bytes.data(), int64_t(bytes.size()));
  }
  uint32_t PictureSeed() override { return 0; }
};

// A PNG of noise, written by the picture code's own PNG writer through a temporary file.
std::vector<uint8_t> NoisePng(int32_t w, int32_t h) {
  TDIBX picture;
  picture.SetSize(w, h, 32);
  uint32_t v = 7;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      v = v * 1664525u + 1013904223u;
      picture.SetPixel(x, y, v >> 8);
    }
  }
  char path[] = "/tmp/kova_image_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd >= 0) close(fd);
  SaveSurfacePng(picture, path);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path);
  return bytes;
}

// A 640 x 480 screen with one image set showing a w x h picture.
struct ImageScene {
  ImageScene(int32_t w, int32_t h) : ImageScene(NoisePng(w, h)) {}
  explicit ImageScene(std::vector<uint8_t> picture, bool with_image = true)
      : globals(TSceneInputs{.host = &host, .pictures = &pictures}) {
    RegisterSceneKinds(globals.Kinds());
    host.SetScreenSize(kW, kH);
    globals.Root().SetWidth(kW);
    globals.Root().SetHeight(kH);
    pictures.files["p.wxa"] = std::move(picture);
    if (!with_image) return;
    image = static_cast<TKovaImages*>(globals.Root().CreateComponent(KT_IMAGES));
    image->SetParent(globals.Root().ActiveBase());
    image->SetSource("p.wxa");
  }
  THeadlessSceneHost host;
  Pictures pictures;
  TSceneParts globals;
  TKovaImages* image = nullptr;
};

void BM_ImageUnscaled(benchmark::State& state) {
  ImageScene scene(kW, kH);
  for (auto _ : state) {
    scene.image->Render();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_ImageUnscaled)->Unit(benchmark::kMicrosecond);

void BM_MemcpyRows(benchmark::State& state) {
  std::vector<uint32_t> src(size_t(kW) * kH, 0x123456), dst(size_t(kW) * kH);
  for (auto _ : state) {
    for (int32_t y = 0; y < kH; ++y) std::memcpy(&dst[size_t(y) * kW], &src[size_t(y) * kW], size_t(kW) * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_MemcpyRows)->Unit(benchmark::kMicrosecond);

struct PixmanImage {
  std::vector<uint32_t> pixels;
  pixman_image_t* image = nullptr;
  PixmanImage(int32_t w, int32_t h, pixman_format_code_t format) : pixels(size_t(w) * size_t(h)) {
    uint32_t v = 3;
    for (uint32_t& p : pixels) {
      v = v * 1664525u + 1013904223u;
      p = v | 0xFF000000u;
    }
    image = pixman_image_create_bits(format, w, h, pixels.data(), w * 4);
  }
  ~PixmanImage() { pixman_image_unref(image); }
};

void BM_ImageBlended(benchmark::State& state) {
  ImageScene scene(kW, kH);
  scene.image->SetAlpha(128);
  for (auto _ : state) {
    scene.image->Render();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_ImageBlended)->Unit(benchmark::kMicrosecond);

void BM_PixmanOverConstantMask(benchmark::State& state) {
  PixmanImage src(kW, kH, PIXMAN_a8r8g8b8), dst(kW, kH, PIXMAN_x8r8g8b8);
  pixman_color_t half{0, 0, 0, 0x8080};
  pixman_image_t* mask = pixman_image_create_solid_fill(&half);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src.image, mask, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(mask);
  state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_PixmanOverConstantMask)->Unit(benchmark::kMicrosecond);

void BM_ImageStretched2x(benchmark::State& state) {
  ImageScene scene(kW / 2, kH / 2);
  scene.image->SetZoomX(512);
  scene.image->SetZoomY(512);
  scene.image->Update();
  for (auto _ : state) {
    scene.image->Render();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_ImageStretched2x)->Unit(benchmark::kMicrosecond);

void BM_PixmanNearestScale2x(benchmark::State& state) {
  PixmanImage src(kW / 2, kH / 2, PIXMAN_x8r8g8b8), dst(kW, kH, PIXMAN_x8r8g8b8);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(src.image, &t);
  pixman_image_set_filter(src.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_PixmanNearestScale2x)->Unit(benchmark::kMicrosecond);

constexpr int32_t kTurnSize = 256, kAngle = 37;

void BM_ImageTurned(benchmark::State& state) {
  ImageScene scene(kTurnSize, kTurnSize);
  scene.image->SetLeft(kW / 2);
  scene.image->SetTop(kH / 2);
  scene.image->SetOffsetX(kTurnSize / 2);
  scene.image->SetOffsetY(kTurnSize / 2);
  scene.image->SetAngle(kAngle);
  const TRect box = scene.image->GetBoundsRect();
  for (auto _ : state) {
    scene.image->Render();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * box.Width() * box.Height());
}
BENCHMARK(BM_ImageTurned)->Unit(benchmark::kMicrosecond);

void BM_PixmanAffineNearest(benchmark::State& state) {
  PixmanImage src(kTurnSize, kTurnSize, PIXMAN_x8r8g8b8), dst(kW, kH, PIXMAN_x8r8g8b8);
  const double a = kAngle * 2.0 * M_PI / 256.0, c = std::cos(a), n = std::sin(a);
  const double x = kW / 2, y = kH / 2, pivot = kTurnSize / 2;
  pixman_f_transform ft{};
  ft.m[0][0] = c;
  ft.m[0][1] = n;
  ft.m[0][2] = pivot - (c * x + n * y);
  ft.m[1][0] = -n;
  ft.m[1][1] = c;
  ft.m[1][2] = pivot - (-n * x + c * y);
  ft.m[2][2] = 1;
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &ft);
  pixman_image_set_transform(src.image, &t);
  pixman_image_set_filter(src.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const TRect box = CalcRotatedBounds(int32_t(x), int32_t(y), kTurnSize / 2, kTurnSize / 2, kAngle,
                                      TRect{0, 0, kTurnSize, kTurnSize}, 256, 256, 0, 0, false, false);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, box.Left, box.Top, 0, 0, box.Left, box.Top,
                             box.Width(), box.Height());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * box.Width() * box.Height());
}
BENCHMARK(BM_PixmanAffineNearest)->Unit(benchmark::kMicrosecond);

// ---- The cache ----

constexpr int kCachedPictures = 1000;

std::string CachedName(int i) { return "Picture\\Bg_" + std::to_string(i) + ".wxa"; }

void BM_CacheHit(benchmark::State& state) {
  Pictures pictures;  // every name missing: each item is one blank frame
  TWexaCollection cache(nullptr, &pictures);
  int owner = 0;
  for (int i = 0; i < kCachedPictures; ++i) cache.Acquire(&owner, CachedName(i), false, false);
  const std::string wanted = "PICTURE\\BG_517.WXA";
  for (auto _ : state) benchmark::DoNotOptimize(cache.Acquire(&owner, wanted, false, false));
}
BENCHMARK(BM_CacheHit);

void BM_FoldedHashLookup(benchmark::State& state) {
  std::unordered_map<std::string, int> map;
  auto fold = [](std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  for (int i = 0; i < kCachedPictures; ++i) map[fold(CachedName(i))] = i;
  const std::string wanted = "PICTURE\\BG_517.WXA";
  for (auto _ : state) benchmark::DoNotOptimize(map.find(fold(wanted)));
}
BENCHMARK(BM_FoldedHashLookup);

// With 1 and with 100 sets: the 99 that share the picture should add next to nothing.
void BM_HundredSetsShareOnePicture(benchmark::State& state) {
  const int64_t sets = state.range(0);
  const std::vector<uint8_t> bytes = NoisePng(kW, kH);
  for (auto _ : state) {
    // Building and freeing the screen and its layers is not what is measured.
    state.PauseTiming();
    auto scene = std::make_unique<ImageScene>(bytes, false);
    state.ResumeTiming();
    for (int64_t i = 0; i < sets; ++i) {  // the first set reads the picture, the others share it
      auto* c = static_cast<TKovaImages*>(scene->globals.Root().CreateComponent(KT_IMAGES));
      c->SetParent(scene->globals.Root().ActiveBase());
      c->SetSource("p.wxa");
    }
    benchmark::DoNotOptimize(scene->globals.ImageCache().Count());
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * sets);
}
BENCHMARK(BM_HundredSetsShareOnePicture)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_DecodeThePictureOnce(benchmark::State& state) {
  const std::vector<uint8_t> bytes = NoisePng(kW, kH);
  for (auto _ : state) {
    TMemoryStream stream{std::span<const uint8_t>(bytes)};
    TWexaFrameList list;
    list.LoadFromStream(stream, false);
    benchmark::DoNotOptimize(list.Count());
  }
}
BENCHMARK(BM_DecodeThePictureOnce)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
