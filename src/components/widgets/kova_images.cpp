#include "components/widgets/kova_images.h"

#include <algorithm>
#include <cstdint>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_motion.h"
#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/params.h"
#include "script/subsystem_commands.h"

namespace kova {

bool HasExtension(const std::string& name, const char* ext) {
  const std::string_view e(ext);
  return name.size() >= e.size() && SjisSameText(std::string_view(name).substr(name.size() - e.size()), e);
}

// ---- TKovaImage ----

TKovaImage::TKovaImage(TKovaObject* owner) : TKovaCustomImage(owner) { SetAngle(0); }

TKovaImage::~TKovaImage() = default;

void TKovaImage::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  LoadPicture();
}

void TKovaImage::SetBrightness(int32_t v) {
  v = std::clamp(v, 0, 255);
  if (v == brightness_) return;
  brightness_ = v;
  LoadPicture();
}

void TKovaImage::LoadPicture() {
  Invalidate();
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  TCustomDIBX* own = OwnSurface();
  if (!cache || !own) return;
  TWexaItem* item = cache->Acquire(this, source_, false, false);
  // The size follows the zoom; an axis sized by hand (zoom 0) keeps its size.
  if (GetZoomX() != 0) TKovaControl::SetWidth(int32_t(int64_t(GetZoomX()) * item->Width / 256));
  if (GetZoomY() != 0) TKovaControl::SetHeight(int32_t(int64_t(GetZoomY()) * item->Height / 256));
  if (item->GetFrameCount() > 0) {
    own->CopyFrom(item->Frame(0).Surface());
  } else {
    own->SetSize(1, 1, ScreenBitCount());
  }
  item->Release(this);
  if (!own->IsEmpty() && brightness_ < 255) ShiftSurfaceColors(*own, -(255 - brightness_));
  Invalidate();
}

void TKovaImage::SetupFromTrack(const TTrackFrame& f) {
  SetDIB(f.surface);
  if (f.surface) {
    if (GetZoomX() == 256) TKovaControl::SetWidth(f.surface->Width());
    if (GetZoomY() == 256) TKovaControl::SetHeight(f.surface->Height());
  }
  if (f.parent) SetParent(f.parent);
  SetSubDIB(f.mask);
  TransparentColor = f.transparent_color;
  if (f.surface) f.surface->TransparentColor = f.surface->ColorToPixel(f.transparent_color);
  SetZoomX(f.zoom_x);
  SetZoomY(f.zoom_y);
  SetPriority(f.priority);
  SetFlipH(f.flip_h);
  SetFlipV(f.flip_v);
  SetOffsetX(f.offset_x);
  SetOffsetY(f.offset_y);
  SetLeft(f.left);
  SetTop(f.top);
  SetAngle(f.angle);
  SetAlpha(f.alpha);
  SetClipLeft(f.clip.Left);
  SetClipTop(f.clip.Top);
  SetClipWidth(f.clip.Right - f.clip.Left);
  SetClipHeight(f.clip.Bottom - f.clip.Top);
}

void TKovaImage::RecreateDIB() {
  TKovaCustomImage::RecreateDIB();
  if (!GetDIB() || GetDIB() == OwnSurface()) LoadPicture();
}

template <class IO, class R>
void TKovaImage::Transfer(IO& io, R& r) {
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Int(r.brightness_, [&](auto v) { r.SetBrightness(v); });
}

