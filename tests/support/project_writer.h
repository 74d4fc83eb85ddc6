// Builds the project file "kova.kpb" and the project defaults entry "/original_kova.kpb" byte by
// byte from the file's layout, at any version (fields gated at 104, 106 and 109), with variables
// of every type code (unknown codes carry no value), the folder list of the file's tail, and
// knobs for cut-off and odd forms.
//
// "kova.kpb" (little-endian; strings as a 4-byte length and the bytes):
//   version (4)  title  screen width (4)  screen height (4)  two values (4 each)  start page
//   key text  picture key (4)  [104] status saving (1)  [106] frame pacing (1)
//   [109] media extensions  disc prompt  quit message
//   variable count (4), per variable: type (1), name, value (1: 4 bytes, 2: 10-byte extended,
//   3: 1 byte, 4: string, other codes: nothing)
//   the rest: the folder list as text lines
// The defaults entry has the same head up to the variables, then a 4-byte count of
// (folder string, disk number (4)) pairs.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kova::test {

struct ProjectVariable {
  uint8_t type = 1;  // 1 integer, 2 float, 3 flag, 4 string; others carry no value
  std::string name;
  int32_t int_value = 0;
  long double float_value = 0;
  // The float's 10 bytes as stored, overriding float_value (values a long double built from
  // parts cannot express, or odd encodings).
  std::optional<std::array<uint8_t, 10>> float_bytes;
  uint8_t flag_value = 0;
  std::string str_value;

  static ProjectVariable Int(std::string name, int32_t v);
  static ProjectVariable Float(std::string name, long double v);
  static ProjectVariable Flag(std::string name, bool v);
  static ProjectVariable Str(std::string name, std::string v);
};

struct ProjectBuilder {
  int32_t version = 109;
  std::string title = "Test";
  int32_t screen_width = 640;
  int32_t screen_height = 480;
  int32_t value1 = 0;  // the two values kept after the screen size
  int32_t value2 = 0;
  std::string start_page = "start.ksb";
  std::string key_text;
  int32_t picture_key = 0;
  uint8_t status_saving = 1;       // version 104 and later
  uint8_t frame_pacing = 0;        // version 106 and later
  std::string media_extensions = ".wav.wma.ogg.mid";  // version 109 and later
  // Defaults: "ディスク%dを入れてから[OK]をクリックしてください" and "終了します" in code page 932.
  std::string disc_prompt = "\x83\x66\x83\x42\x83\x58\x83\x4E%d\x82\xF0\x93\xFC\x82\xEA\x82\xC4\x82\xA9\x82\xE7"
                            "[OK]\x82\xF0\x83\x4E\x83\x8A\x83\x62\x83\x4E\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
  std::string quit_message = "\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7";
  std::vector<ProjectVariable> variables;
  // Written in place of the true variable count.
  std::optional<int32_t> variable_count;

  // The project file's tail: the folder list, one line per folder.
  std::vector<std::string> folder_lines;
  // The tail as raw bytes, replacing folder_lines.
  std::optional<std::string> raw_tail;

  // The defaults entry's tail: folder and disk pairs.
  std::vector<std::pair<std::string, int32_t>> folder_disks;
  // Written in place of the true pair count.
  std::optional<int32_t> folder_disk_count;

  ProjectBuilder& Var(ProjectVariable v) { variables.push_back(std::move(v)); return *this; }

  // "kova.kpb".
  std::vector<uint8_t> Build() const;
  // "/original_kova.kpb".
  std::vector<uint8_t> BuildDefaults() const;
  // The bytes of Build() up to and including the variable list (the part both forms share).
  std::vector<uint8_t> BuildHead() const;
};

}  // namespace kova::test
