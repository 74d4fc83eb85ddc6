// How a frame's layers are put together (opaque copies, colour keys, translucency, alpha planes,
// FirstLayerOpaque, invisible layers, background colour) and how finished frames are
// post-processed (target depth, palette frames widened to 24 bits with their key re-found).
#include <gtest/gtest.h>

#include "graphics/pictures/wexa_test_util.h"

namespace kova::test {
namespace {

WexaLayerDesc Layer(std::vector<uint32_t> pixels, int32_t key = -1, int32_t opacity = 255, bool visible = true) {
  WexaLayerDesc l;
  l.pixels = std::move(pixels);
  l.transparent_color = key;
  l.opacity = opacity;
  l.visible = visible;
  return l;
}

WexaFileDesc Frame(int32_t version, int32_t w, int32_t h, std::vector<WexaLayerDesc> layers, int32_t bits = 24) {
  WexaFileDesc desc;
  desc.version = version;
  WexaFrameDesc f;
  f.width = w;
  f.height = h;
  f.bit_count = bits;
  f.layers = std::move(layers);
  desc.frames.push_back(f);
  return desc;
}

std::vector<uint32_t> Composite(const WexaFileDesc& desc, int32_t target_bits = 0) {
  TWexaFrameList list;
  list.TargetBitCount = target_bits;
  LoadBytes(list, BuildWexa(desc));
  return PixelsOf(list.GetFrame(0).Surface);
}

constexpr uint32_t K = 0x00FF00FF;  // the key colour of these fixtures
constexpr uint32_t A = 0x00102030;
constexpr uint32_t B = 0x00C0C0C0;

// 24-bit translucent blend per byte: (d x (255 - a) + s x a) div 255.
uint32_t Blend255(uint32_t d, uint32_t s, uint32_t a) {
  uint32_t out = 0;
  for (int sh : {0, 8, 16}) out |= ((d >> sh & 255) * (255 - a) + (s >> sh & 255) * a) / 255 << sh;
  return out;
}

// 24-bit alpha-plane blend per byte: (d x (255 - v) + s x v) shr 8.
uint32_t BlendAlpha(uint32_t d, uint32_t s, uint32_t v) {
  uint32_t out = 0;
  for (int sh : {0, 8, 16}) out |= ((d >> sh & 255) * (255 - v) + (s >> sh & 255) * v) >> 8 << sh;
  return out;
}

TEST(WexaCompose, LayerRules) {
  const uint32_t bg = 0x00446688;  // background colour reference: red 0x88, green 0x66, blue 0x44
  const uint32_t bg_pixel = 0x886644;
  struct Case {
    const char* name;
    WexaFileDesc desc;
    std::vector<uint32_t> expected;
  };
  std::vector<Case> cases;

  cases.push_back({"one opaque layer is copied", Frame(106, 3, 1, {Layer({A, K, B})}), {A, K, B}});
  cases.push_back({"a keyed layer leaves the background where the key is",
                   Frame(106, 3, 1, {Layer({A, K, B}, int32_t(K))}), {A, bg_pixel, B}});
  {
    WexaFileDesc s = Frame(105, 3, 1, {Layer({A, K, B}, int32_t(K)), Layer({K, K, A}, int32_t(K))});
    s.first_layer_opaque = true;
    cases.push_back({"FirstLayerOpaque copies the first layer whole, later ones keyed", s, {A, K, A}});
  }
  {
    WexaFileDesc s = Frame(104, 3, 1, {Layer({A, K, B}, int32_t(K))});
    s.first_layer_opaque = true;
    cases.push_back({"FirstLayerOpaque is not read before version 105", s, {A, bg_pixel, B}});
  }
  {
    WexaFileDesc s = Frame(106, 3, 1, {Layer({B, B, B}, -1, 255, false), Layer({A, K, B}, int32_t(K))});
    s.first_layer_opaque = true;
    cases.push_back({"an invisible first layer leaves the next one first", s, {A, K, B}});
  }
  {
    WexaFileDesc s = Frame(106, 2, 1, {Layer({B, K}, int32_t(K), 128)});
    s.first_layer_opaque = true;
    cases.push_back({"FirstLayerOpaque below full opacity still blends", s,
                     {Blend255(bg_pixel, B, 128), bg_pixel}});
  }
  cases.push_back({"translucent layer without key", Frame(106, 2, 1, {Layer({A, A}), Layer({B, K}, -1, 100)}),
                   {Blend255(A, B, 100), Blend255(A, K, 100)}});
  cases.push_back({"only invisible layers leave the background",
                   Frame(106, 2, 1, {Layer({A, B}, -1, 255, false)}), {bg_pixel, bg_pixel}});
  cases.push_back({"opacity 0 draws nothing", Frame(106, 2, 1, {Layer({A, A}), Layer({B, B}, -1, 0)}), {A, A}});
  {
    WexaLayerDesc l = Layer({A, K}, int32_t(K));
    l.alpha = {255, 255};  // alpha data drop the key; UseAlpha is off, so a plain copy
    cases.push_back({"a layer with alpha data has no key", Frame(106, 2, 1, {l}), {A, K}});
  }
  {
    WexaLayerDesc top = Layer({B, B, B});
    top.alpha = {0, 255, 128};
    top.use_alpha = true;
    cases.push_back({"a later alpha layer is drawn through its alpha plane",
                     Frame(106, 3, 1, {Layer({A, A, A}), top}), {A, B, BlendAlpha(A, B, 128)}});
  }
  {
    WexaLayerDesc top = Layer({B, B, B});
    top.alpha = {0, 255, 128};
    top.use_alpha = true;  // not stored before version 101: the alpha plane is read but unused
    cases.push_back({"version 100 reads alpha planes but never uses them",
                     Frame(100, 3, 1, {Layer({A, A, A}), top}), {B, B, B}});
  }
  for (Case& c : cases) c.desc.background = bg;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Composite(c.desc), c.expected);
  }
}

