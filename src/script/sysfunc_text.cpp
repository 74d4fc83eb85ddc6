// Text system functions. The plain functions count bytes and the J functions Shift-JIS
// characters; whatever searches, folds or splits text does so only where characters begin, so a
// trail byte that looks like "\", "." or an ASCII letter is never taken for one.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/sjis.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/sysfunc_procs.h"
#include "script/sysfunc_util.h"

namespace kova::sysfunc {
namespace {

constexpr std::string_view kPathDelims = "\\:";

// The offset of the extension's "." (the last one after the last "\" or ":"), or npos.
size_t ExtOffset(std::string_view s) {
  const size_t dot = LastSingleByteOf(s, ".\\:");
  return (dot != std::string_view::npos && s[dot] == '.') ? dot : std::string_view::npos;
}

// The length of s's path part: up to and including its last "\" or ":".
size_t PathLength(std::string_view s) {
  const size_t d = LastSingleByteOf(s, kPathDelims);
  return d == std::string_view::npos ? 0 : d + 1;
}

// True when 1-based byte i of s lies inside s and begins a single-byte character.
bool IsSingleByteAt(std::string_view s, int32_t i) {
  if (i < 1 || static_cast<size_t>(i) > s.size()) return false;
  const size_t p = static_cast<size_t>(i) - 1;
  return !IsSjisLeadByte(s[p]) && IsCharStart(s, p);
}

int32_t ClampToInt(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The difference of the first differing bytes (unsigned), else of the lengths.
int32_t CompareBytes(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const auto [pa, pb] = std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n), b.begin());
  if (pa != a.begin() + static_cast<std::ptrdiff_t>(n)) {
    return int32_t(static_cast<uint8_t>(*pa)) - int32_t(static_cast<uint8_t>(*pb));
  }
  return ClampToInt(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

}  // namespace

// IntToHex(n, digits): upper-case hexadecimal of n as 32 bits, zero-padded to digits.
void IntToHex(TSysCall& call) {
  const auto n = static_cast<uint32_t>(call.Int(0));
  const int32_t digits = call.Int(1);
  CheckBuiltSize(call.Id(), static_cast<uint64_t>(std::max(digits, 0)));
  char buf[8];
  size_t len = 0;
  uint32_t v = n;
  do {
    buf[len++] = "0123456789ABCDEF"[v & 15];
    v >>= 4;
  } while (v != 0);
  std::string out;
  if (static_cast<int64_t>(digits) > static_cast<int64_t>(len)) out.assign(static_cast<size_t>(digits) - len, '0');
  while (len > 0) out += buf[--len];
  call.Dest().SetStr(out);
}

void JLength(TSysCall& call) { call.Dest().SetInt(SjisLength(call.Str(0))); }

// Copy(s, i [, n]): n bytes from byte i; a position below 1 counts as 1.
void Copy(TSysCall& call) {
  const std::string s = call.Str(0);
  const int64_t length = static_cast<int64_t>(s.size());
  const int64_t i = std::max<int64_t>(call.Int(1), 1);
  const int64_t n = call.Has(2) ? call.Int(2) : length;
  if (i > length || n <= 0) {
    call.Dest().SetStr("");
    return;
  }
  call.Dest().SetStr(std::string_view(s).substr(static_cast<size_t>(i - 1), static_cast<size_t>(std::min(n, length - i + 1))));
}

// JCopy(s, i [, n]): n characters from character i; n defaults to the byte length.
void JCopy(TSysCall& call) {
  const std::string s = call.Str(0);
  const int32_t n = call.Has(2) ? call.Int(2) : ClampToInt(static_cast<int64_t>(s.size()));
  call.Dest().SetStr(SjisCopy(s, call.Int(1), n));
}

// JDelete(var s, i [, n]): deletes n characters from character i; n defaults to the character
// length.
void JDelete(TSysCall& call) {
  TCustomParam& target = call.Var(0);
  std::string s = target.GetStr();
  const int32_t i = call.Int(1);
  const int32_t n = call.Has(2) ? call.Int(2) : SjisLength(s);
  SjisDelete(s, i, n);
  target.SetStr(s);
}

// Insert(sub, var s, i): sub before byte i, i clamped to 1 .. length + 1.
void Insert(TSysCall& call) {
  const std::string sub = call.Str(0);
  TCustomParam& target = call.Var(1);
  std::string s = target.GetStr();
  const int64_t i = std::clamp<int64_t>(call.Int(2), 1, static_cast<int64_t>(s.size()) + 1);
  CheckBuiltSize(call.Id(), uint64_t(s.size()) + sub.size());
  s.insert(static_cast<size_t>(i - 1), sub);
  target.SetStr(s);
}

// JInsert(sub, var s, i): sub before character i.
void JInsert(TSysCall& call) {
  const std::string sub = call.Str(0);
  TCustomParam& target = call.Var(1);
  std::string s = target.GetStr();
  CheckBuiltSize(call.Id(), uint64_t(s.size()) + sub.size());
  SjisInsert(sub, s, call.Int(2));
  target.SetStr(s);
}

void CompareStr(TSysCall& call) { call.Dest().SetInt(CompareBytes(call.Str(0), call.Str(1))); }

// CompareText(a, b): CompareStr with the ASCII letters of single-byte characters taken as upper
// case.
void CompareText(TSysCall& call) { call.Dest().SetInt(CompareBytes(SjisAsciiUpperCase(call.Str(0)), SjisAsciiUpperCase(call.Str(1)))); }

// Pos(sub, s): the byte position of the first sub in s; 0 when none or sub is empty.
void Pos(TSysCall& call) {
  const std::string sub = call.Str(0);
  const std::string s = call.Str(1);
  const size_t p = sub.empty() ? std::string::npos : s.find(sub);
  call.Dest().SetInt(p == std::string::npos ? 0 : ClampToInt(static_cast<int64_t>(p) + 1));
}

void JPos(TSysCall& call) { call.Dest().SetInt(SjisPos(call.Str(0), call.Str(1))); }

// Trim(s): without leading and trailing bytes of value 32 or less.
void Trim(TSysCall& call) {
  const std::string s = call.Str(0);
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 32) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 32) --e;
  call.Dest().SetStr(std::string_view(s).substr(b, e - b));
}

