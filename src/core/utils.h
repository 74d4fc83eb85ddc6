// Shared small routines: rectangles, colours, font style sets, paths and escaped text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/types.h"

namespace kova {

bool IsRectEmpty(const TRect& r);
bool RectsOverlap(const TRect& a, const TRect& b);
bool PointInRect(const TPoint& p, const TRect& r);
// a clipped to b when they overlap, else (0, 0, 0, 0).
TRect IntersectRects(const TRect& a, const TRect& b);
constexpr TPoint MakePoint(int32_t x, int32_t y) { return TPoint{x, y}; }

// Each of red, green and blue becomes (channel * factor) >> 8, cut to 8 bits (no saturation);
// bits 24-31 of the result are 0.
TColor ScaleColor(TColor color, int32_t factor);

int32_t FlagSetToInt(TFontStyles set);
TFontStyles IntToFlagSet(int32_t n);

// The path with "\" appended unless its last character already is a path delimiter.
std::string AddPathDelimiter(std::string_view path);
// Cuts a ":suffix" off a name (a page name and its label): returns the text after the last ":"
// and leaves `name` before it. A "." or "\" after that ":" (or no ":") gives the empty string and
// leaves `name` unchanged. Bytes of double-byte characters never count.
std::string SplitNameSuffix(std::string& name);
// The extension of a game file name, with its point ("" when the last component has none).
// Path delimiters "\", "/" and ":" end a component; bytes of double-byte characters never count.
std::string_view GameFileExtension(std::string_view name);
// "\\" and "\"" lose their backslash, "\n" becomes CR LF; any other backslash stays.
std::string UnescapeText(std::string_view s);

}  // namespace kova
