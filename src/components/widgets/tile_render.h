// How a tile repeats its picture over its rectangle: one of four drawing paths chosen from the
// look (pitch, zoom, colour key, mask, level). Kept apart from the tile component so that each
// path can be drawn and measured on its own.
#pragma once

#include <cstdint>
#include <span>

#include "core/types.h"

namespace kova {

class TCustomDIBX;

struct TTileLook {
  // The tile's screen rectangle.
  TRect Rect;
  // The picture's phase: scroll X pixels to the right show the picture moved left by as many.
  int32_t ScrollX = 0, ScrollY = 0;
  // The pitch between copies; it counts only from half the picture's size on.
  int32_t DistanceX = 0, DistanceY = 0;
  // 1/256 units.
  int32_t ZoomX = 256, ZoomY = 256;
  bool FlipH = false, FlipV = false;
  // 1..254 blend, 255 copy, 256..511 add with the level alpha - 256.
  int32_t Alpha = 255;
};

// The way a tile of this look and picture is drawn.
enum class TTilePath {
  None,          // nothing is drawn
  Pattern,       // opaque, unzoomed, no key and no mask: a raw pattern fill
  PatternTable,  // touching copies through the scaled pattern draw (key or mask, level)
  Spaced,        // spaced copies of each content rectangle, unzoomed
  StretchTiles,  // spaced copies, zoomed or without content rectangles
};

// The pitch of the copies on one axis: the distance when it is 1 or more and at least half the
// picture's size, else the picture's size.
int32_t TileCell(int32_t distance, int32_t picture_size);
// The content rectangles of a picture (what a layered picture's frame marks as its drawn parts).
std::span<const TRect> TileContentRects(const TCustomDIBX& picture);
TTilePath ChooseTilePath(const TTileLook& look, const TCustomDIBX& picture, const TCustomDIBX* mask);

// Draws `picture` (with `mask`, an 8-bit surface of the same size, when given) repeated over the
// look's rectangle of `target`. The colour key is the picture's. The target's clip rectangle is
// honoured and left as it was.
void RenderTile(TCustomDIBX& target, TCustomDIBX& picture, TCustomDIBX* mask, const TTileLook& look);

}  // namespace kova
