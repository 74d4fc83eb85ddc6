// The transition kinds by number (WP_NONE 0 .. WP_CLOCKHAND 31, core/vocabulary.h) and their
// default parameters.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "motion/wipe.h"

namespace kova {

// The default parameters (p0, p1) of every kind, indexed by kind (kind 0's pair is never applied).
const std::array<std::array<int32_t, 2>, 32>& WipeDefaultParams();

// A transition of `kind` drawing into `dest` from `old_layer` to `new_layer`, with the kind's
// default parameters applied through SetParam (so the kind's limits and rebuilds run); nullptr
// for kind 0 (no transition) and for kinds of 32 and above.
std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                                        TCustomDIBX& new_layer);

}  // namespace kova
