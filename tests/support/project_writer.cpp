#include "support/project_writer.h"

#include "support/le_writer.h"

namespace kova::test {

ProjectVariable ProjectVariable::Int(std::string name, int32_t v) {
  ProjectVariable p;
  p.type = 1;
  p.name = std::move(name);
  p.int_value = v;
  return p;
}

ProjectVariable ProjectVariable::Float(std::string name, long double v) {
  ProjectVariable p;
  p.type = 2;
  p.name = std::move(name);
  p.float_value = v;
  return p;
}

ProjectVariable ProjectVariable::Flag(std::string name, bool v) {
  ProjectVariable p;
  p.type = 3;
  p.name = std::move(name);
  p.flag_value = v ? 1 : 0;
  return p;
}

ProjectVariable ProjectVariable::Str(std::string name, std::string v) {
  ProjectVariable p;
  p.type = 4;
  p.name = std::move(name);
  p.str_value = std::move(v);
  return p;
}

std::vector<uint8_t> ProjectBuilder::BuildHead() const {
  LeWriter w;
  w.I32(version).Str(title).I32(screen_width).I32(screen_height).I32(value1).I32(value2);
  w.Str(start_page).Str(key_text).I32(picture_key);
  if (version >= 104) w.U8(status_saving);
  if (version >= 106) w.U8(frame_pacing);
  if (version >= 109) w.Str(media_extensions);
  w.Str(disc_prompt).Str(quit_message);
  w.I32(variable_count.value_or(static_cast<int32_t>(variables.size())));
  for (const ProjectVariable& v : variables) {
    w.U8(v.type).Str(v.name);
    switch (v.type) {
      case 1: w.I32(v.int_value); break;
      case 2:
        if (v.float_bytes) {
          w.Raw(std::span<const uint8_t>(v.float_bytes->data(), v.float_bytes->size()));
        } else {
          w.Ext(v.float_value);
        }
        break;
      case 3: w.U8(v.flag_value); break;
      case 4: w.Str(v.str_value); break;
      default: break;  // no value
    }
  }
  return w.Bytes();
}

std::vector<uint8_t> ProjectBuilder::Build() const {
  LeWriter w;
  w.Raw(BuildHead());
  if (raw_tail) {
    w.Raw(*raw_tail);
  } else {
    for (const std::string& line : folder_lines) w.Raw(line).Raw("\r\n");
  }
  return w.Bytes();
}

std::vector<uint8_t> ProjectBuilder::BuildDefaults() const {
  LeWriter w;
  w.Raw(BuildHead());
  w.I32(folder_disk_count.value_or(static_cast<int32_t>(folder_disks.size())));
  for (const auto& [folder, disk] : folder_disks) w.Str(folder).I32(disk);
  return w.Bytes();
}

}  // namespace kova::test
