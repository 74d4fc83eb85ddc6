// The rich-text document: the flat glyph list made from the tag language or a stored glyph list,
// with the style, layout and reveal settings that layout, reveal and drawing use.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/stream.h"
#include "core/string_list.h"
#include "core/types.h"
#include "text/decorate.h"
#include "text/glyph.h"
#include "text/page.h"
#include "text/text_ports.h"

namespace kova {

class TCustomDIBX;
class TDIBX;
class TFontPixelManager;
class TTextFont;

// "ＭＳ ゴシック" in code page 932: the face of text that names none.
inline constexpr char kDefaultFontName[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

// The version the glyph list writer writes.
inline constexpr int32_t kGlyphListVersion = 102;

class TXrWord {
 public:
  TXrWord();
  ~TXrWord();
  TXrWord(const TXrWord&) = delete;
  TXrWord& operator=(const TXrWord&) = delete;

  // ---- Settings ----
  int32_t FontSize = 12;
  std::string FontName;       // "ＭＳ ゴシック" in code page 932
  int32_t TextColor = 0;
  int32_t PageHeight = 0;
  int32_t WrapWidth = 0;      // 0: as wide as the widest row (written back by layout)
  int32_t LineSpace = 0;      // pixels between rows
  int32_t OriginX = 0;        // where the text sits on the target surface
  int32_t OriginY = 0;
  TCustomDIBX* Target = nullptr;  // the owner's surface
  uint8_t Paging = 0;         // 1: pages of PageHeight; 0: one page that scrolls
  int32_t LinkColor = 0xFF0000;
  int32_t HoverColor = 0x008000;
  int32_t FadeTime = 1;       // milliseconds a revealed glyph takes to fade in
  int32_t ShadowColor = 0x808080;
  TRect UpdateRect;           // rows outside it are not composed
  int32_t Alpha = 255;        // 0..255 blend, 256..511 additive level for pictures
  uint8_t Paused = 0;
  TTextEventHook EventHook;
  TPoint Caret;               // where the next glyph appears, relative to the origin
  int32_t TextDelay = 0;      // 256 = 1.0; scales every glyph's delay
  uint8_t EventsOn = 0;
  int32_t Quality = 3;        // smoothing level 0..3
  int32_t BorderColor = 0;
  int32_t BorderWidth = 0;
  int32_t ShadowWidth = 0;
  TStringList VarValues;      // name=value lines; when not empty VAR glyphs take their values here
  std::vector<TRect> DirtyRects;  // emptied at every reveal step
  int32_t DecorateBase = 0;

  // ---- Ports to the layers above ----
  TTextScriptPort* Script = nullptr;
  TTextImagePort* Images = nullptr;
  TTextFont* Font = nullptr;
  // The glyph cache characters are drawn from; without one they draw nothing.
  TFontPixelManager* GlyphCache = nullptr;
  // The depth of the work surfaces: the screen's (15 without a screen).
  int32_t ScreenBits = 15;

  // ---- Drawing ----
  // The work surfaces of the page being shown: colour at ScreenBits, coverage at 8 bits.
  TDIBX& ColorSurface();
  TDIBX& CoverSurface();
  // Where the text may appear on the target: the origin, wrap width x page height.
  TRect VisibleRect() const;

  TDecorateList& Decorations() { return decorations_; }
  const TDecorateList& Decorations() const { return decorations_; }

  // ---- The glyph list ----
  int GlyphCount() const { return static_cast<int>(glyphs_.size()); }
  TWdGlyph* Glyphs(int i) const { return i >= 0 && i < GlyphCount() ? glyphs_[size_t(i)].get() : nullptr; }
  // The glyph's position in the list, -1 when it is not in it.
  int IndexOf(const TWdGlyph* g) const;
  void Insert(int index, std::unique_ptr<TWdGlyph> g);
  void InsertGlyphs(int index, std::vector<std::unique_ptr<TWdGlyph>> glyphs);
  TWdGlyph* Append(std::unique_ptr<TWdGlyph> g);
  // Frees glyph `index`.
  void Delete(int index);
  // Frees those of the glyphs that are in the list, in one pass.
  void RemoveGlyphs(const std::vector<TWdGlyph*>& glyphs);
  // Frees every glyph, empties the decorations and the variable values.
  void Clear();
  // A new glyph of the kind (only the low seven bits count); nullptr for an unknown kind.
  std::unique_ptr<TWdGlyph> CreateGlyph(int kind);
  // Appends copies of glyphs first..last of another document (last < 0 or past the end: its last).
  void CopyGlyphs(const TXrWord& source, int first, int last);
  // The number of text positions before the glyph.
  int CharPos(const TWdGlyph* g) const;
  // The glyph at text position p (VAR-made glyphs skipped), -1 past the end.
  int GlyphIndexAtTextPos(int p) const;
  // The glyph before / after g in the list; nullptr across a line break.
  TWdGlyph* PrevGlyph(const TWdGlyph* g) const;
  TWdGlyph* NextGlyph(const TWdGlyph* g) const;

  // ---- Tag language ----
  // Clears the document and fills it from the text (lines separated by CR LF, LF or CR). Raises
  // ETextError for an A tag without HREF; the glyphs made before it stay. A text longer than
  // kMaxTextBytes raises ETextError before anything changes; one of more glyphs than
  // kMaxTextGlyphs raises it and leaves the document empty (text/text_limits.h).
  void Parse(std::string_view text);
  void Parse(const TStringList& lines);

  // ---- Layout ----
  // Lays glyphs first..last out into new pages appended to `pages` (first a glyph index; last a
  // text position, < 0 or past the end = the last glyph), then arranges every page of the list.
  void Layout(TPageList& pages, int first = 0, int last = -1);

  // ---- Stored forms ----
  // Appends a stored glyph list's decorations and glyphs. Raises ETextError for a malformed list;
  // nothing of it is kept then.
  void LoadFromStream(TStream& stream);
  // Writes the glyph list in the current stored form (VAR-made glyphs are left out).
  void SaveToStream(TStream& stream) const;
  void SaveSettings(TStream& stream) const;
  // Reads a settings block written under the save data version `version`.
  void LoadSettings(TStream& stream, int32_t version);

  // ---- Variables and pictures ----
  void ExpandVars(int first = 0, int last = -1);
  void CollapseVars(int first = 0, int last = -1);
  void SuspendImages();
  void ResumeImages();
  void SetFadeTime(int32_t ms) { FadeTime = ms; }

  // The value of a VAR's name: the variable values list when it has lines, else the script.
  std::optional<std::string> VariableText(std::string_view name);
  // The WAIT base of the parser: the script's "@TextDelay", 50 without a script.
  int32_t ScriptTextDelay() const;
  void AddDirty(const TRect& r);

 private:
  friend class TWdPage;
  // Takes glyphs about to be freed out of every page of this document (all when `gone` is null).
  void DropFromPages(const std::unordered_set<const TWdGlyph*>* gone);
  void Renumber() const;
  void RangeOf(int& first, int& last) const;

  std::vector<std::unique_ptr<TWdGlyph>> glyphs_;
  TDecorateList decorations_;
  mutable bool index_current_ = true;
  std::vector<TWdPage*> pages_;  // live pages laid out from this document
  std::unique_ptr<TDIBX> color_surface_;
  std::unique_ptr<TDIBX> cover_surface_;
};

}  // namespace kova
