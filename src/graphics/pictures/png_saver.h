// Writes a 15-, 16- or 32-bit surface's picture as an 8-bit RGB PNG file through libpng (screen
// shots of the headless runner). Channels narrower than 8 bits (5-5-5 and 5-6-5 pixels) are
// widened by bit replication, so that full intensity stays 255.
#pragma once

#include <string>

namespace kova {

class TCustomDIBX;

// False (and no file, or a removed partial one) when the surface is empty, of another depth, or
// the file cannot be written.
bool SaveSurfacePng(TCustomDIBX& surface, const std::string& host_path);

}  // namespace kova
