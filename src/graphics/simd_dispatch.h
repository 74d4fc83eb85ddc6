// The instruction set the drawing rows use: detected once from the processor, overridable by the
// environment variable KOVA_SIMD (scalar, sse2 or avx2) and by SetSimdLevel (tests). Every level
// gives the same pixels; only the speed differs.
#pragma once

#include <string_view>

#include "graphics/kernels/row32.h"

namespace kova {

enum class TSimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// The best level this processor runs.
TSimdLevel SupportedSimdLevel();
// The level in use: KOVA_SIMD when set (capped at the supported level), else the supported one.
TSimdLevel ActiveSimdLevel();
// Forces a level (capped at the supported level); returns the level now in use.
TSimdLevel SetSimdLevel(TSimdLevel level);
std::string_view SimdLevelName(TSimdLevel level);

// The 32-bit row routines of a level, and of the active level.
const kernels::TRow32Kernels& Row32Kernels(TSimdLevel level);
const kernels::TRow32Kernels& Row32Kernels();

}  // namespace kova
