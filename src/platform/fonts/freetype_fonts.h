// The glyph layer over FreeType, with the faces chosen by a fontconfig source and the character
// codes mapped by the code page 932 table.
//
// Rendering: outlines only (embedded bitmaps are never used), light hinting (vertical only) for
// every format, so that a character has the same box and advance in mono and grey; mono renders
// with FreeType's mono rasteriser, the grey formats with its 256-level one, rounded to levels.
// Sizes: a cell height h makes the face at h / (OS/2 winAscent + winDescent) pixels per design
// unit (hhea when the OS/2 table is missing), so a row of text is h pixels high as on the system
// these games were written for. Bold and italic that a family lacks are synthesised as
// glyph_fonts.h says.
//
// Caches: one FreeType face per font file, one size per (face, cell height), one font object per
// (face, cell height, style) while it is in use or among the recently opened, and the face each
// requested name resolved to.
#pragma once

#include <memory>

#include "platform/text/glyph_fonts.h"

namespace kova::plat {

class TFontconfigSource;

class TFreeTypeFonts : public IGlyphFonts {
 public:
  // `source` must outlive this object.
  explicit TFreeTypeFonts(TFontconfigSource& source);
  ~TFreeTypeFonts() override;
  TFreeTypeFonts(const TFreeTypeFonts&) = delete;
  TFreeTypeFonts& operator=(const TFreeTypeFonts&) = delete;

  std::shared_ptr<IGlyphFont> OpenFont(const TFontRequest& request) override;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace kova::plat
