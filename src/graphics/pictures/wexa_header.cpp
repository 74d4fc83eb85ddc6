#include "graphics/pictures/wexa_header.h"

#include <cstring>
#include <string>

#include "core/errors.h"
#include "core/stream_records.h"
#include "graphics/graphics_errors.h"

namespace kova {
namespace {

constexpr int32_t kRecordSize = 40;

int32_t Le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// The version of a tag; -1 when the bytes are no tag (the stream is then back where it was).
int32_t ReadTag(TStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t tag[4];
  const int64_t got = stream.Read(tag, 4);
  if (got != 4 || std::memcmp(tag, "Wexa", 4) != 0) {
    stream.SetPosition(start);
    return -1;
  }
  char digits[4] = {};
  stream.ReadBuffer(digits, 3);
  int32_t version = 0;
  for (int i = 0; i < 3; ++i) {
    if (digits[i] < '0' || digits[i] > '9') Raise<EDIBError>(TMsg::PictureBadVersion, digits);
    version = version * 10 + (digits[i] - '0');
  }
  return version;
}

}  // namespace

TWexaHeader ReadWexaHeader(TStream& stream) {
  TWexaHeader h;
  const int32_t tag = ReadTag(stream);
  h.TagVersion = tag < 0 ? 0 : tag;
  if (h.TagVersion < 103) {
    h.Version = h.TagVersion;
    h.FrameCount = ReadStreamInteger(stream);
    ReadStreamByte(stream);
    if (h.TagVersion >= 102) h.BackgroundColor = uint32_t(ReadStreamInteger(stream));
    return h;
  }

  const int32_t size = ReadStreamInteger(stream);
  uint8_t record[kRecordSize] = {};
  record[22] = 1;
  if (size > 0) {
    const int32_t take = size < kRecordSize ? size : kRecordSize;
    stream.ReadBuffer(record, take);
    if (size > kRecordSize) {
      if (int64_t(size - kRecordSize) > stream.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
      stream.Seek(size - kRecordSize, TSeekOrigin::Current);
    }
  }
  h.Version = Le32(record);
  h.FrameCount = Le32(record + 16);
  h.Permuted = record[21] != 0;
  h.Compression = record[22];
  h.BackgroundColor = uint32_t(Le32(record + 24));
  h.TileWidth = Le32(record + 28);
  h.TileHeight = Le32(record + 32);
  if (h.TagVersion >= 105) h.FirstLayerOpaque = record[36] != 0;
  return h;
}

}  // namespace kova
