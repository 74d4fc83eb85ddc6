#include "script/sysfunc_random.h"

namespace kova {

int32_t ScriptRandom(std::mt19937_64& generator, int32_t n) {
  if (n <= 0) return 0;
  // The high 32 bits of a draw scaled to n: a range of n values without a division.
  const uint64_t draw = generator() >> 32;
  return static_cast<int32_t>((draw * static_cast<uint64_t>(n)) >> 32);
}

}  // namespace kova
