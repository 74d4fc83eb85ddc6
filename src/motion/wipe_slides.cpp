#include "motion/wipe_slides.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "motion/wipe_kinds.h"

namespace kova {

namespace {

constexpr double kPi = std::numbers::pi;

// Round(x), halves to even, as an Int64 held inside +-2^40 (far beyond any surface or angle a
// drawing operation is given).
int64_t Round64(double x) {
  constexpr double kLimit = double(int64_t(1) << 40);
  if (std::isnan(x)) return 0;
  return int64_t(std::nearbyint(std::clamp(x, -kLimit, kLimit)));
}

// pos x n div len for 0 <= pos < len (no overflow for any Int32 pair).
int32_t Scaled(int32_t pos, int64_t n, int32_t len) { return int32_t(int64_t(pos) * n / len); }

// Rect(x, y, w, h): the rectangle of width w and height h at (x, y).
TRect RectAt(int32_t x, int32_t y, int32_t w, int32_t h) { return TRect{x, y, x + w, y + h}; }

// An angle in 1/256 of a turn for the drawing operations: one turn more or less is the same
// picture, so a huge one is taken modulo a turn.
int32_t TurnAngle(int64_t angle) {
  return angle >= -(int64_t(1) << 24) && angle <= (int64_t(1) << 24) ? int32_t(angle) : int32_t(angle % 256);
}

void DrawAt(TCustomDIBX& dest, int32_t x, int32_t y, TCustomDIBX& source, const TRect& src) {
  dest.Draw(x, y, source, src, false, false, false);
}

void StretchAt(TCustomDIBX& dest, const TRect& dst, TCustomDIBX& source, const TRect& src, int32_t level) {
  dest.StretchDraw(dst, source, src, false, false, false, level);
}

}  // namespace

bool TWipeScrollH::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const int32_t w = Dest.Width(), o = Scaled(Position, w, Length);
  if (Reverse) {
    DrawAt(Dest, o, 0, OldLayer, OldLayer.BoundsRect());
    DrawAt(Dest, o - w, 0, NewLayer, NewLayer.BoundsRect());
  } else {
    DrawAt(Dest, -o, 0, OldLayer, OldLayer.BoundsRect());
    DrawAt(Dest, w - o, 0, NewLayer, NewLayer.BoundsRect());
  }
  return false;
}

bool TWipeScrollV::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const int32_t h = Dest.Height(), o = Scaled(Position, h, Length);
  if (Reverse) {
    DrawAt(Dest, 0, o, OldLayer, OldLayer.BoundsRect());
    DrawAt(Dest, 0, o - h, NewLayer, NewLayer.BoundsRect());
  } else {
    DrawAt(Dest, 0, -o, OldLayer, OldLayer.BoundsRect());
    DrawAt(Dest, 0, h - o, NewLayer, NewLayer.BoundsRect());
  }
  return false;
}

bool TWipeSudareH::Step() {
  if (BeginStep()) return true;
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w < 1 || h < 1) return false;
  ClipWhole();
  int32_t c = Scaled(Position, 2 * int64_t(w) - 1, Length);
  TCustomDIBX* s = &OldLayer;
  if (c >= w) {
    c = 2 * w - 1 - c;
    s = &NewLayer;
  }
  if (Reverse) {
    StretchAt(Dest, RectAt(w - c - 1, 0, c + 1, h), *s, RectAt(w - 1 - c, 0, 1, h), 255);
    if (w > c + 1) DrawAt(Dest, 0, 0, *s, RectAt(0, 0, w - c - 1, h));
  } else {
    StretchAt(Dest, RectAt(0, 0, c + 1, h), *s, RectAt(c, 0, 1, h), 255);
    if (w > c + 1) DrawAt(Dest, c + 1, 0, *s, RectAt(c + 1, 0, w - c - 1, h));
  }
  return false;
}

bool TWipeSudareV::Step() {
  if (BeginStep()) return true;
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w < 1 || h < 1) return false;
  ClipWhole();
  int32_t c = Scaled(Position, 2 * int64_t(h) - 1, Length);
  TCustomDIBX* s = &OldLayer;
  if (c >= h) {
    c = 2 * h - 1 - c;
    s = &NewLayer;
  }
  if (Reverse) {
    StretchAt(Dest, RectAt(0, h - c - 1, w, c + 1), *s, RectAt(0, h - 1 - c, w, 1), 255);
    if (h > c + 1) DrawAt(Dest, 0, 0, *s, RectAt(0, 0, w, h - c - 1));
  } else {
    StretchAt(Dest, RectAt(0, 0, w, c + 1), *s, RectAt(0, c, w, 1), 255);
    if (h > c + 1) DrawAt(Dest, 0, c + 1, *s, RectAt(0, c + 1, w, h - c - 1));
  }
  return false;
}

