#include "components/widgets/kova_map_image.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"

namespace kova {

namespace {

constexpr int32_t kKeyEnter = 13, kKeyEscape = 27, kKeySpace = 32;
constexpr int32_t kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

}  // namespace

void MaskRegion(TDIBX& out, TDIBX* frame_mask, const TMapRegion& region, bool inside) {
  const int32_t w = out.Width(), h = out.Height();
  if (w <= 0 || h <= 0 || out.BitCount() != 8) return;
  if (frame_mask && (frame_mask->BitCount() != 8 || frame_mask->Width() < w || frame_mask->Height() < h)) {
    frame_mask = nullptr;
  }
  if (inside) {
    out.Fill(0);
  } else {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* dst = out.PixelAddress(0, y);
      if (frame_mask) {
        std::memcpy(dst, frame_mask->PixelAddress(0, y), size_t(w));
      } else {
        std::memset(dst, 255, size_t(w));
      }
    }
  }
  const TRect box = region.Bounds();
  std::vector<TMapSpan> spans;
  TMapRowScratch scratch;
  for (int32_t y = std::max(box.Top, 0); y < std::min(box.Bottom, h); ++y) {
    region.RowSpans(y, spans, scratch);
    uint8_t* dst = out.PixelAddress(0, y);
    const uint8_t* src = frame_mask ? frame_mask->PixelAddress(0, y) : nullptr;
    for (const TMapSpan& s : spans) {
      const int32_t x0 = std::max(s.x0, 0), x1 = std::min(s.x1, w);
      if (x1 <= x0) continue;
      if (!inside) {
        std::memset(dst + x0, 0, size_t(x1 - x0));
      } else if (src) {
        std::memcpy(dst + x0, src + x0, size_t(x1 - x0));
      } else {
        std::memset(dst + x0, 255, size_t(x1 - x0));
      }
    }
  }
}

TKovaMapImage::TKovaMapImage(TKovaObject* owner) : TKovaCustomImage(owner) {
  if (TKovaBaseList* root = Root()) root->ScrapList().AddUnique(this);
}

TKovaMapImage::~TKovaMapImage() { Invalidate(); }

uint8_t TKovaMapImage::GetCompoType() const { return KT_MAPIMG; }

// ---- Properties ----

void TKovaMapImage::LoadPicture(TMapPicture& picture, const std::string& v) {
  picture.source = v;
  picture.frames.Clear();
  picture.masks.clear();
  picture.masked_for.clear();
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  // Each frame comes with its mask (from its alpha plane or its colour key): the regions are cut
  // out of that mask, never out of the cached pixels.
  if (cache && !v.empty()) picture.frames.Load(*cache, &picture, v, true);
  picture.masks.resize(size_t(picture.frames.Count()));
  picture.masked_for.assign(size_t(picture.frames.Count()), -1);
}

void TKovaMapImage::SetSource(const std::string& v) {
  if (v == base_.source) return;
  Invalidate();
  LoadPicture(base_, v);
  // The component takes the picture's size; a size set afterwards stretches it.
  const TWexaItem* item = base_.frames.Item();
  SetSizeDirect(item ? item->Width : 0, item ? item->Height : 0);
  Invalidate();
}

void TKovaMapImage::SetHoverSource(const std::string& v) {
  if (v == hover_.source) return;
  InvalidateRegion();
  LoadPicture(hover_, v);
  InvalidateRegion();
}

void TKovaMapImage::SetMapSource(const std::string& v) {
  if (v == map_source_) return;
  map_source_ = v;
  InvalidateRegion();
  hovered_ = -1;
  regions_.clear();
  // Masks made for the old regions' indexes do not fit the new ones.
  for (TMapPicture* p : {&base_, &hover_}) std::fill(p->masked_for.begin(), p->masked_for.end(), -1);
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  IPictureSource* files = cache ? cache->Source() : nullptr;
  if (v.empty() || !files || !files->PictureExists(v)) return;
  TMemoryStream bytes;
  files->LoadPicture(bytes, v);
  regions_ = ReadMapFile(bytes.Bytes());
}

void TKovaMapImage::SetBrightness(int32_t v) {
  if (v == brightness_) return;
  brightness_ = v;
  Invalidate();
}

int32_t TKovaMapImage::GetOrigWidth() const {
  const TWexaItem* item = base_.frames.Item();
  return item ? item->Width : 0;
}

int32_t TKovaMapImage::GetOrigHeight() const {
  const TWexaItem* item = base_.frames.Item();
  return item ? item->Height : 0;
}

// ---- Hover, selection, cancel ----

TArrayString TKovaMapImage::RegionParams(int32_t i) const {
  TArrayString params;
  params.Add(regions_[size_t(i)].text);
  params.Add(std::to_string(i));
  return params;
}

