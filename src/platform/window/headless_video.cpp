#include "platform/window/headless_video.h"

#include <algorithm>
#include <cstdio>

#include "platform/text/text_codec.h"

namespace kova::plat {

// ---- TConfigurableDisplay ----

TConfigurableDisplay::TConfigurableDisplay()
    : desktop_{TDisplayMode{1024, 768, 32, 60}, false},
      modes_{desktop_.mode},
      work_area_{0, 0, 1024, 768} {}

// ---- THeadlessWindow ----

THeadlessWindow::THeadlessWindow(TSize client, TSize desktop) : client_(client), desktop_(desktop) {}

void THeadlessWindow::SetClientSize(TSize size) {
  size = TSize{std::max(size.width, 1), std::max(size.height, 1)};
  (full_screen_ ? before_full_screen_.client : client_) = size;
}

void THeadlessWindow::SetPosition(TPoint position) {
  (full_screen_ ? before_full_screen_.position : position_) = position;
}

void THeadlessWindow::SetBordered(bool bordered) {
  (full_screen_ ? before_full_screen_.bordered : bordered_) = bordered;
}

TSize THeadlessWindow::FrameSize() const {
  if (!bordered_ || full_screen_) return client_;
  return TSize{client_.width + frame_.left + frame_.right, client_.height + frame_.top + frame_.bottom};
}

TWindowPlacement THeadlessWindow::SavePlacement() const {
  if (full_screen_) return before_full_screen_;
  return TWindowPlacement{position_, client_, bordered_};
}

void THeadlessWindow::RestorePlacement(const TWindowPlacement& placement) {
  if (full_screen_) {
    before_full_screen_ = placement;
    return;
  }
  bordered_ = placement.bordered;
  client_ = TSize{std::max(placement.client.width, 1), std::max(placement.client.height, 1)};
  position_ = placement.position;
}

bool THeadlessWindow::EnterFullScreen() {
  if (full_screen_) return true;
  if (refuse_full_screen_) return false;
  before_full_screen_ = SavePlacement();
  full_screen_ = true;
  client_ = desktop_;
  position_ = TPoint{};
  return true;
}

void THeadlessWindow::LeaveFullScreen() {
  if (!full_screen_) return;
  full_screen_ = false;
  RestorePlacement(before_full_screen_);
}

TViewport THeadlessWindow::Viewport() const {
  return TViewport(client_, top_strip_, game_.width > 0 ? game_ : client_);
}

void THeadlessWindow::WarpPointer(TPoint game) { warps_.push_back(Viewport().ToWindow(game)); }

void THeadlessWindow::SetCursorImage(const TImageArgb* image, TPoint hot_spot) {
  has_cursor_ = image != nullptr;
  cursor_hot_ = image ? hot_spot : TPoint{};
}

void THeadlessWindow::ShowWarning(std::string_view title, std::string_view text) {
  warnings_.push_back(TWarning{std::string(title), std::string(text)});
  if (echo_) std::fprintf(stderr, "%s: %s\n", Cp932ToUtf8(title).c_str(), Cp932ToUtf8(text).c_str());
}

void THeadlessWindow::BeginTextInput(const TScreenRect& field) {
  text_input_ = true;
  text_field_ = field;
}

// ---- THeadlessPresenter ----

THeadlessPresenter::THeadlessPresenter(TSize game)
    : game_{std::max(game.width, 1), std::max(game.height, 1)},
      pixels_(size_t(game_.width) * game_.height, 0) {}

void THeadlessPresenter::PresentRects(const TFrameBuffer& frame, std::span<const TScreenRect> rects) {
  if (!frame.IsValid()) return;
  TFrameBuffer view = frame;
  view.width = std::min(frame.width, game_.width);
  view.height = std::min(frame.height, game_.height);
  std::vector<TScreenRect> taken;
  for (const TScreenRect& r : rects) {
    const TScreenRect c = ClipToFrame(view, r);
    if (c.IsEmpty()) continue;
    ConvertFrameRect(view, c, reinterpret_cast<uint8_t*>(&pixels_[size_t(c.top) * game_.width + c.left]),
                     ptrdiff_t{game_.width} * 4);
    for (int32_t y = c.top; y < c.bottom; ++y) {  // the top byte is never shown
      for (int32_t x = c.left; x < c.right; ++x) pixels_[size_t(y) * game_.width + x] &= 0xFFFFFF;
    }
    taken.push_back(c);
  }
  if (taken.empty()) return;
  last_rects_ = std::move(taken);
  ++presents_;
}

void THeadlessPresenter::RepaintAll(const TFrameBuffer& frame) {
  const TScreenRect all{0, 0, game_.width, game_.height};
  PresentRects(frame, std::span(&all, 1));
}

// ---- TScriptedEvents ----

void TScriptedEvents::Add(uint64_t frame, TEvent event) {
  script_.emplace(frame, std::move(event));
  if (frame <= frame_) OnFrame(frame_);
}

void TScriptedEvents::OnFrame(uint64_t frame) {
  frame_ = std::max(frame_, frame);
  while (!script_.empty() && script_.begin()->first <= frame_) {
    released_.push_back(std::move(script_.begin()->second));
    script_.erase(script_.begin());
  }
}

bool TScriptedEvents::Poll(TEvent& event) {
  if (mailbox_.Take(event)) return true;
  if (released_.empty()) return false;
  event = std::move(released_.front());
  released_.pop_front();
  return true;
}

bool TScriptedEvents::Wait(TEvent& event, int32_t timeout_ms) {
  if (Poll(event)) return true;
  if (!script_.empty()) {
    OnFrame(script_.begin()->first);
    return Poll(event);
  }
  if (timeout_ms < 0) {
    event = TEvent{};
    event.kind = TEventKind::Close;
    return true;
  }
  return mailbox_.WaitTake(event, timeout_ms);
}

}  // namespace kova::plat
