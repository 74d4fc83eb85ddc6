#include "components/message_build.h"

#include <algorithm>

#include "components/kova_mes.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// Moves every row of `from` into `to`, each moved down by `dy`; the bottom of the last row moved
// (dy when none moved).
int64_t MoveRows(TWdPage& from, TWdPage& to, int64_t dy) {
  int64_t bottom = dy;
  while (from.RowCount() > 0) {
    TWdRow* row = from.Row(0);
    std::unique_ptr<TWdGlyph> owned = from.Disown(row);
    from.Delete(0);
    row->Parent = &to;
    row->Y = int32_t(std::clamp<int64_t>(row->Y + dy, INT32_MIN / 2, INT32_MAX / 2));
    bottom = int64_t(row->Y) + row->H;
    to.Add(row);
    to.Own(std::move(owned));
  }
  return bottom;
}

// Appends the text of one reference to `word` and lays it out into `scratch`; false when the
// page file is missing or holds no such text.
bool LayOutReference(TXrWord& word, TPageList& scratch, TMessageSource& source, std::string_view page_file,
                     int32_t command_index, int32_t first, int32_t last, const std::string& var_text) {
  if (!source.FileExists(page_file)) return false;
  const TXrWord* text = source.CompiledText(page_file, command_index);
  if (!text) return false;
  const int n = word.GlyphCount();
  word.CopyGlyphs(*text, FirstGlyphOfTextPos(*text, first), LastGlyphOfTextPos(*text, last));
  word.VarValues.SetText(var_text);
  word.ExpandVars(n, -1);
  word.Layout(scratch, n, -1);
  return true;
}

}  // namespace

int FirstGlyphOfTextPos(const TXrWord& word, int32_t pos) {
  if (pos <= 0) return 0;
  const int before = word.GlyphIndexAtTextPos(pos - 1);
  return before < 0 ? word.GlyphCount() : before + 1;
}

int LastGlyphOfTextPos(const TXrWord& word, int32_t pos) {
  if (pos < 0) return -1;
  return word.GlyphIndexAtTextPos(pos);
}

void BuildMessage(TKovaNewMesData& data, TXrWord& word, TPageList& pages, uint8_t history_flag,
                  int32_t start_offset, TMessageSource* source) {
  (void)history_flag;
  word.Clear();
  word.Paging = 1;
  if (!source) return;
  TKovaHistData& segments = data.Segments;
  if (segments.Count() == 0) return;
  if (segments.Count() == 1 && segments.TotalHeight() == 0) {
    // The text of one text command, shown page by page.
    const THistorySegment& s = segments.At(0);
    if (!source->FileExists(segments.PageFileAt(0))) return;
    const TXrWord* text = source->CompiledText(segments.PageFileAt(0), s.CommandIndex);
    if (!text) return;
    word.CopyGlyphs(*text, FirstGlyphOfTextPos(*text, s.First), LastGlyphOfTextPos(*text, s.Last));
    word.VarValues.SetText(s.VarText);
    word.ExpandVars(0, -1);
    word.Layout(pages, 0, -1);
    return;
  }
  // Recalled history: the rows of every segment stacked into one page that scrolls.
  word.Paging = 0;
  pages.push_back(std::make_unique<TWdPage>(&word));
  TWdPage& page = *pages.back();
  int64_t y = start_offset;
  for (int i = 0; i < segments.Count(); ++i) {
    const THistorySegment& s = segments.At(i);
    TPageList scratch;
    if (!LayOutReference(word, scratch, *source, segments.PageFileAt(i), s.CommandIndex, s.First, s.Last,
                         s.VarText)) {
      break;
    }
    if (!scratch.empty()) y = MoveRows(*scratch.front(), page, y) + word.LineSpace;
  }
  int64_t bottom = 0;
  for (int r = 0; r < page.RowCount(); ++r) bottom = std::max<int64_t>(bottom, int64_t(page.Row(r)->Y) + page.Row(r)->H);
  page.H = int32_t(std::min<int64_t>(bottom, INT32_MAX));
}

void RecallHistory(TKovaNewHistory&, int32_t, int32_t, TKovaMes&) {}

}  // namespace kova
