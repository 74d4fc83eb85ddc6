#include "support/map_file_writer.h"

#include "support/le_writer.h"

namespace kova::test {

namespace {

void Append(std::vector<uint8_t>& to, const LeWriter& w) { to.insert(to.end(), w.Bytes().begin(), w.Bytes().end()); }

}  // namespace

MapFileWriter& MapFileWriter::Rect(const std::string& text, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  LeWriter w;
  w.Str(text).U8(0).Rect(left, top, right, bottom);
  Append(body_, w);
  ++added_;
  return *this;
}

MapFileWriter& MapFileWriter::Ellipse(const std::string& text, int32_t left, int32_t top, int32_t right,
                                      int32_t bottom) {
  LeWriter w;
  w.Str(text).U8(1).Rect(left, top, right, bottom);
  Append(body_, w);
  ++added_;
  return *this;
}

MapFileWriter& MapFileWriter::Polygon(const std::string& text, const std::vector<std::pair<int32_t, int32_t>>& points,
                                      uint8_t kind) {
  LeWriter w;
  w.Str(text).U8(kind).I32(int32_t(points.size()));
  for (const auto& [x, y] : points) w.I32(x).I32(y);
  Append(body_, w);
  ++added_;
  return *this;
}

std::vector<uint8_t> MapFileWriter::Bytes() const {
  LeWriter w;
  w.I32(count.value_or(added_));
  std::vector<uint8_t> out = w.Bytes();
  out.insert(out.end(), body_.begin(), body_.end());
  return out;
}

}  // namespace kova::test
