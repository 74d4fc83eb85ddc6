// Character-wise Shift-JIS routines: counting, cutting, searching and trimming.
//
// Every routine that looks for characters walks forward from the start of the string (64 bytes at
// a time where it can, see sjis_scan.h). A byte that fails the lead-byte test always ends a
// character, so the forward walk finds the same character boundaries as testing each byte
// backwards, without the cost of going back over long runs of double-byte text; only the
// single-byte query SjisIsSecondByte tests backwards.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/errors.h"
#include "core/sjis.h"
#include "core/sjis_scan.h"

namespace kova {
namespace {

using sjis_scan::LeadStep;
using sjis_scan::TBlockWalker;

// The width in bytes of the character at s[i] (i < s.size()): a lead byte that ends the string
// is one character by itself.
inline size_t CharWidth(std::string_view s, size_t i) {
  return (LeadStep(s[i]) && i + 1 < s.size()) ? 2 : 1;
}

// The offset of the character that follows `skip` characters (skip >= 0), at most s.size().
size_t SkipChars(std::string_view s, int64_t skip) {
  if (skip <= 0) return 0;
  TBlockWalker walk(s);
  while (walk.HasBlock()) {
    const size_t at = walk.Pos();
    uint64_t starts = ~walk.Next(sjis_scan::LeadMask(walk.Block()));
    const int in_block = std::popcount(starts);
    if (skip < in_block) {
      for (int64_t k = 0; k < skip; ++k) starts &= starts - 1;
      return at + size_t(std::countr_zero(starts));
    }
    skip -= in_block;
  }
  size_t b = walk.Rest();
  const size_t n = s.size();
  for (; skip > 0 && b < n; --skip) b += 1 + LeadStep(s[b]);
  return std::min(b, n);
}

// The 0-based byte offset of character `index` (1-based), or s.size() when the string has fewer
// characters.
size_t ByteOffsetOf(std::string_view s, int64_t index) { return SkipChars(s, index - 1); }

// The offset reached from the character start `b` after stepping over `count` characters, at most
// s.size().
size_t StepChars(std::string_view s, size_t b, int64_t count) {
  return b + SkipChars(s.substr(b), count);
}

// A set of delimiter bytes.
class TByteSet {
 public:
  explicit TByteSet(std::string_view bytes) {
    for (char c : bytes) bits_[static_cast<uint8_t>(c)] = true;
  }
  bool Has(char c) const { return bits_[static_cast<uint8_t>(c)]; }

 private:
  std::array<bool, 256> bits_{};
};

// Delimiter lists up to this length are compared block-wise.
constexpr size_t kBlockDelimiters = 4;

// The 0-based offset of the first delimiter that begins a character, or s.size().
size_t FindDelimiter(std::string_view s, std::string_view delimiters) {
  const size_t n = s.size();
  TBlockWalker walk(s);
  if (delimiters.size() <= kBlockDelimiters) {
    while (walk.HasBlock()) {
      const size_t at = walk.Pos();
      const uint64_t hits = sjis_scan::EqualMask(walk.Block(), delimiters);
      const uint64_t trail = walk.Next(sjis_scan::LeadMask(walk.Block()));
      if (hits & ~trail) return at + size_t(std::countr_zero(hits & ~trail));
    }
  }
  const TByteSet set(delimiters);
  size_t i = walk.Rest();
  while (i < n && !set.Has(s[i])) i += 1 + LeadStep(s[i]);
  return std::min(i, n);
}

}  // namespace

int SjisLength(std::string_view s) {
  TBlockWalker walk(s);
  size_t trails = 0;
  while (walk.HasBlock()) trails += size_t(std::popcount(walk.Next(sjis_scan::LeadMask(walk.Block()))));
  size_t count = walk.Pos() - trails;
  const size_t n = s.size();
  for (size_t i = walk.Rest(); i < n; ++count) i += 1 + LeadStep(s[i]);
  return int(count);
}

int SjisCharToByte(std::string_view s, int i) { return int(ByteOffsetOf(s, i)) + 1; }

int SjisCharAt(std::string_view s, int i) {
  if (i < 1) return 0;
  const size_t b = ByteOffsetOf(s, i);
  if (b >= s.size()) return 0;
  const auto lead = static_cast<uint8_t>(s[b]);
  if (CharWidth(s, b) == 1) return lead;
  return lead << 8 | static_cast<uint8_t>(s[b + 1]);
}

bool SjisIsSecondByte(std::string_view s, int p) {
  if (p < 1 || size_t(p) > s.size()) Raise<EListError>(TMsg::IllegalIndex);
  // Count the lead-test bytes directly before p; an odd run makes p a trail byte.
  size_t run = 0;
  for (size_t j = size_t(p) - 1; j > 0 && LeadStep(s[j - 1]); --j) ++run;
  return run % 2 == 1;
}

std::string SjisCopy(std::string_view s, int index, int count) {
  if (count <= 0 || s.empty()) return {};
  const int64_t last = int64_t(index) + count - 1;
  const int64_t first = std::max<int64_t>(index, 1);
  if (last < first) return {};
  const size_t b = ByteOffsetOf(s, first);
  const size_t e = StepChars(s, b, last - first + 1);
  return std::string(s.substr(b, e - b));
}

void SjisInsert(std::string_view sub, std::string& s, int index) {
  s.insert(ByteOffsetOf(s, std::max(index, 1)), sub);
}

void SjisDelete(std::string& s, int index, int count) {
  const size_t b = ByteOffsetOf(s, std::max(index, 1));
  if (b >= s.size() || count <= 0) return;
  s.erase(b, StepChars(s, b, count) - b);
}

int SjisPos(std::string_view sub, std::string_view s) {
  if (sub.empty() || sub.size() > s.size()) return 0;
  const size_t last = s.size() - sub.size();  // the last offset where sub still fits
  const char first = sub[0];
  int n = 1;
  for (size_t b = 0; b <= last; ++n) {
    if (s[b] == first && std::memcmp(s.data() + b, sub.data(), sub.size()) == 0) return n;
    b += 1 + LeadStep(s[b]);
  }
  return 0;
}

bool SjisFetchToken(std::string_view& s, std::string_view delimiters, std::string_view& token) {
  const size_t d = delimiters.empty() ? s.size() : FindDelimiter(s, delimiters);
  token = s.substr(0, d);
  if (d >= s.size()) {
    s = s.substr(s.size());
    return false;
  }
  s.remove_prefix(d + 1);
  return true;
}

bool SjisFetchToken(std::string& s, std::string_view delimiters, std::string& token) {
  const size_t d = delimiters.empty() ? s.size() : FindDelimiter(s, delimiters);
  if (d >= s.size()) {
    token = std::move(s);
    s.clear();
    return false;
  }
  token.assign(s, 0, d);
  s.erase(0, d + 1);
  return true;
}

std::string SjisTrim(std::string_view s) {
  const size_t n = s.size();
  size_t begin = n, end = 0;
  for (size_t i = 0; i < n;) {
    const size_t w = CharWidth(s, i);
    const bool blank = w == 1 ? s[i] == ' ' : (s[i] == '\x81' && s[i + 1] == '\x40');
    if (!blank) {
      begin = std::min(begin, i);
      end = i + w;
    }
    i += w;
  }
  return begin < end ? std::string(s.substr(begin, end - begin)) : std::string();
}

}  // namespace kova
