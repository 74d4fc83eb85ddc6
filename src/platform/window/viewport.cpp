#include "platform/window/viewport.h"

#include <algorithm>

namespace kova::plat {

TViewport::TViewport(TSize client, int32_t top_strip, TSize game) : game_(game) {
  top_strip = std::clamp(top_strip, 0, std::max(client.height, 0));
  const int64_t area_w = client.width;
  const int64_t area_h = client.height - top_strip;
  if (area_w <= 0 || area_h <= 0 || game.width <= 0 || game.height <= 0) {
    picture_ = TScreenRect{0, top_strip, 0, top_strip};
    return;
  }
  int64_t w, h;
  // Width-limited when area_w / game_w <= area_h / game_h (compared without division).
  if (area_w * game.height <= area_h * game.width) {
    w = area_w;
    h = (area_w * game.height + game.width / 2) / game.width;
  } else {
    h = area_h;
    w = (area_h * game.width + game.height / 2) / game.height;
  }
  w = std::max<int64_t>(w, 1);
  h = std::max<int64_t>(h, 1);
  const int64_t left = (area_w - w) / 2;
  const int64_t top = top_strip + (area_h - h) / 2;
  picture_ = TScreenRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                         static_cast<int32_t>(left + w), static_cast<int32_t>(top + h)};
}

bool TViewport::ToGame(TPoint window, TPoint& game) const {
  if (picture_.IsEmpty()) {
    game = TPoint{};
    return false;
  }
  const int64_t w = picture_.Width();
  const int64_t h = picture_.Height();
  // Floor division, so positions left of or above the picture map below 0 before clamping.
  auto floor_div = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  const int64_t gx = floor_div((int64_t{window.x} - picture_.left) * game_.width, w);
  const int64_t gy = floor_div((int64_t{window.y} - picture_.top) * game_.height, h);
  const bool inside = gx >= 0 && gy >= 0 && gx < game_.width && gy < game_.height;
  game.x = static_cast<int32_t>(std::clamp<int64_t>(gx, 0, game_.width - 1));
  game.y = static_cast<int32_t>(std::clamp<int64_t>(gy, 0, game_.height - 1));
  return inside;
}

TPoint TViewport::ToWindow(TPoint game) const {
  if (picture_.IsEmpty()) return TPoint{picture_.left, picture_.top};
  const int64_t w = picture_.Width();
  const int64_t h = picture_.Height();
  const int64_t gx = std::clamp<int64_t>(game.x, 0, game_.width - 1);
  const int64_t gy = std::clamp<int64_t>(game.y, 0, game_.height - 1);
  // The centre of the pixel's span: (2g + 1) * w / (2 * game width).
  return TPoint{static_cast<int32_t>(picture_.left + (2 * gx + 1) * w / (2 * game_.width)),
                static_cast<int32_t>(picture_.top + (2 * gy + 1) * h / (2 * game_.height))};
}

}  // namespace kova::plat
