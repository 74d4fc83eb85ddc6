#include "motion/wipe_fades.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/vocabulary.h"
#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "motion/wipe_kinds.h"

namespace kova {

namespace {

// Round(x), halves to even, held inside +-2^28 (far beyond any surface, so a huge parameter only
// moves a picture out of sight).
int32_t RoundHeld(double x) {
  constexpr double kLimit = double(1 << 28);
  return int32_t(std::nearbyint(std::clamp(x, -kLimit, kLimit)));
}

// pos x n div len for 0 <= pos < len (no overflow for any Int32 pair).
int32_t Scaled(int32_t pos, int32_t n, int32_t len) { return int32_t(int64_t(pos) * n / len); }

uint32_t GreyPixel(const TCustomDIBX& surface, int32_t grey) {
  return uint32_t(surface.ColorToPixel(grey * 0x010101));
}

// Pixels 5-6-5 <-> 5-5-5: green drops its lowest bit on the way down and gets its top bit back
// as the lowest on the way up, so that full green stays full green.
uint16_t To555(uint16_t p) { return uint16_t((p >> 1 & 0x7FE0) | (p & 0x1F)); }
uint16_t To565(uint16_t p) {
  const uint16_t g5 = p >> 5 & 0x1F;
  return uint16_t((p << 1 & 0xF800) | (g5 << 6) | (g5 >> 4 << 5) | (p & 0x1F));
}

// Row y of a 16-bit surface as a row of uint16 values; the surface is locked while it is read.
struct TLockedRows {
  explicit TLockedRows(TCustomDIBX& s) : surface(s), top(s.IsEmpty() ? nullptr : s.PixelAddress(0, 0)) {}
  ~TLockedRows() {
    if (top) surface.Unlock();
  }
  TLockedRows(const TLockedRows&) = delete;
  TLockedRows& operator=(const TLockedRows&) = delete;
  uint16_t* Row(int32_t y) const { return reinterpret_cast<uint16_t*>(top + ptrdiff_t(y) * surface.Pitch()); }
  TCustomDIBX& surface;
  uint8_t* top;
};

// The blurred copy of `layer` in `copy` (sized to the old layer's size and depth) by `amount`.
// A 16-bit copy is blurred at 15 bits: the layer's pixels (the part inside both) go to 5-5-5, are
// blurred there and come back to 5-6-5. Other depths are blurred at their own.
void MakeBlurredCopy(TDIBX& copy, TCustomDIBX& layer, int32_t amount) {
  if (copy.IsEmpty()) return;
  if (copy.BitCount() != 16) {
    copy.Assign(layer);
    // The bitmap is blurred at its storage depth: 5-5-5 stays 5-5-5 in 16-bit words.
    if (amount > 0) copy.Surface().Blur(copy.Surface().BitCount(), amount);
    return;
  }
  const int32_t w = copy.Width(), h = copy.Height();
  TDIBSurface work;
  work.SetSize(w, h, 15);
  if (layer.StorageBitCount() == 16) {
    TLockedRows from(layer);
    if (from.top) {
      const bool is565 = layer.BitCount() == 16;
      const int32_t cw = std::min(w, layer.Width()), ch = std::min(h, layer.Height());
      for (int32_t y = 0; y < ch; ++y) {
        const uint16_t* s = from.Row(y);
        auto* d = reinterpret_cast<uint16_t*>(work.RowAddress(y));
        for (int32_t x = 0; x < cw; ++x) d[x] = is565 ? To555(s[x]) : s[x];
      }
    }
  }
  if (amount > 0) work.Blur(16, amount);
  TLockedRows to(copy);
  if (!to.top) return;
  for (int32_t y = 0; y < h; ++y) {
    const auto* s = reinterpret_cast<const uint16_t*>(work.RowAddress(y));
    uint16_t* d = to.Row(y);
    for (int32_t x = 0; x < w; ++x) d[x] = To565(s[x]);
  }
}

}  // namespace

bool TWipeFade::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const double r = double(int64_t(Length) - 1 - Position) / Length;
  const int32_t x = RoundHeld(Params[0] * r), y = RoundHeld(Params[1] * r);
  Dest.Assign(OldLayer);
  Dest.DrawAlpha(x, y, NewLayer, NewLayer.BoundsRect(), false, false, false, Scaled(Position, 256, Length));
  return false;
}

