// The host of the player's text fields: it makes them, keeps which one has the keyboard, lays out
// their text, edits it from the window's events and tells what each visible field shows.
//
// Events (HandleEvent): while a visible, enabled field has the keyboard, every key press (repeats
// too) goes to it: its listener hears the key first, with the text as it was, then the key acts
// (moving keys, Backspace, Delete, Enter in a memo, Control with A, C, X, V); the text the input
// method commits is inserted and its composition shown at the caret; the game sees none of them.
// Key releases always reach the game, so that a key held before the field took the keyboard is
// let go. A left press inside a visible, enabled field gives it the keyboard (its listener hears
// TextFieldFocused) and places the caret; other mouse events pass to the game. While a field has
// the keyboard the window's text input is on, over the field's rectangle; otherwise it is off.
//
// A memo's scroll bar, along its right edge, scrolls its rows without moving the caret or taking
// the keyboard: an arrow scrolls one row, the track above or below the thumb one page (the rows in
// view), each again after kScrollRepeatDelayMs and then every kScrollRepeatMs while held over it
// (the track until the thumb reaches the pointer); the thumb is dragged, and a drag or a held
// part keeps the pointer's moves and its release. The wheel over a memo scrolls it
// kWheelRows rows a step. Typing, the keys and a click scroll the caret back into view.
//
// The caret of the field with the keyboard blinks, kCaretBlinkMs shown and as long hidden, on the
// time the scene gives (SetTime); it shows at once after each key, typed text or click.
//
// Text is code page 932 bytes; a caret never stands inside a double-byte character or between
// the CR and LF of a memo's line break. Typed or pasted text that would make a field longer than
// kMaxTypedBytes is cut at a character boundary (a script may still set longer text).
//
// The headless set lays text out with fixed advances (half the cell height for a single-byte
// character, the cell height for a double-byte one) and keeps its own clipboard; the desktop's
// set (platform/sdl) measures with the outline fonts and uses the system clipboard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fields/text_field.h"
#include "platform/window/video.h"

namespace kova::plat {

inline constexpr size_t kMaxTypedBytes = 32767;
// Space between a field's edge and its text; the width of a memo's scroll bar.
inline constexpr int32_t kFieldMargin = 2;
inline constexpr int32_t kFieldScrollBarWidth = 16;
// The cell height of a font of height 0.
inline constexpr int32_t kDefaultFieldFontHeight = 12;
// The caret's blink half-period; the scroll bar's repeats; the rows one wheel step scrolls.
inline constexpr uint32_t kCaretBlinkMs = 500;
inline constexpr uint32_t kScrollRepeatDelayMs = 250;
inline constexpr uint32_t kScrollRepeatMs = 50;
inline constexpr int32_t kWheelRows = 3;
// The shortest thumb of a memo's scroll bar.
inline constexpr int32_t kScrollThumbMin = 8;

struct TFieldFont {
  std::string name;
  int32_t height = 0;
  uint8_t style = 0;
  // The cell height the rows are laid out at: |height|, 12 for 0.
  int32_t CellHeight() const;
};

// A row of a field's text: bytes [start, end) are shown; a line break after them is not.
struct TFieldRow {
  size_t start = 0;
  size_t end = 0;
  int32_t width = 0;
};

// The parts of a memo's scroll bar (game pixels): the two arrows (at most square, each half the
// bar when it is shorter than two), the track between them and the thumb in it, empty while all
// rows are in view (the bar then does nothing) or the track is shorter than the shortest thumb.
struct TFieldScrollBar {
  TScreenRect bar, up, down, track, thumb;
  bool active = false;  // there is something to scroll
};

// What a visible field shows now (game pixels).
struct TTextFieldLook {
  TTextFieldKind kind = TTextFieldKind::SingleLine;
  TScreenRect bounds;
  TScreenRect content;  // where the text lies (bounds less the margins and a memo's scroll bar)
  std::string text;
  TFieldFont font;
  int32_t font_color = 0;
  int32_t color = 0xFFFFFF;
  bool enabled = true;
  bool read_only = false;
  bool focused = false;
  uint8_t alignment = kFieldAlignLeft;
  std::vector<TFieldRow> rows;
  int32_t row_height = 1;
  int32_t first_row = 0;  // the top row shown (a memo scrolled down)
  int32_t scroll_x = 0;   // pixels of a single-line field scrolled out on the left
  size_t caret = 0;
  size_t anchor = 0;  // the selection lies between anchor and caret
  std::string composition;  // the input method's text not yet committed, shown at the caret
  bool caret_on = false;    // focused and in the shown half of the blink
  // The left edge of row r's text in game pixels (alignment and scrolling applied).
  int32_t RowLeft(size_t r) const;
  // The top of row r in game pixels.
  int32_t RowTop(size_t r) const { return content.top + (int32_t(r) - first_row) * row_height; }
  // The rows a memo shows whole (at least 1), and the highest first row (the last row at the
  // bottom).
  int32_t RowsInView() const;
  int32_t LastFirstRow() const;
  // A memo's scroll bar (a single-line field has none: all empty).
  TFieldScrollBar ScrollBar() const;
};

class TTextFieldSet : public ITextFieldHost {
 public:
  TTextFieldSet();
  ~TTextFieldSet() override;
  TTextFieldSet(const TTextFieldSet&) = delete;
  TTextFieldSet& operator=(const TTextFieldSet&) = delete;

