#include "components/widgets/kova_fire.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {
namespace {

constexpr int32_t kStepMs = 40;
constexpr uint8_t kCold = 16;
constexpr uint8_t kHot = 254;

// OrigSize * zoom / 256, truncated toward zero, held to 0 .. int32 max.
int32_t Zoomed(int32_t size, int32_t zoom) {
  const int64_t v = int64_t(size) * zoom / 256;
  return int32_t(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

TKovaFire::TKovaFire(TKovaObject* owner) : TKovaControl(owner) {
  field_.SetSize(8, 8, 8);
  field_.TransparentColor = kCold;
  BuildCooling();
}

TKovaFire::~TKovaFire() { Invalidate(); }

void TKovaFire::BuildCooling() {
  const double c = cooling_constant_ < 0 ? 0.0001 : cooling_constant_;
  for (int32_t i = 0; i < 1024; ++i) {
    const double t = (1023 - i) / 1023.0;
    const double d = c - 0.05 * t * t * t;
    // A divisor of 0 or below would give no cooling at all (or a negative heat): the hottest value.
    const double v = d > 0 ? std::min(std::round(i / d), double(kHot)) : double(kHot);
    cooling_[size_t(i)] = uint8_t(v);
  }
}

void TKovaFire::SetPower(int32_t v) {
  if (v == power_) return;
  power_ = std::clamp(v, 0, 255);
  cooling_constant_ = (128.0 - double(v)) / 128.0 * 1.2825 + 4.2175;
  BuildCooling();
}

void TKovaFire::Resize() {
  TKovaControl::SetWidth(Zoomed(orig_width_, zoom_x_));
  TKovaControl::SetHeight(Zoomed(orig_height_, zoom_y_));
}

void TKovaFire::SetOrigWidth(int32_t v) {
  if (v == orig_width_) return;
  Invalidate();
  orig_width_ = v;
  Resize();
  Invalidate();
  state_ = 0;
}

void TKovaFire::SetOrigHeight(int32_t v) {
  if (v == orig_height_) return;
  Invalidate();
  orig_height_ = v;
  Resize();
  Invalidate();
  state_ = 0;
}

void TKovaFire::SetZoomX(int32_t v) {
  v = std::max(v, 1);
  if (v == zoom_x_) return;
  Invalidate();
  zoom_x_ = v;
  Resize();
  Invalidate();
}

void TKovaFire::SetZoomY(int32_t v) {
  v = std::max(v, 1);
  if (v == zoom_y_) return;
  Invalidate();
  zoom_y_ = v;
  Resize();
  Invalidate();
}

void TKovaFire::Initialise() {
  // A field beyond the scene's pixel budget (or of no cells) stays empty and never steps.
  const bool allowed = SceneSurfaceSizeAllowed(orig_width_, orig_height_);
  const int32_t w = allowed ? orig_width_ : 0, h = allowed ? orig_height_ : 0;
  if (field_.Width() != w || field_.Height() != h || field_.BitCount() != 8) field_.SetSize(w, h, 8);
  field_.TransparentColor = kCold;
  noise_x_ = noise_y_ = 0;
  noise_.resize(size_t(w) * size_t(h));
  for (uint8_t& n : noise_) n = uint8_t((random_.Raw() >> 16) % 9);
  column_wrap_.resize(size_t(2) * size_t(w));
  for (size_t i = 0; i < column_wrap_.size(); ++i) column_wrap_[i] = int32_t(i % size_t(w));
  row_wrap_.resize(size_t(2) * size_t(h));
  for (size_t i = 0; i < row_wrap_.size(); ++i) row_wrap_[i] = int32_t(i % size_t(h));
  for (size_t i = 0; i < floor_.size(); ++i) floor_[i] = uint8_t(std::max<size_t>(i, kCold));
  for (int32_t y = 0; y < h; ++y) std::memset(field_.PixelAddress(0, y), kCold, size_t(w));
  state_ = 1;
}

void TKovaFire::Step() {
  const int32_t w = field_.Width(), h = field_.Height();
  if (state_ != 1 || w <= 0 || h <= 0 || noise_.size() != size_t(w) * size_t(h)) return;
  noise_y_ = row_wrap_[size_t(noise_y_ + 1)];
  if (noise_y_ % 8 == 0) noise_x_ = column_wrap_[size_t(noise_x_ + 1)];
  for (int32_t y = std::max(0, h - 4); y < h; ++y) std::memset(field_.PixelAddress(0, y), kHot, size_t(w));
  // Rows below the hot ones need three rows; cells between the edge columns need three columns.
  if (h < 3 || w < 3) return;
  // The floor and the cooling as one table of the four cells' sum.
  std::array<uint8_t, 1024> heat;
  for (size_t i = 0; i < heat.size(); ++i) heat[i] = floor_[cooling_[i]];
  // The noise row is read from column noise_x_ + x, wrapping at the width: two straight runs.
  const int32_t wrap_at = std::clamp(w - noise_x_, 1, w - 1);
  for (int32_t y = 0; y <= h - 3; ++y) {
    uint8_t* row = field_.PixelAddress(0, y);
    const uint8_t* below = field_.PixelAddress(0, y + 1);
    const uint8_t* below2 = field_.PixelAddress(0, y + 2);
    const uint8_t* noise = noise_.data() + size_t(row_wrap_[size_t(y + 1 + noise_y_)]) * size_t(w);
    auto run = [&](int32_t from, int32_t to, int32_t shift) {
      for (int32_t x = from; x < to; ++x) {
        const int32_t sum = below[x - 1] + below[x + 1] + row[x] + below2[x];
        const int32_t v = heat[size_t(sum)] - noise[x + shift];
        row[x] = uint8_t(std::max<int32_t>(v, kCold));
      }
    };
    run(1, std::min(wrap_at, w - 1), noise_x_);
    run(std::max(wrap_at, 1), w - 1, noise_x_ - w);
  }
}

bool TKovaFire::Update() {
  const bool done = TKovaControl::Update();
  if (state_ == 0) {
    Initialise();
    Invalidate();
    return done;
  }
  if (GetAniPaused()) return done;
  const TKovaBaseList* root = Root();
  // Frame deltas are not negative; a bad one must not run the count backwards.
  elapsed_ += std::max(root ? root->FrameDelta() : 0, 0);
  if (elapsed_ >= kStepMs) {
    elapsed_ %= kStepMs;
    Step();
    Invalidate();
  }
  return done;
}

void TKovaFire::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* target = GetTargetDIB();
  if (target && field_.Width() > 0 && field_.Height() > 0) {
    const int32_t bits = target->BitCount();
    if (bits == 15 || bits == 16 || bits == 32) {
      if (table_bits_ != bits) {
        // The grey level i as a pixel of the target's format.
        table_.resize(256);
        for (uint32_t i = 0; i < 256; ++i) table_[i] = uint32_t(target->ColorToPixel(int32_t((i << 16) | (i << 8) | i)));
        table_bits_ = bits;
      }
      const TRect r = GetBoundsRect();
      if (zoom_x_ == 256 && zoom_y_ == 256) {
        target->DrawTableAdd(r.Left, r.Top, field_, field_.BoundsRect(), kCold + 1, false, false, 255, table_);
      } else {
        target->StretchDrawTableAdd(r, field_, field_.BoundsRect(), kCold + 1, false, false, 255, table_);
      }
    }
  }
  DrawChildren();
}

template <class IO, class R>
void TKovaFire::Transfer(IO& io, R& r) {
  io.Int(r.power_, [&](auto v) { r.SetPower(v); });
  io.Int(r.orig_width_);
  io.Int(r.orig_height_);
  io.Int(r.zoom_x_, [&](auto v) { r.SetZoomX(v); });
  if (!io.Since(104)) return;
  io.Str(r.on_idle_);
  io.Bool(r.paused_);
  io.Int(r.zoom_y_, [&](auto v) { r.SetZoomY(v); });
}

void TKovaFire::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaFire::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  Resize();
  state_ = 0;
  elapsed_ = 0;
}

}  // namespace kova
