// Deterministic fonts for tests of the text drawing, in place of the FreeType glyph layer.
//
// A font of cell height h (clamped as the real layer clamps it; an em request asks for the same
// h) has ascent h - h / 4 and descent h / 4, no leading, underline and strike-out bars of max(1, h / 16) pixels with their tops at
// -(descent / 2) and ascent / 2 above the baseline (both kept inside the cell). Unless a glyph is
// set for it, a character is a box: a single-byte character advances h / 2, a double-byte one h;
// the box starts 1 pixel right of the pen, is max(1, advance - 2) wide, reaches from 1 pixel below
// the cell's top down to the baseline, has coverage 128 on its edge pixels and 255 inside. Bold
// makes every box and advance 1 pixel wider (the real layer's rule); italic changes no pixel. The
// spaces 0x20 and 0x8140 are blank with their advance; a code set missing, and a code that is no
// character of the code page (a control code, 0x80, 0xA0, 0xFD..0xFF, a bad lead or trail byte),
// is blank with half a cell's advance. Coverage becomes levels by the real layer's rounding
// (CoverageToLevel).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text/glyph_fonts.h"

namespace kova::test {

// Fonts refer to the FakeGlyphFonts that made them, which must outlive them.
class FakeGlyphFonts : public plat::IGlyphFonts {
 public:
  // A glyph in coverage values 0..255, the same at every size.
  struct Shape {
    int32_t width = 0;
    int32_t height = 0;
    int32_t origin_x = 0;
    int32_t origin_y = 0;
    int32_t advance = 0;
    std::vector<uint8_t> coverage;  // width * height, top row first
  };

  std::shared_ptr<plat::IGlyphFont> OpenFont(const plat::TFontRequest& request) override;

  // The box glyph described above.
  static Shape BoxShape(uint16_t code, int32_t cell_height, uint8_t style);

  // Draws `code` as `shape` at every size (bold still widens it).
  void SetShape(uint16_t code, Shape shape) { shapes_[code] = std::move(shape); }
  // The fonts cannot show `code`.
  void SetMissing(uint16_t code) { missing_.insert(code); }

  // The installed faces (code page 932). Empty: every face is installed. Other faces resolve to
  // "ＭＳ ゴシック".
  std::vector<std::string> faces;
  // Every format but mono fails (a platform without smoothed outlines).
  bool fail_grey = false;
  // A faulty platform: levels one above the format's maximum where coverage is 255.
  bool overshoot_levels = false;

  // Calls so far: fonts made (a repeated request returns the font made before), and glyphs made
  // per format.
  int fonts_made = 0;
  std::map<plat::TGlyphFormat, int> glyphs_made;

 private:
  friend class FakeGlyphFont;
  std::map<uint16_t, Shape> shapes_;
  std::set<uint16_t> missing_;
  std::map<std::tuple<std::string, int32_t, uint8_t>, std::shared_ptr<plat::IGlyphFont>> fonts_;
};

}  // namespace kova::test
