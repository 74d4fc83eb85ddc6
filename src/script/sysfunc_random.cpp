#include "script/sysfunc_random.h"

#include <chrono>
#include <random>

namespace kova {
namespace {

std::mt19937_64& Generator() {
  static std::mt19937_64 generator(
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  return generator;
}

}  // namespace

void SeedScriptRandom(uint64_t seed) { Generator().seed(seed); }

int32_t ScriptRandom(int32_t n) {
  if (n <= 0) return 0;
  // The high 32 bits of a draw scaled to n: a range of n values without a division.
  const uint64_t draw = Generator()() >> 32;
  return static_cast<int32_t>((draw * static_cast<uint64_t>(n)) >> 32);
}

}  // namespace kova
