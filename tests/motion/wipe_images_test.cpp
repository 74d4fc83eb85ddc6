#include "motion/wipe_images.h"

#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "mask_wipe_support.h"
#include "support/bmp_writer.h"
#include "support/picture_fixtures.h"

namespace kova {
namespace {

using test::Configure;
using test::MemoryPictures;
using test::Pixels;
using test::TWipeSurfaces;

// A w x h picture: white in the left half, black in the right half.
std::vector<uint8_t> HalvesPng(int32_t w, int32_t h) {
  std::vector<uint32_t> rgb;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) rgb.push_back(x < w / 2 ? 0xFFFFFF : 0x000000);
  return test::RgbPng(w, h, rgb);
}

// The transition of `kind` over s with the mask picture `name` from `pictures`, set up and
// prepared.
std::unique_ptr<TCustomWipe> MakeWithMask(TWipeSurfaces& s, int32_t kind, MemoryPictures* pictures,
                                          const std::string& name, int32_t length, bool reverse) {
  TWipeEnv env;
  env.pictures = pictures;
  auto w = s.Make(kind, env);
  w->SetLength(length);
  w->SetReverse(reverse);
  w->SetPosition(0);
  if (!name.empty()) w->SetMaskName(name);
  w->Prepare();
  return w;
}

TEST(WipeImageTest, MaskFadeWithoutAPictureFadesEveryPixelOverTheFirstHalf) {
  MemoryPictures pictures;
  pictures.Add("other.png", HalvesPng(4, 4));
  struct Case {
    MemoryPictures* pictures;
    std::string name;
  };
  for (const Case& c : {Case{nullptr, "mask.png"}, Case{&pictures, "mask.png"}, Case{&pictures, ""}}) {
    TWipeSurfaces s(12, 7, 16);
    auto w = MakeWithMask(s, WP_MASKFADE, c.pictures, c.name, 100, false);
    auto& fade = dynamic_cast<TWipeShadow&>(*w);
    EXPECT_EQ(fade.LevelMap, std::vector<int32_t>(12 * 7, 0));
    for (int32_t pos : {0, 1, 20, 49}) {
      w->SetPosition(pos);
      EXPECT_FALSE(w->Step());
      const uint32_t expect = uint32_t(std::clamp(pos * 512 / 100 - 1, 0, 255));
      for (uint32_t v : Pixels(fade.Mask)) ASSERT_EQ(v, expect) << pos;
    }
    // From the middle on the new picture is whole.
    w->SetPosition(50);
    EXPECT_FALSE(w->Step());
    EXPECT_EQ(Pixels(s.dest), Pixels(s.new_layer));
  }
  EXPECT_EQ(pictures.Reads("other.png"), 0);
}

TEST(WipeImageTest, MaskFadeTurnsWhiteFirstAndBlackLastAndReversedTheOtherWay) {
  MemoryPictures pictures;
  pictures.Add("halves.png", HalvesPng(8, 4));
  for (bool reverse : {false, true}) {
    TWipeSurfaces s(8, 4, 32);
    auto w = MakeWithMask(s, WP_MASKFADE, &pictures, "HALVES.PNG", 512, reverse);
    // At the middle the first half is new and the second still old.
    w->SetPosition(256);
    ASSERT_FALSE(w->Step());
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const bool first = (x < 4) != reverse;
        ASSERT_EQ(s.dest.GetPixel(x, y), (first ? s.new_layer : s.old_layer).GetPixel(x, y)) << x << " " << reverse;
      }
    }
    // The last step: the second half is complete too.
    w->SetPosition(511);
    ASSERT_FALSE(w->Step());
    EXPECT_EQ(Pixels(s.dest), Pixels(s.new_layer));
  }
  EXPECT_EQ(pictures.Reads("halves.png"), 2);
}

