// Block scanning of Shift-JIS text, 64 bytes at a time: which bytes pass the lead-byte test, which
// bytes are trail bytes, and which bytes equal one of a few given values. Internal to the Shift-JIS
// routines.
//
// Trail bytes follow from the lead bytes alone: in a run of bytes that pass the lead-byte test the
// first starts a character (a byte that fails the test always ends one), so every second byte of
// the run is a trail byte, and the byte after the run is one when the run's length is odd.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/sjis.h"

namespace kova::sjis_scan {

constexpr size_t kBlock = 64;

// 1 for a byte that begins a double-byte character, else 0.
inline constexpr std::array<uint8_t, 256> kLeadStep = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) t[size_t(c)] = IsSjisLeadByte(uint8_t(c)) ? 1 : 0;
  return t;
}();

inline size_t LeadStep(char c) { return kLeadStep[static_cast<uint8_t>(c)]; }

#if defined(__SSE2__)
inline uint64_t LeadMask16(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  // 0x81 .. 0x9F moved to 0x00 .. 0x1E, and 0xE0 .. 0xFC to 0x00 .. 0x1C; then unsigned <=.
  const __m128i a = _mm_add_epi8(x, _mm_set1_epi8(0x7F));
  const __m128i b = _mm_add_epi8(x, _mm_set1_epi8(0x20));
  const __m128i in_a = _mm_cmpeq_epi8(_mm_min_epu8(a, _mm_set1_epi8(0x1E)), a);
  const __m128i in_b = _mm_cmpeq_epi8(_mm_min_epu8(b, _mm_set1_epi8(0x1C)), b);
  return uint16_t(_mm_movemask_epi8(_mm_or_si128(in_a, in_b)));
}

inline uint64_t EqualMask16(const char* p, std::string_view values) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i any = _mm_setzero_si128();
  for (char v : values) any = _mm_or_si128(any, _mm_cmpeq_epi8(x, _mm_set1_epi8(v)));
  return uint16_t(_mm_movemask_epi8(any));
}

// Bit i set when byte p[i] passes the lead-byte test.
inline uint64_t LeadMask(const char* p) {
  return LeadMask16(p) | LeadMask16(p + 16) << 16 | LeadMask16(p + 32) << 32 | LeadMask16(p + 48) << 48;
}

// Bit i set when byte p[i] equals one of `values` (a short list).
inline uint64_t EqualMask(const char* p, std::string_view values) {
  return EqualMask16(p, values) | EqualMask16(p + 16, values) << 16 | EqualMask16(p + 32, values) << 32 |
         EqualMask16(p + 48, values) << 48;
}
#else
inline uint64_t LeadMask(const char* p) {
  uint64_t m = 0;
  for (size_t i = 0; i < kBlock; ++i) m |= uint64_t(LeadStep(p[i])) << i;
  return m;
}

inline uint64_t EqualMask(const char* p, std::string_view values) {
  uint64_t m = 0;
  for (size_t i = 0; i < kBlock; ++i)
    for (char v : values) m |= uint64_t(p[i] == v) << i;
  return m;
}
#endif

// The trail bytes of a block from its lead mask. `carry` (0 or 1) says whether the block's first
// byte is the trail of a character begun in the block before; it is updated for the next block.
inline uint64_t TrailMask(uint64_t lead, uint64_t& carry) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const uint64_t l = lead & ~carry;            // a trail byte from before starts no run
  const uint64_t starts = l & ~(l << 1);       // the first byte of every run
  const uint64_t even_starts = starts & kEven;
  const uint64_t odd_starts = starts & ~kEven;
  // Adding a run's first bit to the run clears it and sets the bit after it.
  const uint64_t even_sum = l + even_starts;
  uint64_t odd_sum;
  const bool odd_out = __builtin_add_overflow(l, odd_starts, &odd_sum);
  const uint64_t even_runs = (l & ~even_sum) | (even_sum & ~l);  // run bits and the bit after
  const uint64_t odd_runs = (l & ~odd_sum) | (odd_sum & ~l);
  const uint64_t trail = (even_runs & ~kEven) | (odd_runs & kEven) | carry;
  // A run that reaches the last bit from an odd start leaves its last lead byte without its
  // trail, which is then the first byte of the next block.
  carry = odd_out ? 1 : 0;
  return trail;
}

// Walks the character starts of a string block by block. Whole blocks are handed out while at least
// one is left; Rest() is where the scalar walk continues (a character start, or s.size()).
class TBlockWalker {
 public:
  explicit TBlockWalker(std::string_view s) : s_(s) {}
  bool HasBlock() const { return pos_ + kBlock <= s_.size(); }
  const char* Block() const { return s_.data() + pos_; }
  size_t Pos() const { return pos_; }
  // The trail mask of the current block; moves to the next block.
  uint64_t Next(uint64_t lead) {
    const uint64_t t = TrailMask(lead, carry_);
    pos_ += kBlock;
    return t;
  }
  size_t Rest() const { return pos_ + carry_; }

 private:
  std::string_view s_;
  size_t pos_ = 0;
  uint64_t carry_ = 0;
};

}  // namespace kova::sjis_scan