TEST(WexaCompose, FirstLayerAlphaBecomesTheFrameAlpha) {
  WexaLayerDesc base = Layer({A, B, K, A});
  base.alpha = {0, 64, 128, 255};
  base.use_alpha = true;
  WexaLayerDesc second = Layer({B, B, B, B});
  second.alpha = {255, 0, 255, 0};
  second.use_alpha = true;
  TWexaFrameList list;
  LoadBytes(list, BuildWexa(Frame(106, 4, 1, {base, second})));
  const TWexaFrame& f = list.GetFrame(0);
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), (std::vector<uint32_t>{0, 64, 128, 255}));
  EXPECT_EQ(PixelsOf(f.Surface), (std::vector<uint32_t>{B, B, B, A}));
  EXPECT_EQ(f.TransparentColor, -1);

  // Without UseAlpha the plane is read and dropped: no frame alpha, the colours copied.
  base.use_alpha = false;
  TWexaFrameList plain;
  LoadBytes(plain, BuildWexa(Frame(106, 4, 1, {base})));
  EXPECT_FALSE(plain.GetFrame(0).HasAlpha());
  EXPECT_EQ(PixelsOf(plain.GetFrame(0).Surface), (std::vector<uint32_t>{A, B, K, A}));
  // A damaged alpha plane is refused even then.
  base.alpha_stored = std::vector<uint8_t>{1, 2};
  TWexaFrameList damaged;
  EXPECT_THROW(LoadBytes(damaged, BuildWexa(Frame(106, 4, 1, {base}))), EDIBError);
}

TEST(WexaCompose, KeyColourOfEachDepth) {
  struct Case {
    int32_t bits;
    int32_t index;
    int32_t color;
  };
  // 15 and 16 bits widen their channels by repeating the top bits.
  const Case cases[] = {{24, 0x123456, 0x563412}, {32, 0x7F123456, 0x563412}, {16, 0xF800, 0x0000FF},
                        {16, 0x07E0, 0x00FF00}, {15, 0x7C00, 0x0000FF},        {15, 0x0210, 0x848400},
                        {24, -1, -1}};
  for (const Case& c : cases) {
    WexaFileDesc desc = Frame(106, 1, 1, {Layer({0})}, c.bits);
    desc.frames[0].transparent_index = c.index;
    TWexaFrameList list;
    LoadBytes(list, BuildWexa(desc));
    EXPECT_EQ(list.GetFrame(0).TransparentColor, c.color) << c.bits << " " << std::hex << c.index;
  }
}

