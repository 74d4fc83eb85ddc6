#include "graphics/simd_dispatch.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace kova {

namespace {

TSimdLevel Detect() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return TSimdLevel::Avx2;
  if (__builtin_cpu_supports("sse2")) return TSimdLevel::Sse2;
#endif
  return TSimdLevel::Scalar;
}

TSimdLevel Cap(TSimdLevel level) {
  const TSimdLevel best = SupportedSimdLevel();
  return int(level) > int(best) ? best : level;
}

TSimdLevel FromEnvironment() {
  const char* v = std::getenv("KOVA_SIMD");
  if (v) {
    if (std::strcmp(v, "scalar") == 0) return Cap(TSimdLevel::Scalar);
    if (std::strcmp(v, "sse2") == 0) return Cap(TSimdLevel::Sse2);
    if (std::strcmp(v, "avx2") == 0) return Cap(TSimdLevel::Avx2);
  }
  return SupportedSimdLevel();
}

std::atomic<int>& Active() {
  static std::atomic<int> level{int(FromEnvironment())};
  return level;
}

}  // namespace

TSimdLevel SupportedSimdLevel() {
  static const TSimdLevel level = Detect();
  return level;
}

TSimdLevel ActiveSimdLevel() { return TSimdLevel(Active().load(std::memory_order_relaxed)); }

TSimdLevel SetSimdLevel(TSimdLevel level) {
  const TSimdLevel capped = Cap(level);
  Active().store(int(capped), std::memory_order_relaxed);
  return capped;
}

std::string_view SimdLevelName(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::Sse2: return "sse2";
    case TSimdLevel::Avx2: return "avx2";
    default: return "scalar";
  }
}

}  // namespace kova
