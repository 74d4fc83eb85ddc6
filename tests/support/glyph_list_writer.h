// Builds stored glyph lists ("XrWord" and three digits) and message window settings blocks byte by
// byte from their format descriptions, for every version, and malformed variants of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/le_writer.h"

namespace kova::test {

struct DecorateRecord {
  int32_t uses = 1;
  int32_t color = -1, bcolor = -1, size = 0;
  uint8_t style = 0, nobreak = 0;
  int32_t border = 0;  // a byte (0 or 1) before version 100
  std::string font, ruby;
  int32_t shadow = 0, scolor = 0;  // version 100 and later
};

class GlyphListWriter {
 public:
  // version < 0: no signature (read as version 0).
  explicit GlyphListWriter(int version) : version_(version) {}

  GlyphListWriter& Decorate(const DecorateRecord& d) {
    decos_.push_back(d);
    return *this;
  }
  GlyphListWriter& Char(uint16_t code, int32_t deco, int32_t delay = 0, const std::string& link = "");
  GlyphListWriter& Align(uint8_t a) { Kind(2).U8(a); return *this; }
  GlyphListWriter& Return(bool clear = false) { Kind(3).U8(clear ? 1 : 0); return *this; }
  GlyphListWriter& Indent() { Kind(4); return *this; }
  GlyphListWriter& Undent() { Kind(5); return *this; }
  GlyphListWriter& Event(const std::string& value) { Kind(6).Str(value); return *this; }
  // Version >= 102: the name; before: the expression bytes (an operation count and operations).
  GlyphListWriter& Var(int32_t deco, int32_t delay, const std::string& link, const std::string& name,
                       const std::vector<uint8_t>& expression = {0, 0, 0, 0});
  GlyphListWriter& Img(const std::string& source, uint8_t align, int32_t delay = 0, const std::string& link = "");
  // A raw glyph record (for unknown kinds and bad records); counted as one glyph.
  GlyphListWriter& Raw(uint8_t kind, const std::vector<uint8_t>& record);

  std::vector<uint8_t> Bytes() const;

 private:
  LeWriter& Kind(uint8_t kind) {
    ++glyphs_;
    return body_.U8(kind);
  }
  int version_;
  std::vector<DecorateRecord> decos_;
  LeWriter body_;
  int32_t glyphs_ = 0;
};

struct SettingsRecord {
  int32_t origin_x = 10, origin_y = 20, font_size = 24;
  std::string font = "Gothic";
  int32_t text_color = 0x00FFFFFF, page_height = 300, wrap_width = 400, quality = 2, line_space = 4;
  uint8_t paging = 1;
  int32_t link_color = 0xFF0000, hover_color = 0x008000, fade_time = 200, shadow_color = 0x808080, alpha = 255;
  uint8_t paused = 0;
  int32_t caret_x = 5, caret_y = 6, text_delay = 256;
  uint8_t events_on = 1;
  int32_t border_color = 0x123456, border_width = 2, shadow_width = 3;
};

// The settings block as a save of data version `version` holds it.
std::vector<uint8_t> SettingsBlock(const SettingsRecord& s, int version);

}  // namespace kova::test