// Palette frames: the key index becomes the 24-bit value of the first keyed pixel.
TEST(WexaPostProcess, PaletteFramesWidenTo24Bits) {
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  for (int32_t target : {0, 16}) {
    WexaFileDesc desc = Frame(106, 3, 2, {Layer({1, 2, 3, 3, 2, 1})}, 8);
    desc.frames[0].palette = palette;
    desc.frames[0].transparent_index = 2;
    TWexaFrameList list;
    list.TargetBitCount = target;  // a keyed frame without alpha is never converted to it
    LoadBytes(list, BuildWexa(desc));
    const TWexaFrame& f = list.GetFrame(0);
    EXPECT_EQ(f.Surface.BitCount(), 24);
    EXPECT_EQ(f.TransparentIndex, 0x00FF00);
    EXPECT_EQ(f.TransparentColor, 0x00FF00);
    EXPECT_EQ(PixelsOf(f.Surface), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x0000FF, 0x00FF00, 0xFF0000}));
  }
  // No pixel has the key: the palette index stays.
  WexaFileDesc desc = Frame(106, 2, 1, {Layer({1, 3})}, 4);
  desc.frames[0].palette = palette;
  desc.frames[0].transparent_index = 2;
  TWexaFrameList list;
  LoadBytes(list, BuildWexa(desc));
  EXPECT_EQ(list.GetFrame(0).TransparentIndex, 2);
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 24);
}

TEST(WexaPostProcess, TargetDepthTable) {
  struct Case {
    const char* name;
    int32_t bits;
    int32_t key;
    bool alpha;
    int32_t target;
    int32_t storage_expected;
  };
  const Case cases[] = {
      {"no key, target 0 keeps 24", 24, -1, false, 0, 24},
      {"no key, target 16", 24, -1, false, 16, 16},
      {"no key, target 15", 24, -1, false, 15, 15},
      {"no key, target 32", 24, -1, false, 32, 32},
      {"keyed without alpha keeps its depth", 24, 0, false, 16, 24},
      {"keyed with alpha is converted", 24, 0, true, 16, 16},
      {"16-bit keyed frame stays 16", 16, 0, false, 32, 16},
      {"palette with alpha and target 0 becomes 24", 8, 1, true, 0, 24},
      {"palette with alpha is converted to the target", 8, 1, true, 32, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WexaLayerDesc l = Layer({1, 0, 1, 0});
    if (c.alpha) {
      l.alpha = {255, 255, 0, 255};
      l.use_alpha = true;
    }
    WexaFileDesc desc = Frame(106, 2, 2, {l}, c.bits);
    desc.frames[0].palette = {0x000000, 0xFFFFFF};
    desc.frames[0].transparent_index = c.key;
    TWexaFrameList list;
    list.TargetBitCount = c.target;
    LoadBytes(list, BuildWexa(desc));
    const TWexaFrame& f = list.GetFrame(0);
    EXPECT_EQ(f.Surface.StorageBitCount(), c.storage_expected);
    EXPECT_EQ(f.HasAlpha(), c.alpha);
  }
}

TEST(WexaPostProcess, ConversionToTheTargetKeepsColours) {
  WexaFileDesc desc = Frame(106, 2, 1, {Layer({0xFF0000, 0x0000FF})});
  EXPECT_EQ(Composite(desc, 16), (std::vector<uint32_t>{0xF800, 0x001F}));
  EXPECT_EQ(Composite(desc, 15), (std::vector<uint32_t>{0x7C00, 0x001F}));
}

}  // namespace
}  // namespace kova::test