void TKovaImage::SaveToStream(TStream& stream) const {
  TKovaCustomImage::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaImage::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomImage::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

// ---- TKovaImageData ----

void TKovaImageData::BuildPrivate() {
  if (!private_) private_ = std::make_unique<TDIBX>();
  TDIBX& frame = frame_->Surface();
  private_->CopyFrom(frame);
  private_->TransparentColor = frame_->TransparentColor < 0 ? -1 : frame.TransparentColor;
  ShiftSurfaceColors(*private_, shift_);
}

void TKovaImageData::SetShift(int32_t shift) {
  if (shift == shift_) return;
  shift_ = shift;
  if (shift_ != 0) BuildPrivate();
}

void TKovaImageData::RecreateDIB() {
  if (shift_ != 0) BuildPrivate();
}

void TKovaImageData::DrawFor(TKovaCustomImage& control) const {
  if (TCustomDIBX* s = GetDIB()) control.RenderSurface(*s, Mask(), false);
}

void TKovaImageData::DrawAt(TKovaCustomImage& control, int32_t x, int32_t y, const TRect& src) const {
  if (TCustomDIBX* target = control.GetTargetDIB()) {
    DrawAt(*target, x, y, src, control.GetFlipH(), control.GetFlipV(), control.GetAlpha());
  }
}

void TKovaImageData::DrawAt(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src, bool fh, bool fv,
                            int32_t alpha) const {
  TCustomDIBX* s = GetDIB();
  if (!s || alpha <= 0) return;
  const bool key = s->TransparentColor != -1;
  if (TCustomDIBX* mask = Mask()) {
    if (alpha < 255) {
      target.DrawMaskAlpha(x, y, *s, src, fh, fv, *mask, alpha);
    } else if (alpha == 255) {
      target.DrawMask(x, y, *s, src, fh, fv, *mask);
    } else {
      target.DrawMaskAdd(x, y, *s, src, fh, fv, *mask, alpha - 256);
    }
  } else if (alpha < 255) {
    target.DrawAlpha(x, y, *s, src, key, fh, fv, alpha);
  } else if (alpha == 255) {
    target.Draw(x, y, *s, src, key, fh, fv);
  } else {
    target.DrawAdd(x, y, *s, src, key, fh, fv, alpha - 256);
  }
}

void TKovaImageData::DrawPattern(TCustomDIBX& target, const TRect& rect, int32_t alpha, int32_t scroll_x,
                                 int32_t scroll_y) const {
  TCustomDIBX* s = GetDIB();
  if (!s || s->IsEmpty()) return;
  if (TCustomDIBX* mask = Mask()) {
    target.DrawPatternTableMask(rect, 256, 256, *s, scroll_x, scroll_y, false, false, *mask, alpha);
  } else if (alpha == 255 && s->TransparentColor == -1) {
    target.FillPattern(rect, *s, scroll_x, scroll_y, false, false);
  } else {
    target.DrawPatternTable(rect, 256, 256, *s, scroll_x, scroll_y, true, false, false, alpha);
  }
}

// ---- TKovaImageList ----

TKovaImageList::~TKovaImageList() { Clear(); }

void TKovaImageList::Clear() {
  items_.clear();
  index_ = 0;
  remaining_ = 0;
  if (item_) item_->Release(owner_);
  item_ = nullptr;
  owner_ = nullptr;
}

void TKovaImageList::Load(TWexaCollection& cache, const void* owner, const std::string& name, bool mask) {
  Clear();
  item_ = cache.Acquire(owner, name, mask, false);
  owner_ = owner;
  for (int32_t i = 0; i < item_->GetFrameCount(); ++i) items_.push_back(std::make_unique<TKovaImageData>(item_->Frame(i)));
  index_ = 0;
  if (!items_.empty()) remaining_ = items_[0]->FrameTime() + 1;
}

TKovaImageData* TKovaImageList::GetItem(int32_t i) const {
  return i >= 0 && i < Count() ? items_[size_t(i)].get() : nullptr;
}

void TKovaImageList::SetIndex(int32_t i) {
  index_ = std::min(i, Count() - 1);
  if (index_ >= 0) remaining_ = items_[size_t(index_)]->FrameTime() + 1;
}

bool TKovaImageList::Step(int32_t delta) {
  if (Count() <= 1) return false;
  remaining_ -= delta;
  if (remaining_ >= 1) return false;
  if (index_ < 0 || index_ >= Count()) index_ = Count() - 1;
  while (remaining_ < 1) {
    index_ = (index_ + 1) % Count();
    if (index_ == 0) {
      remaining_ = items_[0]->FrameTime();
      break;
    }
    remaining_ += items_[size_t(index_)]->FrameTime();
  }
  return true;
}

void TKovaImageList::FreeDIBs() {
  for (auto& d : items_) d->FreeDIB();
}

void TKovaImageList::RecreateDIBs() {
  for (auto& d : items_) d->RecreateDIB();
}

// ---- TKovaCustomImages ----

TKovaCustomImages::TKovaCustomImages(TKovaObject* owner) : TKovaCustomImage(owner) {}
TKovaCustomImages::~TKovaCustomImages() = default;

void TKovaCustomImages::TakeCommandExpressions(TComComponent& command) {
  if (command.ComType() != TCommandKind::ImgNew) return;
  if (const TKovaParser* delay = command.Prop(PR_DELAY)) delay_expr_.Assign(*delay);
}

bool TKovaCustomImages::ValidIndex(int32_t i) const {
  const TKovaImageList* list = GetStateImage();
  return list && i >= 0 && i < list->Count();
}

int32_t TKovaCustomImages::GetIndex() const {
  if (const TKovaMotion* m = GetMotion()) return m->Frame();
  return index_;
}

int32_t TKovaCustomImages::GetCount() const {
  if (const TKovaMotion* m = GetMotion()) return m->FrameCount();
  const TKovaImageList* list = GetStateImage();
  return list ? list->Count() : 0;
}

void TKovaCustomImages::SetIndex(int32_t v) {
  if (v == index_) return;
  if (TKovaMotion* m = GetMotion()) {
    // v frames of 1/60 s, kept inside the clock's range.
    m->SetElapsed(int32_t(std::clamp(v * 16.666666666666668, double(INT32_MIN), double(INT32_MAX))));
    return;
  }
  if (ValidIndex(index_)) {
    Invalidate();
  } else {
    remaining_ = 0;
  }
  index_ = v;
  const TRect before = GetBoundsRect();
  if (ValidIndex(v)) {
    TKovaImageList* list = GetStateImage();
    TKovaImageData* entry = list->GetItem(v);
    entry->SetShift(brightness_);
    SetDIB(entry->GetDIB());
    SetSubDIB(entry->Mask());
    TransparentColor = entry->TransparentColor();
    int64_t remaining = int64_t(remaining_) + entry->FrameTime();
    if (v == list->Count() - 1 && list->Count() > 1 && delay_expr_.Count() > 0) {
      TKovaBaseList* root = Root();
      if (TParamCollection* store = root ? root->Store() : nullptr) {
        delay_expr_.Execute(*store);
        if (const TCustomParam* r = delay_expr_.Result()) remaining += r->GetInt();
      }
    }
    remaining_ = int32_t(std::clamp<int64_t>(remaining, INT32_MIN, INT32_MAX));
  }
  if (HasNoMotion()) {
    RecalcHorz();
    RecalcVert();
    if (GetBoundsRect() != before) {
      if (TKovaBase* base = GetVisible() ? GetBase() : nullptr) {
        base->InvalidateRect(before);
        Invalidate();
      }
    }
  }
}

void TKovaCustomImages::SetBrightness(int32_t v) {
  if (v == brightness_) return;
  brightness_ = v;
  if (ValidIndex(index_)) {
    TKovaImageData* entry = GetStateImage()->GetItem(index_);
    entry->SetShift(brightness_);
    // The shown surface may be the same object with new pixels: drop it first so it is taken anew.
    SetDIB(nullptr);
    SetDIB(entry->GetDIB());
    Invalidate();
  }
}

void TKovaCustomImages::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  remaining_ = 0;
}

