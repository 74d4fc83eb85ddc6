#include "motion/wipe.h"

#include "graphics/dibx.h"

namespace kova {

TCustomWipe::TCustomWipe(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : Dest(dest), OldLayer(old_layer), NewLayer(new_layer), env_(env) {}

TCustomWipe::~TCustomWipe() = default;

int32_t TCustomWipe::GetParam(int32_t index) const {
  return index == 0 || index == 1 ? Params[size_t(index)] : 0;
}

void TCustomWipe::SetParam(int32_t index, int32_t value) {
  if (index == 0 || index == 1) Params[size_t(index)] = value;
}

bool TCustomWipe::BeginStep() {
  UpdateRect = Dest.BoundsRect();
  return Position >= Length;
}

void TCustomWipe::ClipWhole() {
  // The clip grows to hold the rectangle: with the bounds it is the whole surface.
  Dest.AddClipRect(Dest.BoundsRect());
}

}  // namespace kova
