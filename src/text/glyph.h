// The glyph tree of rich text. A document (TXrWord) owns a flat list of glyphs: characters,
// pictures and operators made by the tag parser, the stored-list reader and VAR expansion.
// Layout groups the same glyph objects, without copying them, into rows and pages. Every element,
// from one character to a whole page, is a TWdGlyph; the classes differ only in the operations
// they override.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/types.h"
#include "text/decorate.h"

namespace kova {

class TKovaParser;
class TStringList;
class TTextPicture;
class TWdComposite;
class TWdPage;
class TXrWord;

// Glyph kinds: the kind bytes of stored lists and of TXrWord::CreateGlyph.
enum : int {
  WK_NONE = 0,
  WK_CHAR = 1,
  WK_ALIGN = 2,
  WK_RETURN = 3,
  WK_INDENT = 4,
  WK_UNDENT = 5,
  WK_EVENT = 6,
  WK_VAR = 7,
  WK_IMG = 9,
};

// Align bytes: rows and DIV (1..3), pictures (1..5; 1 and 2 float).
enum : uint8_t { WA_LEFT = 1, WA_RIGHT = 2, WA_CENTER = 3, WA_TOP = 4, WA_BOTTOM = 5 };

// What a glyph record reader needs besides the stream: the list's version and the decorations
// read from the same stream.
struct TGlyphRecordContext {
  int32_t Version = 0;
  int32_t DecorateBase = 0;   // position in the document's list of the stream's first decoration
  int32_t DecorateCount = 0;  // decorations the stream holds
};

class TWdGlyph {
 public:
  explicit TWdGlyph(TXrWord* owner) : Owner(owner) {}
  virtual ~TWdGlyph() = default;
  TWdGlyph(const TWdGlyph&) = delete;
  TWdGlyph& operator=(const TWdGlyph&) = delete;

  TXrWord* Owner;
  int32_t X = 0;  // relative to the parent glyph
  int32_t Y = 0;
  int32_t W = 0;  // the width and height fields (Width() and Height() may answer otherwise)
  int32_t H = 0;
  TWdComposite* Parent = nullptr;  // the row or page holding it

