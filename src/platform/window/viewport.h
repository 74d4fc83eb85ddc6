// Where the game's picture lies in a window: the picture is scaled to fit the window's client area
// below an optional top strip, its aspect kept, centred, with black bars on the sides left over.
// Mouse positions are mapped back from the window into game pixels, and game pixels out to the
// window (for moving the pointer).
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace kova::plat {

class TViewport {
 public:
  TViewport() = default;
  // `client`: the area's size in window units; `top_strip`: rows at its top the picture leaves
  // free; `game`: the picture's size. Sizes of 0 or below give an empty picture rectangle.
  TViewport(TSize client, int32_t top_strip, TSize game);

  // The picture's rectangle in window units. When the free area has exactly the game's size the
  // picture sits 1:1 at (0, top strip).
  const TScreenRect& Picture() const { return picture_; }
  TSize Game() const { return game_; }

  // The game pixel under a window position; false when the position lies outside the picture
  // (`game` then holds the nearest pixel of the picture's edge).
  bool ToGame(TPoint window, TPoint& game) const;
  // The window position at the centre of a game pixel (so ToGame gives the same pixel back).
  TPoint ToWindow(TPoint game) const;

 private:
  TSize game_;
  TScreenRect picture_;
};

}  // namespace kova::plat
