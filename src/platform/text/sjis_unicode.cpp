#include "platform/text/sjis_unicode.h"

#include <iconv.h>

#include <stdexcept>

namespace kova::plat {
namespace {

class TIconv {
 public:
  TIconv() : cd_(iconv_open("UTF-32LE", "CP932")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open CP932 failed");
  }
  ~TIconv() { iconv_close(cd_); }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  // The one character that `bytes` convert to, or 0.
  char32_t Convert(const char* bytes, size_t n) {
    char in[2] = {bytes[0], n > 1 ? bytes[1] : '\0'};
    unsigned char out[8] = {};
    char* in_p = in;
    char* out_p = reinterpret_cast<char*>(out);
    size_t in_left = n;
    size_t out_left = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &in_p, &in_left, &out_p, &out_left) == static_cast<size_t>(-1) || in_left != 0 ||
        sizeof out - out_left != 4) {
      return 0;
    }
    return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 |
                                 static_cast<uint32_t>(out[3]) << 24);
  }

 private:
  iconv_t cd_;
};

constexpr bool IsLead(unsigned c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool IsTrail(unsigned c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

}  // namespace

TSjisUnicodeTable::TSjisUnicodeTable() : table_(new char16_t[0x10000]()) {
  TIconv conv;
  auto put = [&](unsigned code, char32_t ch) {
    // Every character of the code page lies in the basic plane; anything else counts as none.
    table_[code] = ch < 0x20 || ch == 0x7F || ch > 0xFFFF ? u'\0' : static_cast<char16_t>(ch);
  };
  for (unsigned c = 0x20; c < 0x100; ++c) {
    if (IsLead(c)) continue;
    const char b = static_cast<char>(c);
    put(c, conv.Convert(&b, 1));
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLead(lead)) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsTrail(trail)) continue;
      const char b[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      put(lead << 8 | trail, conv.Convert(b, 2));
    }
  }
  table_[0x5C] = u'\u00A5';
}

}  // namespace kova::plat
