#include "components/widgets/kova_wave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"

namespace kova {

TKovaWave::TKovaWave(TKovaObject* owner) : TKovaControl(owner) {}

TKovaWave::~TKovaWave() { Invalidate(); }

void TKovaWave::SetAmp(int32_t v) {
  if (v == amp_) return;
  Invalidate();
  amp_ = v;
  Invalidate();
}

void TKovaWave::PlaceSurface() {
  const int32_t w = GetWidth(), h = GetHeight();
  const bool allowed = SceneSurfaceSizeAllowed(w, h);
  if (wave_.Width() != (allowed ? w : 0) || wave_.Height() != (allowed ? h : 0)) {
    wave_.SetSize(allowed ? w : 0, allowed ? h : 0, 0);
  }
  wave_.WaveOrigin = TPoint{GetScreenLeft(), GetScreenTop()};
}

void TKovaWave::SetLeft(int32_t v) {
  TKovaControl::SetLeft(v);
  PlaceSurface();
}

void TKovaWave::SetTop(int32_t v) {
  TKovaControl::SetTop(v);
  PlaceSurface();
}

void TKovaWave::SetWidth(int32_t v) {
  TKovaControl::SetWidth(v);
  PlaceSurface();
}

void TKovaWave::SetHeight(int32_t v) {
  TKovaControl::SetHeight(v);
  PlaceSurface();
}

void TKovaWave::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TKovaControl::SetBounds(left, top, width, height);
  PlaceSurface();
}

void TKovaWave::PositionChanged() {
  TKovaControl::PositionChanged();
  PlaceSurface();
}

TCustomDIBX* TKovaWave::GetTargetDIB() {
  TCustomDIBX* layer = LayerTarget();
  if (amp_ == 0) return layer;
  // The layer's surface may have been made again since the last frame: never pass on to an old one.
  wave_.SetTarget(layer);
  return &wave_;
}

void TKovaWave::InvalidateParent(const TRect& r) {
  const int64_t a = std::abs(int64_t(amp_));
  const TRect wide{int32_t(std::max<int64_t>(int64_t(r.Left) - a, INT32_MIN)), r.Top,
                   int32_t(std::min<int64_t>(int64_t(r.Right) + a, INT32_MAX)), r.Bottom};
  if (a != 0) {
    if (TKovaBase* base = GetBase()) base->InvalidateRect(wide);
  }
  TKovaControl::InvalidateParent(wide);
}

bool TKovaWave::Update() {
  wave_.SetTarget(LayerTarget());
  const bool done = TKovaControl::Update();
  if (GetAniPaused()) return done;
  const TKovaBaseList* root = Root();
  // In 64 bits: a long frame times 256 passes the int32 range.
  const int64_t total = int64_t(accumulator_) + int64_t(std::max(root ? root->FrameDelta() : 0, 0)) * 256;
  const int64_t steps = total / delay_;
  accumulator_ = int32_t(total % delay_);
  if (steps == 0) return done;
  phase_ = int32_t(((int64_t(phase_) - steps) % 255 + 255) % 255);
  const double step = 2 * std::numbers::pi / wave_len_;
  double a = double(wave_len_) * phase_ / 256 * step;
  bool changed = false;
  for (int32_t& offset : wave_.RowOffsets) {
    const int32_t v = int32_t(std::lround(std::sin(a) * amp_));
    changed |= v != offset;
    offset = v;
    a += step;
  }
  if (changed) Invalidate();
  return done;
}

void TKovaWave::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* layer = LayerTarget();
  if (amp_ == 0 || !layer) {
    DrawChildren();
    return;
  }
  wave_.SetTarget(layer);
  // The children draw in the layer's coordinates through the wave surface; the layer's clip (the
  // area being redrawn) stays as it is, so shifted rows land only where the layer is redrawn.
  const TRect saved_layer = layer->ClipRect;
  const TRect c = IntersectRects(layer->GetClipRect(), layer->BoundsRect());
  const int64_t a = std::abs(int64_t(amp_));
  const TRect reach{int32_t(std::max<int64_t>(int64_t(c.Left) - a, INT32_MIN)), c.Top,
                    int32_t(std::min<int64_t>(int64_t(c.Right) + a, INT32_MAX)), c.Bottom};
  const TRect r = IntersectRects(GetBoundsRect(), reach);
  if (!IsRectEmpty(r)) {
    const std::vector<TKovaControl*> children = Controls();
    for (TKovaControl* child : children) {
      if (!child->GetVisible()) continue;
      TRect area = r;
      const TRect clip = child->GetClipRect();
      if (!IsRectEmpty(clip) && !ClipRect(area, clip)) continue;
      wave_.ClipRect = area;
      layer->ClipRect = saved_layer;
      child->Draw();
    }
  }
  layer->ClipRect = saved_layer;
  wave_.ClipRect = layer->ClipRect;
}

template <class IO, class R>
void TKovaWave::Transfer(IO& io, R& r) {
  io.Int(r.amp_);
  io.Int(r.wave_len_);
  io.Int(r.delay_);
  if (!io.Since(104)) return;
  io.Str(r.on_idle_);
  io.Bool(r.paused_);
}

void TKovaWave::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaWave::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  // Saved values below 1 would divide by zero in the phase step.
  wave_len_ = std::max(wave_len_, 1);
  delay_ = std::max(delay_, 1);
  PlaceSurface();
}

}  // namespace kova
