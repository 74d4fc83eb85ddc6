// The sound settings dialog as the player draws it itself: a 270 x 179 picture with a framed group,
// the check box, the delay label, track bar and value, and the OK and Cancel buttons, drawn
// through the surfaces' fills and the glyph layer; keys and clicks turned into the model's
// operations (config_model.h).
//
// Keys: Tab and Shift+Tab walk the controls (check box, OK, Cancel, track bar; the track bar only
// while it is enabled); Space toggles the check box or presses the focused button; Enter presses
// the focused button, OK from elsewhere; Escape is Cancel; the arrows, Page Up/Down, Home and End
// move the track bar; S and D (with or without Alt) toggle the check box and focus the track bar.
// Mouse: a click on the box or its text toggles it, a press or drag on the track bar sets the
// position, a button acts when it is released over itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/types.h"
#include "graphics/dibx.h"
#include "platform/text/glyph_fonts.h"
#include "player/config_model.h"

namespace kova {

class IDesktop;

class TConfigDialog {
 public:
  static constexpr int32_t kWidth = 270;
  static constexpr int32_t kHeight = 179;
  // The controls' places in the picture.
  static constexpr TRect kBevel{8, 8, 261, 121};
  static constexpr TRect kCheck{28, 24, 245, 41};
  static constexpr TRect kDelayLabel{28, 56, 151, 68};
  static constexpr TRect kDelayValue{173, 56, 241, 68};
  static constexpr TRect kTrack{28, 72, 249, 97};
  static constexpr TRect kOk{100, 140, 175, 165};
  static constexpr TRect kCancel{180, 140, 255, 165};

  // In tab order.
  enum class TControl : uint8_t { Check, Ok, Cancel, Track };

  // `fonts` makes the dialog's font; both must outlive the dialog.
  TConfigDialog(TConfigModel& model, plat::IGlyphFonts& fonts);
  ~TConfigDialog();

  TControl Focus() const { return focus_; }
  // The track bar thumb's centre at a position (1 .. 5).
  static int32_t ThumbCentre(int32_t position);

  // Input in picture coordinates; virtual-key codes as the event source gives them.
  void KeyDown(int32_t key);
  void KeyUp(int32_t key);
  void MouseDown(TPoint p);
  void MouseMove(TPoint p);
  void MouseUp(TPoint p);
  // The window's close box: Cancel.
  void CloseBox() { model_.Cancel(); }
  // Receives the message (code page 932) of an OK whose file could not be written.
  void SetErrorSink(std::function<void(std::string_view)> sink) { error_sink_ = std::move(sink); }

  // Draws the whole dialog into `surface` (kWidth x kHeight).
  void Draw(TCustomDIBX& surface);

 private:
  enum class TPress : uint8_t { None, Check, Track, Ok, Cancel };

  void Press(TControl control);
  void MoveFocus(int step);
  bool CanFocus(TControl control) const;
  void SetTrackFromX(int32_t x);

  // Text: the width of a caption ("&" marks the next character as the key and is not shown), and
  // drawing it with its top-left at (x, y) in a colour reference.
  int32_t TextWidth(std::string_view text);
  void DrawText(TCustomDIBX& s, int32_t x, int32_t y, std::string_view text, uint32_t color);
  void DrawButton(TCustomDIBX& s, const TRect& r, std::string_view caption, bool focused, bool pressed,
                  bool default_frame);
  void DrawTrack(TCustomDIBX& s);

  TConfigModel& model_;
  std::shared_ptr<plat::IGlyphFont> font_;
  plat::TGlyphBitmap glyph_;
  TDIBX mask_;
  TControl focus_ = TControl::Check;
  TPress press_ = TPress::None;
  bool press_inside_ = false;
  bool shift_ = false;
  std::function<void(std::string_view)> error_sink_;
};

// Runs the settings dialog in a window of its own until it is closed by OK, Cancel, Escape or its
// close box; waits for each event (never spins). The exit status: 0, or 1 when no window can be
// made (the reason on standard error).
int RunConfigDialog(IDesktop& desktop, TSettingsFile& file);

}  // namespace kova
