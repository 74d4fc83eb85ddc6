// Writes film files byte by byte from the film file's table, for the tests of the film reader:
// a header of any version and signature, the film's fields with their version gates, and the
// records of every track kind. It never calls the reader; every value is written as given (no
// doubling, no conversion), so a test states the bytes a file of that version holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/le_writer.h"

namespace kova::test {

struct FilmPoint {
  int32_t x = 0, y = 0;
};

// The base record every track begins with.
struct FilmBase {
  int32_t link = -1;
  int32_t duration = 10;
  int32_t reserved = 0;
  int32_t start = 0;
  int32_t cycle = 0;
  int32_t order = 0;
  bool flip_h = false, flip_v = false, other_layer = false;
};

// The image-like block of image, label and tile records.
struct FilmImageBlock {
  FilmPoint center, pos_start, pos_end;
  uint8_t x_mode = 0, y_mode = 0;
  int32_t rotation_start = 0, rotation_end = 0;
  double zoom_x_start = 1.0, zoom_x_end = 1.0;
  uint8_t zoom_x_mode = 0;
  int32_t alpha_start = 0, alpha_end = 0;
  uint8_t rotation_mode = 0;
  // Version 101 and later.
  FilmPoint clip_origin_start, clip_size_start, clip_origin_end, clip_size_end;
  uint8_t clip_x_mode = 0, clip_y_mode = 0;
  // Version 105 and later.
  double zoom_y_start = 1.0, zoom_y_end = 1.0;
  uint8_t zoom_y_mode = 0;
};

struct FilmRect {
  FilmPoint pos_start, pos_end;
  uint8_t x_mode = 0, y_mode = 0;
  int32_t width_start = 0, height_start = 0, width_end = 0, height_end = 0;
  FilmPoint clip_origin_start, clip_size_start, clip_origin_end, clip_size_end;
  uint8_t clip_x_mode = 0, clip_y_mode = 0;
};

struct FilmImage {
  FilmBase base;
  FilmImageBlock block;
  std::string file_name;
};

struct FilmLabel {
  FilmBase base;
  FilmImageBlock block;
  std::string text;
  bool antialias = false;
  std::string font_name;
  int32_t font_height = 12;
  // Below version 103 these 4 bytes are written all the same (the reader skips them).
  int32_t line_space = 0;
  uint8_t font_style = 0;
  int32_t font_color = 0xFFFFFF;
  // Version 103 and later.
  uint8_t h_align = 0;
};

struct FilmBox {
  FilmBase base;
  // The clip fields are written from version 101 on.
  FilmRect rect;
  int32_t alpha_start = 0, alpha_end = 0;
  int32_t color_start = 0, color_end = 0;
  int32_t border_width_start = 0, border_width_end = 0;
  int32_t border_color_start = 0, border_color_end = 0;
};

struct FilmWipe {
  FilmBase base;
  uint8_t wipe_kind = 1;
  // Version 101 and later.
  std::string mask_name;
  int32_t param0 = 0, param1 = 0;
  bool reverse = false;
};

struct FilmSound {
  FilmBase base;
  std::string file_name;
  int32_t volume_start = 1000, volume_end = 1000;
  int32_t balance_start = 0, balance_end = 0;
  uint8_t volume_mode = 0, balance_mode = 0;
};

struct FilmTile {
  FilmImage image;
  int32_t width_start = 0, height_start = 0, width_end = 0, height_end = 0;
  int32_t scroll_x_start = 0, scroll_y_start = 0, scroll_x_end = 0, scroll_y_end = 0;
  uint8_t scroll_x_mode = 0, scroll_y_mode = 0;
  int32_t distance_x = 0, distance_y = 0;
  // Version 101 and later: the clip block written a second time (these values).
  FilmPoint clip_origin_start, clip_size_start, clip_origin_end, clip_size_end;
  uint8_t clip_x_mode = 0, clip_y_mode = 0;
};

struct FilmParticle {
  FilmBase base;
  std::string file_name;
  bool part_motion = false;
  int32_t index = 0;
  // EmitCenter start/end, EmitSpread start/end, EmitValue1 start, 2 start, 1 end, 2 end,
  // 3 start, 4 start, 3 end, 4 end.
  int32_t emit[12] = {100, 100, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1};
  uint8_t emit_value1_mode = 0, emit_value2_mode = 0;
  // Param0, 1, 2 start, then Param0, 1, 2 end.
  double params[6] = {};
  FilmRect rect;
  int32_t alpha_start = 0, alpha_end = 0;
};

struct FilmFire {
  FilmBase base;
  FilmRect rect;
  double zoom_x_start = 4, zoom_y_start = 4, zoom_x_end = 4, zoom_y_end = 4;
  uint8_t zoom_x_mode = 0, zoom_y_mode = 0;
  int32_t power = 100;
};

class FilmWriter {
 public:
  // `version` goes into the header as three digits; `signature` is its first 10 bytes.
  explicit FilmWriter(int32_t version = 108, std::string signature = "KovaCinema");

  int32_t width = 640, height = 480, color = -1;
  bool relative = false;
  FilmPoint origin;
  int32_t loop_start = 0;

  void Add(const FilmImage& t);
  void Add(const FilmLabel& t);
  void Add(const FilmBox& t);
  void Add(const FilmWipe& t);
  void Add(const FilmSound& t);
  void Add(const FilmTile& t);
  void Add(const FilmParticle& t);
  void Add(const FilmFire& t);
  // A track of any kind byte: its base record, then `record` as it stands.
  void AddRaw(uint8_t kind, const FilmBase& base, const std::vector<uint8_t>& record = {});

  // The whole file; `count` replaces the track count written (for counts beyond the records).
  std::vector<uint8_t> Bytes() const;
  std::vector<uint8_t> Bytes(int32_t count) const;
  // The header digits as written; a text of other than three characters replaces them.
  std::string digits;

  int32_t Version() const { return version_; }
  int32_t TrackCount() const { return tracks_; }

 private:
  void Base(uint8_t kind, const FilmBase& b);
  void ImageBlock(const FilmImageBlock& b);
  void Rect(const FilmRect& r, bool clip);
  void Clip(FilmPoint os, FilmPoint ss, FilmPoint oe, FilmPoint se, uint8_t xm, uint8_t ym);
  void Pt(FilmPoint p) { body_.I32(p.x).I32(p.y); }
  void F64(double v);

  int32_t version_;
  std::string signature_;
  int32_t tracks_ = 0;
  LeWriter body_;
};

}  // namespace kova::test
