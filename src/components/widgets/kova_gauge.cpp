#include "components/widgets/kova_gauge.h"

#include <algorithm>
#include <cmath>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_slider.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

int32_t ToInt(double v) { return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX))); }

}  // namespace

TKovaGauge::~TKovaGauge() {
  Invalidate();
  if (item_) item_->Release(this);
}

int32_t TKovaGauge::Clamp(int64_t v) const { return int32_t(std::max<int64_t>(min_, std::min<int64_t>(max_, v))); }

int32_t TKovaGauge::GetValue() const { return Clamp(value_); }

void TKovaGauge::UpdateSize() {
  int32_t w = 0, h = 0;
  if (item_) {
    w = item_->Width / 2;
    h = item_->Height;
  }
  if (bar_size_ > 0) (Vertical() ? h : w) = std::min(bar_size_, kMaxBarSize);
  SetWidth(w);
  SetHeight(h);
}

void TKovaGauge::SetSource(const std::string& v) {
  if (v == source_) return;
  source_ = v;
  Invalidate();
  if (item_) item_->Release(this);
  item_ = nullptr;
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  if (!v.empty() && cache) {
    try {
      item_ = cache->Acquire(this, v, false, false);
    } catch (...) {
      // A damaged picture leaves the gauge without one.
      UpdateSize();
      throw;
    }
  }
  UpdateSize();
}

void TKovaGauge::SetMin(int32_t v) {
  min_ = v;
  trail_amount_ = 0;
  shown_value_ = GetValue();
  Invalidate();
}

void TKovaGauge::SetMax(int32_t v) {
  max_ = v;
  trail_amount_ = 0;
  shown_value_ = GetValue();
  Invalidate();
}

void TKovaGauge::SetValue(int32_t v) {
  const int32_t old = GetValue();
  value_ = v;
  const int32_t now = GetValue();
  if (old <= now) {
    trail_amount_ = 0;
    accumulator_ = shown_value_;
    anim_state_ = kRising;
  } else {
    shown_value_ = now;
    trail_amount_ = old - now;
    accumulator_ = trail_amount_;
    pause_left_ = duration_;
    anim_state_ = kFalling;
  }
  Invalidate();
}

void TKovaGauge::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

void TKovaGauge::SetOrientation(uint8_t v) {
  if (v == orientation_) return;
  Invalidate();
  orientation_ = v;
  UpdateSize();
}

void TKovaGauge::SetBarSize(int32_t v) {
  if (v == bar_size_) return;
  bar_size_ = v;
  UpdateSize();
}

void TKovaGauge::SetReverse(bool v) {
  if (v == reverse_) return;
  reverse_ = v;
  Invalidate();
}

void TKovaGauge::StopAnimation() {
  shown_value_ = GetValue();
  trail_amount_ = 0;
  anim_state_ = kStill;
  Invalidate();
}

bool TKovaGauge::Update() {
  const bool finished = TKovaControl::Update();
  if (anim_state_ == kStill) return finished;
  TKovaBaseList* root = Root();
  const int32_t delta = root ? root->FrameDelta() : 0;
  const int64_t range = int64_t(max_) - min_;
  if (anim_state_ == kFalling && pause_left_ >= 1) {
    // The trailing bar waits; it starts to shrink in the frame after its pause.
    pause_left_ -= delta;
    return finished;
  }
  // No time to take, or no range to take it over (Max below Min): the bar shows the value now.
  if (delay_ <= 0 || range < 0) {
    StopAnimation();
    return finished;
  }
  const double step = double(range) / double(delay_) * double(delta);
  if (anim_state_ == kFalling) {
    accumulator_ -= step;
    const int32_t trail = ToInt(std::trunc(accumulator_));
    if (trail != trail_amount_) {
      trail_amount_ = trail;
      Invalidate();
    }
    if (trail_amount_ < 1) StopAnimation();
  } else {
    accumulator_ += step;
    const int32_t shown = ToInt(std::trunc(accumulator_));
    if (shown != shown_value_) {
      shown_value_ = shown;
      Invalidate();
    }
    if (GetValue() <= shown_value_) StopAnimation();
  }
  return finished;
}

void TKovaGauge::Draw() {
  TCustomDIBX* target = GetTargetDIB();
  const TWexaItemFrame* frame = item_ && item_->GetFrameCount() > 0 ? &item_->Frame(0) : nullptr;
  const int64_t range = int64_t(max_) - min_;
  const int32_t half = item_ ? item_->Width / 2 : 0, h = item_ ? item_->Height : 0;
  const TRect r = GetBoundsRect();
  if (target && frame && range > 0 && half >= 1 && h >= 1 && !IsRectEmpty(r) &&
      !IsRectEmpty(IntersectRects(r, IntersectRects(target->GetClipRect(), target->BoundsRect())))) {
    const int32_t length = Vertical() ? r.Height() : r.Width();
    // Filled from Min (not from 0), and the two pieces never run past the gauge.
    const double per = double(length) / double(range);
    const int32_t filled = ToInt(std::clamp(std::nearbyint(per * double(int64_t(shown_value_) - min_)), 0.0, double(length)));
    const int32_t trail = ToInt(std::clamp(std::nearbyint(per * double(trail_amount_)), 0.0, double(length - filled)));
    const TRect left_half{0, 0, half, h};
    const TRect right_half{half, 0, 2 * half, h};
    // A piece `from` .. `from + len` pixels away from the start end, tiled on from the start end.
    auto piece = [&](int32_t from, int32_t len, const TRect& src) {
      if (len <= 0) return;
      TRect dest = r;
      int32_t phase = from;
      if (!Vertical()) {
        if (reverse_) {
          dest.Right = r.Right - from;
          dest.Left = dest.Right - len;
        } else {
          dest.Left = r.Left + from;
          dest.Right = dest.Left + len;
        }
      } else {
        // The bottom of the picture sits at the start end; mirrored tiling starts at the far edge.
        phase = -(from + len);
        if (reverse_) {
          dest.Top = r.Top + from;
          dest.Bottom = dest.Top + len;
        } else {
          dest.Bottom = r.Bottom - from;
          dest.Top = dest.Bottom - len;
        }
      }
      frame->DrawTiled(*target, dest, src, Vertical() ? 0 : phase, Vertical() ? phase : 0, reverse_ && !Vertical(),
                       reverse_ && Vertical(), alpha_);
    };
    piece(0, filled, left_half);
    piece(filled, trail, right_half);
  }
  DrawChildren();
}

template <class IO, class R>
void TKovaGauge::Transfer(IO& io, R& r) {
  io.Str(r.source_, [&](auto v) { r.SetSource(v); });
  for (auto* v : {&r.min_, &r.max_, &r.value_, &r.alpha_}) io.Int(*v);
  io.Bool(r.paused_);
  io.Byte(r.orientation_);
  io.Int(r.delay_);
  io.Int(r.duration_);
  io.Bool(r.reverse_);
  if (io.Since(125)) io.Str(r.on_idle_);
  if (io.Since(128)) io.Int(r.bar_size_);
}

void TKovaGauge::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaGauge::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  UpdateSize();
  shown_value_ = GetValue();
  trail_amount_ = 0;
  anim_state_ = kStill;
}

}  // namespace kova
