#include "components/scene/image_cache.h"

#include <algorithm>

#include "components/scene/scene_host.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "graphics/pictures/picture_loader.h"
#include "graphics/pictures/wexa_frame.h"
#include "graphics/pictures/wexa_frame_list.h"

namespace kova {

namespace {

constexpr std::string_view kMaskSuffix = "?m";
constexpr std::string_view kTrimSuffix = "?t";

// The file name of a key and its flags: "?m" or "?t" anywhere sets the flag, and each flag set
// takes two characters off the end.
std::string SplitKey(std::string_view key, bool& mask, bool& trim) {
  mask = key.find(kMaskSuffix) != std::string_view::npos;
  trim = key.find(kTrimSuffix) != std::string_view::npos;
  size_t n = key.size();
  for (bool flag : {mask, trim}) {
    if (flag) n = n >= 2 ? n - 2 : 0;
  }
  return std::string(key.substr(0, n));
}

// The colour a frame names transparent. A PNG or BMP picture with real alpha and no named colour
// (the loader then reports colour 0 at index 0) draws through its alpha, without a key.
int32_t FrameKey(const TWexaFrame& frame, bool single_picture) {
  if (single_picture && frame.HasAlpha() && frame.TransparentColor == 0 && frame.TransparentIndex == 0) return -1;
  return frame.TransparentColor;
}

// Reads the picture's frames; true when it is a PNG or BMP file (one frame, no layers).
bool ReadFrames(IPictureSource& source, std::string_view file, TWexaFrameList& list) {
  TMemoryStream stream;
  source.LoadPicture(stream, file);
  stream.SetPosition(0);
  const TPictureKind kind = SniffPictureHere(stream);
  list.LoadFromStream(stream, false);
  return kind == TPictureKind::Png || kind == TPictureKind::Bmp;
}

int64_t SurfaceBytes(const TCustomDIBX& s) { return int64_t(s.Width()) * s.Height() * ((s.BitCount() + 7) / 8); }

// The floor modulo: a value in 0 .. m - 1 for any a (m > 0).
int32_t FloorMod(int32_t a, int32_t m) {
  const int32_t r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

// ---- TWexaItemFrame ----

TWexaItemFrame::TWexaItemFrame() : surface_(std::make_unique<TDIBX>()) {}
TWexaItemFrame::~TWexaItemFrame() = default;

void TWexaItemFrame::NewSurface(int32_t bit_count) {
  surface_ = std::make_unique<TDIBX>();
  surface_->SetSize(1, 1, bit_count);
}

TDIBX& TWexaItemFrame::MakeMask() {
  if (!mask_) mask_ = std::make_unique<TDIBX>();
  return *mask_;
}

int64_t TWexaItemFrame::MemorySize() const {
  return SurfaceBytes(*surface_) + (mask_ ? SurfaceBytes(*mask_) : 0);
}

void TWexaItemFrame::Draw(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src, bool mirror_x, bool mirror_y,
                          int32_t level) const {
  TDIBX& s = *surface_;
  const bool key = s.TransparentColor != -1;
  if (mask_) {
    if (level < 255) {
      target.DrawMaskAlpha(x, y, s, src, mirror_x, mirror_y, *mask_, level);
    } else if (level == 255) {
      target.DrawMask(x, y, s, src, mirror_x, mirror_y, *mask_);
    } else {
      target.DrawMaskAdd(x, y, s, src, mirror_x, mirror_y, *mask_, level - 256);
    }
  } else if (level < 255) {
    target.DrawAlpha(x, y, s, src, key, mirror_x, mirror_y, level);
  } else if (level == 255) {
    target.Draw(x, y, s, src, key, mirror_x, mirror_y);
  } else {
    target.DrawAdd(x, y, s, src, key, mirror_x, mirror_y, level - 256);
  }
}

void TWexaItemFrame::DrawTiled(TCustomDIBX& target, const TRect& dest, const TRect& src, int32_t phase_x,
                               int32_t phase_y, bool mirror_x, bool mirror_y, int32_t level) const {
  const int32_t sw = src.Right - src.Left, sh = src.Bottom - src.Top;
  if (sw <= 0 || sh <= 0) return;
  // Only the part of `dest` the target can show is tiled (a long bar of a small picture costs the
  // pieces drawn, not the pieces it would hold); the phases move with the cut edges.
  const TRect area = IntersectRects(dest, IntersectRects(target.GetClipRect(), target.BoundsRect()));
  if (IsRectEmpty(area)) return;
  const int64_t cut_x = mirror_x ? int64_t(dest.Right) - area.Right : int64_t(area.Left) - dest.Left;
  const int64_t cut_y = mirror_y ? int64_t(dest.Bottom) - area.Bottom : int64_t(area.Top) - dest.Top;
  phase_x = FloorMod(int32_t((int64_t(phase_x) + cut_x) % sw), sw);
  phase_y = FloorMod(int32_t((int64_t(phase_y) + cut_y) % sh), sh);
  int32_t y = area.Top;
  int32_t py = phase_y;
  while (y < area.Bottom) {
    const int32_t h = std::min(sh - py, area.Bottom - y);
    const int32_t row_top = mirror_y ? area.Bottom - (y - area.Top) - h : y;
    int32_t x = area.Left;
    int32_t px = phase_x;
    while (x < area.Right) {
      const int32_t w = std::min(sw - px, area.Right - x);
      const int32_t left = mirror_x ? area.Right - (x - area.Left) - w : x;
      const TRect piece{src.Left + px, src.Top + py, src.Left + px + w, src.Top + py + h};
      Draw(target, left, row_top, piece, mirror_x, mirror_y, level);
      x += w;
      px = 0;
    }
    y += h;
    py = 0;
  }
}

// ---- TWexaItem ----

TWexaItem::TWexaItem() = default;
TWexaItem::~TWexaItem() = default;

TWexaCollection& TWexaItem::Cache() const { return *static_cast<TWexaCollection*>(Collection()); }

void TWexaItem::SetName(std::string_view key) {
  THashCollectionItem::SetName(key);
  Load();
}

void TWexaItem::AddOwner(const void* owner) {
  if (!HasOwner(owner)) owners_.push_back(owner);
  if (pending_) Cache().RemovePending(this);
}

bool TWexaItem::HasOwner(const void* owner) const {
  return std::find(owners_.begin(), owners_.end(), owner) != owners_.end();
}

void TWexaItem::Release(const void* owner) {
  auto it = std::find(owners_.begin(), owners_.end(), owner);
  if (it == owners_.end()) return;
  owners_.erase(it);
  if (owners_.empty()) Cache().AddPending(this);
}

int64_t TWexaItem::MemorySize() const {
  int64_t n = 0;
  for (const auto& f : frames_) n += f->MemorySize();
  return n;
}

void TWexaItem::CopyFrame(TWexaItemFrame& frame, TWexaFrame& source, int32_t key, bool mask_flag, bool trim_flag) {
  if (trim_flag) {
    const TRect opaque = source.GetOpaqueRect();
    frame.OffsetX = opaque.Left;
    frame.OffsetY = opaque.Top;
  }
  TDIBX& surface = frame.Surface();
  source.CopyToDIBX(surface);
  surface.TransparentColor = key < 0 ? -1 : surface.ColorToPixel(key);
  if ((source.HasAlpha() && key < 0) || mask_flag) source.CopyAlphaToDIBX(frame.MakeMask());
}

void TWexaItem::Load() {
  TWexaCollection& cache = Cache();
  bool mask = false, trim = false;
  const std::string file = SplitKey(Name(), mask, trim);
  frames_.clear();
  Width = Height = TotalDuration = 0;
  const int32_t depth = cache.ScreenBitCount();
  IPictureSource* source = cache.Source();
  if (!source || !source->PictureExists(file)) {
    // A missing picture is no error: one blank frame, keyed so that it draws nothing.
    auto blank = std::make_unique<TWexaItemFrame>();
    TDIBX& s = blank->Surface();
    s.SetSize(8, 8, depth);
    s.Fill(0);
    s.TransparentColor = 0;
    if (mask) {
      TDIBX& m = blank->MakeMask();
      m.SetSize(8, 8, 8);
      m.Fill(0);
    }
    frames_.push_back(std::move(blank));
    return;
  }
  std::unique_ptr<TWexaFrameList> list = cache.NewFrameList();
  const bool single = ReadFrames(*source, file, *list);
  if (mask) list->MakeMasks();
  if (list->Count() == 0) return;
  Width = list->GetFrame(0).Surface.Width();
  Height = list->GetFrame(0).Surface.Height();
  for (int32_t i = 0; i < list->Count(); ++i) {
    TWexaFrame& source_frame = list->GetFrame(i);
    auto frame = std::make_unique<TWexaItemFrame>();
    frame->NewSurface(depth);
    const int32_t key = FrameKey(source_frame, single);
    CopyFrame(*frame, source_frame, key, mask, trim);
    frame->TransparentColor = key;
    frame->Duration = source_frame.Duration == 0 ? 1 : source_frame.Duration;
    TotalDuration += frame->Duration;
    frames_.push_back(std::move(frame));
  }
}

void TWexaItem::Reload(bool recreate) {
  TWexaCollection& cache = Cache();
  bool mask = false, trim = false;
  const std::string file = SplitKey(Name(), mask, trim);
  IPictureSource* source = cache.Source();
  if (!source || !source->PictureExists(file)) return;
  std::unique_ptr<TWexaFrameList> list = cache.NewFrameList();
  const bool single = ReadFrames(*source, file, *list);
  if (mask) list->MakeMasks();
  const int32_t depth = cache.ScreenBitCount();
  // The file may hold another number of frames by now: only the frames both have are touched.
  const int32_t n = std::min(list->Count(), GetFrameCount());
  for (int32_t i = 0; i < n; ++i) {
    TWexaFrame& source_frame = list->GetFrame(i);
    const int32_t key = FrameKey(source_frame, single);
    if (!recreate && key >= 0 && !source_frame.HasAlpha()) continue;
    TWexaItemFrame& frame = *frames_[size_t(i)];
    frame.OffsetX = frame.OffsetY = 0;
    if (recreate) frame.NewSurface(depth);
    const bool opaque = key < 0 && !source_frame.HasAlpha();
    CopyFrame(frame, source_frame, key, mask, trim && !opaque);
  }
}

// ---- TWexaCollection ----

TWexaCollection::TWexaCollection(TSceneHost* host, IPictureSource* source) : host_(host), source_(source) {}

TWexaCollection::~TWexaCollection() {
  pending_.clear();
  Clear();
}

int32_t TWexaCollection::ScreenBitCount() const { return host_ ? host_->ScreenBitCount() : 15; }

std::unique_ptr<TWexaFrameList> TWexaCollection::NewFrameList() const {
  auto list = std::make_unique<TWexaFrameList>(source_ ? source_->PictureSeed() : 0);
  if (cache_mode_ == 1) list->TargetBitCount = ScreenBitCount();
  return list;
}

TWexaItem* TWexaCollection::Acquire(const void* owner, std::string_view file_name, bool mask, bool trim) {
  std::string key(file_name);
  if (mask) key += kMaskSuffix;
  if (trim) key += kTrimSuffix;
  TWexaItem* item = FindItem(key);
  // A failed load removes the new item again before the error passes on.
  if (!item) item = Add(key);
  item->AddOwner(owner);
  return item;
}

void TWexaCollection::AddPending(TWexaItem* item) {
  if (item->pending_) return;
  pending_.push_back(item);
  item->pending_ = true;
  item->pending_at_ = std::prev(pending_.end());
  pending_size_ += item->MemorySize();
  // The newest item always stays; older ones go until the rest fits the budget.
  while (pending_.size() >= 2 && pending_size_ > kPendingBudget) {
    TWexaItem* oldest = pending_.front();
    RemovePending(oldest);
    Delete(oldest->Index());
  }
}

void TWexaCollection::RemovePending(TWexaItem* item) {
  if (!item->pending_) return;
  pending_size_ -= item->MemorySize();
  pending_.erase(item->pending_at_);
  item->pending_ = false;
}

int64_t TWexaCollection::PendingSize() const { return pending_size_; }

void TWexaCollection::SetCacheMode(uint8_t mode) {
  if (mode == cache_mode_) return;
  cache_mode_ = mode;
  for (int32_t i = 0; i < Count(); ++i) Items(i)->Reload(false);
}

template <class IO, class R>
void TWexaCollection::TransferMode(IO& io, R& r) {
  if (io.Since(101)) io.Byte(r.cache_mode_);
}

void TWexaCollection::SaveMode(TStream& stream) const {
  TRecordSaver io(stream);
  TransferMode(io, *this);
}

void TWexaCollection::LoadMode(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  TransferMode(io, *this);
}

void TWexaCollection::FreeDIBs() {
  for (int32_t i = 0; i < Count(); ++i) {
    TWexaItem* item = Items(i);
    for (int32_t f = 0; f < item->GetFrameCount(); ++f) item->Frame(f).Surface().ReleaseSurface();
  }
}

void TWexaCollection::RecreateDIBs() {
  for (int32_t i = 0; i < Count(); ++i) Items(i)->Reload(true);
  // The sizes of pending items may have changed with the depth.
  pending_size_ = 0;
  for (TWexaItem* item : pending_) pending_size_ += item->MemorySize();
}

}  // namespace kova