void TKovaCustomImages::SetVisible(bool v) {
  TKovaCustomImage::SetVisible(v);
  remaining_ = 0;
}

bool TKovaCustomImages::GetPlaying() const {
  if (const TKovaMotion* m = GetMotion()) return !m->Ended() && !paused_ && !GetAniPaused();
  const TKovaImageList* list = GetStateImage();
  const int32_t last = list ? list->Count() - 1 : -1;
  if (!GetRepeat() && index_ >= last && remaining_ < 1) return false;
  return !paused_ && !GetAniPaused();
}

bool TKovaCustomImages::Update() {
  bool done = TKovaCustomImage::Update();
  // The frame clock runs whenever no motion drives the set (a tile, which keeps its own size, also
  // runs it).
  if (GetMotion() || !ValidIndex(index_) || !GetVisible() || paused_ || GetAniPaused()) return done;
  TKovaBaseList* root = Root();
  if (remaining_ > 0) remaining_ -= root ? root->FrameDelta() : 0;
  while (remaining_ < 1) {
    TKovaImageList* list = GetStateImage();
    const int32_t last = list ? list->Count() - 1 : -1;
    if (index_ < last) {
      if (list->Count() < 3) remaining_ = 0;
      SetIndex(index_ + 1);
      continue;
    }
    if (GetRepeat()) {
      remaining_ = 0;
      SetIndex(0);
    } else if (GetAutoScrap()) {
      done = true;
    } else {
      // At most one play-end event of this set waits or runs at a time: a handler that leaves the
      // set at its end hears it again, but the queue never grows by one every frame.
      const std::string handler = GetOnPlayEnd();
      if (!handler.empty() && !EventQueued(PR_ONPLAYEND)) QueueEvent(handler, PR_ONPLAYEND);
    }
    break;
  }
  return done;
}

