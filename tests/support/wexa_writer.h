// Builds layered picture files ("Wexa" and a three-digit version, or untagged version 0) field by
// field from the format's description, for test fixtures: every header layout, frames, layers,
// palettes, rectangle lists, and planes stored raw, zlib-coded or (colour planes) JPEG-coded, in
// row order, in the seed's scrambled order or as tiles with literal, same-plane and cross-frame
// records. The seeded order is computed here from the format's rule, independently of the player.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::test {

enum class WexaCoding : uint8_t { Zlib = 0, Raw = 1, Jpeg = 2 };

// A tile record: a = -1 literal pixels follow, -2 copy of tile b of the same plane, a >= 0 copy
// of the same place of layer b of frame a.
struct WexaTile {
  int32_t a = -1;
  int32_t b = 0;
};

struct WexaLayerDesc {
  bool visible = true;
  int32_t transparent_color = -1;  // raw pixel value of the frame's format, below 0 none
  int32_t opacity = 255;
  bool use_alpha = false;
  std::string name;
  // Raw pixel values at the frame's depth, top row first (24 and 32 bits: $RRGGBB in the low
  // bytes; 15 and 16: the 16-bit word; 8 bits or fewer: the index).
  std::vector<uint32_t> pixels;
  // Alpha values, top row first; empty: no alpha plane.
  std::vector<uint8_t> alpha;
  // Tile records in place order (tile rows from the top, each from the left); empty: all literal.
  // Pixels of copied tiles are not stored, so `pixels` should already hold what the copy gives.
  std::vector<WexaTile> color_tiles;
  std::vector<WexaTile> alpha_tiles;
  // Stored bytes written as they stand in place of the coded planes (damaged fixtures).
  std::optional<std::vector<uint8_t>> color_stored;
  std::optional<std::vector<uint8_t>> alpha_stored;
};

struct WexaFrameDesc {
  std::string name;
  int32_t transparent_index = -1;
  int32_t duration = 0;
  int32_t width = 1;
  int32_t height = 1;
  int32_t bit_count = 24;  // 1, 4, 8, 15, 16, 24 or 32
  // $RRGGBB entries at 8 bits or fewer (missing entries are black).
  std::vector<uint32_t> palette;
  std::vector<WexaLayerDesc> layers;
  std::optional<int32_t> layer_count;  // written in place of layers.size()
  std::vector<std::array<int32_t, 4>> rects1;  // left, top, right, bottom
  std::vector<std::array<int32_t, 4>> rects2;
};

struct WexaFileDesc {
  int32_t version = 106;  // 0: no tag, the oldest layout
  std::string tag;        // written in place of "Wexa" + version when not empty
  // The header record's version field (versions 103 on); the tag's version when not given. The
  // frames and layers are laid out for this version.
  std::optional<int32_t> header_version;
  int32_t header_size = 40;  // from 103 on; bytes beyond 40 are zeros
  bool permuted = false;
  WexaCoding coding = WexaCoding::Raw;  // from 103 on
  uint32_t background = 0;              // colour reference, from 102 on
  int32_t tile_width = 0;
  int32_t tile_height = 0;
  bool first_layer_opaque = false;  // from 105 on
  uint32_t seed = 0;                // orders scrambled rows and permuted tile tables
  int jpeg_quality = 95;
  std::optional<int32_t> frame_count;  // written in place of frames.size()
  std::vector<WexaFrameDesc> frames;
};

std::vector<uint8_t> BuildWexa(const WexaFileDesc& desc);

// The seeded drawing order of n items: element i is the place that stored item i goes to
// (state := state * 5 + seed, from 0; each draw takes entry state mod (items left) of the places
// not yet taken, in ascending order).
std::vector<int32_t> SeedSequence(uint32_t seed, int32_t n);

// A JPEG file of an RGB picture ($RRGGBB values, top row first) through libjpeg's compressor.
std::vector<uint8_t> EncodeJpeg(int32_t width, int32_t height, const std::vector<uint32_t>& rgb, int quality);

// The bytes of one plane row packed from raw values at `bit_count` (15 counts as 16), padded to a
// multiple of 4 bytes.
std::vector<uint8_t> PackPlaneRow(const uint32_t* values, int32_t width, int32_t bit_count);

}  // namespace kova::test