  virtual TWdPage* GetPage();
  virtual int Kind() const { return WK_NONE; }
  virtual int Count() const { return 0; }
  virtual TWdGlyph* Items(int) const { return nullptr; }
  virtual int32_t Width() const { return W; }
  virtual int32_t Height() const { return H; }
  virtual std::string GetFontName() const { return {}; }
  virtual void SetFontName(const std::string&) {}
  virtual int32_t GetSize() const { return 0; }
  virtual void SetSize(int32_t) {}
  virtual uint8_t GetStyle() const { return 0; }
  virtual void SetStyle(uint8_t) {}
  virtual int32_t GetColor() const { return 0; }
  virtual void SetColor(int32_t) {}
  virtual int32_t GetBColor() const { return 0; }
  virtual void SetBColor(int32_t) {}
  virtual int32_t GetBorder() const { return 0; }
  virtual void SetBorder(int32_t) {}
  virtual uint8_t GetNoBreak() const { return 0; }
  virtual void SetNoBreak(uint8_t) {}
  virtual std::string GetRuby() const { return {}; }
  virtual void SetRuby(const std::string&) {}
  virtual uint16_t GetChar() const { return 0; }
  virtual void SetChar(uint16_t) {}
  virtual uint8_t GetAlign() const { return 0; }
  virtual void SetAlign(uint8_t) {}
  virtual int32_t GetRowLeft() const { return 0; }
  virtual void SetRowLeft(int32_t) {}
  virtual int32_t GetRowRight() const { return 0; }
  virtual void SetRowRight(int32_t) {}
  // Position on the target surface.
  virtual int32_t AbsX() const;
  virtual int32_t AbsY() const;
  // The character code as one byte (below 256) or two (lead, trail); empty for code 0.
  virtual std::string CharText() const;
  // y within the page.
  virtual int32_t PageY() const;
  virtual std::string GetHref() const { return {}; }
  virtual void SetHref(const std::string&) {}
  virtual uint8_t GetHover() const { return 0; }
  virtual void SetHover(uint8_t) {}
  virtual int32_t GetAlpha() const { return 255; }
  virtual void SetAlpha(int32_t) {}
  virtual int32_t GetDelay() const { return 0; }
  virtual void SetDelay(int32_t) {}
  virtual uint8_t GetClear() const { return 0; }
  virtual void SetClear(uint8_t) {}
  virtual std::string GetValue() const { return {}; }
  virtual void SetValue(const std::string&) {}
  virtual std::string GetText() const { return {}; }
  virtual int32_t GetShadow() const { return 0; }
  virtual void SetShadow(int32_t) {}
  virtual int32_t GetSColor() const { return 0; }
  virtual void SetSColor(int32_t) {}
  // 1 for glyphs the tag parser makes (text positions), 0 for the rest.
  virtual int IsTextPos() const { return 0; }
  virtual TWdGlyph* First() const { return nullptr; }
  virtual TWdGlyph* Last() const { return nullptr; }
  void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    X = x;
    Y = y;
    W = width;
    H = height;
  }
  virtual int IndexOf(const TWdGlyph*) const { return -1; }
  virtual void Add(TWdGlyph*) {}
  virtual void Own(std::unique_ptr<TWdGlyph>) {}
  virtual std::unique_ptr<TWdGlyph> Disown(TWdGlyph*) { return nullptr; }
  virtual void Delete(int) {}
  virtual void Clear() {}
  // Characters take their cell size, pictures load and take theirs.
  virtual void Reset() {}
  virtual void Arrange() {}
  // Drawing into the document's work surfaces and onto the target; the glyph drawing layer
  // overrides these for characters and pictures. Composites pass them to every child.
  virtual void Render(bool) {}
  virtual void Erase() {}
  virtual void Compose() {}
  virtual TWdGlyph* GlyphAt(int32_t, int32_t) { return nullptr; }
  virtual void SetAlphaAll(int32_t) {}
  // Adds the glyph's rectangle on the target to the document's dirty rectangles.
  virtual void Invalidate();
  virtual void Hide() { SetAlpha(0); }
  virtual void SaveRecord(TStream&) const {}
  virtual void LoadRecord(TStream&, const TGlyphRecordContext&) {}
  virtual void Expand() {}
  virtual void Collapse() {}
  virtual void SaveState(TStream&) const {}
  virtual void LoadState(TStream&) {}
  virtual bool IsAnimated() const { return false; }
  virtual void Animate(int32_t) {}
  virtual void SuspendImages() {}
  virtual void ResumeImages() {}
  virtual TWdGlyph* FirstTextGlyph() { return IsTextPos() ? this : nullptr; }
  virtual TWdGlyph* LastTextGlyph() { return IsTextPos() ? this : nullptr; }
  // Copies the position, the size and the class's own fields.
  virtual void Assign(const TWdGlyph& source);
  virtual void CollectVars(TStringList&) const {}

  // Made by VAR expansion (never stored, never a text position).
  virtual bool IsVarMade() const { return false; }
  // A picture floating at the left or right of the text.
  bool IsFloat() const;

 private:
  friend class TXrWord;
  size_t doc_index_ = 0;  // position in the document's list while its index is current
};

class TWdComposite : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  int Count() const override { return static_cast<int>(children_.size()); }
  TWdGlyph* Items(int i) const override {
    return i >= 0 && i < Count() ? children_[size_t(i)] : nullptr;
  }
  std::string CharText() const override;
  std::string GetText() const override;
  TWdGlyph* First() const override { return Items(0); }
  TWdGlyph* Last() const override { return Items(Count() - 1); }
  int IndexOf(const TWdGlyph* g) const override;
  void Add(TWdGlyph* g) override { children_.push_back(g); }
  void Own(std::unique_ptr<TWdGlyph> g) override { owned_.push_back(std::move(g)); }
  std::unique_ptr<TWdGlyph> Disown(TWdGlyph* g) override;
  void Delete(int i) override;
  void Clear() override { children_.clear(); }
  void Render(bool hide) override;
  void Compose() override;
  void SetAlphaAll(int32_t a) override;
  void Hide() override;
  void SaveState(TStream& stream) const override;
  void LoadState(TStream& stream) override;
  void SuspendImages() override;
  void ResumeImages() override;
  TWdGlyph* FirstTextGlyph() override;
  TWdGlyph* LastTextGlyph() override;
  void CollectVars(TStringList& list) const override;

  const std::vector<TWdGlyph*>& Children() const { return children_; }

 protected:
  std::vector<TWdGlyph*> children_;                 // visual order; not owned
  std::vector<std::unique_ptr<TWdGlyph>> owned_;    // freed with the composite
};

