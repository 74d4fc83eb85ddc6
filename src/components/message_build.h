// Rebuilding a message window's text from references, and the history recall.
//
// A message window that shows compiled text holds only references (page file, text command index,
// text range, variable snapshot) in its message data. Build lays the referenced texts out again:
// one reference is an ordinary text shown page by page; several (recalled history) are stacked
// into one tall page of rows that the window scrolls. A page file that no data source holds ends
// the build silently, leaving what was built so far.
//
// Recall copies the history segments that overlap a pixel range of the whole history (or, in the
// legacy form, a range of entries) into a window's message data and shows them.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/page.h"

namespace kova {

class TKovaMes;
class TKovaNewHistory;
class TKovaNewMesData;
class TXrWord;

// Where rebuilt texts come from.
class TMessageSource {
 public:
  virtual ~TMessageSource() = default;
  // True when a data source holds the page file.
  virtual bool FileExists(std::string_view page_file) = 0;
  // The compiled text of text command `command_index` of that page file, or nullptr when the
  // index is out of range or names another kind of command.
  virtual const TXrWord* CompiledText(std::string_view page_file, int32_t command_index) = 0;
};

// Fills `word` and `pages` from the message data.
void BuildMessage(TKovaNewMesData& data, TXrWord& word, TPageList& pages, uint8_t history_flag,
                  int32_t start_offset, TMessageSource* source);

// The glyph index where a text range that starts at text position `pos` begins: 0 for 0, else
// the glyph after the text glyph at pos - 1 (so glyphs that are not text go with what follows).
int FirstGlyphOfTextPos(const TXrWord& word, int32_t pos);
// The glyph index of the last glyph of a range ending at text position `pos` (-1: the last).
int LastGlyphOfTextPos(const TXrWord& word, int32_t pos);

// Shows entries of the history in `window` (the history-call command has clipped the range).
void RecallHistory(TKovaNewHistory& history, int32_t first, int32_t count, TKovaMes& window);

}  // namespace kova
