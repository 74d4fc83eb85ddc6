#include "core/array_string.h"

#include <cstdint>

#include "core/errors.h"
#include "core/lists.h"
#include "core/record_io.h"
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

namespace {

// Count (4), the strings; every string takes at least its 4-byte length.
template <class IO, class L>
void TransferStrings(IO& io, L& items) {
  io.List(items, 4, [&](auto& s) { io.Str(s); });
}

}  // namespace

void TArrayString::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferStrings(io, items_);
}

void TArrayString::LoadFromStream(TStream& stream) {
  Clear();
  TRecordLoader io(stream);
  TransferStrings(io, items_);
}

}  // namespace kova
