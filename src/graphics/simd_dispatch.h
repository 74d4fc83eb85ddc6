// The instruction set the drawing rows use: detected once from the processor, overridable by the
// environment variable KOVA_SIMD (scalar, sse2 or avx2) and by SetSimdLevel (tests). Every level
// gives the same pixels; only the speed differs. The row routines of each level are the tables of
// pixels/ops.h.
#pragma once

#include <string_view>

namespace kova {

enum class TSimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

// The best level this processor runs.
TSimdLevel SupportedSimdLevel();
// The level in use: KOVA_SIMD when set (capped at the supported level), else the supported one.
TSimdLevel ActiveSimdLevel();
// Forces a level (capped at the supported level); returns the level now in use.
TSimdLevel SetSimdLevel(TSimdLevel level);
std::string_view SimdLevelName(TSimdLevel level);

}  // namespace kova
