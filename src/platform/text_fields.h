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

#include "platform/text_field.h"
#include "platform/video.h"

namespace kova::plat {

inline constexpr size_t kMaxTypedBytes = 32767;
// Space between a field's edge and its text; the width of a memo's scroll bar.
inline constexpr int32_t kFieldMargin = 2;
inline constexpr int32_t kFieldScrollBarWidth = 16;
// The cell height of a font of height 0.
inline constexpr int32_t kDefaultFieldFontHeight = 12;

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
  // The left edge of row r's text in game pixels (alignment and scrolling applied).
  int32_t RowLeft(size_t r) const;
  // The top of row r in game pixels.
  int32_t RowTop(size_t r) const { return content.top + (int32_t(r) - first_row) * row_height; }
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
  bool HandleEvent(const TEvent& event);

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

  std::shared_ptr<TLink> link_;
  std::vector<TField*> fields_;
  TField* focused_ = nullptr;
  IWindow* window_ = nullptr;
  bool shift_ = false;
  bool control_ = false;
  bool changed_ = false;
  std::string clipboard_;
};

// The byte length of the character at `i` (a double-byte character, a CR LF pair, else 1); 0 at
// the end.
size_t FieldCharLength(std::string_view text, size_t i);
// The start of the character before `i` (0 at the start).
size_t FieldCharBefore(std::string_view text, size_t i);

}  // namespace kova::plat
