#include "core/xr_random.h"

#include <array>
#include <bit>

#include "core/errors.h"

namespace kova {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

// kSelectInByte[b * 8 + k]: position of the k-th (from 0) set bit of byte b.
constexpr std::array<uint8_t, 256 * 8> kSelectInByte = [] {
  std::array<uint8_t, 256 * 8> t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned k = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (b & (1u << bit)) t[b * 8 + k++] = static_cast<uint8_t>(bit);
    }
  }
  return t;
}();

// Position of the k-th (from 0) set bit of `w`, which holds more than k set bits. Broadword: the
// running bit counts per byte locate the byte, a table the bit within it.
inline uint32_t SelectBit(uint64_t w, uint32_t k) {
  uint64_t s = w - ((w >> 1) & 0x5555555555555555ull);
  s = (s & 0x3333333333333333ull) + ((s >> 2) & 0x3333333333333333ull);
  s = (s + (s >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  const uint64_t running = s * kOnes;  // byte i: set bits in bytes 0..i (at most 64)
  // High bit of byte i set where running[i] <= k; those bytes come first.
  const uint64_t at_most_k = ((k * kOnes) | kHighs) - running;
  const auto byte = static_cast<uint32_t>((((at_most_k & kHighs) >> 7) * kOnes) >> 56);
  const auto before = static_cast<uint32_t>(((running << 8) >> (8 * byte)) & 0xFF);
  const auto bits = static_cast<uint32_t>((w >> (8 * byte)) & 0xFF);
  return 8 * byte + kSelectInByte[bits * 8 + (k - before)];
}

}  // namespace

void TXrRandom::SetRange(int32_t n) {
  range_ = n;
  remaining_ = n > 0 ? n : 0;
  const size_t count = static_cast<size_t>(remaining_);
  const size_t used_words = (count + 63) / 64;
  const size_t word_count = used_words ? std::bit_ceil(used_words) : 0;
  words_.assign(word_count, 0);
  for (size_t i = 0; i < used_words; ++i) words_[i] = ~uint64_t{0};
  if (count % 64) words_[used_words - 1] = (uint64_t{1} << (count % 64)) - 1;
  // Linear build: each node adds its total into its parent.
  tree_.assign(word_count + 1, 0);
  for (size_t i = 1; i <= word_count; ++i) {
    tree_[i] += static_cast<uint32_t>(std::popcount(words_[i - 1]));
    const size_t parent = i + (i & (~i + 1));
    if (parent <= word_count) tree_[parent] += tree_[i];
  }
}

int32_t TXrRandom::Next() {
  if (remaining_ <= 0) Raise<EListError>(TMsg::RandomEmptyDraw);
  uint32_t k = Step() % static_cast<uint32_t>(remaining_);
  // The word holding the k-th remaining number follows the longest prefix of words that holds at
  // most k of them. Branch-free: the steps' outcomes are unpredictable.
  const auto word_count = static_cast<uint32_t>(words_.size());
  uint32_t pos = 0;
  for (uint32_t step = word_count >> 1; step; step >>= 1) {
    const uint32_t count = tree_[pos + step];
    const uint32_t take = 0u - static_cast<uint32_t>(count <= k);
    pos += step & take;
    k -= count & take;
  }
  const uint32_t bit = SelectBit(words_[pos], k);
  words_[pos] &= ~(uint64_t{1} << bit);
  for (uint32_t i = pos + 1; i <= word_count; i += i & (~i + 1)) --tree_[i];
  --remaining_;
  return static_cast<int32_t>(pos * 64 + bit);
}

}  // namespace kova
