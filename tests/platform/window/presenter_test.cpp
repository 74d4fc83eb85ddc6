// Presenting: the headless twin and the SDL presenter (dummy driver, software renderer) take the
// same frames and must show the same pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/window/headless_video.h"
#include "platform/sdl/sdl_video.h"

namespace kova::plat {
namespace {

TEST(FramePixels, WidenByBitReplication) {
  EXPECT_EQ(Widen565(0x0000), 0x000000u);
  EXPECT_EQ(Widen565(0xFFFF), 0xFFFFFFu);
  EXPECT_EQ(Widen565(0xF800), 0xFF0000u);
  EXPECT_EQ(Widen565(0x07E0), 0x00FF00u);
  EXPECT_EQ(Widen565(0x001F), 0x0000FFu);
  EXPECT_EQ(Widen565(0x8410), 0x848284u);  // 16, 32, 16
  EXPECT_EQ(Widen555(0x7FFF), 0xFFFFFFu);
  EXPECT_EQ(Widen555(0x8000), 0x000000u);  // the unused top bit is ignored
  EXPECT_EQ(Widen555(0x4210), 0x848484u);
  EXPECT_EQ(Widen555(0x03E0), 0x00FF00u);
}

// A frame stored bottom-up (negative pitch, as memory surfaces keep it), rows padded to 4 bytes.
class Frame {
 public:
  Frame(int32_t w, int32_t h, int32_t bits, std::function<uint32_t(int32_t, int32_t)> raw)
      : w_(w), h_(h), bits_(bits), stride_(((w * (bits == 32 ? 4 : 2)) + 3) & ~3), bytes_(size_t(stride_) * h) {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = bytes_.data() + size_t(h - 1 - y) * stride_;
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t v = raw(x, y);
        std::memcpy(row + x * (bits == 32 ? 4 : 2), &v, bits == 32 ? 4 : 2);
      }
    }
  }
  TFrameBuffer View() const {
    return TFrameBuffer{bytes_.data() + size_t(h_ - 1) * stride_, -ptrdiff_t{stride_}, w_, h_, bits_};
  }

 private:
  int32_t w_, h_, bits_, stride_;
  std::vector<uint8_t> bytes_;
};

// What a test needs of a presenter: the presenter and the picture it shows, read back.
class Harness {
 public:
  virtual ~Harness() = default;
  virtual IPresenter& Presenter() = 0;
  virtual std::vector<uint32_t> Shown() = 0;  // 0x00RRGGBB, game size, top row first
};

class HeadlessHarness : public Harness {
 public:
  explicit HeadlessHarness(TSize game) : presenter_(game) {}
  IPresenter& Presenter() override { return presenter_; }
  std::vector<uint32_t> Shown() override { return presenter_.Pixels(); }

 private:
  THeadlessPresenter presenter_;
};

class SdlHarness : public Harness {
 public:
  explicit SdlHarness(TSize game) : game_(game) {
    std::string error;
    video_ = TSdlVideo::Open(&error);
    if (!video_) return;
    window_ = TSdlWindow::Create(*video_, "presenter", game, TSdlWindow::TOptions{false, true}, &error);
    if (window_) presenter_ = TSdlPresenter::Create(*window_, game, TSdlPresenter::TOptions{true, false}, &error);
    error_ = error;
  }
  bool Ready() const { return presenter_ != nullptr; }
  const std::string& Error() const { return error_; }
  IPresenter& Presenter() override { return *presenter_; }
  std::vector<uint32_t> Shown() override {
    std::vector<uint32_t> pixels(size_t(game_.width) * game_.height);
    SDL_RenderReadPixels(presenter_->Renderer(), nullptr, SDL_PIXELFORMAT_RGB888, pixels.data(), game_.width * 4);
    for (uint32_t& p : pixels) p &= 0xFFFFFF;
    return pixels;
  }

 private:
  TSize game_;
  std::string error_;
  std::unique_ptr<TSdlVideo> video_;
  std::unique_ptr<TSdlWindow> window_;
  std::unique_ptr<TSdlPresenter> presenter_;
};

