#include "core/array_string.h"

#include <algorithm>
#include <cstdint>

#include "core/errors.h"
#include "core/lists.h"
#include "core/stream_records.h"

namespace kova {

const std::string& TArrayString::Get(int index) const {
  CheckListIndex(index, items_.size());
  return items_[index];
}

void TArrayString::Set(int index, std::string s) {
  CheckListIndex(index, items_.size());
  items_[index] = std::move(s);
}

void TArrayString::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, Count());
  for (const auto& s : items_) WriteStreamString(stream, s);
}

void TArrayString::LoadFromStream(TStream& stream) {
  Clear();
  const int32_t count = ReadStreamInteger(stream);
  // Every string takes at least its 4-byte length.
  if (count < 0 || count > stream.Remaining() / 4) Raise<EReadError>(TMsg::StreamReadError);
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(std::min<int32_t>(count, 4096)));
  for (int32_t i = 0; i < count; ++i) items.push_back(ReadStreamString(stream));
  items_ = std::move(items);
}

}  // namespace kova
