#include "components/widgets/tile_render.h"

#include "core/utils.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int32_t PositiveMod(int32_t v, int32_t m) {
  const int32_t r = int32_t(int64_t(v) % m);
  return r < 0 ? r + m : r;
}

// The first copy position, on the lattice start + k * cell, whose extent reaches past `low`: the
// copies before it lie wholly outside the clip. With a pitch below the content's extent this also
// reaches back to the copies left of (or above) `start` that still overlap the clip.
int64_t FirstCopy(int64_t start, int64_t extent, int64_t cell, int64_t low) {
  return start - FloorDiv(start + extent - 1 - low, cell) * cell;
}

// A distance sets the pitch from half the picture's size on (shorter ones are taken for none).
bool DistanceCounts(int32_t distance, int32_t picture_size) { return distance >= 1 && distance >= picture_size / 2; }

bool HasKey(const TCustomDIBX& picture) { return picture.TransparentColor != -1; }

// One unscaled copy of `part` at (x, y): blend below 255, copy at 255, add above (with the mask
// in place of the colour key when there is one).
void DrawPart(TCustomDIBX& target, int32_t x, int32_t y, TCustomDIBX& picture, const TRect& part,
              TCustomDIBX* mask, const TTileLook& look) {
  const bool key = HasKey(picture);
  const int32_t a = look.Alpha;
  if (mask) {
    if (a < 255) {
      target.DrawMaskAlpha(x, y, picture, part, look.FlipH, look.FlipV, *mask, a);
    } else if (a == 255) {
      target.DrawMask(x, y, picture, part, look.FlipH, look.FlipV, *mask);
    } else {
      target.DrawMaskAdd(x, y, picture, part, look.FlipH, look.FlipV, *mask, a - 256);
    }
  } else if (a < 255) {
    target.DrawAlpha(x, y, picture, part, key, look.FlipH, look.FlipV, a);
  } else if (a == 255) {
    target.Draw(x, y, picture, part, key, look.FlipH, look.FlipV);
  } else {
    target.DrawAdd(x, y, picture, part, key, look.FlipH, look.FlipV, a - 256);
  }
}

void RenderSpaced(TCustomDIBX& target, TCustomDIBX& picture, TCustomDIBX* mask, const TTileLook& look,
                  int32_t cell_w, int32_t cell_h) {
  const TRect clip = IntersectRects(IntersectRects(look.Rect, target.GetClipRect()), target.BoundsRect());
  if (IsRectEmpty(clip)) return;
  const TRect saved = target.ClipRect;
  target.ClipRect = clip;
  const int32_t ox = PositiveMod(look.ScrollX, cell_w);
  const int32_t oy = PositiveMod(look.ScrollY, cell_h);
  const TRect& r = look.Rect;
  for (const TRect& c : TileContentRects(picture)) {
    const TRect part = IntersectRects(c, picture.BoundsRect());
    if (IsRectEmpty(part)) continue;
    const int64_t bx = look.FlipH ? int64_t(r.Left) + picture.Width() - part.Right : int64_t(r.Left) + part.Left;
    const int64_t by = look.FlipV ? int64_t(r.Top) + picture.Height() - part.Bottom : int64_t(r.Top) + part.Top;
    const int64_t x0 = FirstCopy(bx - ox, part.Width(), cell_w, clip.Left);
    const int64_t y0 = FirstCopy(by - oy, part.Height(), cell_h, clip.Top);
    for (int64_t y = y0; y < clip.Bottom; y += cell_h) {
      for (int64_t x = x0; x < clip.Right; x += cell_w) DrawPart(target, int32_t(x), int32_t(y), picture, part, mask, look);
    }
  }
  target.ClipRect = saved;
}

}  // namespace

int32_t TileCell(int32_t distance, int32_t picture_size) {
  return DistanceCounts(distance, picture_size) ? distance : picture_size;
}

std::span<const TRect> TileContentRects(const TCustomDIBX& picture) { return picture.Rects1; }

TTilePath ChooseTilePath(const TTileLook& look, const TCustomDIBX& picture, const TCustomDIBX* mask) {
  if (picture.IsEmpty() || look.Alpha < 1 || look.Rect.Width() < 1 || look.Rect.Height() < 1 || look.ZoomX < 1 ||
      look.ZoomY < 1) {
    return TTilePath::None;
  }
  const bool unzoomed = look.ZoomX == 256 && look.ZoomY == 256;
  const bool spaced = DistanceCounts(look.DistanceX, picture.Width()) || DistanceCounts(look.DistanceY, picture.Height());
  if (!spaced) {
    if (unzoomed && !HasKey(picture) && !mask && look.Alpha == 255) return TTilePath::Pattern;
    return TTilePath::PatternTable;
  }
  if (unzoomed && !TileContentRects(picture).empty()) return TTilePath::Spaced;
  return TTilePath::StretchTiles;
}

void RenderTile(TCustomDIBX& target, TCustomDIBX& picture, TCustomDIBX* mask, const TTileLook& look) {
  const TTilePath path = ChooseTilePath(look, picture, mask);
  const int32_t cell_w = TileCell(look.DistanceX, picture.Width());
  const int32_t cell_h = TileCell(look.DistanceY, picture.Height());
  const bool key = HasKey(picture);
  switch (path) {
    case TTilePath::None: return;
    case TTilePath::Pattern:
      target.FillPattern(look.Rect, picture, look.ScrollX, look.ScrollY, look.FlipH, look.FlipV);
      return;
    case TTilePath::PatternTable:
      if (mask) {
        target.DrawPatternTableMask(look.Rect, look.ZoomX, look.ZoomY, picture, look.ScrollX, look.ScrollY, look.FlipH,
                                    look.FlipV, *mask, look.Alpha);
      } else {
        target.DrawPatternTable(look.Rect, look.ZoomX, look.ZoomY, picture, look.ScrollX, look.ScrollY, key, look.FlipH,
                                look.FlipV, look.Alpha);
      }
      return;
    case TTilePath::Spaced: RenderSpaced(target, picture, mask, look, cell_w, cell_h); return;
    case TTilePath::StretchTiles:
      if (mask) {
        target.StretchTileMask(look.Rect, cell_w, cell_h, look.ZoomX, look.ZoomY, picture, picture.BoundsRect(), *mask,
                               look.FlipH, look.FlipV, look.Alpha, look.ScrollX, look.ScrollY);
      } else {
        target.StretchTile(look.Rect, cell_w, cell_h, look.ZoomX, look.ZoomY, picture, picture.BoundsRect(), key,
                           look.FlipH, look.FlipV, look.Alpha, look.ScrollX, look.ScrollY);
      }
      return;
  }
}

}  // namespace kova
