// Telling pictures apart by their leading bytes, and loading any of them into one bitmap (what a
// drawing surface's LoadFromStream and LoadFromFile show).
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "graphics/dib_surface.h"

namespace kova {

enum class TPictureKind { Unknown, Bmp, Png, Wexa };

// By the bytes at the stream's position: "BM", the PNG signature, "Wexa"; Unknown otherwise (an
// untagged layered picture has no signature). The position is restored.
TPictureKind SniffPictureHere(TStream& stream);

// By the bytes at absolute offsets: "BM" at 0, "PNG" at 1, "Wexa" at 0, in that order. The
// position is restored.
TPictureKind SniffPicture(TStream& stream);

// Reads the picture that SniffPicture names from position 0 into `picture`: a BMP file, a PNG file
// (alpha plane kept), or the first frame of a layered picture read with `seed` (alpha plane
// dropped). False, with `picture` untouched, when no signature matches. Damaged pictures raise
// the system's errors.
bool LoadPictureBitmap(TStream& stream, uint32_t seed, TDIBSurface& picture);

}  // namespace kova
