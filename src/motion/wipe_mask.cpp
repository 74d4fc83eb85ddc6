#include "motion/wipe_mask.h"

#include <algorithm>
#include <cstring>

#include "graphics/dibx_draw.h"

namespace kova {

using pixels::TFormat;
using pixels::TOp;

// ---- Locks ----

TWipeLocks::~TWipeLocks() {
  for (int i = count_ - 1; i >= 0; --i) locked_[i]->Unlock();
}

TWipeLocks::TPlane TWipeLocks::Lock(TCustomDIBX& s) {
  if (!ok_) return {};
  for (int i = 0; i < count_; ++i) {
    if (locked_[i] == &s) return planes_[i];
  }
  uint8_t* p = count_ < kMax && !s.IsEmpty() ? s.PixelAddress(0, 0) : nullptr;
  if (!p) {
    ok_ = false;
    return {};
  }
  locked_[count_] = &s;
  planes_[count_] = TPlane{p, s.Pitch()};
  return planes_[count_++];
}

// ---- TWipeMask ----

TWipeMask::TWipeMask(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer) {}

TWipeMask::~TWipeMask() = default;

void TWipeMask::SetParam(int32_t index, int32_t value) {
  if (index == 0) Params[0] = std::max(value, 2);
  if (index == 1) Params[1] = std::max(value, 1);
}

void TWipeMask::Prepare() {
  Mask.SetSize(Dest.Width(), std::max(MaskHeight(), 0), 8);
  Mask.FillRect(Mask.BoundsRect(), 0);
  LastStep = -1;
}

bool TWipeMask::MaskFits() {
  return Mask.BitCount() == 8 && !Mask.IsEmpty() && Mask.Width() == Dest.Width() && Mask.Height() == MaskHeight();
}

bool TWipeMask::Step() {
  if (BeginStep() || Length < 1) return true;
  if (!MaskFits() || !UpdateMask()) return false;
  const int32_t storage = Dest.StorageBitCount();
  const int32_t bytes = Dest.BytesPerPixel();
  if (FastPath && (storage == 16 || storage == 32) && draw::FormatOf(Dest) != TFormat::None &&
      OldLayer.BytesPerPixel() == bytes && NewLayer.BytesPerPixel() == bytes) {
    ComposeDirect();
  } else {
    ComposeThroughSurfaces();
  }
  return false;
}

// The rule of Assign then DrawMask, row by row: the old layer's row (the part inside Dest), then
// the new layer's row through the mask row (the part inside Dest), both by the pixel operations
// of Dest's format with DrawMask's arguments.
void TWipeMask::ComposeDirect() {
  TWipeLocks locks;
  const TWipeLocks::TPlane d = locks.Lock(Dest);
  const TWipeLocks::TPlane o = locks.Lock(OldLayer);
  const TWipeLocks::TPlane n = locks.Lock(NewLayer);
  const TWipeLocks::TPlane m = locks.Lock(Mask);
  if (!locks.Ok()) return;
  const TFormat f = draw::FormatOf(Dest);
  const pixels::TPixelOps& ops = pixels::PixelOps();
  const pixels::TRowFn copy = ops.Row(TOp::Copy, f);
  const pixels::TRowFn blend = ops.Row(TOp::Mask, f);
  pixels::TOpArgs a;
  a.skip_equal = DrawResultRule(Dest) == TDrawRule::Row;
  const int32_t w = Dest.Width(), h = Dest.Height(), mh = Mask.Height();
  const int32_t copy_w = &OldLayer == &Dest ? 0 : std::min(OldLayer.Width(), w);
  const int32_t copy_h = std::min(OldLayer.Height(), h);
  const int32_t mix_w = std::min(NewLayer.Width(), w);
  const int32_t mix_h = std::min(NewLayer.Height(), h);
  // Rows in the order of rising addresses of Dest (bottom-up storage from the last row).
  const bool upward = d.pitch < 0;
  for (int32_t i = 0; i < h; ++i) {
    const int32_t y = upward ? h - 1 - i : i;
    uint8_t* row = d.Row(y);
    if (y < copy_h && copy_w > 0) copy(row, o.Row(y), nullptr, copy_w, 1, a);
    if (y < mix_h && mix_w > 0) blend(row, n.Row(y), m.Row(y % mh), mix_w, 1, a);
  }
}

void TWipeMask::ComposeThroughSurfaces() {
  ClipWhole();
  Dest.Assign(OldLayer);
  TCustomDIBX* mask = &Mask;
  const int32_t w = Mask.Width(), h = Dest.Height(), mh = Mask.Height();
  if (mh != h) {
    full_mask_.SetSize(w, h, 8);
    if (full_mask_.Width() != w || full_mask_.Height() != h) return;
    for (int32_t y = 0; y < h; ++y) std::memcpy(full_mask_.Surface().RowAddress(y), MaskRow(y % mh), size_t(w));
    mask = &full_mask_;
  }
  Dest.DrawMask(0, 0, NewLayer, NewLayer.BoundsRect(), false, false, *mask);
}

}  // namespace kova
