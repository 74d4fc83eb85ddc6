#include "motion/wipe_rings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/pixels/formats.h"
#include "motion/wipe_kinds.h"

namespace kova {

namespace {

using draw::TPlane;

// The nearest integer, halves to even (the rounding of the tables' formulas).
int32_t RoundEven(double v) { return int32_t(std::nearbyint(v)); }

int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The channel masks of the destination, for the saturating add of a grey.
struct TMasks {
  uint32_t r = 0, g = 0, b = 0;
  static TMasks Of(const TCustomDIBX& s) { return TMasks{s.RedMask(), s.GreenMask(), s.BlueMask()}; }
};

// Per channel of the masks: (p and c) + (x and c), held at c; the channels or-ed (bits outside
// every mask come out 0).
inline uint32_t AddChannels(uint32_t p, uint32_t x, const TMasks& m) {
  const uint32_t r = std::min((p & m.r) + (x & m.r), m.r);
  const uint32_t g = std::min((p & m.g) + (x & m.g), m.g);
  const uint32_t b = std::min((p & m.b) + (x & m.b), m.b);
  return r | g | b;
}

// The bytes per pixel of the direct memory path (2 or 4), or 0 when the pixels go through
// GetPixel/SetPixel: the destination at 15, 16 or 32 bits and both layers stored at its depth.
int32_t DirectBytes(TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  const int32_t bits = dest.BitCount();
  if (bits != 15 && bits != 16 && bits != 32) return 0;
  const int32_t storage = dest.StorageBitCount();
  if (old_layer.StorageBitCount() != storage || new_layer.StorageBitCount() != storage) return 0;
  return storage == 16 ? 2 : storage == 32 ? 4 : 0;
}

// The size the destination, both layers and a table of (w, h) all cover.
struct TCommon {
  int32_t w = 0, h = 0;
  static TCommon Of(const TCustomWipe& wipe, int32_t w, int32_t h) {
    return TCommon{std::max(0, std::min({w, wipe.Dest.Width(), wipe.OldLayer.Width(), wipe.NewLayer.Width()})),
                   std::max(0, std::min({h, wipe.Dest.Height(), wipe.OldLayer.Height(), wipe.NewLayer.Height()}))};
  }
  bool Empty() const { return w <= 0 || h <= 0; }
};

// ---- Spot ----

// One pixel of the ring of light at ring position t: the new pixel once the crest (d + 256) is
// reached, else the old one; on the ring (d <= t < d + 512) a grey added that rises to white at
// the crest and falls again.
inline uint32_t SpotPixel(int32_t t, int32_t d, uint32_t old_pixel, uint32_t new_pixel,
                          const std::array<uint32_t, 256>& grey, const TMasks& m) {
  const int32_t u = t - d;
  const uint32_t p = u >= 256 ? new_pixel : old_pixel;
  if (u < 0 || u >= 512) return p;
  return AddChannels(p, grey[size_t(u < 256 ? u : 511 - u)], m);
}

template <int Bytes>
void SpotDirect(const TPlane& d, const TPlane& o, const TPlane& n, const int32_t* map, int32_t map_w,
                const TCommon& c, int32_t t, const std::array<uint32_t, 256>& grey, const TMasks& m) {
  for (int32_t y = 0; y < c.h; ++y) {
    uint8_t* dr = d.Row(y);
    const uint8_t* orow = o.Row(y);
    const uint8_t* nrow = n.Row(y);
    const int32_t* mr = map + ptrdiff_t(y) * map_w;
    for (int32_t x = 0; x < c.w; ++x) {
      const int32_t dist = mr[x];
      const int32_t u = t - dist;
      // Behind the ring and beyond it the pixel is a plain copy.
      if (u >= 512) {
        pixels::StorePixel<Bytes>(dr + x * Bytes, pixels::LoadPixel<Bytes>(nrow + x * Bytes));
      } else if (u < 0) {
        pixels::StorePixel<Bytes>(dr + x * Bytes, pixels::LoadPixel<Bytes>(orow + x * Bytes));
      } else {
        const uint32_t p = pixels::LoadPixel<Bytes>((u >= 256 ? nrow : orow) + x * Bytes);
        pixels::StorePixel<Bytes>(dr + x * Bytes, AddChannels(p, grey[size_t(u < 256 ? u : 511 - u)], m));
      }
    }
  }
}

// ---- Ripple ----

// Where the pixels of the quarter entry (i, j) and its three mirrors come from.
struct TRippleGeometry {
  int32_t w = 0, h = 0;  // the size the tables were built for
  int32_t hw = 0, hh = 0;
  int32_t qw = 0, qh = 0;
};

// Pixel access of the ripple: direct memory, or GetPixel/SetPixel; with clipping to the common
// size on every access, or none (every surface has the tables' size).
template <int Bytes>
struct TDirectAccess {
  TPlane d, o, n;
  uint32_t Old(int32_t x, int32_t y) const { return pixels::LoadPixel<Bytes>(o.Row(y) + ptrdiff_t(x) * Bytes); }
  uint32_t New(int32_t x, int32_t y) const { return pixels::LoadPixel<Bytes>(n.Row(y) + ptrdiff_t(x) * Bytes); }
  void Put(int32_t x, int32_t y, uint32_t v) const { pixels::StorePixel<Bytes>(d.Row(y) + ptrdiff_t(x) * Bytes, v); }
};

struct TPixelAccess {
  TCustomDIBX* d = nullptr;
  TCustomDIBX* o = nullptr;
  TCustomDIBX* n = nullptr;
  uint32_t Old(int32_t x, int32_t y) const { return o->GetPixel(x, y); }
  uint32_t New(int32_t x, int32_t y) const { return n->GetPixel(x, y); }
  void Put(int32_t x, int32_t y, uint32_t v) const { d->SetPixel(x, y, v); }
};

template <typename Access, bool Clip>
void RippleQuarters(const Access& a, const TRippleGeometry& g, const TCommon& c, const TWipeRipple& wipe, int32_t t) {
  const int32_t last = int32_t(wipe.Wave.size()) - 1;
  const auto inside = [&c](int32_t x, int32_t y) { return !Clip || (x < c.w && y < c.h); };
  for (int32_t j = 0; j < g.qh; ++j) {
    const int32_t y0 = j, y1 = g.h - 1 - j;
    const size_t row = size_t(j) * size_t(g.qw);
    for (int32_t i = 0; i < g.qw; ++i) {
      const int32_t x0 = i, x1 = g.w - 1 - i;
      const int32_t d = wipe.DistMap[row + size_t(i)];
      const int32_t k = last + d - t;
      if (k > last || k < 0) {
        // Beyond the ring the old picture, behind it the new one, each at its own place.
        const bool old_side = k > last;
        for (const auto& [x, y] : {std::pair{x0, y0}, std::pair{x1, y0}, std::pair{x0, y1}, std::pair{x1, y1}}) {
          if (inside(x, y)) a.Put(x, y, old_side ? a.Old(x, y) : a.New(x, y));
        }
        continue;
      }
      const int64_t r = int64_t(d) + wipe.Wave[size_t(k)];
      const int64_t sx = int64_t(wipe.CosMap[row + size_t(i)]) * r / 65536 + g.hw;
      const int64_t sy = int64_t(wipe.SinMap[row + size_t(i)]) * r / 65536 + g.hh;
      const bool displaced = sx >= 0 && sx < g.w && sy >= 0 && sy < g.h;
      const int32_t sx0 = displaced ? int32_t(sx) : x0, sy0 = displaced ? int32_t(sy) : y0;
      const int32_t sx1 = g.w - 1 - sx0, sy1 = g.h - 1 - sy0;
      const std::pair<int32_t, int32_t> to[4] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
      const std::pair<int32_t, int32_t> from[4] = {{sx0, sy0}, {sx1, sy0}, {sx0, sy1}, {sx1, sy1}};
      for (int32_t q = 0; q < 4; ++q) {
        const auto [x, y] = to[q];
        if (!inside(x, y)) continue;
        const auto [fx, fy] = from[q];
        // A source outside the common size: the pixel's own place.
        a.Put(x, y, inside(fx, fy) ? a.New(fx, fy) : a.New(x, y));
      }
    }
  }
}

// ---- Crack ----

// A generator of the transition's own when the environment brings none (splitmix64, fixed seed).
constexpr uint64_t kCrackSeed = 0x6B6F7661u;

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The chips' time scale is held here: far beyond it every chip has left any surface, and the
// products of the rise and fall stay within 64 bits.
constexpr int64_t kMaxChipTime = int64_t(1) << 24;

int64_t ChipRise(int64_t e) { return e * (5 * e - 1500) / 1000; }

}  // namespace

// ---- Greys ----

const std::array<uint32_t, 256>& TWipeGreys::For(const TCustomDIBX& surface) {
  const int32_t bits = surface.BitCount();
  if (bits != bits_) {
    for (int32_t k = 0; k < 256; ++k) values_[size_t(k)] = uint32_t(surface.ColorToPixel(k * 0x010101));
    bits_ = bits;
  }
  return values_;
}

// ---- Spot ----

TWipeSpot::TWipeSpot(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer) {
  BuildMap();
}

void TWipeSpot::SetReverse(bool reverse) {
  Reverse = reverse;
  BuildMap();
}

void TWipeSpot::BuildMap() {
  map_width_ = std::max(0, Dest.Width());
  map_height_ = std::max(0, Dest.Height());
  const int32_t cx = map_width_ / 2, cy = map_height_ / 2;
  const int32_t reach = RoundEven(std::hypot(double(cy), double(cx)));
  Radius = reach + 512;
  DistMap.assign(size_t(map_width_) * size_t(map_height_), 0);
  for (int32_t y = 0; y < map_height_; ++y) {
    int32_t* row = DistMap.data() + ptrdiff_t(y) * map_width_;
    for (int32_t x = 0; x < map_width_; ++x) {
      const int32_t r = RoundEven(std::hypot(double(std::abs(y - cy)), double(std::abs(x - cx))));
      row[x] = Reverse ? reach - r : r;
    }
  }
}

bool TWipeSpot::Step() {
  if (BeginStep()) return true;
  const int32_t t = int32_t(int64_t(Position) * Radius / Length);
  const TCommon c = TCommon::Of(*this, map_width_, map_height_);
  if (c.Empty()) return false;
  const std::array<uint32_t, 256>& grey = greys_.For(Dest);
  const TMasks m = TMasks::Of(Dest);
  if (const int32_t bytes = DirectBytes(Dest, OldLayer, NewLayer)) {
    draw::TDrawScope scope(Dest, bytes == 2 ? pixels::TFormat::P565 : pixels::TFormat::P32, &OldLayer, &NewLayer);
    if (!scope.Ok()) return false;
    if (bytes == 2) {
      SpotDirect<2>(scope.dst, scope.src, scope.mask, DistMap.data(), map_width_, c, t, grey, m);
    } else {
      SpotDirect<4>(scope.dst, scope.src, scope.mask, DistMap.data(), map_width_, c, t, grey, m);
    }
    return false;
  }
  for (int32_t y = 0; y < c.h; ++y) {
    for (int32_t x = 0; x < c.w; ++x) {
      const int32_t d = DistMap[size_t(y) * size_t(map_width_) + size_t(x)];
      Dest.SetPixel(x, y, SpotPixel(t, d, OldLayer.GetPixel(x, y), NewLayer.GetPixel(x, y), grey, m));
    }
  }
  return false;
}

// ---- Ripple ----

TWipeRipple::TWipeRipple(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer) {
  width_ = std::max(0, Dest.Width());
  height_ = std::max(0, Dest.Height());
  hw_ = width_ / 2;
  hh_ = height_ / 2;
  qw_ = (width_ + 1) / 2;
  qh_ = (height_ + 1) / 2;
  const size_t count = size_t(qw_) * size_t(qh_);
  DistMap.resize(count);
  CosMap.resize(count);
  SinMap.resize(count);
  for (int32_t j = 0; j < qh_; ++j) {
    for (int32_t i = 0; i < qw_; ++i) {
      const int32_t dx = i - hw_, dy = j - hh_;
      const size_t e = size_t(j) * size_t(qw_) + size_t(i);
      const int32_t dist = RoundEven(std::hypot(double(std::abs(dy)), double(std::abs(dx))));
      DistMap[e] = uint16_t(std::min(dist, 65535));
      const double angle = std::atan2(double(dy), double(dx));
      CosMap[e] = RoundEven(std::cos(angle) * 65536.0);
      SinMap[e] = RoundEven(std::sin(angle) * 65536.0);
    }
  }
  Wave.assign(size_t(std::min(hw_, hh_) * 2 / 3), 0);
  SetParam(0, 5);
}

void TWipeRipple::SetParam(int32_t index, int32_t value) {
  TCustomWipe::SetParam(index, value);
  if (index != 0) return;
  const int32_t q = int32_t(Wave.size() / 4);
  for (size_t n = 0; n < Wave.size(); ++n) {
    Wave[n] = q < 1 ? 0 : Clamp32(int64_t(int32_t(n) % q) * value / q);
  }
}

int32_t TWipeRipple::Reach() const { return RoundEven(std::hypot(double(hh_), double(hw_))) + int32_t(Wave.size()); }

bool TWipeRipple::Step() {
  if (BeginStep()) return true;
  const int32_t t = int32_t(int64_t(Position) * Reach() / Length);
  const TCommon c = TCommon::Of(*this, width_, height_);
  if (c.Empty()) return false;
  const TRippleGeometry g{width_, height_, hw_, hh_, qw_, qh_};
  const bool clip = c.w != width_ || c.h != height_;
  if (const int32_t bytes = DirectBytes(Dest, OldLayer, NewLayer)) {
    draw::TDrawScope scope(Dest, bytes == 2 ? pixels::TFormat::P565 : pixels::TFormat::P32, &OldLayer, &NewLayer);
    if (!scope.Ok()) return false;
    if (bytes == 2) {
      const TDirectAccess<2> a{scope.dst, scope.src, scope.mask};
      clip ? RippleQuarters<TDirectAccess<2>, true>(a, g, c, *this, t)
           : RippleQuarters<TDirectAccess<2>, false>(a, g, c, *this, t);
    } else {
      const TDirectAccess<4> a{scope.dst, scope.src, scope.mask};
      clip ? RippleQuarters<TDirectAccess<4>, true>(a, g, c, *this, t)
           : RippleQuarters<TDirectAccess<4>, false>(a, g, c, *this, t);
    }
    return false;
  }
  RippleQuarters<TPixelAccess, true>(TPixelAccess{&Dest, &OldLayer, &NewLayer}, g, c, *this, t);
  return false;
}

// ---- Crack ----

bool TWipeCrackDraw::Draw(int64_t t) {
  TWipeCrack& w = *Wipe;
  const int64_t p0 = w.Params[0];
  const int64_t left = p0 * Col, top = p0 * Row;
  int64_t x = left, y = top;
  bool gone = false;
  if (t >= Delay) {
    const int64_t e = std::min(t - Delay, kMaxChipTime);
    x = left + e * SpeedX / 100;
    y = top + ChipRise(e);
    gone = y >= w.Dest.Height();
  }
  // The cell, cut to the surface's right and bottom edges.
  const TRect src{Clamp32(left), Clamp32(top), Clamp32(std::min<int64_t>(left + p0, w.Dest.Width())),
                  Clamp32(std::min<int64_t>(top + p0, w.Dest.Height()))};
  w.Dest.Draw(Clamp32(x), Clamp32(y), w.OldLayer, src, false, false, false);
  return gone;
}

TWipeCrack::TWipeCrack(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer), own_state_(kCrackSeed) {}

TWipeCrack::~TWipeCrack() = default;

uint32_t TWipeCrack::Random(uint32_t range) {
  if (range == 0) return 0;
  if (Env().random) return Env().random(range) % range;
  // Uniform without bias: draws in the last incomplete multiple of the range are drawn again.
  const uint32_t limit = uint32_t(-range) % range;
  for (;;) {
    const uint32_t v = uint32_t(SplitMix(own_state_) >> 32);
    if (v >= limit) return v % range;
  }
}

void TWipeCrack::SetParam(int32_t index, int32_t value) {
  if (index == 1) {
    Params[1] = std::max(value, 0);
    const int64_t p1 = Params[1];
    TotalDelay = Clamp32(std::max<int64_t>(int64_t(Pieces.size()) - 1, 0) * p1);
    for (size_t k = 0; k < Pieces.size(); ++k) {
      // A chip that has fallen off is gone for good.
      if (Pieces[k]) Pieces[k]->Delay = Clamp32(p1 * int64_t(k));
    }
    return;
  }
  if (index != 0) return;
  Pieces.clear();
  Params[0] = value < 17 ? 16 : value;
  const int64_t p0 = Params[0], p1 = Params[1];
  const int64_t w = std::max(0, Dest.Width()), h = std::max(0, Dest.Height());
  const int64_t cols = (w + p0 - 1) / p0, rows = (h + p0 - 1) / p0;
  // The first time at which a chip leaving the top row is below the bottom edge.
  int64_t e = 0;
  while (h > ChipRise(e)) e = std::max<int64_t>(e + 1, 300);
  FallTime = Clamp32(e);
  const int64_t count = cols * rows;
  std::vector<int32_t> cells(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) cells[size_t(i)] = int32_t(i);
  Pieces.reserve(size_t(count));
  for (int64_t k = 0; k < count; ++k) {
    // The chip's cell first, then its speed.
    const size_t pick = Random(uint32_t(cells.size()));
    auto chip = std::make_unique<TWipeCrackDraw>();
    chip->Wipe = this;
    chip->Delay = Clamp32(p1 * k);
    chip->Col = int32_t(cells[pick] % cols);
    chip->Row = int32_t(cells[pick] / cols);
    chip->SpeedX = int32_t(Random(200)) - 100;
    cells.erase(cells.begin() + ptrdiff_t(pick));
    Pieces.push_back(std::move(chip));
  }
  TotalDelay = Clamp32(std::max<int64_t>(count - 1, 0) * p1);
}

bool TWipeCrack::Step() {
  if (BeginStep()) return true;
  const int64_t t = (int64_t(FallTime) + TotalDelay) * Position / Length;
  ClipWhole();
  Dest.Assign(NewLayer);
  // Chips still waiting first, in place; then the moving ones, the last started drawn first.
  for (const auto& chip : Pieces) {
    if (chip && t < chip->Delay) chip->Draw(t);
  }
  for (size_t k = Pieces.size(); k-- > 0;) {
    auto& chip = Pieces[k];
    if (chip && t >= chip->Delay && chip->Draw(t)) chip.reset();
  }
  return false;
}

// ---- Maker ----

std::unique_ptr<TCustomWipe> MakeRingWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                                          TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_SPOT: return std::make_unique<TWipeSpot>(env, dest, old_layer, new_layer);
    case WP_RIPPLE: return std::make_unique<TWipeRipple>(env, dest, old_layer, new_layer);
    case WP_CRACK: return std::make_unique<TWipeCrack>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
