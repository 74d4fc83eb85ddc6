#include "motion/film_reader.h"

#include <cstring>

#include "core/errors.h"
#include "core/messages.h"

namespace kova {

void TFilmReader::Need(uint64_t n) const {
  if (n > Left()) Raise<EReadError>(TMsg::StreamReadError);
}

int32_t TFilmReader::Int32() {
  Need(4);
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[pos_ + size_t(i)];
  pos_ += 4;
  return static_cast<int32_t>(v);
}

uint8_t TFilmReader::Byte() {
  Need(1);
  return bytes_[pos_++];
}

double TFilmReader::Double() {
  Need(8);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | bytes_[pos_ + size_t(i)];
  pos_ += 8;
  double d;
  std::memcpy(&d, &v, sizeof d);
  return d;
}

TPoint TFilmReader::Point() {
  const int32_t x = Int32();
  return {x, Int32()};
}

std::string TFilmReader::String() {
  const int32_t n = Int32();
  if (n <= 0) return {};
  return Raw(static_cast<size_t>(n));
}

std::string TFilmReader::Raw(size_t n) {
  Need(n);
  std::string s(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
  pos_ += n;
  return s;
}

void TFilmReader::Skip(size_t n) {
  Need(n);
  pos_ += n;
}

}  // namespace kova