// One row of a page.
class TWdRow : public TWdComposite {
 public:
  using TWdComposite::TWdComposite;
  int32_t RowLeft = 0;   // horizontal room of the row on the page
  int32_t RowRight = 0;
  uint8_t AlignByte = WA_LEFT;
  int32_t Above = 0;       // room above the text line for pictures
  int32_t TextHeight = 0;  // tallest glyph that is not an aligned picture
  int32_t Below = 0;
  // The width of the row's content (indent and inline glyphs) before alignment; W is this plus
  // the alignment offset once arranged.
  int32_t ContentWidth = 0;

  uint8_t GetAlign() const override { return AlignByte; }
  void SetAlign(uint8_t a) override { AlignByte = a; }
  int32_t GetRowLeft() const override { return RowLeft; }
  void SetRowLeft(int32_t v) override { RowLeft = v; }
  int32_t GetRowRight() const override { return RowRight; }
  void SetRowRight(int32_t v) override { RowRight = v; }
  void Add(TWdGlyph* g) override;
  void Arrange() override;
  TWdGlyph* GlyphAt(int32_t x, int32_t y) override;
  void Compose() override;

  // True when the row holds a character or picture.
  bool HoldsReal() const;
  // True when the row holds a glyph laid out inline (not the indent space, not a float).
  bool HoldsInline() const;
  // The first glyph of the row after its indent space, or nullptr.
  TWdGlyph* FirstLaidGlyph() const;
  // Takes the children for which `gone` is true out of the row (the indent space stays).
  template <class Pred>
  void DropChildren(Pred gone) {
    std::erase_if(children_, [&](const TWdGlyph* g) { return g->Kind() != WK_NONE && gone(g); });
  }
};

