// Text fields the player types into: a single-line edit or a multi-line memo that lies over the
// game's picture at a rectangle of game pixels. A field holds its text (code page 932), font,
// colours, read-only and enabled flags, alignment, place and visibility; it edits its text from
// the keys and the text the window's input method commits, and tells its listener of every key
// that goes down in it (before the key acts) and of the keyboard focus it takes by a click.
//
// A host makes the fields and owns the keyboard focus among them. TTextFieldSet (text_fields.h)
// is the host of headless runs and tests and the base of the desktop's drawn fields
// (platform/sdl). Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/geometry.h"

namespace kova::plat {

struct TEvent;

enum class TTextFieldKind : uint8_t {
  SingleLine,  // Enter and Escape do nothing; no line breaks
  MultiLine,   // Enter breaks the line (CR LF); rows wrap at the field's width; a scroll bar
};

// The alignment numbers of a multi-line field: 0 left, 1 right, 2 centre.
inline constexpr uint8_t kFieldAlignLeft = 0;
inline constexpr uint8_t kFieldAlignRight = 1;
inline constexpr uint8_t kFieldAlignCenter = 2;

class ITextFieldListener {
 public:
  virtual ~ITextFieldListener() = default;
  // A key (a Windows virtual-key code) went down while the field had the keyboard; the field's
  // text is still what it was before the key.
  virtual void TextFieldKeyDown(int32_t key) = 0;
  // The field took the keyboard focus by itself (the user clicked into it).
  virtual void TextFieldFocused() = 0;
};

class ITextField {
 public:
  virtual ~ITextField() = default;

  // nullptr: nobody listens.
  virtual void SetListener(ITextFieldListener* listener) = 0;

  virtual std::string Text() const = 0;
  virtual void SetText(std::string_view text) = 0;
  // The font: face name (code page 932; empty: the default face), height (negative: the
  // characters' height, positive: the cell height, 0: the default), style bits (bold 1, italic 2,
  // underline 4, strike-out 8).
  virtual std::string FontName() const = 0;
  virtual void SetFontName(std::string_view name) = 0;
  virtual int32_t FontHeight() const = 0;
  virtual void SetFontHeight(int32_t height) = 0;
  virtual uint8_t FontStyle() const = 0;
  virtual void SetFontStyle(uint8_t style) = 0;
  // Colours as 0x00BBGGRR; the background below 0 is the system's window colour (white).
  virtual int32_t FontColor() const = 0;
  virtual void SetFontColor(int32_t color) = 0;
  virtual int32_t Color() const = 0;
  virtual void SetColor(int32_t color) = 0;
  virtual bool ReadOnly() const = 0;
  virtual void SetReadOnly(bool read_only) = 0;
  // A disabled field is greyed out and takes no input (nor the keyboard).
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual uint8_t Alignment() const = 0;
  virtual void SetAlignment(uint8_t alignment) = 0;

  // The field's rectangle in game pixels.
  virtual TScreenRect Bounds() const = 0;
  virtual void SetBounds(const TScreenRect& bounds) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // Visible and enabled.
  virtual bool CanFocus() const = 0;
  // Takes the keyboard when it can (nothing otherwise); no TextFieldFocused.
  virtual void Focus() = 0;
  // Gives the keyboard back to the game when it has it.
  virtual void Blur() = 0;
  virtual bool Focused() const = 0;
};

class ITextFieldHost {
 public:
  virtual ~ITextFieldHost() = default;
  // A new field: hidden, empty, enabled, editable, at an empty rectangle. The host must outlive
  // nothing: a field that outlives its host keeps its state and is shown nowhere.
  virtual std::unique_ptr<ITextField> CreateField(TTextFieldKind kind) = 0;
  // One event of the window (or of recorded input standing for it); true when a field took it and
  // the game must not see it.
  virtual bool HandleEvent(const TEvent& event) = 0;
  // The time the fields go by, in milliseconds (wrapping): the caret blinks and a held scroll-bar
  // arrow or track repeats on it. The scene sets it to its game clock every frame, so that a
  // headless run blinks the same way every time.
  virtual void SetTime(uint32_t ms) = 0;
};

}  // namespace kova::plat
