#include "components/text/message_build.h"

#include <algorithm>

#include "components/text/kova_history.h"
#include "components/text/kova_mes.h"
#include "components/text/kova_mes_data.h"
#include "core/file_manager.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "text/store_text_port.h"
#include "text/text_limits.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// The glyph index of the last glyph of a range ending at text position `pos` (-1: the last).
int LastGlyphOfTextPos(const TXrWord& word, int32_t pos) { return pos < 0 ? -1 : word.GlyphIndexAtTextPos(pos); }

int32_t ClampY(int64_t y) { return int32_t(std::clamp<int64_t>(y, INT32_MIN / 2, INT32_MAX / 2)); }

// Moves every row of `from` into `to`, each moved down by `dy`; the bottom of the last row moved
// (dy when none moved).
int64_t MoveRows(TWdPage& from, TWdPage& to, int64_t dy) {
  int64_t bottom = dy;
  while (from.RowCount() > 0) {
    TWdRow* row = from.Row(0);
    std::unique_ptr<TWdGlyph> owned = from.Disown(row);
    from.Delete(0);
    row->Parent = &to;
    row->Y = ClampY(row->Y + dy);
    bottom = int64_t(row->Y) + row->H;
    to.Add(row);
    to.Own(std::move(owned));
  }
  return bottom;
}

// The compiled text of a reference, or nullptr when its page file is missing or holds no such text.
const TXrWord* Lookup(TKovaNewMesData& data, TVrFileManager& files, const std::string& page_file,
                      int32_t command_index) {
  if (page_file.empty() || !files.FileExists(page_file)) return nullptr;
  return data.Cache.Lookup(files, page_file, command_index);
}

// Whether glyphs first..last (text positions) of `text` still fit in `word` (text/text_limits.h).
bool Fits(const TXrWord& word, const TXrWord& text, int32_t first, int32_t last) {
  const int from = GlyphIndexOfTextPos(text, first);
  int to = LastGlyphOfTextPos(text, last);
  if (to < 0 || to >= text.GlyphCount()) to = text.GlyphCount() - 1;
  return to < from || size_t(word.GlyphCount()) + size_t(to - from + 1) <= kMaxTextGlyphs;
}

// Appends glyphs first..last (text positions) of `text` to `word` with the variable snapshot and
// lays them out into `scratch`.
void AppendAndLayOut(TXrWord& word, TPageList& scratch, const TXrWord& text, int32_t first, int32_t last,
                     const std::string& var_text) {
  const int n = word.GlyphCount();
  word.CopyGlyphs(text, GlyphIndexOfTextPos(text, first), LastGlyphOfTextPos(text, last));
  word.VarValues.SetText(var_text);
  word.ExpandVars(n, -1);
  word.Layout(scratch, n, -1);
}

void SetHeight(TWdPage& page) {
  int64_t bottom = 0;
  for (int r = 0; r < page.RowCount(); ++r) bottom = std::max<int64_t>(bottom, int64_t(page.Row(r)->Y) + page.Row(r)->H);
  page.H = ClampY(bottom);
}

// The legacy form: each element is one page of a text laid out at the window size noted with it.
void BuildLegacy(TKovaNewMesData& data, TXrWord& word, TPageList& pages, TVrFileManager& files) {
  const int32_t n = data.LegacyCount();
  if (n == 0) return;
  std::vector<std::string> names(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    names[size_t(i)] = !data.LegacyPageFile[size_t(i)].empty() || i == 0 ? data.LegacyPageFile[size_t(i)] : names[size_t(i - 1)];
  }
  if (n == 1 && data.LegacyPageIndex[0] < 0) {
    const TXrWord* text = Lookup(data, files, names[0], data.LegacyCommandIndex[0]);
    if (!text) return;
    word.CopyGlyphs(*text, 0, -1);
    word.ExpandVars(0, -1);
    word.Layout(pages, 0, -1);
    return;
  }
  word.Paging = 0;
  pages.push_back(std::make_unique<TWdPage>(&word));
  TWdPage& page = *pages.back();
  const int32_t wrap = word.WrapWidth, height = word.PageHeight;
  int64_t y = 0;
  for (int32_t i = 0; i < n; ++i) {
    const TXrWord* text = Lookup(data, files, names[size_t(i)], data.LegacyCommandIndex[size_t(i)]);
    if (!text || !Fits(word, *text, 0, -1)) break;
    TPageList scratch;
    word.WrapWidth = data.LegacySize[size_t(i)].X;
    word.PageHeight = data.LegacySize[size_t(i)].Y;
    word.Paging = 1;
    AppendAndLayOut(word, scratch, *text, 0, -1, std::string());
    word.Paging = 0;
    word.WrapWidth = wrap;
    word.PageHeight = height;
    const int32_t at = data.LegacyPageIndex[size_t(i)];
    if (at >= 0 && at < int32_t(scratch.size())) y = MoveRows(*scratch[size_t(at)], page, y) + word.LineSpace;
  }
  SetHeight(page);
}

}  // namespace