class TWdReal : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  std::string Link;
  uint8_t HoverByte = 0;
  int32_t AlphaValue = 0;  // 0..255
  int32_t DelayValue = 0;

  std::string GetHref() const override { return Link; }
  void SetHref(const std::string& s) override { Link = s; }
  uint8_t GetHover() const override { return HoverByte; }
  void SetHover(uint8_t h) override { HoverByte = h; }
  int32_t GetAlpha() const override { return AlphaValue; }
  void SetAlpha(int32_t a) override { AlphaValue = a < 0 ? 0 : a > 255 ? 255 : a; }
  int32_t GetDelay() const override { return DelayValue; }
  void SetDelay(int32_t d) override { DelayValue = d; }
  void Render(bool hide) override {
    if (hide) AlphaValue = 0;
  }
  void Erase() override {}
  void SetAlphaAll(int32_t a) override { SetAlpha(a); }
  void SaveState(TStream& stream) const override;
  void LoadState(TStream& stream) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdChar : public TWdReal {
 public:
  // Starts with `adopted` (one use of it already taken for this glyph), else the default style.
  explicit TWdChar(TXrWord* owner, TDecorate* adopted = nullptr);
  ~TWdChar() override;

  TDecorate* Decoration = nullptr;  // shared; counted
  uint16_t Code = 0;
  TRect DrawnRect;                  // part of the work surface last drawn; empty when none

  int Kind() const override { return WK_CHAR; }
  int IsTextPos() const override { return 1; }
  std::string GetFontName() const override { return Decoration->Values.FontName; }
  void SetFontName(const std::string& v) override;
  int32_t GetSize() const override { return Decoration->Values.Size; }
  void SetSize(int32_t v) override;
  uint8_t GetStyle() const override { return Decoration->Values.Style; }
  void SetStyle(uint8_t v) override;
  int32_t GetColor() const override { return Decoration->Values.Color; }
  void SetColor(int32_t v) override;
  int32_t GetBColor() const override { return Decoration->Values.BColor; }
  void SetBColor(int32_t v) override;
  int32_t GetBorder() const override;
  void SetBorder(int32_t v) override;
  uint8_t GetNoBreak() const override { return Decoration->Values.NoBreak; }
  void SetNoBreak(uint8_t v) override;
  std::string GetRuby() const override { return Decoration->Values.Ruby; }
  void SetRuby(const std::string& v) override;
  uint16_t GetChar() const override { return Code; }
  void SetChar(uint16_t c) override { Code = c; }
  std::string GetText() const override { return CharText(); }
  int32_t GetShadow() const override;
  void SetShadow(int32_t v) override;
  int32_t GetSColor() const override { return Decoration->Values.SColor; }
  void SetSColor(int32_t v) override;
  void Reset() override;
  // Draws the character (and the ruby of its run) into the document's work surfaces.
  void Render(bool hide) override;
  // Clears what the last Render drew.
  void Erase() override;
  // Blends what was drawn onto the document's target at the glyph's alpha.
  void Compose() override;
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  void Assign(const TWdGlyph& source) override;

  // The text, border and shadow colours (colour references) the character is drawn in now.
  int32_t TextColorRef() const;
  int32_t BorderColorRef() const;
  int32_t ShadowColorRef() const;

  // Replaces the whole decoration (through the list's Change rule).
  void SetDecoration(const TDecorateValues& values);
};

class TWdVarChar : public TWdChar {
 public:
  using TWdChar::TWdChar;
  int IsTextPos() const override { return 0; }
  bool IsVarMade() const override { return true; }
  void SaveState(TStream&) const override {}
  void LoadState(TStream&) override {}
};

class TWdImg : public TWdReal {
 public:
  explicit TWdImg(TXrWord* owner);
  ~TWdImg() override;

  std::string Source;
  std::unique_ptr<TTextPicture> Pictures;  // nullptr while the picture is not loaded
  uint8_t AlignByte = WA_BOTTOM;

  int Kind() const override { return WK_IMG; }
  int IsTextPos() const override { return 1; }
  uint8_t GetAlign() const override { return AlignByte; }
  void SetAlign(uint8_t a) override { AlignByte = a; }
  std::string GetValue() const override { return Source; }
  void SetValue(const std::string& v) override { Source = v; }
  void Reset() override;
  // Draws the picture onto the target at the level of its alpha and the document's alpha.
  void Compose() override;
  // That level: 0..255 blend, 256..511 additive.
  int32_t ComposeLevel() const;
  bool IsAnimated() const override;
  void Animate(int32_t elapsed) override;
  void SuspendImages() override;
  void ResumeImages() override;
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  void Assign(const TWdGlyph& source) override;
};

// A blank of fixed width: the indent at the start of a row.
class TWdSpace : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
};

class TWdOpeReturn : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t ClearByte = 0;  // 1: the line break also ends the page

  int Kind() const override { return WK_RETURN; }
  int IsTextPos() const override { return 1; }
  int32_t Height() const override;
  uint8_t GetClear() const override { return ClearByte; }
  void SetClear(uint8_t c) override { ClearByte = c; }
  std::string GetText() const override { return "\r\n"; }
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdVarReturn : public TWdOpeReturn {
 public:
  using TWdOpeReturn::TWdOpeReturn;
  int IsTextPos() const override { return 0; }
  bool IsVarMade() const override { return true; }
  uint8_t GetClear() const override { return 0; }
};

class TWdOpeAlign : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t AlignByte = WA_LEFT;

  int Kind() const override { return WK_ALIGN; }
  int IsTextPos() const override { return 1; }
  uint8_t GetAlign() const override { return AlignByte; }
  void SetAlign(uint8_t a) override { AlignByte = a; }
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  void Assign(const TWdGlyph& source) override;
};

