#include "motion/film_track.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kova {

namespace {

// pi / 2 as the extended constant the sine easings use.
constexpr long double kHalfPi = 1.5707963267948966L;

int32_t HoldInInt32(long double v) {
  constexpr long double lo = std::numeric_limits<int32_t>::min();
  constexpr long double hi = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::clamp(v, lo, hi));
}

int32_t HoldInInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The eased fraction of a sine mode at step i of n (n != 0): sin((n - i - 1) * (pi / 2) / n) for
// MT_INC (taken off the end), sin(i * (pi / 2) / n) otherwise (added to the start).
long double EasedSine(uint8_t mode, int64_t i, int64_t n) {
  const long double steps = mode == MT_INC ? static_cast<long double>(n - i - 1) : static_cast<long double>(i);
  return std::sin(steps * kHalfPi / static_cast<long double>(n));
}

// Trunc of a double into the Int32 range (NaN gives 0).
int32_t TruncToInt32(double v) {
  if (std::isnan(v)) return 0;
  return HoldInInt32(std::trunc(static_cast<long double>(v)));
}

}  // namespace

namespace {

int64_t HoldSteps(int64_t n) {
  return std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(), int64_t{std::numeric_limits<int32_t>::max()} + 1);
}

}  // namespace

int32_t InterpolateSteps(uint8_t mode, int32_t start, int32_t end, int64_t i, int64_t n) {
  // Spans of tracks reach at most Int32 + 1 steps; held there, no sum below can overflow.
  n = HoldSteps(n);
  i = HoldSteps(i);
  if (i == 0) return start;
  if (i == n - 1) return end;
  const int64_t span = int64_t{end} - start;
  if (mode == MT_NORMAL) {
    if (n - 1 == 0) return end;
    // 64-bit product: |span| < 2^32 and |i| <= 2^31.
    return HoldInInt32(start + span * i / (n - 1));
  }
  if (n == 0) return end;
  const long double moved = std::nearbyint(EasedSine(mode, i, n) * static_cast<long double>(span));
  return mode == MT_INC ? HoldInInt32(end - moved) : HoldInInt32(start + moved);
}

double InterpolateStepsFloat(uint8_t mode, int64_t i, double start, double end, int64_t n) {
  n = HoldSteps(n);
  i = HoldSteps(i);
  if (i == 0) return start;
  if (i == n - 1) return end;
  if (n == 0) return end;
  const long double span = static_cast<long double>(end) - start;
  if (mode == MT_NORMAL) {
    return static_cast<double>(start + span * static_cast<long double>(i) / static_cast<long double>(n));
  }
  const long double moved = EasedSine(mode, i, n) * span;
  return static_cast<double>(mode == MT_INC ? end - moved : start + moved);
}

TCustomFrameList::~TCustomFrameList() { ClearFrames(); }

void TCustomFrameList::ClearFrames() {
  Frames.clear();
  Duration = 0;
}

bool TCustomFrameList::SetLink(TCustomFrameList* link) {
  // The chain from `link` ends (no cycle exists yet); it must not pass through this track.
  for (const TCustomFrameList* p = link; p; p = p->link_) {
    if (p == this) {
      link_ = nullptr;
      if (Film) Film->LinksChanged();
      return false;
    }
  }
  link_ = link;
  if (Film) Film->LinksChanged();
  return true;
}

int64_t TCustomFrameList::GetStartTick() const {
  int64_t tick = 0;
  const TCustomFrameList* p = this;
  for (; p->link_; p = p->link_) tick += p->link_->Duration;
  return tick + p->Start;
}

bool TCustomFrameList::IsActiveAt(int64_t tick) const {
  const int64_t start = GetStartTick();
  return start <= tick && tick < start + Duration;
}

TCustomFrameList* IFilmOfTracks::FollowerOf(const TCustomFrameList& track) const {
  const int32_t count = TrackCount();
  for (int32_t k = 0; k < count; ++k) {
    TCustomFrameList* other = TrackAt(k);
    if (other && other->Link() == &track) return other;
  }
  return nullptr;
}

TRect TCustomFrameList::ClipAt(int32_t i, TPoint origin_start, TPoint origin_end, TPoint size_start, TPoint size_end,
                               uint8_t x_mode, uint8_t y_mode) const {
  const int32_t w = InterpolateInt(x_mode, size_start.X, size_end.X, i);
  const int32_t h = InterpolateInt(y_mode, size_start.Y, size_end.Y, i);
  if (w < 1 || h < 1) return {};
  const int32_t left = InterpolateInt(x_mode, origin_start.X, origin_end.X, i);
  const int32_t top = InterpolateInt(y_mode, origin_start.Y, origin_end.Y, i);
  return {left, top, HoldInInt32(int64_t{left} + w), HoldInInt32(int64_t{top} + h)};
}

int32_t TCustomFrameList::AlphaAt(int32_t i, int32_t start, int32_t end) const {
  if (start == 0 && end == 0) return 255;
  const int32_t alpha = InterpolateInt(MT_NORMAL, start == 0 ? 255 : start, end == 0 ? 255 : end, i);
  return alpha < 0 ? HoldInInt32(int64_t{256} - alpha) : alpha;
}

