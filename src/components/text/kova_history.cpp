#include "components/text/kova_history.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "components/text/kova_mes_data.h"
#include "components/scene/kova_object.h"
#include "core/file_manager.h"
#include "core/sjis.h"
#include "script/call_man.h"
#include "script/commands.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"
#include "text/store_text_port.h"

namespace kova {

TKovaNewHistory::TKovaNewHistory(TParamCollection* store)
    : store_(store), script_(store ? std::make_unique<TStoreTextPort>(*store) : nullptr) {
  Word.Paging = 1;
  Word.Script = script_.get();
}

TKovaNewHistory::~TKovaNewHistory() {
  // The scratch pages go before the document they were laid out from.
  Pages.clear();
}

void TKovaNewHistory::Note(const TKovaObject& window, std::string_view page_file, std::string_view var_text,
                           int32_t page_index, int32_t last, int32_t first, int32_t command_index) {
  PageFile.assign(page_file);
  CommandIndex = command_index;
  First = first;
  Last = last;
  MesName = window.GetName();
  VarText.assign(var_text);
  const std::array<int32_t, 6> format = store_ ? store_->Globals.HistFormat : std::array<int32_t, 6>{};
  if (format[0] == 0) {
    Size = {window.GetWidth(), window.GetHeight()};
    PageIndex = page_index;
  }
  if (Entries.Empty()) {
    Word.FontSize = format[0];
    Word.BorderWidth = format[1];
    Word.ShadowWidth = format[2];
    Word.WrapWidth = format[3];
    Word.PageHeight = format[4];
    Word.LineSpace = format[5];
  }
}

void TKovaNewHistory::Commit(std::string_view mes_name) {
  if (PageFile.empty() || mes_name != MesName) return;
  if (NewForm()) {
    CommitNew();
    return;
  }
  LegacyEntries.Add(PageFile, CommandIndex, PageIndex, Size);
  TrimToLimit();
  PageFile.clear();
}

const TPage* TKovaNewHistory::PendingPage(std::unique_ptr<TPage>& loaded) const {
  if (const TCallMan* interpreter = store_->Interpreter()) {
    for (int32_t i = 0; i < interpreter->CacheCount(); ++i) {
      const TPage* page = interpreter->CachedPage(i);
      if (SjisSameText(page->Name, PageFile)) return page;
    }
  }
  loaded = std::make_unique<TPage>();
  loaded->LoadFromFile(store_->Ports().files, PageFile);
  return loaded.get();
}

void TKovaNewHistory::ForgetCachedText() {
  Word.Clear();
  cached_ = false;
  cached_page_.clear();
  cached_command_ = -1;
  cached_text_.clear();
  cached_vars_ = false;
}

void TKovaNewHistory::CommitNew() {
  TVrFileManager* files = store_ ? &store_->Ports().files : nullptr;
  if (!files || !files->FileExists(PageFile)) {
    PageFile.clear();
    return;
  }
  try {
    std::unique_ptr<TPage> loaded;
    const TPage* page = PendingPage(loaded);
    if (CommandIndex < 0 || CommandIndex >= page->Count() ||
        page->Command(CommandIndex)->ComType() != TCommandKind::TextIns) {
      return;  // the note stays pending
    }
    const std::string& text = static_cast<const TComTextIns*>(page->Command(CommandIndex))->Text;
    if (!cached_ || cached_command_ != CommandIndex || !SjisSameText(cached_page_, PageFile) || cached_text_ != text) {
      ForgetCachedText();
      LoadCommandText(*page, CommandIndex, Word);
      cached_ = true;
      cached_page_ = PageFile;
      cached_command_ = CommandIndex;
      cached_text_ = text;
      cached_vars_ = false;
      for (int i = 0; i < Word.GlyphCount(); ++i) cached_vars_ = cached_vars_ || Word.Glyphs(i)->Kind() == WK_VAR;
    }
    const int first = GlyphIndexOfTextPos(Word, First);
    const int last = Last < 0 ? -1 : Word.GlyphIndexAtTextPos(Last);
    if (cached_vars_) Word.ExpandVars(first, last);
    Pages.clear();
    Word.Layout(Pages, first, Last);
    for (const auto& laid : Pages) {
      const int32_t height = static_cast<int32_t>(
          std::clamp<int64_t>(int64_t(laid->H) + Word.LineSpace, 0, std::numeric_limits<int32_t>::max()));
      TWdGlyph* head = laid->FirstTextGlyph();
      TWdGlyph* tail = laid->LastTextGlyph();
      const int32_t seg_first = head ? Word.CharPos(head) : First;
      const int32_t seg_last = tail ? Word.CharPos(tail) : Last;
      if (Entries.Empty() || int64_t(Entries.Last().TotalHeight) + height > Word.PageHeight) Entries.Add();
      Entries.Last().AddText(PageFile, CommandIndex, VarText, height, seg_last, seg_first);
    }
    TrimToLimit();
    Pages.clear();
    if (cached_vars_) Word.CollapseVars();
  } catch (...) {
    // A page or text that cannot be read is not added, and not tried again.
    Pages.clear();
    ForgetCachedText();
    PageFile.clear();
    throw;
  }
  PageFile.clear();
}

void TKovaNewHistory::TrimToLimit() {
  if (Limit < 1) return;
  if (NewForm()) {
    while (Entries.Count() > Limit) Entries.DeleteFirst();
  } else {
    while (LegacyEntries.Count() > Limit) LegacyEntries.DeleteFirst();
  }
}

void TKovaNewHistory::Clear() {
  Pages.clear();
  Entries.Clear();
  LegacyEntries.Clear();
  PageFile.clear();
  VarText.clear();
  ForgetCachedText();
}

void TKovaNewHistory::Reset() {
  Clear();
  Limit = 0;
}

int32_t TKovaNewHistory::GetCount() const {
  if (!NewForm()) return LegacyEntries.Count();
  int64_t total = 0;
  for (int32_t i = 0; i < Entries.Count(); ++i) total += Entries.Items(i).TotalHeight;
  return static_cast<int32_t>(std::clamp<int64_t>(total, 0, std::numeric_limits<int32_t>::max()));
}

int32_t TKovaNewHistory::EntryCount() const { return NewForm() ? Entries.Count() : LegacyEntries.Count(); }

void TKovaNewHistory::SaveToStream(TStream& stream) const {
  THistoryRecord record;
  record.Legacy.reserve(static_cast<size_t>(LegacyEntries.Count()));
  for (int32_t i = 0; i < LegacyEntries.Count(); ++i) {
    const THistoryOldData& e = LegacyEntries.Items(i);
    record.Legacy.push_back({e.PageFile, e.CommandIndex, e.PageIndex, e.Size.X, e.Size.Y});
  }
  record.Pending = {PageFile, CommandIndex, PageIndex, Size.X, Size.Y};
  record.MesName = MesName;
  record.Limit = Limit;
  record.Layout = {Word.FontSize, Word.BorderWidth, Word.ShadowWidth, Word.WrapWidth, Word.PageHeight, Word.LineSpace};
  record.First = First;
  record.Last = Last;
  record.Entries.reserve(static_cast<size_t>(Entries.Count()));
  for (int32_t i = 0; i < Entries.Count(); ++i) record.Entries.push_back(Entries.Items(i).ToRecord());
  record.VarText = VarText;
  record.SaveToStream(stream);
}

void TKovaNewHistory::LoadFromStream(TStream& stream, int32_t version) {
  THistoryRecord record;
  record.LoadFromStream(stream, version);
  Pages.clear();
  ForgetCachedText();
  LegacyEntries.Clear();
  for (const THistoryOldEntry& e : record.Legacy) {
    LegacyEntries.AddStored({e.PageFile, e.CommandIndex, e.PageIndex, {e.Width, e.Height}});
  }
  PageFile = record.Pending.PageFile;
  CommandIndex = record.Pending.CommandIndex;
  PageIndex = record.Pending.PageIndex;
  Size = {record.Pending.Width, record.Pending.Height};
  MesName = record.MesName;
  if (version < 113) return;
  Limit = record.Limit;
  Word.FontSize = record.Layout[0];
  Word.BorderWidth = record.Layout[1];
  Word.ShadowWidth = record.Layout[2];
  Word.WrapWidth = record.Layout[3];
  Word.PageHeight = record.Layout[4];
  Word.LineSpace = record.Layout[5];
  First = record.First;
  Last = record.Last;
  Entries.Clear();
  for (const THistorySegments& segments : record.Entries) Entries.Add().FromRecord(segments);
  VarText = record.VarText;
}

}  // namespace kova
