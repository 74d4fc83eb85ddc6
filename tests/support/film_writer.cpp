#include "support/film_writer.h"

#include <cstdio>
#include <cstring>

namespace kova::test {

FilmWriter::FilmWriter(int32_t version, std::string signature)
    : version_(version), signature_(std::move(signature)) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", version % 1000);
  digits = text;
}

void FilmWriter::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  body_.U64(bits);
}

void FilmWriter::Base(uint8_t kind, const FilmBase& b) {
  ++tracks_;
  body_.U8(kind).I32(b.link).I32(b.duration).I32(b.reserved).I32(b.start).I32(b.cycle).I32(b.order);
  body_.Flag(b.flip_h).Flag(b.flip_v).Flag(b.other_layer);
}

void FilmWriter::Clip(FilmPoint os, FilmPoint ss, FilmPoint oe, FilmPoint se, uint8_t xm, uint8_t ym) {
  Pt(os);
  Pt(ss);
  Pt(oe);
  Pt(se);
  body_.U8(xm).U8(ym);
}

void FilmWriter::ImageBlock(const FilmImageBlock& b) {
  Pt(b.center);
  Pt(b.pos_start);
  Pt(b.pos_end);
  body_.U8(b.x_mode).U8(b.y_mode).I32(b.rotation_start).I32(b.rotation_end);
  F64(b.zoom_x_start);
  F64(b.zoom_x_end);
  body_.U8(b.zoom_x_mode).I32(b.alpha_start).I32(b.alpha_end).U8(b.rotation_mode);
  if (version_ >= 101) {
    Clip(b.clip_origin_start, b.clip_size_start, b.clip_origin_end, b.clip_size_end, b.clip_x_mode, b.clip_y_mode);
  }
  if (version_ >= 105) {
    F64(b.zoom_y_start);
    F64(b.zoom_y_end);
    body_.U8(b.zoom_y_mode);
  }
}

void FilmWriter::Rect(const FilmRect& r, bool clip) {
  Pt(r.pos_start);
  Pt(r.pos_end);
  body_.U8(r.x_mode).U8(r.y_mode);
  body_.I32(r.width_start).I32(r.height_start).I32(r.width_end).I32(r.height_end);
  if (clip) {
    Clip(r.clip_origin_start, r.clip_size_start, r.clip_origin_end, r.clip_size_end, r.clip_x_mode, r.clip_y_mode);
  }
}

void FilmWriter::Add(const FilmImage& t) {
  Base(0, t.base);
  ImageBlock(t.block);
  body_.Str(t.file_name);
}

void FilmWriter::Add(const FilmLabel& t) {
  Base(1, t.base);
  ImageBlock(t.block);
  body_.Str(t.text).Flag(t.antialias).Str(t.font_name).I32(t.font_height).I32(t.line_space);
  body_.U8(t.font_style).I32(t.font_color);
  if (version_ >= 103) body_.U8(t.h_align);
}

void FilmWriter::Add(const FilmBox& t) {
  Base(2, t.base);
  const FilmRect& r = t.rect;
  Pt(r.pos_start);
  Pt(r.pos_end);
  body_.U8(r.x_mode).U8(r.y_mode).I32(t.alpha_start).I32(t.alpha_end);
  body_.I32(r.width_start).I32(r.height_start).I32(r.width_end).I32(r.height_end);
  body_.I32(t.color_start).I32(t.color_end).I32(t.border_width_start).I32(t.border_width_end);
  body_.I32(t.border_color_start).I32(t.border_color_end);
  if (version_ >= 101) {
    Clip(r.clip_origin_start, r.clip_size_start, r.clip_origin_end, r.clip_size_end, r.clip_x_mode, r.clip_y_mode);
  }
}

void FilmWriter::Add(const FilmWipe& t) {
  Base(3, t.base);
  body_.U8(t.wipe_kind);
  if (version_ >= 101) body_.Str(t.mask_name).I32(t.param0).I32(t.param1).Flag(t.reverse);
}

void FilmWriter::Add(const FilmSound& t) {
  Base(4, t.base);
  body_.Str(t.file_name).I32(t.volume_start).I32(t.volume_end).I32(t.balance_start).I32(t.balance_end);
  body_.U8(t.volume_mode).U8(t.balance_mode);
}

void FilmWriter::Add(const FilmTile& t) {
  Base(5, t.image.base);
  ImageBlock(t.image.block);
  body_.Str(t.image.file_name);
  body_.I32(t.width_start).I32(t.height_start).I32(t.width_end).I32(t.height_end);
  body_.I32(t.scroll_x_start).I32(t.scroll_y_start).I32(t.scroll_x_end).I32(t.scroll_y_end);
  body_.U8(t.scroll_x_mode).U8(t.scroll_y_mode).I32(t.distance_x).I32(t.distance_y);
  if (version_ >= 101) {
    Clip(t.clip_origin_start, t.clip_size_start, t.clip_origin_end, t.clip_size_end, t.clip_x_mode, t.clip_y_mode);
  }
}

void FilmWriter::Add(const FilmParticle& t) {
  Base(6, t.base);
  body_.Str(t.file_name).Flag(t.part_motion).I32(t.index);
  for (int32_t v : t.emit) body_.I32(v);
  body_.U8(t.emit_value1_mode).U8(t.emit_value2_mode);
  for (double v : t.params) F64(v);
  Rect(t.rect, true);
  body_.I32(t.alpha_start).I32(t.alpha_end);
}

void FilmWriter::Add(const FilmFire& t) {
  Base(7, t.base);
  Rect(t.rect, true);
  F64(t.zoom_x_start);
  F64(t.zoom_y_start);
  F64(t.zoom_x_end);
  F64(t.zoom_y_end);
  body_.U8(t.zoom_x_mode).U8(t.zoom_y_mode).I32(t.power);
}

void FilmWriter::AddRaw(uint8_t kind, const FilmBase& base, const std::vector<uint8_t>& record) {
  Base(kind, base);
  body_.Raw(record);
}

std::vector<uint8_t> FilmWriter::Bytes() const { return Bytes(tracks_); }

std::vector<uint8_t> FilmWriter::Bytes(int32_t count) const {
  LeWriter out;
  out.Raw(signature_).Raw(digits);
  out.I32(width).I32(height).I32(color);
  if (version_ >= 102) out.Flag(relative);
  if (version_ >= 104) out.I32(origin.x).I32(origin.y);
  if (version_ >= 106) out.I32(loop_start);
  out.I32(count).Raw(body_.Bytes());
  return out.Bytes();
}

}  // namespace kova::test
