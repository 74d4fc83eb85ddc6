// The line-breaking rules of layout: no break before closing punctuation, none after an opening
// bracket, none inside a NOBR run, a run under one ruby text or a run of single-byte letters.
#pragma once

#include <cstdint>

namespace kova {

class TWdGlyph;
class TXrWord;

// May a line break fall between glyph a (nullptr at the start) and the glyph b after it?
bool CanBreakBefore(const TWdGlyph& b, const TWdGlyph* a);
// May a line break follow glyph a?
bool CanBreakAfter(const TWdGlyph& a);

struct TRunMeasure {
  int32_t Width = 0;
  int Count = 0;
};
// The unbreakable run that starts at glyph `index` of the document, ending at glyph `last` at
// the latest: its width and number of glyphs.
TRunMeasure MeasureRun(const TXrWord& doc, int index, int last);

}  // namespace kova