void TKovaMapImage::InvalidateRegion() {
  if (hovered_ < 0 || hovered_ >= RegionCount() || !GetVisible()) return;
  TKovaBase* base = GetBase();
  if (!base) return;
  const TKovaImageData* frame = base_.frames.GetItem(base_.frames.Index());
  const TCustomDIBX* shown = frame ? frame->GetDIB() : nullptr;
  // A stretched picture shows the region at another place and size: the whole component then.
  if (!shown || shown->Width() != GetWidth() || shown->Height() != GetHeight()) {
    Invalidate();
    return;
  }
  TRect r = regions_[size_t(hovered_)].region.Bounds();
  if (IsRectEmpty(r)) return;
  const int64_t dx = GetScreenLeft(), dy = GetScreenTop();
  auto move = [](int32_t v, int64_t d) { return int32_t(std::clamp<int64_t>(v + d, INT32_MIN, INT32_MAX)); };
  r = TRect{move(r.Left, dx), move(r.Top, dy), move(r.Right, dx), move(r.Bottom, dy)};
  if (TKovaControl* parent = GetParent(); parent && !parent->ClipToBounds(r)) return;
  InvalidateParent(r);
  base->InvalidateRect(r);
}

void TKovaMapImage::SetHovered(int32_t i) {
  if (i < -1 || i >= RegionCount()) i = -1;
  if (i == hovered_) return;
  if (hovered_ >= 0 && !on_map_out_.empty()) {
    const TArrayString params = RegionParams(hovered_);
    QueueEvent(on_map_out_, PR_ONMAPOUT, &params);
  }
  InvalidateRegion();
  hovered_ = i;
  hover_.frames.SetIndex(0);
  InvalidateRegion();
  if (i >= 0 && !on_map_in_.empty()) {
    const TArrayString params = RegionParams(i);
    QueueEvent(on_map_in_, PR_ONMAPIN, &params);
  }
}

void TKovaMapImage::Select() {
  if (hovered_ < 0 || hovered_ >= RegionCount()) return;
  const std::string& text = regions_[size_t(hovered_)].text;
  TKovaBaseList* root = Root();
  if (TParamCollection* store = root ? root->Store() : nullptr) {
    store->SelStr = text;
    store->SelIndex = hovered_;
  }
  if (!on_select_.empty() && !event_lock_ && !EventQueued(PR_ONSELECT)) {
    const TArrayString params = RegionParams(hovered_);
    QueueEvent(on_select_, PR_ONSELECT, &params);
  }
  if (auto_scrap_) {
    closing_ = 100;
    event_lock_ = true;
  }
}

void TKovaMapImage::Cancel() {
  event_lock_ = true;
  TKovaBaseList* root = Root();
  if (TParamCollection* store = root ? root->Store() : nullptr) {
    store->SelStr.clear();
    store->SelIndex = -1;
  }
  closing_ = 100;
}

bool TKovaMapImage::ItemHitTest(TPoint) {
  if (closing_ != 0) return false;
  Cancel();
  return true;
}

void TKovaMapImage::MouseMove() {
  if (!event_lock_) {
    if (TKovaBase* base = GetBase()) {
      const TPoint mouse = base->MousePos();
      const TPoint p{mouse.X - GetScreenLeft(), mouse.Y - GetScreenTop()};
      int32_t found = -1;
      for (int32_t i = 0; i < RegionCount() && found < 0; ++i) {
        if (regions_[size_t(i)].region.Contains(p)) found = i;
      }
      SetHovered(found);
    }
  }
  TKovaCustomImage::MouseMove();
}

void TKovaMapImage::MouseOut(TKovaControl* next) {
  SetHovered(-1);
  TKovaCustomImage::MouseOut(next);
}

void TKovaMapImage::MouseLDown() {
  const uint8_t ignore = GetIgnoreMouse();
  if (!event_lock_ && (ignore == 0 || ignore == 4) && !paused_ && hovered_ >= 0) Select();
  TKovaCustomImage::MouseLDown();
}

void TKovaMapImage::KeyRepeat(int32_t key) {
  TKovaBaseList* root = Root();
  if (root && !event_lock_) {
    const int32_t n = RegionCount();
    if (n > 0 && (root->GetKeyRepeat(kKeyUp) || root->GetKeyRepeat(kKeyLeft))) {
      SetHovered(hovered_ <= 0 ? n - 1 : hovered_ - 1);
    } else if (n > 0 && (root->GetKeyRepeat(kKeyDown) || root->GetKeyRepeat(kKeyRight))) {
      SetHovered(hovered_ < 0 || hovered_ >= n - 1 ? 0 : hovered_ + 1);
    }
    if ((root->GetKeyPressed(kKeyEnter) || root->GetKeyPressed(kKeySpace)) && hovered_ >= 0) {
      Select();
    } else if (root->GetKeyPressed(kKeyEscape) && rclick_scrap_) {
      Cancel();
    }
  }
  TKovaCustomImage::KeyRepeat(key);
}

