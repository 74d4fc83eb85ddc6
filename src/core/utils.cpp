#include "core/utils.h"

#include <algorithm>
#include <vector>

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

// Marks the bytes that begin a character (walking forward from the start).
std::vector<bool> CharStarts(std::string_view s) {
  std::vector<bool> starts(s.size(), false);
  for (size_t i = 0; i < s.size();) {
    starts[i] = true;
    i += (IsSjisLeadByte(s[i]) && i + 1 < s.size()) ? 2 : 1;
  }
  return starts;
}

bool IsPathDelimiterAtEnd(std::string_view path) {
  if (path.empty() || path.back() != '\\') return false;
  // A "\" that is the trail byte of a double-byte character is not a delimiter.
  return CharStarts(path)[path.size() - 1];
}

}  // namespace

std::string AddPathDelimiter(std::string_view path) {
  std::string out(path);
  if (!IsPathDelimiterAtEnd(path)) out += '\\';
  return out;
}

std::string SplitNameSuffix(std::string& name) {
  if (name.size() < 2) return {};
  std::vector<bool> starts = CharStarts(name);
  for (size_t p = name.size() - 1; p >= 1; --p) {
    if (!starts[p]) continue;  // trail byte of a double-byte character
    char c = name[p];
    if (c == '.' || c == '\\') return {};
    if (c == ':') {
      std::string suffix = name.substr(p + 1);
      name.resize(p);
      return suffix;
    }
  }
  return {};
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
