#include "motion/wipe_masks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/vocabulary.h"
#include "core/xr_random.h"
#include "motion/wipe_kinds.h"

namespace kova {

namespace {

constexpr double kPi = std::numbers::pi;

// Sets columns x0 .. x1 - 1 of rows y0 .. y1 - 1 of the mask to `value`, cut to the mask.
void FillMaskRect(TDIBX& mask, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint8_t value) {
  x0 = std::max<int64_t>(x0, 0);
  y0 = std::max<int64_t>(y0, 0);
  x1 = std::min<int64_t>(x1, mask.Width());
  y1 = std::min<int64_t>(y1, mask.Height());
  if (x0 >= x1) return;
  for (int64_t y = y0; y < y1; ++y) std::memset(mask.Surface().RowAddress(int32_t(y)) + x0, value, size_t(x1 - x0));
}

}  // namespace

// ---- Blinds ----

bool TWipeBlindH::UpdateMask() {
  const int64_t p0 = P0(), p1 = P1();
  const int64_t s = Scaled((p0 - 1) * 2 + p1);
  if (s == LastStep) return false;
  LastStep = s;
  HardMask = p1 < 2;
  uint8_t* row = MaskRow(0);
  const int32_t w = Mask.Width();
  for (int32_t x = 0; x < w; ++x) {
    const int64_t i = x % p0;
    row[x] = Level(s, (Reverse ? p0 - 1 - i : i) * 2, p1);
  }
  return true;
}

int32_t TWipeBlindV::MaskHeight() { return int32_t(std::min<int64_t>(P0(), Dest.Height())); }

bool TWipeBlindV::UpdateMask() {
  const int64_t p0 = P0(), p1 = P1();
  const int64_t s = Scaled((p0 - 1) * 2 + p1);
  if (s == LastStep) return false;
  LastStep = s;
  HardMask = p1 < 2;
  const int32_t w = Mask.Width(), h = Mask.Height();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t v = Level(s, (Reverse ? p0 - 1 - y : y) * 2, p1);
    if (v != 0 && v != 255) HardMask = false;
    std::memset(MaskRow(y), v, size_t(w));
  }
  return true;
}

// ---- Curtains ----

void TWipeOrderHMask::SetParam(int32_t index, int32_t value) {
  if (index == 0 || index == 1) Params[size_t(index)] = std::max(value, 1);
}

bool TWipeOrderHMask::UpdateOrder(int32_t count, uint8_t* levels) {
  const int64_t p0 = Period(), p1 = Softness();
  const int64_t n = (count + p0 - 1) / p0;
  const int64_t total = ((n - 1) + (p0 - 1)) * 16 + p1;
  const int64_t s = Scaled(total);
  if (s == LastStep) return false;
  LastStep = s;
  HardMask = p1 <= 1;
  for (int32_t t = 0; t < count; ++t) {
    const int64_t i = Reverse ? count - 1 - t : t;
    levels[t] = Level(s, (i / p0 + i % p0) * 16, p1);
  }
  return true;
}

bool TWipeCurtainH::UpdateMask() { return UpdateOrder(Mask.Width(), MaskRow(0)); }

bool TWipeCurtainV::UpdateMask() {
  const int32_t w = Mask.Width(), h = Mask.Height();
  levels_.resize(size_t(h));
  if (!UpdateOrder(h, levels_.data())) return false;
  for (int32_t y = 0; y < h; ++y) std::memset(MaskRow(y), levels_[size_t(y)], size_t(w));
  return true;
}

// ---- Grids ----

int64_t TWipeGrid::OrderCount(int64_t cx, int64_t cy) const {
  return int64_t(std::nearbyint(std::hypot(double(cy - 1), double(cx - 1))));
}

int64_t TWipeGrid::DelayIndex(int64_t j, int64_t k, int64_t cx, int64_t cy) const {
  return Reverse ? int64_t(std::nearbyint(std::hypot(double(cy - 1 - k), double(cx - 1 - j))))
                 : int64_t(std::nearbyint(std::hypot(double(k), double(j))));
}