void JTrim(TSysCall& call) { call.Dest().SetStr(SjisTrim(call.Str(0))); }

// FixStr(s): drops a last lead byte that begins no complete character (strings of two bytes or
// more).
void FixStr(TSysCall& call) {
  std::string s = call.Str(0);
  if (s.size() >= 2 && IsSjisLeadByte(s.back()) && IsCharStart(s, s.size() - 1)) s.pop_back();
  call.Dest().SetStr(s);
}

void LowerCase(TSysCall& call) { call.Dest().SetStr(SjisAsciiLowerCase(call.Str(0))); }
void UpperCase(TSysCall& call) { call.Dest().SetStr(SjisAsciiUpperCase(call.Str(0))); }

void ExtractFilePath(TSysCall& call) {
  const std::string s = call.Str(0);
  call.Dest().SetStr(std::string_view(s).substr(0, PathLength(s)));
}

void ExtractFileName(TSysCall& call) {
  const std::string s = call.Str(0);
  call.Dest().SetStr(std::string_view(s).substr(PathLength(s)));
}

void ExtractFileExt(TSysCall& call) {
  const std::string s = call.Str(0);
  const size_t dot = ExtOffset(s);
  call.Dest().SetStr(dot == std::string::npos ? std::string_view() : std::string_view(s).substr(dot));
}

// IsPathDelimiter(s, i): byte i is a "\" that begins a character.
void IsPathDelimiter(TSysCall& call) {
  const std::string s = call.Str(0);
  const int32_t i = call.Int(1);
  call.Dest().SetFlag(IsSingleByteAt(s, i) && s[static_cast<size_t>(i) - 1] == '\\');
}

void AddBackSlash(TSysCall& call) {
  std::string s = call.Str(0);
  if (!(!s.empty() && s.back() == '\\' && IsCharStart(s, s.size() - 1))) s += '\\';
  call.Dest().SetStr(s);
}