bool TWipeTwistH::Step() {
  if (BeginStep()) return true;
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w < 1 || h < 1) return false;
  ClipWhole();
  const double phase = Position * (3 * kPi / 2) / Length;
  int32_t last = -1;
  for (int32_t y = 0; y < h; ++y) {
    const int32_t r = Reverse ? h - 1 - y : y;
    const double a = phase - double(y) / h * (kPi / 2);
    if (a < 0) continue;
    if (a > kPi) {
      last = r;
      continue;
    }
    Dest.FillRect(RectAt(0, r, w, 1), 0);
    const auto c = int32_t(Round64(std::cos(a) * w));
    if (c > 0)
      StretchAt(Dest, RectAt((w - c) / 2, r, c, 1), OldLayer, RectAt(0, r, w, 1), 255);
    else if (c < 0)
      StretchAt(Dest, RectAt((w + c) / 2, r, -c, 1), NewLayer, RectAt(0, r, w, 1), 255);
  }
  if (last >= 0) {
    if (Reverse)
      DrawAt(Dest, 0, last, NewLayer, RectAt(0, last, w, h - last));
    else
      DrawAt(Dest, 0, 0, NewLayer, RectAt(0, 0, w, last + 1));
  }
  return false;
}

bool TWipeTwistV::Step() {
  if (BeginStep()) return true;
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w < 1 || h < 1) return false;
  ClipWhole();
  const double phase = Position * (3 * kPi / 2) / Length;
  // A run of n columns from x0 (its smallest column) turned to height c.
  auto draw_run = [&](int32_t x0, int32_t n, int32_t c) {
    const int32_t size = c < 0 ? -c : c, m = (h - size) / 2;
    if (m > 0) Dest.FillRect(RectAt(x0, 0, n, m), 0);
    // The band below reaches the bottom: with h - |c| odd it is one row taller than the one above.
    if (h - m - size > 0) Dest.FillRect(RectAt(x0, m + size, n, h - m - size), 0);
    if (c > 0)
      StretchAt(Dest, RectAt(x0, m, n, c), OldLayer, RectAt(x0, 0, n, h), 255);
    else if (c < 0)
      StretchAt(Dest, RectAt(x0, m, n, -c), NewLayer, RectAt(x0, 0, n, h), 255);
  };
  int32_t last = -1;
  int32_t run_x0 = 0, run_n = 0, run_c = 0;
  for (int32_t x = 0; x < w; ++x) {
    const int32_t r = Reverse ? w - 1 - x : x;
    const double a = phase - double(x) / w * (kPi / 2);
    if (a < 0 || a > kPi) {
      if (a > kPi) last = r;
      if (run_n > 0) draw_run(run_x0, run_n, run_c);
      run_n = 0;
      continue;
    }
    const auto c = int32_t(Round64(std::cos(a) * h));
    if (run_n > 0 && c == run_c) {
      // Walking leftwards when reversed: the run's smallest column is the newest.
      run_x0 = std::min(run_x0, r);
      ++run_n;
      continue;
    }
    if (run_n > 0) draw_run(run_x0, run_n, run_c);
    run_x0 = r;
    run_n = 1;
    run_c = c;
  }
  if (run_n > 0) draw_run(run_x0, run_n, run_c);
  if (last >= 0) {
    if (Reverse)
      DrawAt(Dest, last, 0, NewLayer, RectAt(last, 0, w - last, h));
    else
      DrawAt(Dest, 0, 0, NewLayer, RectAt(0, 0, last + 1, h));
  }
  return false;
}

bool TWipeSmall::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const auto z = int32_t(Round64(double(int64_t(Length) - 1 - Position) / Length * 255.0));
  int64_t angle = Round64(double(Params[0]) * Position / Length);
  if (Reverse) angle = -angle;
  Dest.Assign(NewLayer);
  Dest.DrawRotate(Dest.Width() / 2, Dest.Height() / 2, z, z, OldLayer, OldLayer.BoundsRect(), OldLayer.Width() / 2,
                  OldLayer.Height() / 2, TurnAngle(angle), false, false, false, z);
  return false;
}