class TWdOpeIndent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  int Kind() const override { return WK_INDENT; }
  int IsTextPos() const override { return 1; }
};

class TWdOpeUndent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  int Kind() const override { return WK_UNDENT; }
  int IsTextPos() const override { return 1; }
};

class TWdOpeEvent : public TWdGlyph {
 public:
  using TWdGlyph::TWdGlyph;
  uint8_t End = 0;  // set by stored lists: the reveal stops after this event
  std::string EventValue;

  int Kind() const override { return WK_EVENT; }
  int IsTextPos() const override { return 1; }
  int32_t GetDelay() const override { return End ? 1 : 0; }
  std::string GetValue() const override { return EventValue; }
  void SetValue(const std::string& v) override { EventValue = v; }
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  void Assign(const TWdGlyph& source) override;
};

// The value of a script variable, shown as the characters and line breaks it expands to.
class TWdOpeVar : public TWdGlyph {
 public:
  explicit TWdOpeVar(TXrWord* owner, TDecorate* adopted = nullptr);
  ~TWdOpeVar() override;

  std::unique_ptr<TKovaParser> Expression;  // only in lists stored before version 102
  std::string Name;
  std::vector<TWdGlyph*> Expanded;          // the glyphs it inserted into the document
  TDecorate* Decoration = nullptr;
  int32_t DelayValue = 0;
  std::string Link;

  int Kind() const override { return WK_VAR; }
  int IsTextPos() const override { return 1; }
  std::string GetFontName() const override { return Decoration->Values.FontName; }
  void SetFontName(const std::string& v) override;
  int32_t GetSize() const override { return Decoration->Values.Size; }
  void SetSize(int32_t v) override;
  uint8_t GetStyle() const override { return Decoration->Values.Style; }
  void SetStyle(uint8_t v) override;
  int32_t GetColor() const override { return Decoration->Values.Color; }
  void SetColor(int32_t v) override;
  int32_t GetBColor() const override { return Decoration->Values.BColor; }
  void SetBColor(int32_t v) override;
  int32_t GetBorder() const override { return Decoration->Values.Border; }
  void SetBorder(int32_t v) override;
  uint8_t GetNoBreak() const override { return Decoration->Values.NoBreak; }
  void SetNoBreak(uint8_t v) override;
  std::string GetRuby() const override { return Decoration->Values.Ruby; }
  void SetRuby(const std::string& v) override;
  std::string GetHref() const override { return Link; }
  void SetHref(const std::string& s) override { Link = s; }
  int32_t GetDelay() const override { return DelayValue; }
  void SetDelay(int32_t d) override { DelayValue = d; }
  std::string GetValue() const override { return Name; }
  void SetValue(const std::string& v) override { Name = v; }
  int32_t GetShadow() const override { return Decoration->Values.Shadow; }
  void SetShadow(int32_t v) override;
  int32_t GetSColor() const override { return Decoration->Values.SColor; }
  void SetSColor(int32_t v) override;
  void SaveRecord(TStream& stream) const override;
  void LoadRecord(TStream& stream, const TGlyphRecordContext& context) override;
  // Inserts the glyphs of the current value after this glyph (see TXrWord::ExpandVars).
  void Expand() override;
  void Collapse() override;
  void SaveState(TStream& stream) const override;
  void LoadState(TStream& stream) override;
  void Assign(const TWdGlyph& source) override;
  void CollectVars(TStringList& list) const override;

  void SetDecoration(const TDecorateValues& values);
  // The glyphs the current value expands to (not yet in the document). `room` is how many more
  // glyphs the document may take; it is lowered by the glyphs made, and a value that needs more
  // raises ETextError (TMsg::TextTooManyGlyphs) before they are made.
  std::vector<std::unique_ptr<TWdGlyph>> MakeExpansion(size_t& room);
  // The expanded text: characters, with the byte 0x01 for each line break.
  std::string ExpandedText() const;
};

}  // namespace kova
