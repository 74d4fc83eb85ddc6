#include "media/kova_video.h"

#include <algorithm>
#include <cstring>

#include "components/scene/component_factory.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "media/video_items.h"
#include "script/param_collection.h"
#include "script/script_ports.h"

namespace kova {

namespace {

// `size` * `zoom` div 256, in 64 bits.
int32_t Zoomed(int32_t size, int32_t zoom) { return int32_t(int64_t(size) * zoom / 256); }

// A distance on the screen as picture pixels: by the zoom, or for a zoom of 0 (a size set by
// hand) by the picture's size over the control's size; 0 when neither gives a scale.
int64_t ToPicture(int64_t distance, int32_t zoom, int32_t picture, int32_t control) {
  if (zoom > 0) return distance * 256 / zoom;
  if (control > 0) return distance * picture / control;
  return 0;
}

// The bit width of a channel mask.
int32_t MaskBits(uint32_t mask) {
  int32_t bits = 0;
  for (; mask; mask >>= 1) bits += int32_t(mask & 1);
  return bits;
}

}  // namespace

TKovaVideo::TKovaVideo(TKovaObject* owner, TMediaLayer& media) : TKovaCustomImage(owner), media_(media) {}

TKovaVideo::~TKovaVideo() {
  SetDIB(nullptr);
  DropFader();
  RemoveItem();
  frame_.reset();
  Invalidate();
}

// ---- Helpers ----

TVideoManager* TKovaVideo::Manager() const {
  return static_cast<TVideoManager*>(media_.Manager(TMediaKind::Video));
}

TVideoItem* TKovaVideo::Item() const {
  if (!item_) return nullptr;
  // The manager may have been replaced or stopped, freeing its items with it.
  const TMediaManager* manager = Manager();
  if (manager && manager->Contains(item_)) return item_;
  auto* self = const_cast<TKovaVideo*>(this);
  if (self->fader_ && !self->fading_) self->fader_.reset();
  self->item_ = nullptr;
  return nullptr;
}

TVideoItem* TKovaVideo::FadingItem() const {
  if (!fading_) return nullptr;
  const TMediaManager* manager = Manager();
  if (manager && manager->Contains(fading_)) return fading_;
  auto* self = const_cast<TKovaVideo*>(this);
  self->fader_.reset();
  self->fading_ = nullptr;
  return nullptr;
}

int32_t TKovaVideo::Clock() const {
  const TKovaBaseList* root = Root();
  return root ? root->GameClock() : 0;
}

bool TKovaVideo::SourceExists() const {
  const TKovaBaseList* root = Root();
  const TParamCollection* store = root ? root->Store() : nullptr;
  return store && store->Ports().GameFileExists(source_);
}

void TKovaVideo::DropFader() {
  TVideoItem* fading = FadingItem();
  fader_.reset();
  fading_ = nullptr;
  if (fading) fading->Owner().Remove(fading);
}

void TKovaVideo::RemoveItem() {
  TVideoItem* item = Item();
  // A fader over the item goes first: it must never step an item that is gone.
  if (fader_ && !fading_) fader_.reset();
  item_ = nullptr;
  end_seen_ = false;
  if (item) item->Owner().Remove(item);
}

void TKovaVideo::StartFadeIn(TVideoItem& item) {
  DropFader();
  fader_ = std::make_unique<TKovaMixerFadein>(item, Level(), delay_);
}

void TKovaVideo::MakeFrameSurface(TVideoItem& item) {
  auto frame = std::make_unique<TDIBX>();
  frame->SetSize(std::max(item.GetSourceWidth(), 1), std::max(item.GetSourceHeight(), 1), ScreenBitCount());
  frame_ = std::move(frame);
  SetDIB(frame_.get());
}

void TKovaVideo::FreeFrameSurface() {
  SetDIB(nullptr);
  frame_.reset();
  new_picture_ = false;
}

void TKovaVideo::SizeFromVideo() {
  TVideoItem* item = Item();
  const int32_t vw = item ? item->GetSourceWidth() : 0;
  const int32_t vh = item ? item->GetSourceHeight() : 0;
  const int32_t width = GetZoomX() == 0 ? GetWidth() : Zoomed(vw, GetZoomX());
  const int32_t height = GetZoomY() == 0 ? GetHeight() : Zoomed(vh, GetZoomY());
  SetSizeDirect(width, height);
}

// ---- Properties ----

void TKovaVideo::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  SetDIB(nullptr);
  RemoveItem();
  FreeFrameSurface();
  play_state_ = kStopped;
}

