// The message history: the pages shown in message windows in record mode, kept as references to
// their compiled text so that they can be laid out again and shown in a message window on request.
//
// A window notes the page it makes current (Note) and commits it when it shows other text or
// another page (Commit). In the new form (the history's wrap width is not 0) a committed page is
// laid out again at the history's own layout and its pages are grouped into entries no taller than
// the history's page height; the history's count is then the entries' total height in pixels. In
// the legacy form every committed page is one entry (its page index and the window's size), and
// the count is the number of entries. Both forms keep at most Limit entries (below 1: no limit).
// Showing the history again in a message window (Recall) is defined with the message window. One
// per scene, made with the scene's parts; main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "components/text/kova_hist_data.h"
#include "core/stream.h"
#include "core/types.h"
#include "text/page.h"
#include "text/xr_word.h"

namespace kova {

class TKovaObject;
class TParamCollection;
class TPage;
class TStoreTextPort;

class TKovaNewHistory {
 public:
  // `store` (not owned; may be nullptr): its history layout settings (set by FormatHist), the
  // current variable values for VAR tags, and through its host the game's files and the
  // interpreter's page cache. Without a store nothing is ever committed in the new form.
  explicit TKovaNewHistory(TParamCollection* store = nullptr);
  ~TKovaNewHistory();
  TKovaNewHistory(const TKovaNewHistory&) = delete;
  TKovaNewHistory& operator=(const TKovaNewHistory&) = delete;

  TParamCollection* Store() const { return store_; }

  // ---- State ----
  // The history's own document: it carries the history layout (FontSize, BorderWidth,
  // ShadowWidth, WrapWidth, PageHeight, LineSpace) and lays committed pages out again.
  TXrWord Word;
  TPageList Pages;                   // scratch pages of one commit
  TKovaHistDataList Entries;         // new form
  TPoint Size;                       // window width (X) and height (Y) noted with the pending page
  int32_t PageIndex = 0;             // page index noted with the pending page (legacy form)
  THistoryOldDataList LegacyEntries; // legacy form
  std::string MesName;               // the window of the pending note
  std::string PageFile;              // the pending note's page file; empty: nothing pending
  int32_t CommandIndex = 0;
  int32_t First = 0;                 // text positions of the pending page's first and last glyph
  int32_t Last = 0;
  std::string VarText;               // the pending page's variable snapshot
  int32_t Limit = 0;                 // most entries kept ("@HistoryMaxCount"); below 1: no limit

  // True when the history works in the new form (its wrap width is not 0).
  bool NewForm() const { return Word.WrapWidth != 0; }

  // ---- Operations ----
  // Remembers the page `window` has just made current. The layout of the history follows the
  // layout settings only while the history is empty.
  void Note(const TKovaObject& window, std::string_view page_file, std::string_view var_text, int32_t page_index,
            int32_t last, int32_t first, int32_t command_index);
  // Adds the pending page to the history when it belongs to the window `mes_name` (exact name).
  // A page file that no longer exists, or a command index that names no text, ends silently.
  void Commit(std::string_view mes_name);
  // Empties the history: scratch pages, entries of both forms and the pending note.
  void Clear();
  // The reset command: Clear, and the limit back to 0.
  void Reset();
  // "@HistoryCount": new form, the entries' total height (pixels); legacy form, the entry count.
  int32_t GetCount() const;
  // The number of entries of the form in use.
  int32_t EntryCount() const;
  // Shows history from `first` for `count` (pixels in the new form, entries in the legacy form)
  // in the message window `window` (defined with the message window).
  void Recall(int32_t first, int32_t count, TKovaObject* window);

  // ---- Game save ----
  void SaveToStream(TStream& stream) const;
  // Reads the history section of a game save of data version `version`. Before 113 only the
  // legacy entries and the pending note are read (the rest keeps its values). A malformed section
  // raises EReadError and leaves the history as it was.
  void LoadFromStream(TStream& stream, int32_t version);

 private:
  // Lays the pending page out again and adds it to the entries (new form).
  void CommitNew();
  void TrimToLimit();
  // The page of the pending note: from the interpreter's page cache, else loaded into `loaded`.
  const TPage* PendingPage(std::unique_ptr<TPage>& loaded) const;
  void ForgetCachedText();

  TParamCollection* store_ = nullptr;
  std::unique_ptr<TStoreTextPort> script_;
  // Which compiled text Word holds: the page file (as named), the command index and the text's
  // bytes (so that a page loaded anew, or another page at the same address, is never mistaken for
  // it).
  bool cached_ = false;
  std::string cached_page_;
  int32_t cached_command_ = -1;
  std::string cached_text_;
  bool cached_vars_ = false;  // the kept text holds VAR glyphs
};

}  // namespace kova