TEST(WipeImageTest, MaskPictureIsRepeatedAndReadAsRoundedGreys) {
  // A 2 x 2 palette picture: (10, 20, 31) -> 20, (10, 20, 32) -> 21, white, black.
  test::BmpFields bmp;
  bmp.width = 2;
  bmp.height = 2;
  bmp.bit_count = 8;
  bmp.palette = {{10, 20, 31}, {10, 20, 32}, {255, 255, 255}, {0, 0, 0}};
  bmp.colors_used = 4;
  bmp.pixels = {0, 1, 2, 3};
  MemoryPictures pictures;
  pictures.Add("tile.bmp", test::BuildBmp(bmp));
  struct Case {
    bool reverse;
    int32_t grey[4];  // the negative when reversed: (245, 235, 224) -> 235, (245, 235, 223) -> 234
  };
  for (const Case& c : {Case{false, {20, 21, 255, 0}}, Case{true, {235, 234, 0, 255}}}) {
    for (int32_t kind : {WP_MASKFADE, WP_MASKWHITE}) {
      TWipeSurfaces s(5, 3, 15);
      auto w = MakeWithMask(s, kind, &pictures, "tile.bmp", 10, c.reverse);
      const std::vector<int32_t>& map = kind == WP_MASKFADE ? dynamic_cast<TWipeShadow&>(*w).LevelMap
                                                            : dynamic_cast<TWipeShadowWhite&>(*w).LevelMap;
      ASSERT_EQ(map.size(), 15u);
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
          EXPECT_EQ(map[size_t(y * 5 + x)], c.grey[(y % 2) * 2 + x % 2] - 255) << x << "," << y << " " << c.reverse;
    }
  }
}

TEST(WipeImageTest, LayeredMaskPictureGivesItsFirstFrame) {
  MemoryPictures pictures;
  pictures.seed = 77;
  pictures.Add("two.wxa", test::LayeredPicture(4, 4, {test::FrameSpec(test::Solid(4, 4, 0x000000)),
                                                      test::FrameSpec(test::Solid(4, 4, 0xFFFFFF))}));
  TWipeSurfaces s(6, 6, 32);
  auto w = MakeWithMask(s, WP_MASKBLACK, &pictures, "two.wxa", 10, false);
  EXPECT_EQ(dynamic_cast<TWipeShadowWhite&>(*w).LevelMap, std::vector<int32_t>(36, -255));
}

// ---- MASKWHITE and MASKBLACK ----

// Grey k in the pixel format of `bits`.
uint32_t GreyPixel(int32_t bits, uint32_t k) {
  switch (bits) {
    case 15: return (k >> 3) << 10 | (k >> 3) << 5 | k >> 3;
    case 16: return (k >> 3) << 11 | (k >> 2) << 5 | k >> 3;
    default: return k * 0x010101;
  }
}

// The row results of 32 bits take the top byte as a channel, the per-pixel results write it 0.
std::vector<uint32_t> ChannelsOf(int32_t bits, bool row_results) {
  switch (bits) {
    case 15: return {0x7C00, 0x3E0, 0x1F};
    case 16: return {0xF800, 0x7E0, 0x1F};
    default: return row_results ? std::vector<uint32_t>{0xFF000000, 0xFF0000, 0xFF00, 0xFF}
                                : std::vector<uint32_t>{0xFF0000, 0xFF00, 0xFF};
  }
}

// Per channel: saturating add of grey k (white) or subtraction stopping at 0 (black).
uint32_t Pass(uint32_t p, int32_t bits, uint32_t k, bool black, bool row_results = true) {
  const uint32_t g = GreyPixel(bits, k);
  uint32_t out = 0;
  for (uint32_t c : ChannelsOf(bits, row_results)) {
    const uint64_t pc = p & c, gc = g & c;
    out |= black ? (pc > gc ? uint32_t(pc - gc) : 0) : uint32_t(std::min<uint64_t>(pc + gc, c));
  }
  return out;
}