bool TWipeGrid::UpdateMask() {
  const int64_t p0 = P0(), p1 = P1();
  const int64_t w = Mask.Width(), h = Mask.Height();
  const int64_t cx = (w + p0 - 1) / p0, cy = (h + p0 - 1) / p0;
  const int64_t n = OrderCount(cx, cy);
  const int64_t s = Scaled((n - 1) * 4 + p1);
  if (s == LastStep) return false;
  LastStep = s;
  HardMask = p1 < 2;
  FillMaskRect(Mask, 0, 0, w, h, 0);
  for (int64_t k = 0; k * p0 < h; ++k) {
    for (int64_t j = 0; j * p0 < w; ++j) {
      const int64_t d = DelayIndex(j, k, cx, cy) * 4;
      if (d > s) continue;
      const uint8_t lvl = Level(s, d, p1);
      const int64_t size = std::min(p0, (s - d) * p0 / p1);
      if (lvl == 0 || size <= 0) continue;
      const int64_t off = (p0 - size) / 2;
      const int64_t x = j * p0 + off, y = k * p0 + off;
      FillMaskRect(Mask, x, y, x + size, y + size, lvl);
    }
  }
  return true;
}

int32_t TWipeGridH::MaskHeight() { return int32_t(std::min<int64_t>(P0(), Dest.Height())); }

int64_t TWipeGridH::OrderCount(int64_t cx, int64_t) const { return cx; }

int64_t TWipeGridH::DelayIndex(int64_t j, int64_t, int64_t cx, int64_t) const { return Reverse ? cx - 1 - j : j; }

int64_t TWipeGridV::OrderCount(int64_t, int64_t cy) const { return cy; }

int64_t TWipeGridV::DelayIndex(int64_t, int64_t k, int64_t, int64_t cy) const { return Reverse ? cy - 1 - k : k; }

// ---- Dither ----

void TWipeDither::Prepare() {
  TWipeMask::Prepare();
  constexpr int32_t cells = kBlock * kBlock;
  TXrRandom random(kSeed);
  random.SetRange(cells);
  CellOrder.resize(size_t(cells));
  for (int32_t& cell : CellOrder) cell = random.Next();
}

bool TWipeDither::UpdateMask() {
  constexpr int32_t cells = kBlock * kBlock;
  if (CellOrder.size() != size_t(cells)) return false;
  const int64_t level = Scaled(cells);
  if (level == LastStep) return false;
  LastStep = level;
  const int32_t w = Mask.Width();
  const int32_t block_w = std::min(w, kBlock);
  // A destination narrower than the block keeps only the block's first columns.
  const auto set = [&](int32_t cell, uint8_t v) {
    const int32_t col = cell & (kBlock - 1);
    if (col < block_w) MaskRow(cell / kBlock)[col] = v;
  };
  if (level >= cells / 2) {
    FillMaskRect(Mask, 0, 0, kBlock, kBlock, 255);
    for (int64_t i = cells - 1; i >= level; --i) set(CellOrder[size_t(i)], 0);
  } else {
    FillMaskRect(Mask, 0, 0, kBlock, kBlock, 0);
    for (int64_t i = 0; i < level; ++i) set(CellOrder[size_t(i)], 255);
  }
  HardMask = true;
  for (int32_t y = 0; y < kBlock; ++y) {
    uint8_t* row = MaskRow(y);
    for (int32_t x = kBlock; x < w; x += kBlock) std::memcpy(row + x, row, size_t(std::min(kBlock, w - x)));
  }
  return true;
}

// ---- Clock hand ----

TWipeClockhand::TWipeClockhand(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                               TCustomDIBX& new_layer)
    : TWipeMask(env, dest, old_layer, new_layer), Radius(std::hypot(double(dest.Height()), double(dest.Width()))) {}

