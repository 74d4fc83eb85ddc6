#include "media/media_manager.h"

#include <algorithm>

namespace kova {

TMediaManager::~TMediaManager() { Clear(); }

TDMediaItem* TMediaManager::Add(const std::string& name) {
  std::unique_ptr<TDMediaItem> item = CreateItem(name);
  if (!item) return nullptr;
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TMediaManager::Remove(TDMediaItem* item) {
  auto it = std::find_if(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; });
  if (it == items_.end()) return;
  std::unique_ptr<TDMediaItem> gone = std::move(*it);
  items_.erase(it);
  // `gone` is freed here, after it left the list.
}

bool TMediaManager::Contains(const TDMediaItem* item) const {
  return std::any_of(items_.begin(), items_.end(), [item](const auto& p) { return p.get() == item; });
}

void TMediaManager::Clear() {
  while (!items_.empty()) {
    std::unique_ptr<TDMediaItem> first = std::move(items_.front());
    items_.erase(items_.begin());
  }
}

void TMediaManager::PauseAll() {
  if ((has_enabled_ && !enabled_) || suspended_) return;
  suspended_ = true;
  for (const auto& item : items_) {
    item->Mark = false;
    if (item->IsPlaying() && !item->IsPaused() && !item->IsEnd()) {
      item->Pause();
      item->Mark = true;
    }
  }
}

void TMediaManager::ResumeAll() {
  if ((has_enabled_ && !enabled_) || !suspended_) return;
  suspended_ = false;
  for (const auto& item : items_) {
    if (!item->Mark) continue;
    item->Play();
    item->Mark = false;
  }
}

void TMediaManager::SetEnabled(bool enabled) {
  if (!has_enabled_ || enabled == enabled_) return;
  if (!enabled) {
    PauseAll();
    enabled_ = false;
  } else {
    enabled_ = true;
    ResumeAll();
  }
}

}  // namespace kova
