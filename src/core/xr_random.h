// A small deterministic generator: the same seed gives the same sequence on every machine. It yields
// raw 32-bit values (a keystream) and draws of 0 .. n-1 in a seed-fixed order without repeats.
#pragma once

#include <cstdint>
#include <vector>

namespace kova {

class TXrRandom {
 public:
  explicit TXrRandom(uint32_t seed) : seed_(seed) {}

  // One step, state := state * 5 + seed (mod 2^32); returns the new state.
  uint32_t Raw() { return Step(); }
  // Refills the draw list with 0, 1, .., n-1 (empty for n <= 0). The state is kept.
  void SetRange(int32_t n);
  // One step, then removes and returns entry (state mod entries left) of the draw list. Raises
  // EListError when the list is empty.
  int32_t Next();

  uint32_t Seed() const { return seed_; }
  uint32_t State() const { return state_; }
  // n of the last SetRange.
  int32_t Range() const { return range_; }
  // Entries left in the draw list.
  int32_t Remaining() const { return remaining_; }

 private:
  uint32_t Step() {
    state_ = state_ * 5u + seed_;
    return state_;
  }

  uint32_t seed_;
  uint32_t state_ = 0;
  int32_t range_ = 0;
  int32_t remaining_ = 0;
  // The draw list as a bit set of the numbers not yet drawn, with a Fenwick tree of the set bits
  // per 64-bit word, so that finding and removing the k-th remaining number costs O(log n). The
  // word count is padded to a power of two with empty words, so the search needs no bounds test.
  std::vector<uint64_t> words_;
  std::vector<uint32_t> tree_;  // 1-based, words_.size() + 1 entries
};

}  // namespace kova
