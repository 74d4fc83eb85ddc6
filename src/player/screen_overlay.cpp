#include "player/screen_overlay.h"

#include "media/media_layer.h"
#include "media/video_items.h"

namespace kova {

namespace {

TVideoManager* Videos(TMediaLayer& media) { return dynamic_cast<TVideoManager*>(media.Manager(TMediaKind::Video)); }

}  // namespace

bool TVideoOverlay::Visible() {
  TVideoManager* videos = Videos(media_);
  if (!videos || videos->VideoSuspended()) return false;
  for (const auto& item : videos->Items()) {
    const auto* video = dynamic_cast<const TVideoItem*>(item.get());
    if (video && !video->NotOverlay() && video->GetVisible()) return true;
  }
  return false;
}

void TVideoOverlay::Draw(TCustomDIBX& picture, std::vector<TRect>& areas) {
  if (TVideoManager* videos = Videos(media_)) videos->DrawOverlays(picture, areas);
}

void ComposeOverlay(TCustomDIBX& screen, IScreenOverlay& overlay, TDIBX& out) {
  out.CopyFrom(screen);
  if (!overlay.Visible()) return;
  std::vector<TRect> areas;
  overlay.Draw(out, areas);
}

}  // namespace kova
