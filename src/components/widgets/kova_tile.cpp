#include "components/widgets/kova_tile.h"

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_motion.h"
#include "components/widgets/tile_render.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"

namespace kova {

TKovaTile::TKovaTile(TKovaObject* owner) : TKovaCustomImages(owner), list_(std::make_unique<TKovaImageList>()) {}

TKovaTile::~TKovaTile() {
  // The frame shown belongs to the list's picture: stop showing it before the list goes.
  Invalidate();
  SetDIB(nullptr);
  SetSubDIB(nullptr);
  list_.reset();
}

uint8_t TKovaTile::GetCompoType() const { return KT_TILE; }

void TKovaTile::SetSource(const std::string& v) {
  if (v == source_) return;
  Invalidate();
  source_ = v;
  index_ = -1;
  SetDIB(nullptr);
  if (TCustomDIBX* own = OwnSurface()) own->Clear();
  SetSubDIB(nullptr);
  list_->Clear();
  FreeMotion();
  TKovaBaseList* root = Root();
  if (HasExtension(source_, ".wxa")) {
    if (TWexaCollection* cache = root ? root->ImageCache() : nullptr) list_->Load(*cache, this, source_, false);
  } else if (HasExtension(source_, ".kmt")) {
    LoadMotion(source_);
  }
  if (list_->Count() > 0) SetIndex(0);
}

void TKovaTile::SetScrollX(int32_t v) {
  if (v == scroll_x_) return;
  scroll_x_ = v;
  Invalidate();
}

void TKovaTile::SetScrollY(int32_t v) {
  if (v == scroll_y_) return;
  scroll_y_ = v;
  Invalidate();
}

void TKovaTile::SetDistanceX(int32_t v) {
  if (v == distance_x_) return;
  distance_x_ = v;
  Invalidate();
}

void TKovaTile::SetDistanceY(int32_t v) {
  if (v == distance_y_) return;
  distance_y_ = v;
  Invalidate();
}

int32_t TKovaTile::GetScreenLeft() const {
  int32_t x = GetLeft();
  if (const TKovaControl* parent = GetParent()) x += parent->GetScreenLeft() - parent->GetScrollX();
  if (GetMotion()) x += GetMotionX();
  return x;
}

int32_t TKovaTile::GetScreenTop() const {
  int32_t y = GetTop();
  if (const TKovaControl* parent = GetParent()) y += parent->GetScreenTop() - parent->GetScrollY();
  if (GetMotion()) y += GetMotionY();
  return y;
}

int32_t TKovaTile::GetDrawLeft() const { return GetLeft() + (GetMotion() ? GetMotionX() : 0); }
int32_t TKovaTile::GetDrawTop() const { return GetTop() + (GetMotion() ? GetMotionY() : 0); }

void TKovaTile::SetupFromTrack(const TTrackFrame& f) {
  SetWidth(f.width);
  SetHeight(f.height);
  if (f.parent) SetParent(f.parent);
  SetDIB(f.surface);
  SetSubDIB(f.mask);
  TransparentColor = f.transparent_color;
  if (f.surface) f.surface->TransparentColor = f.transparent_color < 0 ? -1 : f.surface->ColorToPixel(f.transparent_color);
  SetZoomX(f.zoom_x);
  SetZoomY(f.zoom_y);
  SetPriority(f.priority);
  SetDistanceX(f.distance_x);
  SetDistanceY(f.distance_y);
  SetFlipH(f.flip_h);
  SetFlipV(f.flip_v);
  SetOffsetX(f.offset_x);
  SetOffsetY(f.offset_y);
  SetLeft(f.left);
  SetTop(f.top);
  SetAlpha(f.alpha);
  SetScrollX(f.scroll_x);
  SetScrollY(f.scroll_y);
  SetClipLeft(f.clip.Left);
  SetClipTop(f.clip.Top);
  SetClipWidth(f.clip.Right - f.clip.Left);
  SetClipHeight(f.clip.Bottom - f.clip.Top);
}

void TKovaTile::Render() {
  TCustomDIBX* target = GetTargetDIB();
  TCustomDIBX* surface = Surface();
  if (!target || !surface) return;
  TTileLook look;
  look.Rect = GetBoundsRect();
  look.ScrollX = scroll_x_;
  look.ScrollY = scroll_y_;
  look.DistanceX = distance_x_;
  look.DistanceY = distance_y_;
  look.ZoomX = GetZoomX();
  look.ZoomY = GetZoomY();
  look.FlipH = GetFlipH();
  look.FlipV = GetFlipV();
  look.Alpha = GetAlpha();
  RenderTile(*target, *surface, Mask(), look);
}

void TKovaTile::FreeDIB() {
  list_->FreeDIBs();
  TKovaCustomImages::FreeDIB();
}

void TKovaTile::RecreateDIB() {
  list_->RecreateDIBs();
  if (TKovaImageData* entry = list_->GetItem(index_)) {
    SetDIB(entry->GetDIB());
    SetSubDIB(entry->Mask());
  }
  TKovaCustomImages::RecreateDIB();
}

template <class IO, class R>
void TKovaTile::Transfer(IO& io, R& r) {
  io.Int(r.scroll_x_);
  io.Int(r.scroll_y_);
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  io.Str(r.on_idle_);
  io.Int(r.distance_x_);
  io.Int(r.distance_y_);
}

void TKovaTile::SaveToStream(TStream& stream) const {
  TKovaCustomImages::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaTile::LoadFromStream(TStream& stream, int32_t version) {
  TKovaCustomImages::LoadFromStream(stream, version);
  const int32_t saved_index = index_;
  const int32_t saved_remaining = remaining_;
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  // The source setter started the picture at its first frame: back to the saved one.
  index_ = -1;
  SetIndex(saved_index);
  remaining_ = saved_remaining;
}

}  // namespace kova