bool TWipeClockhand::UpdateMask() {
  const double turn = 2 * kPi;
  const double f = double(std::max(Position, 0)) / double(Length) * turn;
  const double a = Reverse ? turn - f : f;
  if (a == LastAngle) return false;
  LastAngle = a;
  HardMask = true;
  const int32_t w = Mask.Width(), h = Mask.Height();
  const double r = Radius, mid_x = w / 2.0, mid_y = h / 2.0;
  const double tip_x = std::nearbyint(mid_x + r * std::sin(a)), tip_y = std::nearbyint(mid_y - r * std::cos(a));
  const double up = std::nearbyint(mid_y - r), down = std::nearbyint(mid_y + r);
  const double left = std::nearbyint(mid_x - r), right = std::nearbyint(mid_x + r);
  // Quadrants top-right, bottom-right, bottom-left, top-left.
  uint8_t level[4] = {0, 0, 0, 0};
  double cx = 0, cy = double(h / 2), qx = 0, qy = 0;
  if (!Reverse) {
    cx = double(w / 2);
    if (a >= kPi / 2) level[0] = 255;
    if (a >= kPi) level[1] = 255;
    if (a >= 3 * kPi / 2) level[2] = 255;
    if (a < kPi / 2) {
      qx = cx, qy = up;
    } else if (a < kPi) {
      qx = right, qy = cy;
    } else if (a < 3 * kPi / 2) {
      qx = cx, qy = down;
    } else {
      qx = left, qy = cy;
    }
  } else {
    cx = double(w / 2 - 1);
    if (a < 3 * kPi / 2) level[3] = 255;
    if (a < kPi) level[2] = 255;
    if (a < kPi / 2) level[1] = 255;
    if (a >= 3 * kPi / 2) {
      qx = cx, qy = up;
    } else if (a >= kPi) {
      qx = left, qy = cy;
    } else if (a >= kPi / 2) {
      qx = cx, qy = down;
    } else {
      qx = right, qy = cy;
    }
  }
  const int64_t hw = w / 2, hh = h / 2;
  const int64_t corner[4][2] = {{1, 0}, {1, 1}, {0, 1}, {0, 0}};
  for (int i = 0; i < 4; ++i) {
    const int64_t x = hw * corner[i][0], y = hh * corner[i][1];
    FillMaskRect(Mask, x, y, x + hw, y + hh, level[i]);
  }
  FillTriangle(cx, cy, qx, qy, tip_x, tip_y);
  return true;
}

// Every pixel whose square (centred on its integer coordinates) meets the closed triangle: the
// interior and a one-pixel outline, as a filled and outlined polygon. Per row the triangle's
// horizontal extent within the row's band comes from its edges cut to the band.
void TWipeClockhand::FillTriangle(double ax, double ay, double bx, double by, double cx, double cy) {
  const int32_t w = Mask.Width(), h = Mask.Height();
  const double px[3] = {ax, bx, cx}, py[3] = {ay, by, cy};
  const double top = std::min({ay, by, cy}), bottom = std::max({ay, by, cy});
  const int64_t y0 = std::max<int64_t>(0, int64_t(std::ceil(top - 0.5)));
  const int64_t y1 = std::min<int64_t>(h - 1, int64_t(std::floor(bottom + 0.5)));
  for (int64_t y = y0; y <= y1; ++y) {
    const double lo = double(y) - 0.5, hi = double(y) + 0.5;
    double xl = INFINITY, xr = -INFINITY;
    for (int e = 0; e < 3; ++e) {
      const double x_a = px[e], y_a = py[e], x_b = px[(e + 1) % 3], y_b = py[(e + 1) % 3];
      if (y_a == y_b) {
        if (y_a < lo || y_a > hi) continue;
        xl = std::min({xl, x_a, x_b});
        xr = std::max({xr, x_a, x_b});
        continue;
      }
      const double s0 = std::max(lo, std::min(y_a, y_b)), s1 = std::min(hi, std::max(y_a, y_b));
      if (s0 > s1) continue;
      const double slope = (x_b - x_a) / (y_b - y_a);
      for (double yy : {s0, s1}) {
        const double x = x_a + (yy - y_a) * slope;
        xl = std::min(xl, x);
        xr = std::max(xr, x);
      }
    }
    if (xl > xr) continue;
    const int64_t x0 = std::max<int64_t>(0, int64_t(std::ceil(xl - 0.5)));
    const int64_t x1 = std::min<int64_t>(w - 1, int64_t(std::floor(xr + 0.5)));
    if (x0 <= x1) std::memset(MaskRow(int32_t(y)) + x0, 255, size_t(x1 - x0 + 1));
  }
}

// ---- The family's maker ----

std::unique_ptr<TCustomWipe> MakeMaskWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                          TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_BLINDH: return std::make_unique<TWipeBlindH>(env, dest, old_layer, new_layer);
    case WP_BLINDV: return std::make_unique<TWipeBlindV>(env, dest, old_layer, new_layer);
    case WP_CURTAINH: return std::make_unique<TWipeCurtainH>(env, dest, old_layer, new_layer);
    case WP_CURTAINV: return std::make_unique<TWipeCurtainV>(env, dest, old_layer, new_layer);
    case WP_GRID: return std::make_unique<TWipeGrid>(env, dest, old_layer, new_layer);
    case WP_GRIDH: return std::make_unique<TWipeGridH>(env, dest, old_layer, new_layer);
    case WP_GRIDV: return std::make_unique<TWipeGridV>(env, dest, old_layer, new_layer);
    case WP_DITHER: return std::make_unique<TWipeDither>(env, dest, old_layer, new_layer);
    case WP_CLOCKHAND: return std::make_unique<TWipeClockhand>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