class PresenterTest : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<Harness> Make(TSize game) {
    if (!GetParam()) return std::make_unique<HeadlessHarness>(game);
    auto sdl = std::make_unique<SdlHarness>(game);
    if (!sdl->Ready()) {
      ADD_FAILURE() << "SDL presenter: " << sdl->Error();
      return nullptr;
    }
    return sdl;
  }
};

// Every channel takes many values along a row.
uint32_t Raw565(int32_t x, int32_t y) { return uint32_t(((x * 7) & 31) << 11 | ((x * 5 + y * 3) & 63) << 5 | ((x + y) & 31)); }
uint32_t Raw555(int32_t x, int32_t y) { return uint32_t((x & 31) << 10 | ((x * 3 + y) & 31) << 5 | ((x ^ y) & 31)); }
uint32_t Raw8888(int32_t x, int32_t y) { return 0xAB000000u | uint32_t(x * 9) << 16 | uint32_t(y * 7) << 8 | uint32_t(x + y); }

// Only the pixels of the given rectangles change, converted; rectangles are cut to the frame and
// empty ones skipped; what earlier presents showed stays.
TEST_P(PresenterTest, TakesOnlyTheDirtyRectanglesOfEachDepth) {
  struct DepthCase {
    int32_t bits;
    uint32_t (*raw)(int32_t, int32_t);
    uint32_t (*shown)(uint32_t);
  };
  const DepthCase depths[] = {
      {16, Raw565, [](uint32_t v) { return Widen565(uint16_t(v)); }},
      {15, Raw555, [](uint32_t v) { return Widen555(uint16_t(v)); }},
      {32, Raw8888, [](uint32_t v) { return v & 0xFFFFFF; }},
  };
  const TSize game{37, 11};  // odd width: rows of 16-bit frames carry padding
  for (const DepthCase& d : depths) {
    SCOPED_TRACE(d.bits);
    auto h = Make(game);
    ASSERT_TRUE(h);
    const Frame frame(game.width, game.height, d.bits, d.raw);
    // Wide rows (taken 8 pixels at a time, then one by one), a rectangle partly outside, an
    // empty one, and one a pixel wide.
    const TScreenRect first[] = {{2, 1, 35, 4}, {30, 8, 60, 40}, {7, 7, 7, 9}, {-3, 9, 1, 20}};
    h->Presenter().PresentRects(frame.View(), first);
    const Frame later(game.width, game.height, d.bits, [](int32_t, int32_t) { return 0u; });
    const TScreenRect second[] = {{3, 2, 13, 3}};
    h->Presenter().PresentRects(later.View(), second);

    const std::vector<uint32_t> shown = h->Shown();
    auto in = [](const TScreenRect& r, int32_t x, int32_t y) {
      return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    };
    for (int32_t y = 0; y < game.height; ++y) {
      for (int32_t x = 0; x < game.width; ++x) {
        uint32_t want = 0;
        if (in(first[0], x, y) || in(first[1], x, y) || in(first[3], x, y)) want = d.shown(d.raw(x, y));
        if (in(second[0], x, y)) want = 0;
        ASSERT_EQ(shown[size_t(y) * game.width + x], want) << x << "," << y;
      }
    }
  }
}

TEST_P(PresenterTest, RepaintAllTakesTheWholeFrame) {
  auto h = Make({8, 6});
  ASSERT_TRUE(h);
  const Frame frame(8, 6, 32, Raw8888);
  h->Presenter().RepaintAll(frame.View());
  const std::vector<uint32_t> shown = h->Shown();
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(shown[size_t(y) * 8 + x], Raw8888(x, y) & 0xFFFFFF);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, PresenterTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sdl" : "Headless"; });

TEST(HeadlessPresenter, CountsOnlyPresentsThatTookSomething) {
  THeadlessPresenter p({4, 4});
  const Frame frame(4, 4, 32, Raw8888);
  const TScreenRect none[] = {{1, 1, 1, 3}, {5, 5, 9, 9}};
  p.PresentRects(frame.View(), none);
  EXPECT_EQ(p.PresentCount(), 0);
  const TScreenRect some[] = {{-1, 2, 2, 9}};
  p.PresentRects(frame.View(), some);
  EXPECT_EQ(p.PresentCount(), 1);
  EXPECT_EQ(p.LastRects(), (std::vector<TScreenRect>{{0, 2, 2, 4}}));
}

}  // namespace
}  // namespace kova::plat