// ---- Frame ----

bool TKovaMapImage::Update() {
  // The control's own update (its motion); the image base's re-anchoring does not apply.
  const bool done = TKovaControl::Update();
  if (closing_ == 100) {
    event_lock_ = true;
    closing_ = 101;
    return done;
  }
  if (closing_ == 101) return true;
  if (!GetAniPaused()) {
    TKovaBaseList* root = Root();
    const int32_t delta = root ? root->FrameDelta() : 0;
    if (base_.frames.Step(delta)) Invalidate();
    if (hovered_ >= 0 && hover_.frames.Step(delta) && GetVisible() && GetBase()) InvalidateRegion();
  }
  return done;
}

void TKovaMapImage::Invalidate() { TKovaControl::Invalidate(); }

TDIBX* TKovaMapImage::RegionMask(TMapPicture& picture, bool inside) {
  const int32_t i = picture.frames.Index();
  TKovaImageData* data = picture.frames.GetItem(i);
  if (!data || hovered_ < 0 || hovered_ >= RegionCount()) return nullptr;
  std::unique_ptr<TDIBX>& mask = picture.masks[size_t(i)];
  if (mask && picture.masked_for[size_t(i)] == hovered_) return mask.get();
  const TWexaItemFrame& frame = data->CacheFrame();
  const int32_t w = frame.Surface().Width(), h = frame.Surface().Height();
  if (!mask) mask = std::make_unique<TDIBX>();
  if (mask->Width() != w || mask->Height() != h || mask->BitCount() != 8) mask->SetSize(w, h, 8);
  MaskRegion(*mask, frame.Mask(), regions_[size_t(hovered_)].region, inside);
  picture.masked_for[size_t(i)] = hovered_;
  return mask.get();
}

void TKovaMapImage::DrawFrame(TMapPicture& picture, bool inside) {
  TKovaImageData* data = picture.frames.GetItem(picture.frames.Index());
  if (!data) return;
  TDIBX* mask = hovered_ >= 0 ? RegionMask(picture, inside) : data->CacheFrame().Mask();
  if (data->Shift() != brightness_) data->SetShift(brightness_);
  TCustomDIBX* surface = data->GetDIB();
  if (!surface || surface->IsEmpty()) return;
  RenderSurface(*surface, mask, false);
}

void TKovaMapImage::Draw() {
  DrawFrame(base_, false);
  if (hovered_ >= 0) DrawFrame(hover_, true);
  DrawChildren();
}

void TKovaMapImage::FreeDIB() {
  base_.frames.FreeDIBs();
  hover_.frames.FreeDIBs();
  TKovaCustomImage::FreeDIB();
}

void TKovaMapImage::RecreateDIB() {
  base_.frames.RecreateDIBs();
  hover_.frames.RecreateDIBs();
  for (TMapPicture* p : {&base_, &hover_}) std::fill(p->masked_for.begin(), p->masked_for.end(), -1);
  TKovaCustomImage::RecreateDIB();
}

// ---- Save form ----

template <class IO, class R>
void TKovaMapImage::Transfer(IO& io, R& r) {
  io.Str(r.base_.source, [&](auto v) { r.SetSource(v); });
  io.Str(r.hover_.source, [&](auto v) { r.SetHoverSource(v); });
  io.Str(r.map_source_, [&](auto v) { r.SetMapSource(v); });
  io.Int(r.GetAlpha(), [&](auto v) { r.SetAlpha(v); });
  io.Int(r.brightness_);
  io.Str(r.on_map_in_);
  io.Str(r.on_map_out_);
  io.Bool(r.auto_scrap_);
  io.Bool(r.rclick_scrap_);
  if (io.Since(104)) {
    io.Str(r.on_idle_);
    io.Bool(r.paused_);
    io.Str(r.on_select_);
  }
  if (io.Since(115)) {
    // A map saved while closing goes on closing and takes no more input.
    io.Int(r.closing_, [&](auto v) {
      // Only loading calls it (the record is also described for a const map when saving).
      if constexpr (!std::is_const_v<std::remove_reference_t<decltype(r)>>) {
        r.closing_ = v;
        if (v != 0) r.event_lock_ = true;
      }
    });
  }
}

void TKovaMapImage::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaMapImage::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  // The saved size stands, whatever size the pictures have.
  const int32_t width = GetWidth(), height = GetHeight();
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  SetSizeDirect(width, height);
}

}  // namespace kova
