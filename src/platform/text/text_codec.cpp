#include "platform/text/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <stdexcept>
#include <utility>

namespace kova::plat {
namespace {

const char* IconvName(TCodePage cp) {
  switch (cp) {
    case TCodePage::Cp932: return "CP932";
    case TCodePage::EucJp: return "EUC-JP";
    case TCodePage::Utf8: return "UTF-8";
  }
  return "UTF-8";
}

// One conversion descriptor per direction and thread (a descriptor carries shift state and must
// not be shared between threads).
class TIconvCache {
 public:
  ~TIconvCache() {
    for (auto& [key, cd] : handles_) iconv_close(cd);
  }
  iconv_t Get(TCodePage from, TCodePage to) {
    auto key = std::make_pair(from, to);
    auto it = handles_.find(key);
    if (it != handles_.end()) {
      iconv(it->second, nullptr, nullptr, nullptr, nullptr);  // reset shift state
      return it->second;
    }
    iconv_t cd = iconv_open(IconvName(to), IconvName(from));
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    handles_.emplace(key, cd);
    return cd;
  }

 private:
  std::map<std::pair<TCodePage, TCodePage>, iconv_t> handles_;
};

// Length in bytes of the character starting at `p` in the source code page, used to skip an
// invalid or unmappable character.
std::size_t CharLength(const unsigned char* p, std::size_t left, TCodePage cp) {
  if (left == 0) return 0;
  unsigned char c = p[0];
  switch (cp) {
    case TCodePage::Cp932: {
      // A lead byte takes its trail only when that byte can be one; otherwise the following byte
      // (often plain ASCII) is converted on its own.
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      if (lead && left >= 2 && p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F) return 2;
      return 1;
    }
    case TCodePage::EucJp: {
      auto euc = [](unsigned char b) { return b >= 0xA1 && b <= 0xFE; };
      if (c == 0x8F) return left >= 3 && euc(p[1]) && euc(p[2]) ? 3 : 1;
      if ((c == 0x8E || euc(c)) && left >= 2 && euc(p[1])) return 2;
      return 1;
    }
    case TCodePage::Utf8: {
      std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
      if (n > left) return 1;
      for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 1;
      return n;
    }
  }
  return 1;
}

}  // namespace

TConvertResult ConvertText(std::string_view in, TCodePage from, TCodePage to) {
  thread_local TIconvCache cache;
  TConvertResult result;
  if (in.empty()) return result;
  iconv_t cd = cache.Get(from, to);

  std::string& out = result.text;
  out.resize(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  std::size_t used = 0;
  while (src_left > 0) {
    char* dst = out.data() + used;
    std::size_t dst_left = out.size() - used;
    std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    used = out.size() - dst_left;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ: an invalid or unmappable character; replace it and go on. EINVAL: the input ends
    // inside a character; the incomplete rest is one replaced character.
    std::size_t skip = errno == EINVAL
                           ? src_left
                           : CharLength(reinterpret_cast<unsigned char*>(src), src_left, from);
    if (skip == 0) break;
    src += skip;
    src_left -= skip;
    if (used + 1 > out.size()) out.resize(out.size() * 2);
    out[used++] = '?';
    ++result.unmapped;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return result;
}

std::string Cp932ToUtf8(std::string_view in) {
  return ConvertText(in, TCodePage::Cp932, TCodePage::Utf8).text;
}

std::string Utf8ToCp932(std::string_view in) {
  return ConvertText(in, TCodePage::Utf8, TCodePage::Cp932).text;
}

namespace {

// Characters input methods give where code page 932 has its own look-alike.
struct TLookAlike {
  char32_t code;
  const char* bytes;
};
constexpr TLookAlike kLookAlikes[] = {
    {0x00A5, "\x5C"},     {0x203E, "\x7E"},     {0x301C, "\x81\x60"}, {0x2016, "\x81\x61"},
    {0x2212, "\x81\x7C"}, {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00AC, "\x81\xCA"},
};

// The code point of a whole UTF-8 character of `n` bytes.
char32_t CodePoint(const unsigned char* p, std::size_t n) {
  if (n == 1) return p[0];
  char32_t c = p[0] & (0xFF >> (n + 1));
  for (std::size_t i = 1; i < n; ++i) c = (c << 6) | (p[i] & 0x3F);
  return c;
}

}  // namespace

std::string Utf8ToCp932Held(std::string_view in, std::size_t* refused) {
  std::string out;
  std::size_t left_out = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  std::size_t left = in.size();
  while (left > 0) {
    const std::size_t n = CharLength(p, left, TCodePage::Utf8);
    const bool whole = n > 1 || p[0] < 0x80;
    bool taken = false;
    if (whole) {
      const char32_t code = CodePoint(p, n);
      for (const TLookAlike& a : kLookAlikes) {
        if (a.code == code) {
          out += a.bytes;
          taken = true;
          break;
        }
      }
      if (!taken) {
        const TConvertResult r = ConvertText(std::string_view(reinterpret_cast<const char*>(p), n), TCodePage::Utf8,
                                             TCodePage::Cp932);
        if (r.unmapped == 0 && !r.text.empty()) {
          out += r.text;
          taken = true;
        }
      }
    }
    if (!taken) ++left_out;
    p += n;
    left -= n;
  }
  if (refused) *refused = left_out;
  return out;
}

}  // namespace kova::plat
