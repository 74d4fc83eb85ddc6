// Rebuilding a message window's text from references, and the history recall.
//
// A message window that shows compiled text holds only references (page file, text command index,
// text range, variable snapshot) in its message data. BuildMessage lays the referenced texts out
// again: one reference is an ordinary text shown page by page; several (recalled history) are
// stacked into one tall page of rows that the window scrolls. A page file that no data source
// holds ends the build silently, leaving what was built so far.
//
// RecallHistory copies the history segments that
// overlap a pixel range of the whole history (or, in the legacy form, a range of entries) into a
// window's message data and shows them.
#pragma once

#include <cstdint>

#include "text/page.h"

namespace kova {

class TKovaMes;
class TKovaNewHistory;
class TKovaNewMesData;
class TVrFileManager;
class TXrWord;

// Fills `word` and `pages` from the message data, reading page files through `files` (nothing is
// built without them). Recalled history turns the document's paging off (one page that
// scrolls); any other text turns it on.
void BuildMessage(TKovaNewMesData& data, TXrWord& word, TPageList& pages, bool history_flag, int32_t start_offset,
                  TVrFileManager* files);

// Shows the history from `first` for `count` (pixels of the whole history in the new form,
// entries in the legacy form) in the message window: its record mode becomes 2 and page 0 of the
// rebuilt text becomes current. Nothing happens for a count below 1.
void RecallHistory(const TKovaNewHistory& history, int32_t first, int32_t count, TKovaMes& window);

}  // namespace kova
