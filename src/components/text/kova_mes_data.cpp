#include "components/text/kova_mes_data.h"

#include <algorithm>
#include <span>
#include <utility>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "script/commands.h"
#include "script/page.h"
#include "script/subsystem_commands.h"
#include "text/xr_word.h"

namespace kova {

bool LoadCommandText(const TPage& page, int32_t command_index, TXrWord& word) {
  if (command_index < 0 || command_index >= page.Count()) return false;
  const TCommand* command = page.Command(command_index);
  if (!command || command->ComType() != TCommandKind::TextIns) return false;
  const std::string& text = static_cast<const TComTextIns*>(command)->Text;
  TSpanStream stream(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  word.LoadFromStream(stream);
  return true;
}

int GlyphIndexOfTextPos(const TXrWord& word, int32_t pos) {
  if (pos <= 0) return 0;
  const int before = word.GlyphIndexAtTextPos(pos - 1);
  return before < 0 ? word.GlyphCount() : before + 1;
}

TXrWord* TMesDataCache::FindWord(int32_t command_index) {
  auto it = std::find_if(Words.begin(), Words.end(),
                         [&](const TMesDataCacheWord& w) { return w.CommandIndex == command_index; });
  if (it != Words.end()) {
    std::rotate(Words.begin(), it, it + 1);
    return Words.front().Word.get();
  }
  if (!Page) return nullptr;
  auto word = std::make_unique<TXrWord>();
  if (!LoadCommandText(*Page, command_index, *word)) return nullptr;
  Words.insert(Words.begin(), TMesDataCacheWord{command_index, std::move(word)});
  if (Words.size() > kWordLimit) Words.resize(kWordLimit);
  return Words.front().Word.get();
}

TXrWord* TMesDataCacheList::Lookup(TVrFileManager& files, std::string_view page_file, int32_t command_index) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [&](const auto& c) { return c->Page && SjisSameText(c->Page->Name, page_file); });
  if (it != items_.end()) {
    std::rotate(items_.begin(), it, it + 1);
  } else {
    auto cache = std::make_unique<TMesDataCache>();
    cache->Page = std::make_unique<TPage>();
    cache->Page->LoadFromFile(files, page_file);
    items_.insert(items_.begin(), std::move(cache));
    if (items_.size() > kPageLimit) items_.resize(kPageLimit);
  }
  return items_.front()->FindWord(command_index);
}

TKovaNewMesData::TKovaNewMesData() = default;
TKovaNewMesData::~TKovaNewMesData() = default;

void TKovaNewMesData::ClearLegacy() {
  LegacyPageFile.clear();
  LegacyCommandIndex.clear();
  LegacyPageIndex.clear();
  LegacySize.clear();
}

void TKovaNewMesData::AddLegacy(std::string_view page_file, int32_t command_index, int32_t page_index, TPoint size) {
  LegacyPageFile.emplace_back(page_file);
  LegacyCommandIndex.push_back(command_index);
  LegacyPageIndex.push_back(page_index);
  LegacySize.push_back(size);
}

template <class IO, class R>
void TKovaNewMesData::Transfer(IO& io, R& r) {
  // A page file (4), a command and a page index (4 each) and a size (8) at least per element.
  int32_t n = r.LegacyCount();
  io.Count(n, 4 + 4 + 4 + 8);
  if constexpr (IO::kLoading) {
    r.LegacyPageFile.resize(size_t(n));
    r.LegacyCommandIndex.resize(size_t(n));
    r.LegacyPageIndex.resize(size_t(n));
    r.LegacySize.resize(size_t(n));
  }
  for (auto& s : r.LegacyPageFile) io.Str(s);
  for (auto& v : r.LegacyCommandIndex) io.Int(v);
  for (auto& v : r.LegacyPageIndex) io.Int(v);
  for (auto& p : r.LegacySize) {
    io.Int(p.X);
    io.Int(p.Y);
  }
  if (io.Since(113)) io.Versioned(r.Segments);
}

void TKovaNewMesData::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaNewMesData::LoadFromStream(TStream& stream, int32_t version) {
  // Read whole before it replaces the data.
  TKovaNewMesData loaded;
  TRecordLoader io(stream, version);
  Transfer(io, loaded);
  LegacyPageFile = std::move(loaded.LegacyPageFile);
  LegacyCommandIndex = std::move(loaded.LegacyCommandIndex);
  LegacyPageIndex = std::move(loaded.LegacyPageIndex);
  LegacySize = std::move(loaded.LegacySize);
  Segments = std::move(loaded.Segments);
}

}  // namespace kova
