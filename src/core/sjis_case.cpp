// The code-page 932 case fold.
#include <cstring>

#include "core/sjis.h"

namespace kova {
namespace {

// Double-byte letters with case: full-width Latin (0x8260.. upper, 0x8281.. lower, 26 each),
// Greek (0x839F.. upper, 0x83BF.. lower, 24 each) and Cyrillic (0x8440.. upper, 33 letters; the
// lower case runs 0x8470..0x847E, then skips 0x847F and runs 0x8480..0x8491).
uint16_t LowerDouble(uint16_t code) {
  if (code >= 0x8260 && code <= 0x8279) return uint16_t(code + 0x21);
  if (code >= 0x839F && code <= 0x83B6) return uint16_t(code + 0x20);
  if (code >= 0x8440 && code <= 0x8460) {
    int i = code - 0x8440;
    return uint16_t(i < 15 ? 0x8470 + i : 0x8480 + (i - 15));
  }
  return code;
}

uint16_t UpperDouble(uint16_t code) {
  if (code >= 0x8281 && code <= 0x829A) return uint16_t(code - 0x21);
  if (code >= 0x83BF && code <= 0x83D6) return uint16_t(code - 0x20);
  if (code >= 0x8470 && code <= 0x847E) return uint16_t(0x8440 + (code - 0x8470));
  if (code >= 0x8480 && code <= 0x8491) return uint16_t(0x8440 + 15 + (code - 0x8480));
  return code;
}

template <bool Upper>
std::string Fold(std::string_view s) {
  std::string out(s);
  const size_t n = out.size();
  for (size_t i = 0; i < n; ++i) {
    auto c = static_cast<uint8_t>(out[i]);
    if (IsSjisLeadByte(c) && i + 1 < n) {
      if (c == 0x82 || c == 0x83 || c == 0x84) {
        uint16_t code = uint16_t(c << 8 | static_cast<uint8_t>(out[i + 1]));
        uint16_t folded = Upper ? UpperDouble(code) : LowerDouble(code);
        out[i] = static_cast<char>(folded >> 8);
        out[i + 1] = static_cast<char>(folded & 0xFF);
      }
      ++i;
    } else if (Upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) {
      out[i] = static_cast<char>(c ^ 0x20);
    }
  }
  return out;
}

// Folds one character at s[i] (to lower case); returns its width in bytes and its folded code.
inline size_t FoldedCharAt(std::string_view s, size_t i, uint16_t& code) {
  auto c = static_cast<uint8_t>(s[i]);
  if (IsSjisLeadByte(c) && i + 1 < s.size()) {
    code = LowerDouble(uint16_t(c << 8 | static_cast<uint8_t>(s[i + 1])));
    return 2;
  }
  code = (c >= 'A' && c <= 'Z') ? uint16_t(c | 0x20) : c;
  return 1;
}

template <bool Upper>
void AsciiFoldInPlace(std::string& s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = s[i];
    if (IsSjisLeadByte(c)) {
      ++i;
    } else if (Upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z')) {
      s[i] = static_cast<char>(c ^ 0x20);
    }
  }
}

}  // namespace

std::string SjisAsciiLowerCase(std::string_view s) {
  std::string out(s);
  AsciiFoldInPlace<false>(out);
  return out;
}

std::string SjisAsciiUpperCase(std::string_view s) {
  std::string out(s);
  AsciiFoldInPlace<true>(out);
  return out;
}

void SjisAsciiUpperCaseInPlace(std::string& s) { AsciiFoldInPlace<true>(s); }

std::string SjisLowerCase(std::string_view s) { return Fold<false>(s); }
std::string SjisUpperCase(std::string_view s) { return Fold<true>(s); }

bool SjisSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return SjisCompareText(a, b) == 0;
}

int SjisCompareText(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    uint16_t ca, cb;
    i += FoldedCharAt(a, i, ca);
    j += FoldedCharAt(b, j, cb);
    if (ca != cb) {
      // Compare as the folded byte sequences would compare.
      uint8_t a0 = ca > 0xFF ? uint8_t(ca >> 8) : uint8_t(ca);
      uint8_t b0 = cb > 0xFF ? uint8_t(cb >> 8) : uint8_t(cb);
      if (a0 != b0) return a0 < b0 ? -1 : 1;
      return ca < cb ? -1 : 1;
    }
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace kova
