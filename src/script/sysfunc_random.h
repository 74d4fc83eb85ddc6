// The run-time random generator behind the Random system function: one per process, seeded from
// the clock when first used; tests and the command line may seed it for repeatable runs.
#pragma once

#include <cstdint>

namespace kova {

// Restarts the generator from `seed`.
void SeedScriptRandom(uint64_t seed);
// A draw from 0 to n - 1; 0 when n is 0 or less.
int32_t ScriptRandom(int32_t n);

}  // namespace kova