void TKovaVideo::SetPlayState(int32_t v) {
  DropFader();
  play_state_ = v;
  if (v == kFadeIn && delay_ < 1) play_state_ = kPlay;
  TVideoItem* item = Item();
  if (play_state_ < kStopped) {
    if (item) return;
    TVideoManager* manager = Manager();
    if (!manager || !SourceExists()) return;
    item = manager->Add(source_, !overlay_);
    if (!item) return;
    item_ = item;
    end_seen_ = false;
    item->SetAutoRepeat(repeat_);
    MakeFrameSurface(*item);
    SizeFromVideo();
    Invalidate();
    if (overlay_) PlaceVideo();
    item->SetPan(balance_);
    play_start_ = Clock();
    checked_ = false;
  } else if (play_state_ == kStopped) {
    if (!item) return;
    Invalidate();
    RemoveItem();
    FreeFrameSurface();
    start_pos_ = 0;
  }
  switch (play_state_) {
    case kPlay:
      item->SetVol(Level());
      item->Play();
      if (!Running()) item->Pause();
      if (start_pos_ > 0) item->SetPosition(start_pos_);
      return;
    case kFadeIn:
      if (Running()) StartFadeIn(*item);
      return;
    case kFadeOut:
      if (!item) {
        RemoveFromOwner();
        return;
      }
      // The fade holds the item from here on; it goes back to the manager when the fade ends.
      fader_ = std::make_unique<TKovaMixerFadeout>(*item, delay_);
      fading_ = item;
      item_ = nullptr;
      start_pos_ = 0;
      return;
    default:
      return;
  }
}

void TKovaVideo::SetVisible(bool v) {
  TKovaCustomImage::SetVisible(v);
  if (overlay_) PlaceVideo();
}

void TKovaVideo::PositionChanged() {
  TKovaCustomImage::PositionChanged();
  if (overlay_) PlaceVideo();
}

void TKovaVideo::SetZoomX(int32_t v) {
  if (v == GetZoomX()) return;
  TKovaCustomImage::SetZoomX(v);
  SizeFromVideo();
  if (overlay_) PlaceVideo();
  Invalidate();
}

void TKovaVideo::SetZoomY(int32_t v) {
  if (v == GetZoomY()) return;
  TKovaCustomImage::SetZoomY(v);
  SizeFromVideo();
  if (overlay_) PlaceVideo();
  Invalidate();
}

void TKovaVideo::SetRepeat(bool v) {
  repeat_ = v;
  TVideoItem* item = Item();
  if (!item) return;
  item->SetAutoRepeat(v);
  if (v && !paused_ && int64_t(item->GetPosition()) >= int64_t(item->GetLen()) - 1) {
    item->SetPosition(0);
    end_seen_ = false;
  }
}

void TKovaVideo::SetPaused(bool v) {
  const bool was = Running();
  paused_ = v;
  RunChanged(was);
}

void TKovaVideo::SetAniPaused(bool v) {
  const bool was = Running();
  TKovaCustomImage::SetAniPaused(v);
  RunChanged(was);
}

void TKovaVideo::RunChanged(bool was_running) {
  if (Running() == was_running) return;
  TVideoItem* item = Item();
  if (!item) return;
  if (!Running()) {
    // A fade-in stops with the video and starts anew when it runs again.
    if (play_state_ == kFadeIn) DropFader();
    item->Pause();
  } else if (play_state_ == kFadeIn) {
    StartFadeIn(*item);
  } else {
    item->Play();
  }
}

void TKovaVideo::SetVolume(int32_t v) {
  volume_ = v;
  TVideoItem* item = Item();
  if (!item) return;
  item->SetVol(Level());
  if (fader_ && !fader_->IsFadeOut()) fader_->SetTarget(Level());
}

void TKovaVideo::SetBalance(int32_t v) {
  balance_ = std::clamp(v, -10000, 10000);
  if (TVideoItem* item = Item()) item->SetPan(balance_);
}

int32_t TKovaVideo::GetIndex() const {
  TVideoItem* item = Item();
  return item ? item->GetPosition() : 0;
}

void TKovaVideo::SetIndex(int32_t v) {
  start_pos_ = v;
  TVideoItem* item = Item();
  if (!item) return;
  item->SetPosition(v);
  end_seen_ = false;
  if (Running() && !item->IsPlaying()) item->Play();
}

int32_t TKovaVideo::GetCount() const {
  if (TVideoItem* item = Item()) return item->GetLen();
  TVideoManager* manager = Manager();
  if (!manager || !SourceExists()) return 0;
  TVideoItem* probe = manager->Add(source_, !overlay_);
  if (!probe) return 0;
  const int32_t length = probe->GetLen();
  manager->Remove(probe);
  return length;
}

bool TKovaVideo::GetPlaying() const {
  TVideoItem* item = Item();
  if (!item || !Running()) return false;
  if (repeat_) return true;
  return int64_t(item->GetPosition()) < int64_t(item->GetLen()) - 1;
}