template <class IO, class R>
void TKovaCustomImages::Transfer(IO& io, R& r) {
  io.Int(r.remaining_);
  io.Int(r.GetIndex(), [&](auto v) { r.index_ = v; });
  io.Int(r.brightness_);
  io.Bool(r.paused_);
  io.Object(r.delay_expr_);
}

void TKovaCustomImages::SaveToStream(TStream& stream) const {
  TKovaCustomImage::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaCustomImages::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomImage::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

// ---- TKovaImages ----

TKovaImages::TKovaImages(TKovaObject* owner, int32_t state_count) : TKovaCustomImages(owner) {
  for (int32_t i = 0; i < std::max(state_count, 1); ++i) lists_.push_back(std::make_unique<TKovaImageList>());
}

TKovaImages::~TKovaImages() {
  // The frames shown belong to the lists' pictures: stop showing them before the lists go.
  Invalidate();
  SetDIB(nullptr);
  SetSubDIB(nullptr);
  lists_.clear();
}

uint8_t TKovaImages::GetCompoType() const { return KT_IMAGES; }

TKovaImageList* TKovaImages::GetStateImage() const {
  const int32_t s = GetStateIndex();
  return s >= 0 && s < GetStateCount() ? lists_[size_t(s)].get() : nullptr;
}

void TKovaImages::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  const bool shown = GetStateIndex() == 0;
  if (shown) {
    Invalidate();
    index_ = -1;
    SetDIB(nullptr);
    SetSubDIB(nullptr);
  }
  lists_[0]->Clear();
  FreeMotion();
  TKovaBaseList* root = Root();
  if (HasExtension(source_, ".wxa")) {
    if (TWexaCollection* cache = root ? root->ImageCache() : nullptr) lists_[0]->Load(*cache, this, source_, false);
  } else if (HasExtension(source_, ".kmt")) {
    LoadMotion(source_);
    // A motion whose film cannot be read is dropped: the set stays empty. (The source's motion is
    // the control's own, whatever state a kind with states shows.)
    TKovaMotion* motion = TKovaControl::GetMotion();
    if (!motion || !motion->Film()) {
      FreeMotion();
    } else {
      motion->Step(root ? root->FrameDelta() : 0);
    }
  }
  if (shown && lists_[0]->Count() > 0) SetIndex(0);
}

void TKovaImages::SetRepeat(bool v) {
  if (v == repeat_) return;
  repeat_ = v;
  if (!v) return;
  if (TKovaMotion* m = GetMotion()) {
    if (m->Ended()) m->Restart();
  } else if (!ValidIndex(index_)) {
    SetIndex(0);
  }
}

void TKovaImages::FreeDIB() {
  for (auto& list : lists_) list->FreeDIBs();
  TKovaCustomImages::FreeDIB();
}

void TKovaImages::RecreateDIB() {
  for (auto& list : lists_) list->RecreateDIBs();
  if (ValidIndex(index_)) {
    TKovaImageData* entry = GetStateImage()->GetItem(index_);
    SetDIB(entry->GetDIB());
    SetSubDIB(entry->Mask());
  }
  TKovaCustomImages::RecreateDIB();
}

template <class IO, class R>
void TKovaImages::Transfer(IO& io, R& r) {
  io.Bool(r.repeat_);
  io.Bool(r.auto_scrap_);
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Str(r.on_play_end_);
  if (io.Since(104)) io.Str(r.on_idle_);
}

void TKovaImages::SaveToStream(TStream& stream) const {
  TKovaCustomImages::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaImages::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomImages::LoadFromStream(stream, version);
  const int32_t saved_index = index_;
  const int32_t saved_remaining = remaining_;
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  // The source setter started the set at its first frame: back to the saved one.
  index_ = -1;
  SetIndex(saved_index);
  remaining_ = saved_remaining;
}

}  // namespace kova
