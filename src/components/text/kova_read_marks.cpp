#include "components/text/kova_read_marks.h"

#include <algorithm>
#include <utility>

#include "script/history_records.h"

namespace kova {

bool TKovaRead::Holds(int32_t command_index, int32_t page_index) const {
  for (size_t i = 0; i < CommandIndex.size(); ++i) {
    if (CommandIndex[i] == command_index && PageIndex[i] == page_index) return true;
  }
  return false;
}

void TKovaReadList::Note(std::string_view mes_name, std::string_view page_file, int32_t page_index,
                         int32_t command_index) {
  PageFile.assign(page_file);
  CommandIndex = command_index;
  PageIndex = page_index;
  MesName.assign(mes_name);
}

void TKovaReadList::Commit(std::string_view mes_name) {
  if (PageFile.empty() || mes_name != MesName) return;
  TKovaRead* item = FindItem(PageFile);
  if (!item) item = Add(PageFile);
  if (item->Holds(CommandIndex, PageIndex)) return;
  item->CommandIndex.push_back(CommandIndex);
  item->PageIndex.push_back(PageIndex);
  PageFile.clear();
}

bool TKovaReadList::IsRead(std::string_view page_file, int32_t command_index, int32_t page_index) const {
  const TKovaRead* item = FindItem(page_file);
  return item && item->Holds(command_index, page_index);
}

void TKovaReadList::Clear() {
  THashCollectionOf<TKovaRead>::Clear();
  PageFile.clear();
}

void TKovaReadList::SaveToStream(TStream& stream) const {
  TReadMarksRecord record;
  record.Pages.reserve(static_cast<size_t>(Count()));
  for (int32_t i = 0; i < Count(); ++i) {
    const TKovaRead* item = Items(i);
    record.Pages.push_back({item->Name(), item->CommandIndex, item->PageIndex});
  }
  record.PageFile = PageFile;
  record.CommandIndex = CommandIndex;
  record.PageIndex = PageIndex;
  record.MesName = MesName;
  record.SaveToStream(stream);
}

void TKovaReadList::LoadFromStream(TStream& stream, int32_t status_version) {
  TReadMarksRecord record;
  record.LoadFromStream(stream, status_version);
  Clear();
  Reserve(record.Pages.size());
  for (TReadMark& page : record.Pages) {
    TKovaRead* item = AddLoaded(std::move(page.PageFile));
    item->CommandIndex = std::move(page.CommandIndex);
    item->PageIndex = std::move(page.PageIndex);
  }
  PageFile = std::move(record.PageFile);
  CommandIndex = record.CommandIndex;
  PageIndex = record.PageIndex;
  MesName = std::move(record.MesName);
}

}  // namespace kova