void TKovaVideo::SetOverlay(bool v) {
  if (v == overlay_) return;
  overlay_ = v;
  TVideoItem* item = Item();
  if (!item) return;
  const int32_t position = item->GetPosition();
  SetPlayState(kStopped);
  start_pos_ = position;
  SetPlayState(kPlay);
}

void TKovaVideo::Rewind() {
  start_pos_ = 0;
  paused_ = false;
  const bool had_item = Item() != nullptr;
  SetPlayState(delay_ < 1 ? kPlay : kFadeIn);
  TVideoItem* item = Item();
  if (!item || !had_item) return;
  DropFader();
  end_seen_ = false;
  if (delay_ > 0) {
    item->Pause();
    item->SetVol(TKovaSound::kSilent);
    item->SetPosition(0);
    if (Running()) StartFadeIn(*item);
  } else {
    item->SetVol(Level());
    item->SetPosition(0);
    if (Running() && !item->IsPlaying()) item->Play();
  }
}

void TKovaVideo::MediaPause() {
  if (!Running() || play_state_ > kFadeIn) return;
  if (TVideoItem* item = Item()) item->Pause();
}

void TKovaVideo::MediaResume() {
  if (!Running() || play_state_ > kFadeIn) return;
  if (TVideoItem* item = Item()) item->Play();
}

// ---- The overlay rectangle ----

void TKovaVideo::PlaceVideo() {
  TVideoItem* item = Item();
  if (!item || !overlay_) return;
  const int32_t vw = item->GetSourceWidth(), vh = item->GetSourceHeight();
  const int32_t zx = GetZoomX(), zy = GetZoomY();
  const int32_t left = GetScreenLeft(), top = GetScreenTop();
  const TRect dest{left, top, left + (zx == 0 ? GetWidth() : Zoomed(vw, zx)),
                   top + (zy == 0 ? GetHeight() : Zoomed(vh, zy))};
  TRect clipped = dest;
  bool shown = dest.Width() > 0 && dest.Height() > 0;
  if (shown) {
    if (const TKovaControl* parent = GetParent()) shown = parent->ClipToBounds(clipped);
  }
  const TRect clip = GetClipRect();
  if (shown && clip.Width() > 0 && clip.Height() > 0) shown = ClipRect(clipped, clip);
  TRect source;
  if (shown) {
    source.Left = int32_t(ToPicture(clipped.Left - dest.Left, zx, vw, dest.Width()));
    source.Top = int32_t(ToPicture(clipped.Top - dest.Top, zy, vh, dest.Height()));
    source.Right = int32_t(vw - ToPicture(dest.Right - clipped.Right, zx, vw, dest.Width()));
    source.Bottom = int32_t(vh - ToPicture(dest.Bottom - clipped.Bottom, zy, vh, dest.Height()));
  }
  if (!shown || source.Width() <= 0 || source.Height() <= 0 || !IsOnActiveBase()) {
    item->SetVisible(false);
    return;
  }
  const TKovaBaseList* root = Root();
  const int64_t scale = root ? root->DisplayScale() : 100;
  const TRect screen{int32_t(clipped.Left * scale / 100), int32_t(clipped.Top * scale / 100),
                     int32_t(clipped.Right * scale / 100), int32_t(clipped.Bottom * scale / 100)};
  item->SetRect(screen, source);
  item->SetVisible(true);
}

// ---- Frame ----

bool TKovaVideo::Update() {
  bool finished = TKovaCustomImage::Update();
  if (TVideoItem* item = Item()) {
    if (overlay_) PlaceVideo();
    const int32_t clock = Clock();
    if (!checked_ || int64_t(uint32_t(clock) - uint32_t(last_check_)) >= kPictureInterval) {
      checked_ = true;
      last_check_ = clock;
      if (!overlay_ && item->NeedPaint()) {
        new_picture_ = true;
        Invalidate();
      }
    }
    if (item->IsEnd() && !repeat_) {
      const bool first = !end_seen_;
      end_seen_ = true;
      if (auto_scrap_) {
        finished = true;
      } else if (first && !on_play_end_.empty() && !EventQueued(PR_ONPLAYEND)) {
        QueueEvent(on_play_end_, PR_ONPLAYEND);
      }
    } else {
      end_seen_ = false;
    }
  }
  if (fading_) FadingItem();
  if (fader_ && fader_->Step(Clock())) {
    if (fader_->IsFadeOut()) {
      Invalidate();
      finished = true;
    }
    DropFader();
  }
  return finished;
}

