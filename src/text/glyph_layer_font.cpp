#include "text/glyph_layer_font.h"

#include <utility>

namespace kova {

std::array<uint8_t, 212> TTextFont::OutlineRecord() const {
  const TTextFontMetrics& m = Metrics();
  plat::TFontMetrics f;
  f.tm.Height = m.Height;
  f.tm.Ascent = m.Ascent;
  f.tm.Descent = m.Descent;
  f.tm.InternalLeading = m.InternalLeading;
  f.tm.ExternalLeading = m.ExternalLeading;
  f.tm.AveCharWidth = m.AveCharWidth;
  f.tm.MaxCharWidth = m.MaxCharWidth;
  f.tm.Weight = m.Weight;
  f.tm.Overhang = m.Overhang;
  f.tm.PitchAndFamily = uint8_t((m.FixedPitch ? 0 : plat::kTmVariablePitch) | plat::kTmVector | plat::kTmOutline);
  f.EmSquare = uint32_t(m.EmSquare);
  f.UnderscoreSize = m.UnderscoreSize;
  f.UnderscorePosition = m.UnderscorePosition;
  f.StrikeoutSize = uint32_t(m.StrikeoutSize);
  f.StrikeoutPosition = m.StrikeoutPosition;
  return plat::OutlineMetricsRecord(f);
}

bool TGlyphLayerFont::Select(const TTextFontKey& key) {
  font_ = fonts_.OpenFont(plat::TFontRequest{key.Name, key.Height, key.Style, false});
  if (!font_) return false;
  const plat::TFontMetrics& f = font_->Metrics();
  const plat::TTextMetrics& t = f.tm;
  metrics_ = {};
  metrics_.Height = t.Height;
  metrics_.Ascent = t.Ascent;
  metrics_.Descent = t.Descent;
  metrics_.InternalLeading = t.InternalLeading;
  metrics_.ExternalLeading = t.ExternalLeading;
  metrics_.AveCharWidth = t.AveCharWidth;
  metrics_.MaxCharWidth = t.MaxCharWidth;
  metrics_.Weight = t.Weight;
  metrics_.Overhang = t.Overhang;
  metrics_.FixedPitch = (t.PitchAndFamily & plat::kTmVariablePitch) == 0;
  metrics_.EmSquare = int32_t(f.EmSquare);
  metrics_.UnderscoreSize = f.UnderscoreSize;
  metrics_.UnderscorePosition = f.UnderscorePosition;
  metrics_.StrikeoutSize = int32_t(f.StrikeoutSize);
  metrics_.StrikeoutPosition = f.StrikeoutPosition;
  return true;
}

bool TGlyphLayerFont::Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) {
  if (!font_) return false;
  const bool ok = font_->Glyph(code, plat::TGlyphFormat(uint8_t(format)), scratch_);
  out.BlackBoxX = scratch_.Blank() ? 0 : scratch_.width;
  out.BlackBoxY = scratch_.Blank() ? 0 : scratch_.height;
  out.OriginX = scratch_.origin_x;
  out.OriginY = scratch_.origin_y;
  out.CellIncX = scratch_.advance;
  out.Levels.swap(scratch_.levels);
  return ok;
}

TAbcWidths TGlyphLayerFont::AbcWidths(uint16_t code) {
  if (!font_) return {};
  const plat::TAbcWidths w = font_->AbcWidths(code);
  return {w.A, w.B, w.C};
}

int32_t TGlyphLayerFont::TextWidth(uint16_t code) { return font_ ? font_->Advance(code) : 0; }

std::array<uint8_t, 212> TGlyphLayerFont::OutlineRecord() const {
  return font_ ? plat::OutlineMetricsRecord(font_->Metrics()) : TTextFont::OutlineRecord();
}

const std::string& TGlyphLayerFont::Family() const {
  static const std::string kNone;
  return font_ ? font_->Family() : kNone;
}

}  // namespace kova
