// A message box drawn with the player's own outline fonts, so that its Japanese text reads the same
// on every desktop (the desktop's own boxes draw it with the X server's fonts, which may have no
// such characters, or show it as the bytes of another encoding).
//
// The box is laid out from its text: rows split at the text's line breaks and wrapped (at the last
// space of a row when it has one, else between characters) to at most kMaxTextWidth pixels; at
// most kMaxRows rows are shown (standard error has the whole text). Below the text stand the
// buttons, OK (and Cancel for an OK/Cancel box), centred. It is painted in the game platform's
// dialog looks: grey face, black text, raised buttons, the default button framed in black and the
// focused one marked with a dotted frame.
//
// Input: Enter and Space press the focused button (at first OK), Escape and the close box answer
// Cancel (OK for an OK-only box), Tab and the arrow keys move the focus between the buttons, and a
// click is a press released on the button it began on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/dialogs.h"
#include "platform/geometry.h"
#include "platform/text/glyph_fonts.h"
#include "platform/window/video.h"

namespace kova::plat {

// What a box is drawn with; texts are code page 932.
struct TMessageBoxStyle {
  std::string face;        // the font's face
  int32_t em_height = 12;  // its size, in pixels to the em
  std::string ok = "OK";   // the buttons' captions
  std::string cancel = "Cancel";
};

// The colours of the box (0xRRGGBB).
inline constexpr uint32_t kBoxFaceRgb = 0xD4D0C8;
inline constexpr uint32_t kBoxTextRgb = 0x000000;

class TDrawnMessageBox {
 public:
  static constexpr int32_t kMaxTextWidth = 560;
  static constexpr int32_t kMaxRows = 40;
  static constexpr int32_t kMargin = 12;
  static constexpr int32_t kButtonWidth = 75, kButtonHeight = 23, kButtonGap = 8;
  static constexpr int32_t kMinWidth = 200;

  // `fonts` must outlive the box; the box's texts are copied.
  TDrawnMessageBox(IGlyphFonts& fonts, const TMessageBoxStyle& style, const TMessageBox& box);

  TSize Size() const { return size_; }
  // The rows of the text as shown (code page 932), the top-left of the first and the rows' pitch.
  const std::vector<std::string>& Rows() const { return rows_; }
  TPoint TextOrigin() const { return TPoint{kMargin, kMargin}; }
  int32_t RowHeight() const { return row_height_; }
  // The buttons: 0 OK, 1 Cancel (an OK/Cancel box only).
  int32_t ButtonCount() const { return int32_t(buttons_.size()); }
  TScreenRect ButtonRect(int32_t index) const { return buttons_[size_t(index)]; }
  int32_t Focus() const { return focus_; }

  // The box as it looks now: Size() pixels, 0xFFRRGGBB.
  TImageArgb Paint();
  // One row of text in the box's font and colour, painted at `x`, `top` into `image` (the way
  // Paint draws each row).
  void PaintText(TImageArgb& image, int32_t x, int32_t top, const std::string& text, uint32_t rgb);

  // Input, in the box's pixels and virtual-key codes.
  void KeyDown(int32_t key);
  void MouseDown(TPoint p);
  void MouseMove(TPoint p);
  void MouseUp(TPoint p);
  void Close();
  // The answer, once a button was pressed or the box closed.
  const std::optional<TMessageAnswer>& Answer() const { return answer_; }

 private:
  uint16_t CodeAt(const std::string& text, size_t& i) const;
  int32_t TextWidth(const std::string& text);
  void Layout(const std::string& text);
  void Press(int32_t button);
  int32_t ButtonAt(TPoint p) const;

  std::shared_ptr<IGlyphFont> font_;
  TMessageBoxStyle style_;
  TMessageButtons kind_;
  std::vector<std::string> rows_;
  std::vector<TScreenRect> buttons_;
  TSize size_;
  int32_t row_height_ = 0;
  int32_t focus_ = 0;
  int32_t pressed_ = -1;  // the button a press began on
  bool pressed_inside_ = false;
  std::optional<TMessageAnswer> answer_;
  TGlyphBitmap glyph_;
};

}  // namespace kova::plat