TCustomFrameList* TCustomFrameList::FindFollower() const { return Film ? Film->FollowerOf(*this) : nullptr; }

int32_t TCustomFrameList::FrameIndexAt(int64_t t) const {
  if (Frames.empty()) return -1;
  int64_t r = t % std::max<int64_t>(1, Cycle);
  for (int32_t k = 0; k < FrameCount(); ++k) {
    r -= Frames[static_cast<size_t>(k)]->Duration();
    if (r < 0) return k;
  }
  return FrameCount() - 1;
}

int32_t TCustomFrameList::InterpolateInt(uint8_t mode, int32_t start, int32_t end, int32_t i) const {
  const int64_t n = int64_t{Duration} + (FindFollower() ? 1 : 0);
  return InterpolateSteps(mode, start, end, i, n);
}

double TCustomFrameList::InterpolateFloat(uint8_t mode, int32_t i, double start, double end) const {
  const int64_t n = int64_t{Duration} + (FindFollower() ? 1 : 0);
  return InterpolateStepsFloat(mode, i, start, end, n);
}

int32_t ResolveTrackLinks(std::span<TCustomFrameList* const> tracks, std::span<const int32_t> links) {
  int32_t dropped = 0;
  for (size_t k = 0; k < tracks.size(); ++k) {
    if (!tracks[k]) continue;
    const int64_t index = k < links.size() ? links[k] : -1;
    TCustomFrameList* target =
        index >= 0 && index < static_cast<int64_t>(tracks.size()) ? tracks[static_cast<size_t>(index)] : nullptr;
    if (!tracks[k]->SetLink(target) && target) ++dropped;
  }
  return dropped;
}

TCustomImageFrameList::TStartValues TCustomImageFrameList::GetStartValues() const {
  TStartValues v{GetPosStart(), PosEnd};
  if (Film && Film->MotionMode() && Film->Relative()) {
    const TPoint o = Film->Origin();
    auto less = [&o](TPoint p) {
      return TPoint{HoldInInt32(int64_t{p.X} - o.X), HoldInInt32(int64_t{p.Y} - o.Y)};
    };
    v.Start = less(v.Start);
    v.End = less(v.End);
  }
  return v;
}

TCustomImageFrameList::TPose TCustomImageFrameList::PoseAt(const TCustomFrame& frame, int32_t i) const {
  TPose pose;
  const TPoint frame_offset = frame.Offset();
  pose.Offset = {HoldInInt32(int64_t{Center.X} - frame_offset.X), HoldInInt32(int64_t{Center.Y} - frame_offset.Y)};

  const TStartValues pos = GetStartValues();
  pose.X = InterpolateInt(XMode, pos.Start.X, pos.End.X, i);
  pose.Y = InterpolateInt(YMode, pos.Start.Y, pos.End.Y, i);

  pose.ZoomX = InterpolateInt(ZoomXMode, TruncToInt32(GetZoomXStart() * 256), TruncToInt32(ZoomXEnd * 256), i);
  pose.ZoomY = InterpolateInt(ZoomYMode, TruncToInt32(GetZoomYStart() * 256), TruncToInt32(ZoomYEnd * 256), i);

  pose.Clip = ClipAt(i, GetClipOriginStart(), ClipOriginEnd, GetClipSizeStart(), ClipSizeEnd, ClipXMode, ClipYMode);

  const int32_t rotation_start = GetRotationStart();
  if (rotation_start != 0 || RotationEnd != 0) {
    const double degrees = InterpolateFloat(RotationMode, i, rotation_start, RotationEnd);
    // Degrees of an Int32 span stay far inside the 64-bit range after the scaling.
    const auto steps = static_cast<int64_t>(std::nearbyint(static_cast<long double>(degrees) * 256 / 360));
    pose.Rotation = static_cast<int32_t>(((steps % 256) + 256) % 256);
  }

  pose.Alpha = AlphaAt(i, GetAlphaStart(), AlphaEnd);
  return pose;
}

bool TCustomImageFrameList::Update(int64_t tick) {
  const bool motion = Film && Film->MotionMode();
  if (!IsActiveAt(tick)) {
    if (!motion && Sprite) HideSprite();
    return false;
  }
  if (!motion) CreateSprite();
  const int64_t start = GetStartTick();
  const int64_t t = tick - start;
  const int32_t index = FrameIndexAt(t);
  if (index < 0 || index >= FrameCount()) return true;
  const TCustomFrame& frame = *Frames[static_cast<size_t>(index)];
  // Active: 0 <= t < Duration, inside the Int32 range.
  const TPose pose = PoseAt(frame, static_cast<int32_t>(t));
  if (!motion && Film && !Film->DrawsTarget() && Sprite) {
    const int32_t parity = Film->WipeParityAt(start) & 1;
    Film->PlaceOnLayer(*Sprite, OtherLayer ? parity ^ 1 : parity);
  }
  Apply(frame, pose);
  return true;
}

}  // namespace kova