bool TWipeBig::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const auto z = int32_t(Round64(double(Position) / Length * 255.0));
  int64_t angle = Round64(double(Params[0]) * double(int64_t(Length) - 1 - Position) / Length);
  if (Reverse) angle = -angle;
  Dest.Assign(OldLayer);
  Dest.DrawRotate(Dest.Width() / 2, Dest.Height() / 2, z, z, NewLayer, NewLayer.BoundsRect(), NewLayer.Width() / 2,
                  NewLayer.Height() / 2, TurnAngle(angle), false, false, false, z);
  return false;
}

bool TWipeZoomin::Step() {
  if (BeginStep()) return true;
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w < 1 || h < 1) return false;
  ClipWhole();
  const double f = 2.0 * Position / Length;
  const bool first = f <= 1;
  const double s = first ? 1 - f : f - 1, k = first ? f : 2 - f;
  // One axis: the source span's size and its start, held inside the destination's span.
  auto span = [&](int32_t size, int32_t point, int32_t& start) {
    const auto n = int32_t(std::max<int64_t>(1, Round64(size * s)));
    int64_t at = Round64((point - size / 2.0) * k) + size / 2 - n / 2;
    if (at < 0)
      at = 0;
    else if (at + n > size)
      at = size - n;
    start = int32_t(at);
    return n;
  };
  int32_t left = 0, top = 0;
  const int32_t sw = span(w, Params[0], left), sh = span(h, Params[1], top);
  StretchAt(Dest, Dest.BoundsRect(), first ? OldLayer : NewLayer, RectAt(left, top, sw, sh), 255);
  return false;
}

TWipeMosaic::TWipeMosaic(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer), work_(std::make_unique<TDIBX>()) {
  if (!dest.IsEmpty()) work_->SetSize(dest.Width(), dest.Height(), dest.BitCount());
}

TWipeMosaic::~TWipeMosaic() = default;

int32_t TWipeMosaic::ScaleAt(int32_t v) {
  return v < 512 ? 263 - 15 * (v / 2) / 16 : 15 * ((v - 512) / 2) / 16 + 24;
}

int32_t TWipeMosaic::NewLevelAt(int32_t v) {
  if (v < 256) return -1;
  if (v < 512) return (v - 256) / 4;
  if (v < 768) return (v - 256) / 2;
  return 256;
}

bool TWipeMosaic::Step() {
  if (BeginStep()) return true;
  if (Dest.IsEmpty()) return false;
  // Dest re-made at another size or depth (a display change): the work surface follows it.
  if (work_->Width() != Dest.Width() || work_->Height() != Dest.Height() || work_->BitCount() != Dest.BitCount())
    work_->SetSize(Dest.Width(), Dest.Height(), Dest.BitCount());
  ClipWhole();
  const int32_t v = Scaled(Position, 1023, Length);
  const int32_t e = ScaleAt(v), level = NewLevelAt(v);
  const int32_t w = std::max(1, (Dest.Width() >> 2) * e >> 8), h = std::max(1, (Dest.Height() >> 2) * e >> 8);
  const TRect small = RectAt(0, 0, w, h);
  TCustomDIBX& first = level == 256 ? NewLayer : OldLayer;
  StretchAt(*work_, small, first, first.BoundsRect(), 255);
  if (level >= 0 && level < 256) StretchAt(*work_, small, NewLayer, NewLayer.BoundsRect(), level);
  StretchAt(Dest, Dest.BoundsRect(), *work_, small, 255);
  return false;
}

std::unique_ptr<TCustomWipe> MakeSlideWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                           TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_SCROLLH: return std::make_unique<TWipeScrollH>(env, dest, old_layer, new_layer);
    case WP_SCROLLV: return std::make_unique<TWipeScrollV>(env, dest, old_layer, new_layer);
    case WP_MOSAIC: return std::make_unique<TWipeMosaic>(env, dest, old_layer, new_layer);
    case WP_SUDAREH: return std::make_unique<TWipeSudareH>(env, dest, old_layer, new_layer);
    case WP_SUDAREV: return std::make_unique<TWipeSudareV>(env, dest, old_layer, new_layer);
    case WP_SMALL: return std::make_unique<TWipeSmall>(env, dest, old_layer, new_layer);
    case WP_BIG: return std::make_unique<TWipeBig>(env, dest, old_layer, new_layer);
    case WP_TWISTH: return std::make_unique<TWipeTwistH>(env, dest, old_layer, new_layer);
    case WP_TWISTV: return std::make_unique<TWipeTwistV>(env, dest, old_layer, new_layer);
    case WP_ZOOMIN: return std::make_unique<TWipeZoomin>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
