#include "media/midi_items.h"

#include <algorithm>

#include "platform/text/text_codec.h"

namespace kova {

TMidiManager::TMidiManager(const TMidiParts& parts) : parts_(parts) {
  names_.push_back(plat::Utf8ToCp932("MIDIマッパー"));
  if (parts_.devices) {
    for (std::string& name : parts_.devices->Names()) names_.push_back(std::move(name));
  }
}

TMidiManager::~TMidiManager() { Clear(); }

int32_t TMidiManager::GetDeviceCount() const { return int32_t(names_.size()); }

std::string TMidiManager::GetDeviceName(int32_t index) const {
  if (index < 0 || index >= int32_t(names_.size())) return names_.front();
  return names_[size_t(index)];
}

std::string TMidiManager::GetCurrentDeviceName() const { return GetDeviceName(selected_); }

void TMidiManager::SelectDevice(std::string_view name) {
  auto it = std::find(names_.begin(), names_.end(), name);
  SetDevice(it == names_.end() ? 0 : int32_t(it - names_.begin()));
}

void TMidiManager::SetDevice(int32_t index) { selected_ = std::clamp(index, 0, int32_t(names_.size()) - 1); }

void TMidiManager::Tick() {}

std::unique_ptr<TDMediaItem> TMidiManager::CreateItem(const std::string&) { return nullptr; }

}  // namespace kova
