#include "script/event_queue.h"

#include <algorithm>

#include "core/errors.h"
#include "core/lists.h"
#include "core/stream_records.h"

namespace kova {

int32_t TTimerList::AddEvent(TKovaObject* component, std::string_view handler, const TArrayString* params,
                             uint8_t code) {
  main_.Check("TTimerList::AddEvent");
  auto event = std::make_unique<TTimerData>(this);
  event->Handler.assign(handler);
  event->Target = component;
  event->Code = code;
  if (params) event->Params.Assign(*params);
  items_.push_back(std::move(event));
  return Count() - 1;
}

int32_t TTimerList::IndexOfEvent(const TKovaObject* component, uint8_t code) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Target == component && items_[i]->Code == code) return static_cast<int32_t>(i);
  }
  return -1;
}

TTimerData* TTimerList::NextWaiting() const {
  for (const auto& e : items_) {
    if (e->Level == 0) return e.get();
  }
  return nullptr;
}

void TTimerList::RemoveLevel(int32_t level) {
  std::erase_if(items_, [level](const auto& e) { return e->Level == level; });
}

void TTimerList::RemoveHandled() {
  std::erase_if(items_, [](const auto& e) { return e->Level != 0; });
}

void TTimerList::RemoveWaiting(const TKovaObject* component) {
  std::erase_if(items_, [component](const auto& e) { return e->Level == 0 && e->Target == component; });
}

void TTimerList::Remove(const TTimerData* event) {
  std::erase_if(items_, [event](const auto& e) { return e.get() == event; });
}

void TTimerList::ForgetTarget(const TKovaObject* component) {
  if (!component) return;
  for (const auto& e : items_) {
    if (e->Target == component) e->Target = nullptr;
  }
}

TTimerData* TTimerList::Items(int32_t i) const {
  CheckListIndex(i, items_.size());
  return items_[static_cast<size_t>(i)].get();
}

void TTimerList::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, Count());
  for (const auto& e : items_) {
    WriteStreamString(stream, e->Handler);
    std::string target;
    if (e->Target && root_ && root_->HasComponent(e->Target)) target = root_->ComponentName(e->Target);
    WriteStreamString(stream, target);
    WriteStreamByte(stream, e->Code);
    WriteStreamInteger(stream, e->Level);
    e->Params.SaveToStream(stream);
  }
}

void TTimerList::LoadFromStream(TStream& stream, int32_t version) {
  const bool byte_level = version < 114;
  const int32_t count = ReadStreamInteger(stream);
  // Each event takes at least two string lengths, the code, the level and the parameter count.
  const int64_t min_size = byte_level ? 14 : 17;
  if (count < 0 || count > stream.Remaining() / min_size) Raise<EReadError>(TMsg::StreamReadError);
  std::vector<std::unique_ptr<TTimerData>> items;
  items.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto e = std::make_unique<TTimerData>(this);
    e->Handler = ReadStreamString(stream);
    const std::string target = ReadStreamString(stream);
    e->Code = ReadStreamByte(stream);
    if (byte_level) {
      e->Level = ReadStreamByte(stream) != 0 ? 1 : 0;
    } else {
      e->Level = ReadStreamInteger(stream);
    }
    e->Params.LoadFromStream(stream);
    if (!target.empty() && root_) e->Target = root_->FindComponent(target);
    items.push_back(std::move(e));
  }
  items_ = std::move(items);
}

}  // namespace kova
