#include "components/text/kova_hist_data.h"

#include <utility>

#include "core/sjis.h"

namespace kova {

namespace {

// The name stored for `name` after `last` (the last name stored): empty when they are the same
// file. `last` follows.
std::string StoredName(std::string_view name, std::string& last) {
  if (name.empty() || (!last.empty() && SjisSameText(name, last))) return {};
  last.assign(name);
  return std::string(name);
}

}  // namespace

void TKovaHistData::Clear() {
  PageFile.clear();
  CommandIndex.clear();
  First.clear();
  Last.clear();
  Height.clear();
  VarText.clear();
  TotalHeight = 0;
}

void TKovaHistData::AddText(std::string_view page_file, int32_t command_index, std::string_view var_text,
                            int32_t height, int32_t last, int32_t first) {
  std::string previous = PageFileAt(Count() - 1);
  PageFile.push_back(StoredName(page_file, previous));
  CommandIndex.push_back(command_index);
  First.push_back(first);
  Last.push_back(last);
  Height.push_back(height);
  VarText.emplace_back(var_text);
  TotalHeight = static_cast<int32_t>(static_cast<uint32_t>(TotalHeight) + static_cast<uint32_t>(height));
}

std::string TKovaHistData::PageFileAt(int32_t i) const {
  if (i >= Count()) return {};
  for (; i >= 0; --i) {
    if (!PageFile[static_cast<size_t>(i)].empty()) return PageFile[static_cast<size_t>(i)];
  }
  return {};
}

void TKovaHistData::SaveToStream(TStream& stream) const { ToRecord().SaveToStream(stream); }

void TKovaHistData::LoadFromStream(TStream& stream, int32_t version) {
  THistorySegments record;
  record.LoadFromStream(stream, version);
  FromRecord(record);
}

THistorySegments TKovaHistData::ToRecord() const {
  THistorySegments record;
  record.Segments.reserve(CommandIndex.size());
  for (size_t i = 0; i < CommandIndex.size(); ++i) {
    record.Segments.push_back({PageFile[i], CommandIndex[i], First[i], Last[i], Height[i], VarText[i]});
  }
  record.TotalHeight = TotalHeight;
  return record;
}

void TKovaHistData::FromRecord(const THistorySegments& record) {
  Clear();
  const size_t n = record.Segments.size();
  PageFile.reserve(n);
  CommandIndex.reserve(n);
  First.reserve(n);
  Last.reserve(n);
  Height.reserve(n);
  VarText.reserve(n);
  // The stored names are kept as they were written.
  for (const THistorySegment& s : record.Segments) {
    PageFile.push_back(s.PageFile);
    CommandIndex.push_back(s.CommandIndex);
    First.push_back(s.First);
    Last.push_back(s.Last);
    Height.push_back(s.Height);
    VarText.push_back(s.VarText);
  }
  TotalHeight = record.TotalHeight;
}

void THistoryOldDataList::Add(std::string_view page_file, int32_t command_index, int32_t page_index, TPoint size) {
  items_.push_back({StoredName(page_file, last_name_), command_index, page_index, size});
}

void THistoryOldDataList::AddStored(THistoryOldData entry) {
  if (!entry.PageFile.empty()) last_name_ = entry.PageFile;
  items_.push_back(std::move(entry));
}

void THistoryOldDataList::DeleteFirst() {
  if (items_.empty()) return;
  if (items_.size() > 1 && items_[1].PageFile.empty()) items_[1].PageFile = std::move(items_[0].PageFile);
  items_.pop_front();
  if (items_.empty()) last_name_.clear();
}

void THistoryOldDataList::Clear() {
  items_.clear();
  last_name_.clear();
}

std::string THistoryOldDataList::PageFileAt(int32_t i) const {
  if (i >= Count()) return {};
  for (; i >= 0; --i) {
    if (!items_[static_cast<size_t>(i)].PageFile.empty()) return items_[static_cast<size_t>(i)].PageFile;
  }
  return {};
}

}  // namespace kova
