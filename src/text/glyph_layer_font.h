// The text font over the platform's glyph layer: Select opens the face, cell height and style
// through the layer (which resolves names the games ask for, falls back to an installed face and
// clamps sizes), and the glyph, spacing and metrics requests go to the font it opened.
#pragma once

#include <memory>

#include "platform/text/glyph_fonts.h"
#include "text/text_font.h"

namespace kova {

class TGlyphLayerFont : public TTextFont {
 public:
  // `fonts` must outlive this object.
  explicit TGlyphLayerFont(plat::IGlyphFonts& fonts) : fonts_(fonts) {}

  bool Select(const TTextFontKey& key) override;
  const TTextFontMetrics& Metrics() const override { return metrics_; }
  bool Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) override;
  TAbcWidths AbcWidths(uint16_t code) override;
  int32_t TextWidth(uint16_t code) override;
  std::array<uint8_t, 212> OutlineRecord() const override;

  // The family the selected font resolved to (UTF-8); empty before the first Select.
  const std::string& Family() const;

 private:
  plat::IGlyphFonts& fonts_;
  std::shared_ptr<plat::IGlyphFont> font_;
  TTextFontMetrics metrics_;
  plat::TGlyphBitmap scratch_;
};

}  // namespace kova
