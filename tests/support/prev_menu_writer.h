// Preview-menu files written byte by byte from the format: the header "KovaPrevMenu" with its
// three version digits, the menu's size, the button count and the button records (the fifth
// picture only from version 101).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::test {

struct PrevMenuButton {
  int32_t x = 0, y = 0;
  std::string image;
  uint8_t flag = 0;
  std::string name;
  std::string alt1, alt2, alt3, alt4;
  std::string sub, sub2, extra;
  int32_t sub_x = 0, sub_y = 0;
  std::string cursor;
};

struct PrevMenuFile {
  std::string version = "101";  // three characters, written as they are
  int32_t width = 0, height = 0;
  std::vector<PrevMenuButton> buttons;
  // The count written, when not the number of buttons.
  std::optional<int32_t> count;
};

std::vector<uint8_t> PrevMenuBytes(const PrevMenuFile& menu);

}  // namespace kova::test
