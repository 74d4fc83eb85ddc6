#include "support/install_set_builder.h"

#include <cstdio>

#include "support/le_writer.h"

namespace kova::test {

std::vector<uint8_t> InstallSetBuilder::Build() const {
  LeWriter w;
  if (signature) {
    w.Raw(*signature);
  } else if (version > 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%03d", version % 1000);
    w.Raw("is").Raw(digits);
  }
  const bool wide = version >= 100;
  auto number = [&](uint64_t n) {
    if (wide) {
      w.U64(n);
    } else {
      w.U32(static_cast<uint32_t>(n));
    }
  };
  w.I32(disk_index).Str(game_key);
  for (const std::string& s : texts) w.Str(s);
  w.U8(flag1).Str(text4).U8(flag2);
  w.I32(record_count.value_or(static_cast<int32_t>(records.size())));
  w.Str(text5).I32(value1).U8(flag3).U8(flag4);
  for (const std::string& s : texts2) w.Str(s);
  for (const auto& r : records) {
    for (uint64_t n : r) number(n);
  }
  for (uint64_t n : totals) number(n);
  w.U8(flag5);
  if (version >= 101) w.U8(flag6);
  if (version >= 102) {
    w.I32(first_count.value_or(static_cast<int32_t>(first_list.size())));
    for (const std::string& s : first_list) w.Str(s);
  }
  if (version >= 103) w.U8(complete);
  if (version >= 104) w.U8(flag7);
  if (version >= 105) w.U8(flag8);
  if (version >= 106) {
    w.I32(second_count.value_or(static_cast<int32_t>(second_list.size())));
    for (const std::string& s : second_list) w.Str(s);
  }
  if (version >= 107) w.Str(text6);
  return w.Bytes();
}

std::vector<uint8_t> InstallSetBuilder::BuildTruncated(size_t size) const {
  std::vector<uint8_t> bytes = Build();
  if (size < bytes.size()) bytes.resize(size);
  return bytes;
}

}  // namespace kova::test
