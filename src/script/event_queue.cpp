#include "script/event_queue.h"

#include <algorithm>

#include "core/errors.h"
#include "core/lists.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {

int32_t TTimerList::AddEvent(TObjectHandle target, std::string_view handler, const TArrayString* params,
                             uint8_t code) {
  main_.Check("TTimerList::AddEvent");
  auto event = std::make_unique<TTimerData>(this);
  event->Target = target;
  if (TargetGone(*event)) return -1;
  event->Handler.assign(handler);
  event->Code = code;
  if (params) event->Params.Assign(*params);
  items_.push_back(std::move(event));
  return Count() - 1;
}

int32_t TTimerList::IndexOfEvent(TObjectHandle target, uint8_t code) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Target == target && items_[i]->Code == code) return static_cast<int32_t>(i);
  }
  return -1;
}

TTimerData* TTimerList::NextWaiting() {
  for (auto it = items_.begin(); it != items_.end();) {
    TTimerData* e = it->get();
    if (e->Level != 0) {
      ++it;
    } else if (TargetGone(*e)) {
      it = items_.erase(it);
    } else {
      return e;
    }
  }
  return nullptr;
}

bool TTimerList::TargetGone(const TTimerData& event) const {
  return event.Target && !(root_ && root_->Resolve(event.Target));
}

void TTimerList::RemoveLevel(int32_t level) {
  std::erase_if(items_, [level](const auto& e) { return e->Level == level; });
}

void TTimerList::RemoveHandled() {
  std::erase_if(items_, [](const auto& e) { return e->Level != 0; });
}

void TTimerList::RemoveWaiting(TObjectHandle target) {
  std::erase_if(items_, [target](const auto& e) { return e->Level == 0 && e->Target == target; });
}

void TTimerList::Remove(const TTimerData* event) {
  std::erase_if(items_, [event](const auto& e) { return e.get() == event; });
}

TTimerData* TTimerList::Items(int32_t i) const {
  CheckListIndex(i, items_.size());
  return items_[static_cast<size_t>(i)].get();
}

namespace {

// One event: handler, target name, code, level (one byte before version 114, where any non-zero
// level loads as 1), parameters.
template <class IO, class E>
void TransferEvent(IO& io, E& e, std::string& target) {
  io.Str(e.Handler);
  io.Str(target);
  io.Byte(e.Code);
  if (io.Since(114)) {
    io.Int(e.Level);
  } else {
    uint8_t level = e.Level != 0 ? 1 : 0;
    io.Byte(level);
    if constexpr (IO::kLoading) e.Level = level != 0 ? 1 : 0;
  }
  io.Object(e.Params);
}

}  // namespace

void TTimerList::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  io.Count(Count(), 0);
  for (const auto& e : items_) {
    std::string target;
    if (const TKovaObject* object = root_ ? root_->Resolve(e->Target) : nullptr) target = root_->ComponentName(object);
    TransferEvent(io, *e, target);
  }
}

void TTimerList::LoadFromStream(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  // Each event takes at least two string lengths, the code, the level and the parameter count.
  int32_t count = 0;
  io.Count(count, io.Since(114) ? 17 : 14);
  std::vector<std::unique_ptr<TTimerData>> items;
  items.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto e = std::make_unique<TTimerData>(this);
    std::string target;
    TransferEvent(io, *e, target);
    if (!target.empty() && root_) e->Target = root_->FindHandle(target);
    items.push_back(std::move(e));
  }
  items_ = std::move(items);
}

}  // namespace kova
