#include "support/glyph_list_writer.h"

#include <cstdio>

namespace kova::test {

GlyphListWriter& GlyphListWriter::Char(uint16_t code, int32_t deco, int32_t delay, const std::string& link) {
  Kind(1).Str(link).I32(delay).U16(code).I32(deco);
  return *this;
}

GlyphListWriter& GlyphListWriter::Var(int32_t deco, int32_t delay, const std::string& link, const std::string& name,
                                      const std::vector<uint8_t>& expression) {
  Kind(7).I32(deco);
  const int v = version_ < 0 ? 0 : version_;
  if (v >= 101) body_.I32(delay).U32(uint32_t(link.size())).Raw(link);
  if (v >= 102) {
    body_.U32(uint32_t(name.size())).Raw(name);
  } else {
    body_.Raw(expression);
  }
  return *this;
}

GlyphListWriter& GlyphListWriter::Img(const std::string& source, uint8_t align, int32_t delay, const std::string& link) {
  Kind(9).Str(link).I32(delay).Str(source).U8(align);
  return *this;
}

GlyphListWriter& GlyphListWriter::Raw(uint8_t kind, const std::vector<uint8_t>& record) {
  Kind(kind).Raw(record);
  return *this;
}

std::vector<uint8_t> GlyphListWriter::Bytes() const {
  LeWriter w;
  if (version_ >= 0) {
    char head[16];
    std::snprintf(head, sizeof head, "XrWord%03d", version_);
    w.Raw(std::string_view(head, 9));
  }
  const int v = version_ < 0 ? 0 : version_;
  w.I32(int32_t(decos_.size()));
  for (const DecorateRecord& d : decos_) {
    w.I32(d.uses).I32(d.color).I32(d.bcolor).I32(d.size).U8(d.style).U8(d.nobreak);
    if (v < 100) {
      w.U8(uint8_t(d.border));
    } else {
      w.I32(d.border);
    }
    w.Str(d.font).Str(d.ruby);
    if (v >= 100) w.I32(d.shadow).I32(d.scolor);
  }
  w.I32(glyphs_).Raw(body_.Bytes());
  return w.Bytes();
}

std::vector<uint8_t> SettingsBlock(const SettingsRecord& s, int version) {
  LeWriter w;
  w.I32(s.origin_x).I32(s.origin_y).I32(s.font_size).Str(s.font).I32(s.text_color).I32(s.page_height);
  w.I32(s.wrap_width).I32(s.quality).I32(s.line_space).U8(s.paging).I32(s.link_color).I32(s.hover_color);
  w.I32(s.fade_time).I32(s.shadow_color).I32(s.alpha).U8(s.paused).I32(s.caret_x).I32(s.caret_y);
  w.I32(s.text_delay).U8(s.events_on);
  if (version >= 110) w.I32(s.border_color);
  if (version >= 111) w.I32(s.border_width).I32(s.shadow_width);
  return w.Bytes();
}

}  // namespace kova::test