namespace {

// The white and black passes: v = pos x 511 div len; the old picture with grey v, then the new one
// with grey 511 - v, added or subtracted.
void GreyPass(TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer, int32_t v, bool subtract) {
  const bool first = v < 256;
  dest.Assign(first ? old_layer : new_layer);
  const uint32_t pixel = GreyPixel(dest, first ? v : 511 - v);
  if (subtract)
    dest.FillRectSub(dest.BoundsRect(), pixel);
  else
    dest.FillRectAdd(dest.BoundsRect(), pixel);
}

}  // namespace

bool TWipeWhite::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  GreyPass(Dest, OldLayer, NewLayer, Scaled(Position, 511, Length), false);
  return false;
}

bool TWipeBlack::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  GreyPass(Dest, OldLayer, NewLayer, Scaled(Position, 511, Length), true);
  return false;
}

bool TWipeFlash::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const int32_t v = 255 - Scaled(Position, 255, Length);
  Dest.Assign(NewLayer);
  Dest.FillRectAdd(Dest.BoundsRect(), GreyPixel(Dest, v));
  return false;
}

TWipeBlurWhite::TWipeBlurWhite(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                               TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer),
      blur_old_(std::make_unique<TDIBX>()),
      blur_new_(std::make_unique<TDIBX>()) {
  const int32_t w = old_layer.Width(), h = old_layer.Height(), bits = old_layer.BitCount();
  amount_ = std::max(0, std::min(dest.Width(), dest.Height()) / 20);
  if (w > 0 && h > 0 && (bits == 15 || bits == 16 || bits == 32)) {
    blur_old_->SetSize(w, h, bits);
    blur_new_->SetSize(w, h, bits);
    MakeBlurredCopy(*blur_old_, old_layer, amount_);
    MakeBlurredCopy(*blur_new_, new_layer, amount_);
  }
}

TWipeBlurWhite::~TWipeBlurWhite() = default;

void TWipeBlurWhite::ShowGrey(TCustomDIBX& picture, int32_t grey) {
  Dest.Assign(picture);
  const uint32_t pixel = GreyPixel(Dest, grey);
  if (SubtractsGrey())
    Dest.FillRectSub(Dest.BoundsRect(), pixel);
  else
    Dest.FillRectAdd(Dest.BoundsRect(), pixel);
}

bool TWipeBlurWhite::Step() {
  if (BeginStep()) return true;
  ClipWhole();
  const int32_t v = Scaled(Position, 639, Length);
  if (v < 256) {
    Dest.Assign(OldLayer);
    Dest.DrawAlpha(0, 0, *blur_old_, blur_old_->BoundsRect(), false, false, false, v);
  } else if (v < 320) {
    ShowGrey(*blur_old_, (v - 256) * 4);
  } else if (v < 384) {
    ShowGrey(*blur_new_, (383 - v) * 4);
  } else {
    Dest.Assign(NewLayer);
    Dest.DrawAlpha(0, 0, *blur_new_, blur_new_->BoundsRect(), false, false, false, 639 - v);
  }
  return false;
}

std::unique_ptr<TCustomWipe> MakeFadeWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                          TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_FADE: return std::make_unique<TWipeFade>(env, dest, old_layer, new_layer);
    case WP_WHITE: return std::make_unique<TWipeWhite>(env, dest, old_layer, new_layer);
    case WP_BLACK: return std::make_unique<TWipeBlack>(env, dest, old_layer, new_layer);
    case WP_FLASH: return std::make_unique<TWipeFlash>(env, dest, old_layer, new_layer);
    case WP_BLURWHITE: return std::make_unique<TWipeBlurWhite>(env, dest, old_layer, new_layer);
    case WP_BLURBLACK: return std::make_unique<TWipeBlurBlack>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
