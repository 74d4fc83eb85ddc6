#include "media/media_layer.h"

#include <initializer_list>

#include "media/video_items.h"

namespace kova {

void TMediaLayer::Install(TMediaKind kind, std::unique_ptr<TMediaManager> manager) {
  managers_[size_t(kind)].reset();
  managers_[size_t(kind)] = std::move(manager);
}

void TMediaLayer::Stop() {
  for (TMediaKind kind : {TMediaKind::Video, TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    managers_[size_t(kind)].reset();
  }
}

void TMediaLayer::SetEnabled(bool enabled) {
  for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    if (TMediaManager* m = Manager(kind)) m->SetEnabled(enabled);
  }
}

void TMediaLayer::Deactivate() {
  if (TMediaManager* video = Manager(TMediaKind::Video)) video->PauseAll();
  for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    TMediaManager* m = Manager(kind);
    if (m && m->Enabled()) m->PauseAll();
    if (m) m->LostAttention();
  }
}

void TMediaLayer::Activate() {
  if (TMediaManager* video = Manager(TMediaKind::Video)) video->ResumeAll();
  for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    TMediaManager* m = Manager(kind);
    if (m) m->GainingAttention();
    if (m && m->Enabled()) m->ResumeAll();
  }
}

void TMediaLayer::EnterModalLoop() {
  for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Video, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    if (TMediaManager* m = Manager(kind)) m->PauseAll();
  }
}

void TMediaLayer::LeaveModalLoop() {
  for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Video, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
    if (TMediaManager* m = Manager(kind)) m->ResumeAll();
  }
}

void TMediaLayer::Restore() {
  if (TMediaManager* m = Manager(TMediaKind::Wmp)) m->Restore();
  if (TMediaManager* m = Manager(TMediaKind::Ogg)) m->Restore();
}

void TMediaLayer::SuspendVideo() {
  if (auto* videos = dynamic_cast<TVideoManager*>(Manager(TMediaKind::Video))) videos->SuspendVideo();
}

void TMediaLayer::ResumeVideo() {
  if (auto* videos = dynamic_cast<TVideoManager*>(Manager(TMediaKind::Video))) videos->ResumeVideo();
}

}  // namespace kova