  std::unique_ptr<ITextField> CreateField(TTextFieldKind kind) override;

  // The window whose text input follows the keyboard focus (nullptr: none).
  void SetWindow(IWindow* window);

  // One window event; true when a field took it and the game must not see it.
  bool HandleEvent(const TEvent& event) override;
  void SetTime(uint32_t ms) override;

  // The field with the keyboard, or nullptr.
  ITextField* FocusedField() const;
  int32_t FieldCount() const { return int32_t(fields_.size()); }
  // What each visible field shows, in creation order (later ones lie over earlier ones).
  std::vector<TTextFieldLook> VisibleLooks();
  // True once after anything a drawing of the fields shows has changed.
  bool TakeChanged();
  bool HasChanges() const { return changed_; }
  // Shows what changed where the fields are shown (the window's set presents again); the
  // headless set shows nothing.
  virtual void ShowChanges() {}

  // The advance of a character code (a byte, or lead * 256 + trail) and the height of a row.
  virtual int32_t Advance(const TFieldFont& font, uint16_t code);
  virtual int32_t RowHeight(const TFieldFont& font);
  // The clipboard's text in code page 932.
  virtual std::string ClipboardText() { return clipboard_; }
  virtual void SetClipboardText(std::string_view text) { clipboard_ = text; }

 private:
  class TField;
  struct TLink;
  friend class TField;

  void Remove(TField* field);
  void TakeFocus(TField* field);
  void DropFocus(TField* field);
  void MarkChanged() { changed_ = true; }
  // Lays a field's text out and scrolls its caret into view.
  TTextFieldLook Look(TField& field);
  bool KeyDown(TField& field, int32_t key);
  void Insert(TField& field, std::string text);
  void PlaceCaret(TField& field, TPoint point);
  // The caret position in row r of `look` nearest to x (game pixels).
  size_t CaretInRow(TField& field, const TTextFieldLook& look, size_t r, int32_t x);
  // The caret moved or the text changed by the user: it shows at once and comes into view.
  void Touched(TField& field);
  bool CaretOn() const;
  // The scroll bar: a press on it, a held part's repeat, the thumb dragged to the pointer.
  void ScrollPress(TField& field, const TTextFieldLook& look, TPoint point);
  void ScrollRepeat();
  void ScrollDrag(TPoint point);
  void ScrollTo(TField& field, int32_t first_row);
  // The topmost visible field at a point, or nullptr.
  TField* FieldAt(TPoint point);

  enum class THeld : uint8_t { None, Up, Down, PageUp, PageDown, Thumb };

  std::shared_ptr<TLink> link_;
  std::vector<TField*> fields_;
  TField* focused_ = nullptr;
  IWindow* window_ = nullptr;
  bool shift_ = false;
  bool control_ = false;
  bool changed_ = false;
  std::string clipboard_;
  uint32_t time_ = 0;
  uint32_t blink_start_ = 0;
  bool caret_was_on_ = false;
  TPoint pointer_;
  // The scroll-bar part held down, its memo, the pointer's offset in the dragged thumb and the
  // time of the next repeat.
  THeld held_ = THeld::None;
  TField* held_field_ = nullptr;
  int32_t grab_ = 0;
  uint32_t next_repeat_ = 0;
};

// The byte length of the character at `i` (a double-byte character, a CR LF pair, else 1); 0 at
// the end.
size_t FieldCharLength(std::string_view text, size_t i);
// The start of the character before `i` (0 at the start).
size_t FieldCharBefore(std::string_view text, size_t i);

}  // namespace kova::plat
