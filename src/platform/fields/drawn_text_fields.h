// Text fields drawn with the outline fonts: the set lays its fields' text out with the fonts'
// own advances and row heights and paints each visible field into a picture of its rectangle
// (game pixels), which the window shows over the game's picture, never in it.
//
// A field is painted as a native edit of the game's platform looks: its background colour (the
// window colour, white, for a colour below 0; light grey when disabled), no border, its text in
// its font and colour (grey when disabled) with the underline and strike-out bars its style asks
// for, the selection in white on blue while it has the keyboard, a one-pixel caret of the text's
// colour in the shown half of its blink, the input method's composition underlined at the caret,
// and for a memo a scroll bar on its right: an arrow at each end, the thumb in the track between
// them showing which part of its rows lies in view (no thumb and grey arrows while all of them
// do). Glyphs are laid as platform/fields/drawn_glyphs.h says.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text/glyph_fonts.h"
#include "platform/fields/text_fields.h"
#include "platform/window/video.h"

namespace kova::plat {

// The colours a field is painted with (0xRRGGBB).
inline constexpr uint32_t kFieldWindowRgb = 0xFFFFFF;
inline constexpr uint32_t kFieldDisabledRgb = 0xF0F0F0;
inline constexpr uint32_t kFieldGreyTextRgb = 0x6D6D6D;
inline constexpr uint32_t kFieldSelectionRgb = 0x3399FF;
inline constexpr uint32_t kFieldSelectedTextRgb = 0xFFFFFF;
inline constexpr uint32_t kFieldScrollTrackRgb = 0xF0F0F0;
inline constexpr uint32_t kFieldScrollThumbRgb = 0xC0C0C0;
inline constexpr uint32_t kFieldScrollArrowRgb = 0x606060;
inline constexpr uint32_t kFieldScrollArrowOffRgb = 0xBFBFBF;

// One painted field: its rectangle in game pixels and its picture (0xAARRGGBB, opaque).
struct TPaintedField {
  TScreenRect bounds;
  TImageArgb image;
};

class TDrawnTextFieldSet : public TTextFieldSet {
 public:
  // `fonts` must outlive the set.
  explicit TDrawnTextFieldSet(IGlyphFonts& fonts) : fonts_(fonts) {}

  int32_t Advance(const TFieldFont& font, uint16_t code) override;
  int32_t RowHeight(const TFieldFont& font) override;

  // Every visible field painted, in creation order.
  std::vector<TPaintedField> Paint();
  // One field's look painted.
  TPaintedField Paint(const TTextFieldLook& look);

 private:
  IGlyphFont& Font(const TFieldFont& font);

  IGlyphFonts& fonts_;
  std::map<std::tuple<std::string, int32_t, uint8_t>, std::shared_ptr<IGlyphFont>> cache_;
  TGlyphBitmap glyph_;
};

}  // namespace kova::plat
