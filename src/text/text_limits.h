// What one text may cost. A script builds strings of any length, and every component that lays one
// out pays for each of its characters (glyph objects, row and page objects, glyph references), so
// each text is checked against these bounds before that cost is paid, and refused past them with
// the system's error. No real game comes near them: a message window page holds a few hundred
// characters and a caption or a list a few lines.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/messages.h"
#include "text/text_errors.h"

namespace kova {

// The markup of one rich-text document (a message window's text), in bytes.
inline constexpr size_t kMaxTextBytes = size_t(1) << 20;
// The glyphs one rich-text document holds: parsed, copied from compiled texts and expanded from
// variables together.
inline constexpr size_t kMaxTextGlyphs = size_t(1) << 18;
// The text of a label's caption or of a list's items, in bytes, and the items of one list.
inline constexpr size_t kMaxCaptionBytes = size_t(1) << 16;
inline constexpr size_t kMaxListItems = size_t(1) << 14;

// Raises ETextError (TMsg::TextTooLong) when `bytes` passes `limit`.
inline void CheckTextBytes(size_t bytes, size_t limit) {
  if (bytes > limit) Raise<ETextError>(TMsg::TextTooLong, int(limit));
}

// Raises ETextError (TMsg::TextTooManyGlyphs) when a document of `glyphs` glyphs would pass
// kMaxTextGlyphs.
inline void CheckTextGlyphs(size_t glyphs) {
  if (glyphs > kMaxTextGlyphs) Raise<ETextError>(TMsg::TextTooManyGlyphs, int(kMaxTextGlyphs));
}

// Raises ETextError (TMsg::TextTooManyLines) when a text of more lines (ended by CR LF, LF or CR)
// than `limit` would be split into them.
inline void CheckTextLines(std::string_view text, size_t limit) {
  size_t lines = text.empty() ? 0 : 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
  }
  if (lines > limit) Raise<ETextError>(TMsg::TextTooManyLines, int(limit));
}

}  // namespace kova
