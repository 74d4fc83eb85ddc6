// The drawn controls' glyph blend: each level's pixel as the formula gives it (the quotient taken
// toward zero, levels above the highest counting as it, level 0 leaving the pixel as it was), and
// the glyph cut to the picture and to the clip.
#include "platform/fields/drawn_glyphs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kova::plat {
namespace {

TGlyphBitmap Glyph(int32_t width, int32_t height, std::vector<uint8_t> levels) {
  TGlyphBitmap g;
  g.width = width;
  g.height = height;
  g.levels = std::move(levels);
  return g;
}

TEST(DrawnGlyphs, EachLevelMovesThePixelTowardTheInk) {
  // Back r 255, g 128, b 0 (and no alpha); ink r 0, g 255, b 64; 64 levels.
  struct Case {
    uint8_t level;
    uint32_t want;
  } cases[] = {
      {0, 0x00FF8000u},    // left as it was, alpha too
      {1, 0xFFFC8101u},    // r 255 - 255 / 64 taken toward zero: 252, not 251
      {32, 0xFF80BF20u},   // r 255 - 127, g 128 + 63
      {63, 0xFF04FD3Fu},
      {64, 0xFF00FF40u},   // the ink
      {200, 0xFF00FF40u},  // above the highest level: the ink
  };
  std::vector<uint8_t> levels;
  for (const Case& c : cases) levels.push_back(c.level);
  const int32_t n = int32_t(levels.size());
  TImageArgb image{n, 1, std::vector<uint32_t>(size_t(n), 0x00FF8000u)};
  LayGlyph(image, Glyph(n, 1, levels), 0, 0, TScreenRect{0, 0, n, 1}, 0x00FF40, 64);
  for (int32_t i = 0; i < n; ++i) EXPECT_EQ(image.pixels[size_t(i)], cases[i].want) << "level " << int(cases[i].level);
}

TEST(DrawnGlyphs, OnlyThePartInThePictureAndTheClipIsLaid) {
  // A 3 x 3 glyph of full ink over a 4 x 4 picture, at each place: the pixels laid are those of
  // the glyph's box that lie in the picture and in the clip (columns 1..3, rows 0..2).
  const TGlyphBitmap g = Glyph(3, 3, std::vector<uint8_t>(9, 64));
  const TScreenRect clip{1, 0, 4, 3};
  for (int32_t x : {-2, 0, 2, 3}) {
    for (int32_t y : {-1, 1, 2}) {
      TImageArgb image{4, 4, std::vector<uint32_t>(16, 0)};
      LayGlyph(image, g, x, y, clip, 0xFFFFFF, 64);
      for (int32_t py = 0; py < 4; ++py)
        for (int32_t px = 0; px < 4; ++px) {
          const bool in_box = px >= x && px < x + 3 && py >= y && py < y + 3;
          const bool in_clip = px >= 1 && py < 3;
          EXPECT_EQ(image.pixels[size_t(py * 4 + px)], in_box && in_clip ? 0xFFFFFFFFu : 0u)
              << "glyph at " << x << "," << y << " pixel " << px << "," << py;
        }
    }
  }
  // Far off the picture, at the ends of the int32 range, nothing is laid (and nothing overflows).
  TImageArgb image{4, 4, std::vector<uint32_t>(16, 0)};
  const TScreenRect everywhere{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  for (int32_t x : {INT32_MIN, INT32_MAX}) LayGlyph(image, g, x, x, everywhere, 0xFFFFFF, 64);
  EXPECT_EQ(image.pixels, std::vector<uint32_t>(16, 0));
}

}  // namespace
}  // namespace kova::plat
