// The label cache of list boxes and menus: one-line texts in one font setting, each kept as a
// pre-rendered pair of surfaces (colour and coverage) drawn glyph by glyph from the glyph cache.
// A label is measured with the font's character spacing, rendered again only when its text
// changed or the target's depth differs, and drawn onto the list's target surface.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "graphics/dibx.h"

namespace kova {

class TFontPixelManager;
class TXrLabelList;

// "ＭＳ Ｐゴシック" in code page 932: the face of a new label list.
inline constexpr char kLabelFontName[] = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

class TXrLabelDIB {
 public:
  explicit TXrLabelDIB(TXrLabelList& owner) : owner_(owner) {}
  TXrLabelDIB(const TXrLabelDIB&) = delete;
  TXrLabelDIB& operator=(const TXrLabelDIB&) = delete;

  TDIBX ColorSurface;
  TDIBX CoverSurface;
  std::string Text;
  uint8_t Dirty = 1;
  int32_t Height = 0;  // measured
  int32_t Width = 0;
  std::vector<int32_t> CharWidths;  // one per character of Text

  // Assigns the text; the label becomes dirty only when it differs.
  void SetText(const std::string& text);
  // Draws the text into the label's surfaces (measuring it first when it has not been measured).
  void Render();
  // Draws the label onto the list's target with its top-left at (x, y).
  void Draw(int32_t x, int32_t y);

 private:
  TXrLabelList& owner_;
};

class TXrLabelList {
 public:
  // `glyphs` (may be nullptr: labels then measure 0 and draw nothing) must outlive the list.
  explicit TXrLabelList(TFontPixelManager* glyphs = nullptr) : glyphs_(glyphs) {}
  TXrLabelList(const TXrLabelList&) = delete;
  TXrLabelList& operator=(const TXrLabelList&) = delete;

  int32_t Quality = 3;
  TCustomDIBX* Target = nullptr;
  int32_t BorderWidth = 0;
  int32_t Alpha = 255;  // levels above 255 draw at 255
  int32_t FontHeight = 12;
  std::string FontName = kLabelFontName;
  int32_t Color = 0xFFFFFF;
  int32_t BorderColor = 0;
  uint8_t Style = 0;
  std::array<uint8_t, 212> Metrics{};  // the font's outline metrics, as last measured or loaded
  int32_t ShadowWidth = 0;
  int32_t ShadowColor = 0;

  TFontPixelManager* Glyphs() const { return glyphs_; }
  void SetGlyphs(TFontPixelManager* glyphs) { glyphs_ = glyphs; }

  // A new empty label, appended.
  TXrLabelDIB* Add();
  // Label i; nullptr out of range.
  TXrLabelDIB* Items(int i) const;
  int Count() const { return int(labels_.size()); }
  void Clear() { labels_.clear(); }
  // The widest measured label (0 when there is none).
  int32_t MaxWidth() const;
  void SetFontHeight(int32_t height);
  // Every label dirty.
  void Invalidate();
  // Measures every label: its height and the widths of its characters.
  void Measure();
  // Measures one label.
  void MeasureLabel(TXrLabelDIB& label);

  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int32_t version);

 private:
  TFontPixelManager* glyphs_;
  std::vector<std::unique_ptr<TXrLabelDIB>> labels_;
};

}  // namespace kova
