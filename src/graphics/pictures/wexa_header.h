// The tag and header of a layered picture: "Wexa" and a three-digit version (or no tag: version
// 0), then before version 103 the frame count, a spare byte and from 102 the background colour,
// and from 103 on a sized 40-byte header record.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace kova {

struct TWexaHeader {
  int32_t TagVersion = 0;  // 0 without a tag
  // The version that selects the layout of frames and layers: the header record's own field from
  // version 103 on, else the tag's.
  int32_t Version = 0;
  int32_t FrameCount = 0;
  bool Permuted = false;
  uint8_t Compression = 1;  // 0 zlib, 1 none, 2 JPEG colour planes (zlib alpha planes)
  uint32_t BackgroundColor = 0;
  int32_t TileWidth = 0;
  int32_t TileHeight = 0;
  bool FirstLayerOpaque = false;

  bool Tiled() const { return TileWidth >= 1 && TileHeight >= 1; }
};

// Reads the tag and header from the stream's position and leaves the stream after them. A tag with
// non-digits raises EDIBError with the conversion message; a stream that ends inside the header
// raises EReadError. Header bytes beyond the 40-byte record are skipped; bytes the stored header
// does not give read as 0, the compression byte as 1.
TWexaHeader ReadWexaHeader(TStream& stream);

}  // namespace kova