// ChangeFileExt(s, ext): s with its extension replaced by ext (appended when it has none).
void ChangeFileExt(TSysCall& call) {
  std::string s = call.Str(0);
  const std::string ext = call.Str(1);
  const size_t dot = ExtOffset(s);
  if (dot != std::string::npos) s.resize(dot);
  CheckBuiltSize(call.Id(), uint64_t(s.size()) + ext.size());
  s += ext;
  call.Dest().SetStr(s);
}

// IsDelimiter(delims, s, i): byte i of s is a single-byte character that is one of the
// single-byte characters of delims.
void IsDelimiter(TSysCall& call) {
  const std::string delims = call.Str(0);
  const std::string s = call.Str(1);
  const int32_t i = call.Int(2);
  bool found = false;
  if (IsSingleByteAt(s, i)) {
    found = LastSingleByteOf(delims, std::string_view(&s[static_cast<size_t>(i) - 1], 1)) != std::string_view::npos;
  }
  call.Dest().SetFlag(found);
}

// StringOfChar(s, n): s repeated n times.
void StringOfChar(TSysCall& call) {
  const std::string s = call.Str(0);
  const int32_t n = call.Int(1);
  std::string out;
  if (n > 0 && !s.empty()) {
    CheckBuiltSize(call.Id(), uint64_t(s.size()) * uint64_t(n));
    out.reserve(s.size() * static_cast<size_t>(n));
    if (s.size() == 1) {
      out.assign(static_cast<size_t>(n), s[0]);
    } else {
      for (int32_t k = 0; k < n; ++k) out += s;
    }
  }
  call.Dest().SetStr(out);
}

// StringReplace(s, old, new [, all [, nocase]]): occurrences of old that begin where a character
// begins; without case, both sides are folded by the code page's case fold (which keeps byte
// lengths) for the search.
void StringReplace(TSysCall& call) {
  const std::string s = call.Str(0);
  const std::string old_text = call.Str(1);
  const std::string new_text = call.Str(2);
  const bool all = call.Has(3) && call.Flag(3);
  const bool nocase = call.Has(4) && call.Flag(4);
  if (old_text.empty() || old_text.size() > s.size()) {
    call.Dest().SetStr(s);
    return;
  }
  std::string folded_s, folded_old;
  std::string_view hay = s, needle = old_text;
  if (nocase) {
    folded_s = SjisLowerCase(s);
    folded_old = SjisLowerCase(old_text);
    hay = folded_s;
    needle = folded_old;
  }
  TCharStarts starts(hay);
  std::string out;
  size_t copied = 0;
  size_t from = 0;
  const char first = needle[0];
  const size_t last_start = hay.size() - needle.size();
  while (from <= last_start) {
    const void* hit = std::memchr(hay.data() + from, first, last_start - from + 1);
    if (!hit) break;
    const size_t p = static_cast<size_t>(static_cast<const char*>(hit) - hay.data());
    if (std::memcmp(hay.data() + p, needle.data(), needle.size()) != 0 || !starts.IsStart(p)) {
      from = p + 1;
      continue;
    }
    if (out.empty()) out.reserve(s.size());
    out.append(s, copied, p - copied);
    out += new_text;
    CheckBuiltSize(call.Id(), out.size());
    copied = p + needle.size();
    from = copied;
    if (!all) break;
  }
  if (copied == 0) {
    call.Dest().SetStr(s);
    return;
  }
  CheckBuiltSize(call.Id(), uint64_t(out.size()) + (s.size() - copied));
  out.append(s, copied, std::string::npos);
  call.Dest().SetStr(out);
}

void HanToZen(TSysCall& call) { call.Dest().SetStr(SjisHanToZen(call.Str(0))); }
void ZenToHan(TSysCall& call) { call.Dest().SetStr(SjisZenToHan(call.Str(0))); }

// AddDelimiter(a, b): empty when b is empty, else b followed by a.
void AddDelimiter(TSysCall& call) {
  const std::string a = call.Str(0);
  std::string b = call.Str(1);
  if (!b.empty()) {
    CheckBuiltSize(call.Id(), uint64_t(a.size()) + b.size());
    b += a;
  }
  call.Dest().SetStr(b);
}

}  // namespace kova::sysfunc
