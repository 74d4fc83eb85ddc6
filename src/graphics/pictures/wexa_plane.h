// The planes of a layered picture's layer: the stored bytes (raw or zlib, consumed as they are
// decoded, so that inflated rows land straight in the bitmap) and the three layouts of version
// 103: rows from the top, rows in the seed's scrambled order, and tiles with a table of records.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "graphics/dib.h"

namespace kova {

// The stored bytes of one plane. Reading past their end raises EDIBError (corrupt picture);
// damaged zlib data raise EZDecompressionError.
class TPlaneBytes {
 public:
  TPlaneBytes(std::span<const uint8_t> stored, bool zlib);
  ~TPlaneBytes();
  TPlaneBytes(const TPlaneBytes&) = delete;
  TPlaneBytes& operator=(const TPlaneBytes&) = delete;

  void Read(uint8_t* dest, size_t count);
  // At most this many bytes can still be read (exact for raw bytes; for zlib data the largest
  // output its unread input can inflate to).
  uint64_t MaxRemaining() const;

 private:
  struct TInflater;
  std::span<const uint8_t> stored_;
  size_t position_ = 0;
  std::unique_ptr<TInflater> inflater_;
};

enum class TPlaneOrder { Rows, Scrambled, Tiled };

class TPictureBudget;

struct TPlaneLayout {
  TPlaneOrder Order = TPlaneOrder::Rows;
  // The load's budget, charged for the tile table while it is held (none: not charged).
  TPictureBudget* Budget = nullptr;
  uint32_t Seed = 0;
  int32_t TileWidth = 0;
  int32_t TileHeight = 0;
  bool PermutedTiles = false;
};

// The plane of layer `layer` of frame `frame` that a tile record points at; raises EListError
// when that frame or layer has not been read.
using TTilePlaneSource = std::function<const TDIB&(int32_t frame, int32_t layer)>;

// Fills `target` (already sized; 1 to 32 bits) from the bytes in the given layout. Row lengths are
// the bitmap's stored row length (rows padded to 4 bytes). Tile records that point outside the
// plane or at a plane of another depth or size raise EDIBError.
void DecodePlane(TPlaneBytes& bytes, const TPlaneLayout& layout, TDIB& target, const TTilePlaneSource& source);

}  // namespace kova
