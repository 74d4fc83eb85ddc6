// What a message window shows, kept as references to compiled text (TKovaNewMesData) so that the
// window's document can be rebuilt from the page files instead of being saved whole, and the
// small caches of loaded pages and their compiled texts that the rebuilding reads through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/text/kova_hist_data.h"
#include "core/stream.h"
#include "core/types.h"
#include "script/page.h"
#include "text/page.h"

namespace kova {

class TVrFileManager;
class TXrWord;

// Fills `word` (which should be empty) with the compiled text of command `command_index` of the
// page. False, and nothing read, when the index is out of range or names another kind of
// command. A malformed compiled text raises the text layer's error.
bool LoadCommandText(const TPage& page, int32_t command_index, TXrWord& word);

// The glyph index where the text from text position `pos` begins: 0 for 0 (so that alignment and
// indentation glyphs before the first character count), else the glyph after the text glyph
// before `pos` (the glyph count past the end).
int GlyphIndexOfTextPos(const TXrWord& word, int32_t pos);

// A command's compiled text, loaded once.
struct TMesDataCacheWord {
  int32_t CommandIndex = 0;
  std::unique_ptr<TXrWord> Word;
};

// One loaded page file and its compiled texts, most recently used first (at most 16).
class TMesDataCache {
 public:
  static constexpr size_t kWordLimit = 16;
  std::unique_ptr<TPage> Page;
  std::vector<TMesDataCacheWord> Words;
  // The compiled text of command `command_index`, moved to the front; loaded when absent; nullptr
  // when the index is out of range or names another kind of command.
  TXrWord* FindWord(int32_t command_index);
};

// Loaded page files, most recently used first (at most 4).
class TMesDataCacheList {
 public:
  static constexpr size_t kPageLimit = 4;
  // The compiled text of command `command_index` of the page file (names without regard to
  // case): the cached page is moved to the front, or the page is loaded through `files` and put
  // there. nullptr when the command holds no compiled text. A page file that cannot be read raises
  // the page's error (callers test FileExists first).
  TXrWord* Lookup(TVrFileManager& files, std::string_view page_file, int32_t command_index);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TMesDataCache& Items(int32_t i) const { return *items_[static_cast<size_t>(i)]; }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TMesDataCache>> items_;
};

// The message data of one message window.
class TKovaNewMesData {
 public:
  TKovaNewMesData();
  ~TKovaNewMesData();
  TKovaNewMesData(const TKovaNewMesData&) = delete;
  TKovaNewMesData& operator=(const TKovaNewMesData&) = delete;

  TMesDataCacheList Cache;
  // The texts the window shows (new form).
  TKovaHistData Segments;
  // The pages the window shows (legacy form, filled by a legacy history call), one element each.
  std::vector<std::string> LegacyPageFile;
  std::vector<int32_t> LegacyCommandIndex;
  std::vector<int32_t> LegacyPageIndex;
  std::vector<TPoint> LegacySize;  // window width (X), height (Y)

  // No segment and no legacy page.
  bool Empty() const { return Segments.Empty() && LegacyCommandIndex.empty(); }
  void ClearLegacy();
  void AddLegacy(std::string_view page_file, int32_t command_index, int32_t page_index, TPoint size);
  int32_t LegacyCount() const { return static_cast<int32_t>(LegacyCommandIndex.size()); }

  // Fills a message window's document and pages from the message data (defined with the message
  // window).
  void Build(TXrWord& word, TPageList& pages, bool history_flag, int32_t start_offset);

  // The record inside the message window's record: n (4); n page files; n command indices; n page
  // indices; n sizes as pairs; then the segment list. Load reads the segment list from data
  // version 113; a truncated record, or a count beyond the bytes left, raises EReadError and
  // leaves the data as it was.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int32_t version);

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);
};

}  // namespace kova
