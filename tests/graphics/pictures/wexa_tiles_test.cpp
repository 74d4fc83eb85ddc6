// Tiled planes: literal tiles, copies of another tile of the same plane, copies from layers of
// frames read before, permuted tile tables, alpha planes through tiles, and the references that
// must be refused.
#include <gtest/gtest.h>

#include "graphics/pictures/wexa_test_util.h"

namespace kova::test {
namespace {

// 7 x 5 pixels in 3 x 2 tiles: 3 tile columns (the last 1 wide) and 3 tile rows (the last 1 high).
constexpr int32_t W = 7, H = 5, TW = 3, TH = 2, TILES_X = 3, N = 9;

WexaFileDesc Tiled() {
  WexaFileDesc desc;
  desc.version = 106;
  desc.tile_width = TW;
  desc.tile_height = TH;
  desc.seed = 0xBEEF;
  return desc;
}

WexaFrameDesc FrameOf(std::vector<WexaLayerDesc> layers, int32_t bits = 24) {
  WexaFrameDesc f;
  f.width = W;
  f.height = H;
  f.bit_count = bits;
  f.layers = std::move(layers);
  return f;
}

// Copies tile `from` of a w x h pixel list over tile `to` (the size of `to`), as the reader does.
void CopyTileValues(std::vector<uint32_t>& px, int32_t to, int32_t from_x, int32_t from_y) {
  const int32_t x = to % TILES_X * TW, y = to / TILES_X * TH;
  const int32_t w = std::min(TW, W - x), h = std::min(TH, H - y);
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) px[size_t((y + r) * W + x + c)] = px[size_t((from_y + r) * W + from_x + c)];
}

TEST(WexaTiles, SamePlaneCopiesAndPermutedTables) {
  for (bool permuted : {false, true}) {
    for (WexaCoding coding : {WexaCoding::Raw, WexaCoding::Zlib}) {
      SCOPED_TRACE(::testing::Message() << "permuted " << permuted << " coding " << int(coding));
      std::vector<uint32_t> px = Pattern(W, H);
      WexaLayerDesc l;
      l.color_tiles.assign(N, WexaTile{});
      l.color_tiles[4] = {-2, 0};  // the middle tile repeats the top-left one
      l.color_tiles[5] = {-2, 3};  // the narrow right tile takes the left edge of tile 3
      CopyTileValues(px, 4, 0, 0);
      CopyTileValues(px, 5, 0, 2);
      l.pixels = px;
      WexaFileDesc desc = Tiled();
      desc.permuted = permuted;
      desc.coding = coding;
      desc.frames.push_back(FrameOf({l}));
      TWexaFrameList list(desc.seed);
      LoadBytes(list, BuildWexa(desc));
      EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), px);
    }
  }
}

TEST(WexaTiles, CopiesFromEarlierFramesAndLayers) {
  const std::vector<uint32_t> first = Pattern(W, H, 0, 1);
  WexaLayerDesc base;
  base.pixels = first;
  base.alpha = AlphaPattern(W, H);
  WexaFileDesc desc = Tiled();
  desc.coding = WexaCoding::Zlib;
  desc.frames.push_back(FrameOf({base}));

  // Frame 1: layer 0 takes tiles 0 and 8 from frame 0, layer 1 (invisible) takes tile 2 from
  // layer 0 of its own frame; alpha planes copy the same way.
  std::vector<uint32_t> second = Pattern(W, H, 0, 2);
  std::vector<uint8_t> second_alpha(size_t(W * H), 200);
  WexaLayerDesc l0;
  l0.color_tiles.assign(N, WexaTile{});
  l0.alpha_tiles.assign(N, WexaTile{});
  for (int32_t t : {0, 8}) {
    l0.color_tiles[size_t(t)] = {0, 0};
    l0.alpha_tiles[size_t(t)] = {0, 0};
    const int32_t x = t % TILES_X * TW, y = t / TILES_X * TH;
    for (int32_t r = 0; r < std::min(TH, H - y); ++r) {
      for (int32_t c = 0; c < std::min(TW, W - x); ++c) {
        const size_t i = size_t((y + r) * W + x + c);
        second[i] = first[i];
        second_alpha[i] = base.alpha[i];
      }
    }
  }
  l0.pixels = second;
  l0.alpha = second_alpha;
  l0.use_alpha = true;
  WexaLayerDesc l1;
  l1.visible = false;
  l1.color_tiles.assign(N, WexaTile{});
  l1.color_tiles[2] = {1, 0};
  l1.pixels = Pattern(W, H, 0, 3);
  for (int32_t r = 0; r < TH; ++r) l1.pixels[size_t(r * W + 6)] = second[size_t(r * W + 6)];
  desc.frames.push_back(FrameOf({l0, l1}));

  TWexaFrameList list(desc.seed);
  LoadBytes(list, BuildWexa(desc));
  ASSERT_EQ(list.Count(), 2);
  const TWexaFrame& f = list.GetFrame(1);
  EXPECT_EQ(PixelsOf(f.Surface), second);
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), std::vector<uint32_t>(second_alpha.begin(), second_alpha.end()));
  EXPECT_TRUE(f.Layers().empty());  // layers are gone once the picture has loaded
}