void BuildMessage(TKovaNewMesData& data, TXrWord& word, TPageList& pages, bool /*history_flag*/, int32_t start_offset,
                  TVrFileManager* files) {
  word.Clear();
  word.Paging = 1;
  if (!files) return;
  TKovaHistData& segments = data.Segments;
  if (segments.Empty()) {
    BuildLegacy(data, word, pages, *files);
    return;
  }
  if (segments.Count() == 1 && segments.TotalHeight == 0) {
    // The text of one text command, shown page by page.
    const TXrWord* text = Lookup(data, *files, segments.PageFileAt(0), segments.CommandIndex[0]);
    if (!text) return;
    word.CopyGlyphs(*text, GlyphIndexOfTextPos(*text, segments.First[0]), LastGlyphOfTextPos(*text, segments.Last[0]));
    word.VarValues.SetText(segments.VarText[0]);
    word.ExpandVars(0, -1);
    word.Layout(pages, 0, -1);
    return;
  }
  // Recalled history: the rows of every segment stacked into one page that scrolls.
  word.Paging = 0;
  pages.push_back(std::make_unique<TWdPage>(&word));
  TWdPage& page = *pages.back();
  int64_t y = start_offset;
  for (int32_t i = 0; i < segments.Count(); ++i) {
    const TXrWord* text = Lookup(data, *files, segments.PageFileAt(i), segments.CommandIndex[size_t(i)]);
    // A recall stops at a missing text, and at one that would take the page past what one
    // document may hold.
    if (!text || !Fits(word, *text, segments.First[size_t(i)], segments.Last[size_t(i)])) break;
    TPageList scratch;
    AppendAndLayOut(word, scratch, *text, segments.First[size_t(i)], segments.Last[size_t(i)],
                    segments.VarText[size_t(i)]);
    if (!scratch.empty()) y = MoveRows(*scratch.front(), page, y) + word.LineSpace;
  }
  SetHeight(page);
}

void RecallHistory(const TKovaNewHistory& history, int32_t first, int32_t count, TKovaMes& mes) {
  if (count < 1) return;
  first = std::max(first, 0);
  const TKovaHistDataList& entries = history.Entries;
  const THistoryOldDataList& legacy = history.LegacyEntries;
  mes.SetRecordMode(2);
  TKovaNewMesData& data = mes.MesData();
  if (history.NewForm()) {
    // The segments that overlap [first, first + count) of the whole history, in pixels.
    data.ClearLegacy();
    data.Segments.Clear();
    const int64_t end = int64_t(first) + count;
    int64_t pos = 0;
    bool started = false;
    int64_t start = 0;
    for (int32_t e = 0; e < entries.Count() && pos < end; ++e) {
      const TKovaHistData& entry = entries.Items(e);
      for (int32_t k = 0; k < entry.Count() && pos < end; ++k) {
        const int64_t h = entry.Height[size_t(k)];
        if (pos + h > first) {
          if (!started) start = pos;
          started = true;
          data.Segments.AddText(entry.PageFileAt(k), entry.CommandIndex[size_t(k)], entry.VarText[size_t(k)],
                                entry.Height[size_t(k)], entry.Last[size_t(k)], entry.First[size_t(k)]);
        }
        pos += h;
      }
    }
    mes.SetStartOffset(int32_t(std::clamp<int64_t>(start - first, INT32_MIN, 0)));
  } else {
    data.Segments.Clear();
    data.ClearLegacy();
    for (int64_t i = first; i < int64_t(first) + count && i < legacy.Count(); ++i) {
      const THistoryOldData& e = legacy.Items(int32_t(i));
      data.AddLegacy(legacy.PageFileAt(int32_t(i)), e.CommandIndex, e.PageIndex, e.Size);
    }
    mes.SetOffsetY(0);
    mes.SetStartOffset(0);
  }
  mes.InsertText(false);
  mes.ShowFirstPage();
}

// The message data reaches the game's files through the script port its window gave the document.
void TKovaNewMesData::Build(TXrWord& word, TPageList& pages, bool history_flag, int32_t start_offset) {
  const auto* port = dynamic_cast<const TStoreTextPort*>(word.Script);
  BuildMessage(*this, word, pages, history_flag, start_offset, port ? &port->Store().Ports().files : nullptr);
}

void TKovaNewHistory::Recall(int32_t first, int32_t count, TKovaObject* window) {
  if (window && window->GetCompoType() == KT_MES) RecallHistory(*this, first, count, static_cast<TKovaMes&>(*window));
}

}  // namespace kova
