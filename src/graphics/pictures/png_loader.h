// PNG pictures through libpng: truecolour and grey pictures become 24-bit bitmaps, palette
// pictures 8-bit ones with their palette, and pictures with an alpha channel (or palette entries
// of partial transparency) get an 8-bit alpha plane, 255 opaque.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "graphics/dib_surface.h"

namespace kova {

struct TPngInfo {
  bool HasAlpha = false;  // the surface has an alpha plane
  // The colour the file names as transparent (tRNS of a picture without alpha channel), when any.
  bool HasKey = false;
  uint32_t KeyColor = 0;  // the key as a colour reference, red in the low byte
  uint32_t KeyPixel = 0;  // the key as a raw pixel of the surface (an index at 8 bits)
};

// True when the bytes at the stream's position start with the PNG signature; the position is
// restored.
bool IsPngStream(TStream& stream);

// Decodes a PNG file from the stream's position into `surface`. Damaged or truncated files and
// pictures beyond 32767 pixels a side raise EDIBError; `surface` is then left empty.
TPngInfo ReadPng(TStream& stream, TDIBSurface& surface);

}  // namespace kova
