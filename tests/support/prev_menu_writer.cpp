#include "prev_menu_writer.h"

#include "le_writer.h"

namespace kova::test {

std::vector<uint8_t> PrevMenuBytes(const PrevMenuFile& menu) {
  LeWriter w;
  w.Raw("KovaPrevMenu").Raw(menu.version);
  w.I32(menu.width).I32(menu.height);
  w.I32(menu.count.value_or(int32_t(menu.buttons.size())));
  const bool fifth = menu.version >= "101";
  for (const PrevMenuButton& b : menu.buttons) {
    w.I32(b.x).I32(b.y).Str(b.image).U8(b.flag).Str(b.name).Str(b.alt1).Str(b.alt2).Str(b.alt3);
    if (fifth) w.Str(b.alt4);
    w.Str(b.sub).Str(b.sub2).Str(b.extra).I32(b.sub_x).I32(b.sub_y).Str(b.cursor);
  }
  return w.Bytes();
}

}  // namespace kova::test