TEST(WipeImageTest, UnreadableMaskPictureRaisesAndTheTransitionRunsWithoutIt) {
  std::vector<uint8_t> png = HalvesPng(16, 16);
  png.resize(png.size() / 2);
  MemoryPictures pictures;
  pictures.Add("cut.png", png);
  for (int32_t kind : {WP_MASKFADE, WP_MASKWHITE}) {
    TWipeSurfaces s(8, 5, 16);
    TWipeEnv env;
    env.pictures = &pictures;
    auto w = s.Make(kind, env);
    w->SetLength(100);
    w->SetMaskName("cut.png");
    EXPECT_THROW(w->Prepare(), EKovaError);
    // As without a picture: the fade is whole at the middle; the flash past its peak shows the
    // new picture (k = 34 x 768 div 100 - 1 = 260: the new pixel under grey 511 - 260 = 251).
    w->SetPosition(kind == WP_MASKFADE ? 50 : 34);
    EXPECT_FALSE(w->Step());
    for (int32_t y = 0; y < 5; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const uint32_t n = s.new_layer.GetPixel(x, y);
        ASSERT_EQ(s.dest.GetPixel(x, y), kind == WP_MASKFADE ? n : Pass(n, 16, 251, false)) << kind;
      }
    }
  }
}

TEST(WipeImageTest, MaskWhiteAndBlackPassEachPixelThroughTheirColourAtItsOwnMoment) {
  MemoryPictures pictures;
  pictures.Add("halves.png", HalvesPng(6, 4));
  struct Depth {
    int32_t bits;
    bool row_results;
  };
  for (const Depth& depth : {Depth{15, true}, Depth{16, true}, Depth{32, true}, Depth{32, false}}) {
    const int32_t bits = depth.bits;
    for (bool black : {false, true}) {
      // Length 768: k = clamp(pos + g - 256, 0, 511); white pixels (g 255) lead black ones by 255.
      struct Case {
        int32_t pos;
        int32_t k_white, k_black;
      };
      for (const Case& c : {Case{0, 0, 0}, Case{128, 127, 0}, Case{256, 255, 0}, Case{300, 299, 44},
                            Case{511, 510, 255}, Case{600, 511, 344}, Case{767, 511, 511}}) {
        TWipeSurfaces s(6, 4, bits);
        s.dest.RowResults = depth.row_results;
        auto w = MakeWithMask(s, black ? WP_MASKBLACK : WP_MASKWHITE, &pictures, "halves.png", 768, false);
        w->SetPosition(c.pos);
        ASSERT_FALSE(w->Step());
        for (int32_t y = 0; y < 4; ++y) {
          for (int32_t x = 0; x < 6; ++x) {
            const int32_t k = x < 3 ? c.k_white : c.k_black;
            const uint32_t p = (k < 256 ? s.old_layer : s.new_layer).GetPixel(x, y);
            const uint32_t expect = Pass(p, bits, uint32_t(k < 256 ? k : 511 - k), black, depth.row_results);
            ASSERT_EQ(s.dest.GetPixel(x, y), expect)
                << bits << " rows " << depth.row_results << " black " << black << " pos " << c.pos << " at " << x
                << "," << y;
          }
        }
      }
    }
  }
}

TEST(WipeImageTest, MaskWhiteAtItsPeakIsFullWhiteAndMaskBlackFullBlack) {
  for (int32_t bits : {15, 16, 32}) {
    for (bool black : {false, true}) {
      TWipeSurfaces s(5, 3, bits);
      auto w = MakeWithMask(s, black ? WP_MASKBLACK : WP_MASKWHITE, nullptr, "", 768, false);
      w->SetPosition(256);  // without a picture every pixel is white: k 255
      ASSERT_FALSE(w->Step());
      const uint32_t full = bits == 15 ? 0x7FFF : bits == 16 ? 0xFFFF : 0xFFFFFF;
      for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 5; ++x)
          ASSERT_EQ(s.dest.GetPixel(x, y) & full, black ? 0u : full) << bits << " " << x << "," << y;
    }
  }
}

TEST(WipeImageTest, MaskWhiteOverSmallerLayersWritesOnlyWhereBothAre) {
  TWipeSurfaces s(9, 6, 4, 6, 9, 2, 32);
  const std::vector<uint32_t> before = Pixels(s.dest);
  auto w = MakeWithMask(s, WP_MASKWHITE, nullptr, "", 10, false);
  w->SetPosition(5);
  ASSERT_FALSE(w->Step());
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      if (x >= 4 || y >= 2) {
        EXPECT_EQ(s.dest.GetPixel(x, y), before[size_t(y * 9 + x)]) << x << "," << y;
      } else {
        EXPECT_NE(s.dest.GetPixel(x, y), before[size_t(y * 9 + x)]) << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace kova