void TKovaVideo::CopyPicture() {
  TVideoItem* item = Item();
  const plat::TVideoPicture* picture = item ? item->GetPicture() : nullptr;
  if (!picture || !frame_) return;
  TCustomDIBX& frame = *frame_;
  const int32_t width = std::min(picture->width, frame.Width());
  const int32_t height = std::min(picture->height, frame.Height());
  if (width <= 0 || height <= 0 || picture->pixels.size() < size_t(picture->width) * size_t(picture->height)) return;
  const int32_t bytes = frame.BytesPerPixel();
  const uint32_t rmask = frame.RedMask(), gmask = frame.GreenMask(), bmask = frame.BlueMask();
  const int32_t rbits = MaskBits(rmask), gbits = MaskBits(gmask), bbits = MaskBits(bmask);
  const int32_t rshift = frame.RedShift(), gshift = frame.GreenShift(), bshift = frame.BlueShift();
  const bool plain = bytes == 4 && rmask == 0xFF0000 && gmask == 0xFF00 && bmask == 0xFF;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = frame.PixelAddress(0, y);
    if (!row) return;
    const uint32_t* src = picture->pixels.data() + size_t(y) * size_t(picture->width);
    if (plain) {
      std::memcpy(row, src, size_t(width) * 4);
    } else {
      for (int32_t x = 0; x < width; ++x) {
        const uint32_t p = src[x];
        const uint32_t value = ((((p >> 16) & 0xFF) >> (8 - rbits)) << rshift) |
                               ((((p >> 8) & 0xFF) >> (8 - gbits)) << gshift) | (((p & 0xFF) >> (8 - bbits)) << bshift);
        uint8_t* d = row + size_t(x) * size_t(bytes);
        for (int32_t b = 0; b < bytes; ++b) d[b] = uint8_t(value >> (8 * b));
      }
    }
    frame.Unlock();
  }
}

void TKovaVideo::Draw() {
  if (new_picture_ && frame_ && Item()) {
    new_picture_ = false;
    CopyPicture();
  }
  TKovaCustomImage::Draw();
}

void TKovaVideo::FreeDIB() {
  TKovaCustomImage::FreeDIB();
  frame_.reset();
}

void TKovaVideo::RecreateDIB() {
  TKovaCustomImage::RecreateDIB();
  if (TVideoItem* item = Item()) {
    MakeFrameSurface(*item);
    // The picture shown goes into the new surface at the next draw.
    new_picture_ = !overlay_;
  }
}

// ---- Save and load ----

struct TKovaVideo::TRecord {
  std::string source;
  bool repeat = false, auto_scrap = false, paused = false;
  int32_t volume = 0, balance = 0, delay = 0, position = 0;
  uint8_t play_state = kStopped;
  std::string on_play_end, on_idle;
  // Saves before the overlay switch played every video as an overlay.
  bool rewind_on_load = false, overlay = true, mute_on_load = false;
};

namespace {

template <class IO, class R>
void TransferVideo(IO& io, R& r) {
  io.Str(r.source);
  io.Bool(r.repeat);
  io.Bool(r.auto_scrap);
  io.Bool(r.paused);
  io.Int(r.volume);
  io.Int(r.balance);
  io.Int(r.delay);
  io.Int(r.position);
  io.Byte(r.play_state);
  io.Str(r.on_play_end);
  io.Str(r.on_idle);
  if (io.Since(108)) io.Bool(r.rewind_on_load);
  if (io.Since(112)) io.Bool(r.overlay);
  if (io.Since(129)) io.Bool(r.mute_on_load);
}

}  // namespace

void TKovaVideo::SaveToStream(TStream& stream) const {
  TKovaCustomImage::SaveToStream(stream);
  const TRecord r{source_,      repeat_,          auto_scrap_,      paused_,         volume_,
                  balance_,     delay_,           GetIndex(),       uint8_t(play_state_), on_play_end_,
                  on_idle_,     rewind_on_load_,  overlay_,         mute_on_load_};
  TRecordSaver io(stream);
  TransferVideo(io, r);
}

void TKovaVideo::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomImage::LoadFromStream(stream, version);
  TRecord r;
  TRecordLoader io(stream, version);
  TransferVideo(io, r);
  repeat_ = r.repeat;
  auto_scrap_ = r.auto_scrap;
  volume_ = r.volume;
  balance_ = std::clamp(r.balance, -10000, 10000);
  on_play_end_ = r.on_play_end;
  on_idle_ = r.on_idle;
  rewind_on_load_ = r.rewind_on_load;
  overlay_ = r.overlay;
  mute_on_load_ = r.mute_on_load;
  // The saved delay waits while the video starts again, so that it starts at once.
  delay_ = 0;
  if (mute_on_load_) volume_ = 0;
  SetSource(r.source);
  start_pos_ = rewind_on_load_ ? 0 : r.position;
  paused_ = r.paused;
  if (r.play_state == kFadeOut) SetPlayState(kPlay);
  delay_ = r.delay;
  SetPlayState(r.play_state);
}

void RegisterVideoKind(TComponentFactory& kinds, TMediaLayer& media) {
  kinds.Register(KT_VIDEO, [&media](TKovaObject* owner) -> TKovaObject* { return new TKovaVideo(owner, media); });
}

}  // namespace kova
