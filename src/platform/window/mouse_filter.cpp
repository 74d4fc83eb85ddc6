#include "platform/window/mouse_filter.h"

namespace kova::plat {

namespace {

TEvent MouseEvent(TEventKind kind, TMouseButton button, TPoint pos) {
  TEvent e;
  e.kind = kind;
  e.button = button;
  e.pos = pos;
  return e;
}

}  // namespace

bool TMouseFilter::Move(const TViewport& view, TPoint window, TEvent& out) {
  TPoint game;
  if (!view.ToGame(window, game) && !AnyHeld()) return false;
  last_ = game;
  out = MouseEvent(TEventKind::MouseMove, TMouseButton::None, game);
  return true;
}

bool TMouseFilter::Down(const TViewport& view, TMouseButton button, TPoint window, TEvent& out) {
  if (button == TMouseButton::None) return false;
  TPoint game;
  if (!view.ToGame(window, game)) return false;
  Held(button) = true;
  last_ = game;
  out = MouseEvent(TEventKind::MouseDown, button, game);
  return true;
}

bool TMouseFilter::Up(const TViewport& view, TMouseButton button, TPoint window, TEvent& out) {
  if (button == TMouseButton::None) return false;
  TPoint game;
  const bool inside = view.ToGame(window, game);
  if (!Held(button) && !inside) return false;
  Held(button) = false;
  last_ = game;
  out = MouseEvent(TEventKind::MouseUp, button, game);
  return true;
}

std::vector<TEvent> TMouseFilter::ReleaseAll() {
  std::vector<TEvent> ups;
  for (TMouseButton b : {TMouseButton::Left, TMouseButton::Right}) {
    if (Held(b)) ups.push_back(MouseEvent(TEventKind::MouseUp, b, last_));
    Held(b) = false;
  }
  return ups;
}

}  // namespace kova::plat
