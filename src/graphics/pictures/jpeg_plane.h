// JPEG colour planes of layered pictures: a whole JPEG file held in memory, decoded by libjpeg
// straight into the rows of a 24-bit surface (blue, green, red bytes).
#pragma once

#include <cstdint>
#include <span>

#include "graphics/dib_surface.h"

namespace kova {

// Decodes `data` into `surface`, which becomes width x height at 24 bits (its colour table and
// alpha plane are kept). The picture must be exactly that size: any other size, data that are not
// a JPEG picture or that libjpeg cannot decode raise EDIBError; nothing is allocated for a picture
// of the wrong size. Grey pictures come out as grey 24-bit pixels.
void DecodeJpegPlane(std::span<const uint8_t> data, int32_t width, int32_t height, TDIBSurface& surface);

}  // namespace kova
