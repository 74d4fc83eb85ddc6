// The run-time random draws behind the Random system function, from the generator of the script
// host (one per session, seeded from the clock; tests seed it for repeatable runs).
#pragma once

#include <cstdint>
#include <random>

namespace kova {

// A draw from 0 to n - 1; 0 when n is 0 or less.
int32_t ScriptRandom(std::mt19937_64& generator, int32_t n);

}  // namespace kova