// 4-bit planes: tile columns 3 pixels wide start mid-byte; whole bytes are moved, later tiles win.
TEST(WexaTiles, SubByteTilesLoad) {
  const std::vector<uint32_t> px = Pattern(W, H, 16, 9);
  WexaLayerDesc l;
  l.pixels = px;
  WexaFileDesc desc = Tiled();
  WexaFrameDesc f = FrameOf({l}, 4);
  for (uint32_t i = 0; i < 16; ++i) f.palette.push_back(i * 0x111111);
  desc.frames.push_back(f);
  TWexaFrameList list(desc.seed);
  LoadBytes(list, BuildWexa(desc));
  std::vector<uint32_t> colours;
  for (uint32_t p : px) colours.push_back(p * 0x111111);
  EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), colours);
}

TEST(WexaTiles, BadReferencesAreRefused) {
  struct Case {
    const char* name;
    WexaTile record;
    bool list_error;  // EListError (a frame or layer not read), else EDIBError
  };
  const Case cases[] = {
      {"tile index past the table", {-2, N}, false},
      {"negative tile index", {-2, -1}, false},
      {"a wide tile copied from the narrow column", {-2, 2}, false},
      {"a frame not read yet", {2, 0}, true},
      {"the layer being read", {1, 0}, true},
      {"a layer the frame does not have", {0, 5}, true},
      {"an unknown record kind", {-3, 0}, true},
      {"a frame of another depth", {0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WexaLayerDesc first;
    first.pixels = Pattern(W, H);
    WexaFrameDesc f0 = FrameOf({first}, std::string(c.name) == "a frame of another depth" ? 32 : 24);
    WexaLayerDesc bad;
    bad.pixels = Pattern(W, H);
    bad.color_tiles.assign(N, WexaTile{});
    bad.color_tiles[0] = c.record;
    WexaFileDesc desc = Tiled();
    desc.frames = {f0, FrameOf({bad})};
    TWexaFrameList list(desc.seed);
    if (c.list_error) {
      EXPECT_THROW(LoadBytes(list, BuildWexa(desc)), EListError);
    } else {
      EXPECT_THROW(LoadBytes(list, BuildWexa(desc)), EDIBError);
    }
    // The frame read before the failure stays.
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.GetFrame(0).Layers().empty());
  }
}

TEST(WexaTiles, AlphaCopiedFromALayerWithoutAlphaIsRefused) {
  WexaLayerDesc plain;
  plain.pixels = Pattern(W, H);
  WexaLayerDesc bad;
  bad.pixels = Pattern(W, H);
  bad.alpha = AlphaPattern(W, H);
  bad.alpha_tiles.assign(N, WexaTile{});
  bad.alpha_tiles[3] = {0, 0};
  WexaFileDesc desc = Tiled();
  desc.frames = {FrameOf({plain}), FrameOf({bad})};
  TWexaFrameList list(desc.seed);
  EXPECT_THROW(LoadBytes(list, BuildWexa(desc)), EDIBError);
}

}  // namespace
}  // namespace kova::test
