#include "media/video_items.h"

namespace kova {

TVideoManager::TVideoManager(TVideoManagerParts parts) : TMediaManager(false), parts_(std::move(parts)) {}

TVideoManager::~TVideoManager() { Clear(); }

TVideoItem* TVideoManager::Add(const std::string& name, bool not_overlay) {
  pending_not_overlay_ = not_overlay;
  return static_cast<TVideoItem*>(TMediaManager::Add(name));
}

std::unique_ptr<TDMediaItem> TVideoManager::CreateItem(const std::string& name) {
  return CreateVideo(name, pending_not_overlay_);
}

std::unique_ptr<TVideoItem> TVideoManager::CreateVideo(const std::string&, bool not_overlay) {
  return std::make_unique<TVideoItem>(*this, not_overlay);
}

void TVideoManager::SuspendVideo() { video_suspended_ = true; }

void TVideoManager::ResumeVideo() { video_suspended_ = false; }

void TVideoManager::DrawOverlays(TCustomDIBX&, std::vector<TRect>&) {}

}  // namespace kova
