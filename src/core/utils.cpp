#include "core/utils.h"

#include <algorithm>

#include "core/sjis.h"

namespace kova {

bool IsRectEmpty(const TRect& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

bool RectsOverlap(const TRect& a, const TRect& b) {
  return a.Left < b.Right && a.Right > b.Left && a.Top < b.Bottom && a.Bottom > b.Top;
}

bool PointInRect(const TPoint& p, const TRect& r) {
  return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}

TRect IntersectRects(const TRect& a, const TRect& b) {
  if (!RectsOverlap(a, b)) return TRect{};
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

TColor ScaleColor(TColor color, int32_t factor) {
  TColor out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    int64_t channel = (color >> shift) & 0xFF;
    int64_t scaled = (channel * factor) >> 8;  // arithmetic shift for negative factors
    out |= static_cast<TColor>(static_cast<uint64_t>(scaled) & 0xFF) << shift;
  }
  return out;
}

int32_t FlagSetToInt(TFontStyles set) { return set.bits & 0x0F; }

TFontStyles IntToFlagSet(int32_t n) { return TFontStyles{static_cast<uint8_t>(n & 0x0F)}; }

namespace {

// The byte offset of the last character of s (its lead byte for a double-byte character).
size_t LastCharStart(std::string_view s) {
  size_t last = 0;
  for (size_t i = 0; i < s.size(); i += (IsSjisLeadByte(s[i]) && i + 1 < s.size()) ? 2 : 1) last = i;
  return last;
}

}  // namespace

std::string AddPathDelimiter(std::string_view path) {
  std::string out(path);
  // A "\" that is the trail byte of a double-byte character is not a delimiter.
  if (path.empty() || path.back() != '\\' || LastCharStart(path) != path.size() - 1) out += '\\';
  return out;
}

std::string SplitNameSuffix(std::string& name) {
  // The last ".", "\" or ":" that begins a character, from the second byte on, decides. The walk
  // goes forwards, from character to character: walking backwards cannot tell a trail byte that
  // equals "." , "\" or ":" from a character of its own without knowing where characters start
  // (a lead byte may also be the trail byte of the character before it), which only a walk from
  // the start knows. Both give the same answer wherever the backward scan is right.
  size_t last = std::string::npos;
  for (size_t i = 0; i < name.size(); i += (IsSjisLeadByte(name[i]) && i + 1 < name.size()) ? 2 : 1) {
    const char c = name[i];
    if (i >= 1 && (c == '.' || c == '\\' || c == ':')) last = i;
  }
  if (last == std::string::npos || name[last] != ':') return {};
  std::string suffix = name.substr(last + 1);
  name.resize(last);
  return suffix;
}

std::string_view GameFileExtension(std::string_view name) {
  size_t dot = std::string_view::npos;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      ++i;
    } else if (c == '.') {
      dot = i;
    } else if (c == '\\' || c == '/' || c == ':') {
      dot = std::string_view::npos;
    }
  }
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string UnescapeText(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char c = s[i];
    if (IsSjisLeadByte(c) && i + 1 < s.size()) {
      out.append(s.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '\\' && i + 1 < s.size()) {
      char next = s[i + 1];
      if (next == '\\' || next == '"') {
        out += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        out += "\r\n";
        i += 2;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace kova
