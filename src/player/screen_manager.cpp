#include "player/screen_manager.h"

#include "components/scene/kova_base_list.h"

namespace kova {

TModeChoice ChooseModes(const std::vector<plat::TDisplayMode>& offered, int32_t min_width, int32_t min_height,
                        int32_t preferred_width, int32_t preferred_height, int32_t preferred_bits) {
  TModeChoice c;
  auto preferred_size = [&](const plat::TDisplayMode& m) {
    return m.Width == preferred_width && m.Height == preferred_height;
  };
  for (const plat::TDisplayMode& m : offered) {
    // Compared as the display's unsigned numbers.
    if (uint32_t(m.Width) < uint32_t(min_width) || uint32_t(m.Height) < uint32_t(min_height) ||
        uint32_t(m.BitCount) < 16u) {
      continue;
    }
    c.modes.push_back(m);
    const int32_t index = int32_t(c.modes.size()) - 1;
    if (c.chosen < 0) {
      c.chosen = index;
      continue;
    }
    const plat::TDisplayMode& chosen = c.modes[size_t(c.chosen)];
    if (!preferred_size(m)) continue;
    if (!preferred_size(chosen) ||
        (m.BitCount == preferred_bits &&
         (chosen.BitCount != preferred_bits || uint32_t(m.RefreshRate) < uint32_t(chosen.RefreshRate)))) {
      c.chosen = index;
    }
  }
  return c;
}

int32_t BackBufferBits(const plat::TDesktopMode& desktop) {
  if (desktop.masks555) return 15;
  return desktop.mode.BitCount <= 16 ? 16 : 32;
}

TScreenManager::TScreenManager(plat::IDisplay& display, plat::IWindow& window, plat::IPresenter& presenter,
                               int32_t min_width, int32_t min_height, int32_t preferred_width,
                               int32_t preferred_height)
    : window_(window), presenter_(presenter) {
  const plat::TDesktopMode desktop = display.DesktopMode();
  if (desktop.mode.BitCount > 0) preferred_bit_count_ = desktop.mode.BitCount;
  TModeChoice choice =
      ChooseModes(display.Modes(), min_width, min_height, preferred_width, preferred_height, preferred_bit_count_);
  modes_ = std::move(choice.modes);
  ModeIndex = choice.chosen;
  // The display keeps its mode in full screen too, so one back buffer serves both.
  display_bit_count_ = desktop.masks555 ? 15 : desktop.mode.BitCount;
  bit_count_ = BackBufferBits(desktop);
  back_buffer_.SetSize(min_width, min_height, bit_count_);
}

bool TScreenManager::GetMode(int32_t i, plat::TDisplayMode& mode) const {
  if (i < 0 || i >= ModeCount()) return false;
  mode = modes_[size_t(i)];
  return true;
}

void TScreenManager::SetMode(int32_t index) {
  if (index < 0) index = -1;
  if (index == current_mode_) return;
  // A mode the display does not list is refused like one it cannot show: the window it is.
  if (index >= 0 && (index >= ModeCount() || !window_.EnterFullScreen())) index = -1;
  if (index < 0) window_.LeaveFullScreen();
  current_mode_ = index;
  full_screen_ = index >= 0;
}

plat::TFrameBuffer FrameOf(TCustomDIBX& surface) {
  plat::TFrameBuffer frame;
  if (surface.IsEmpty()) return frame;
  uint8_t* top = surface.PixelAddress(0, 0);
  if (!top) return frame;
  surface.Unlock();  // a memory surface's pixels stay where they are
  frame.top_row = top;
  frame.pitch = surface.Pitch();
  frame.width = surface.Width();
  frame.height = surface.Height();
  frame.bits = surface.BitCount();
  return frame;
}

plat::TFrameBuffer TScreenManager::Frame() { return FrameOf(back_buffer_); }

void TScreenManager::Present(const TKovaBaseList& root) {
  rects_.clear();
  const TRect area = root.TransitionArea();
  if (area.Right > area.Left && area.Bottom > area.Top) {
    rects_.push_back(plat::TScreenRect{area.Left, area.Top, area.Right, area.Bottom});
  } else {
    for (const TRect& r : root.ActiveBase()->DirtyList().Items()) {
      rects_.push_back(plat::TScreenRect{r.Left, r.Top, r.Right, r.Bottom});
    }
  }
  const bool overlays = overlay_ && overlay_->Visible();
  if (!overlays && !composing_) {
    if (rects_.empty()) return;
    presenter_.PresentRects(Frame(), rects_);
    return;
  }
  // The composed picture follows the back buffer where the scene drew and where an overlay was
  // drawn last time; then the overlays are drawn over it.
  const bool whole = !composing_ || composed_.Width() != back_buffer_.Width() ||
                     composed_.Height() != back_buffer_.Height() || composed_.BitCount() != back_buffer_.BitCount();
  if (whole) {
    composed_.CopyFrom(back_buffer_);
  } else {
    auto refresh = [&](int32_t left, int32_t top, int32_t right, int32_t bottom) {
      if (right > left && bottom > top) composed_.Draw(left, top, back_buffer_, TRect{left, top, right, bottom}, false, false, false);
    };
    for (const plat::TScreenRect& r : rects_) refresh(r.left, r.top, r.right, r.bottom);
    for (const TRect& r : last_areas_) refresh(r.Left, r.Top, r.Right, r.Bottom);
  }
  overlay_areas_.clear();
  if (overlays) overlay_->Draw(composed_, overlay_areas_);
  for (const TRect& r : last_areas_) rects_.push_back(plat::TScreenRect{r.Left, r.Top, r.Right, r.Bottom});
  for (const TRect& r : overlay_areas_) rects_.push_back(plat::TScreenRect{r.Left, r.Top, r.Right, r.Bottom});
  last_areas_.swap(overlay_areas_);
  composing_ = overlays;
  if (whole) {
    presenter_.RepaintAll(FrameOf(composed_));
  } else if (!rects_.empty()) {
    presenter_.PresentRects(FrameOf(composed_), rects_);
  }
}

void TScreenManager::RepaintAll() { presenter_.RepaintAll(FrameOf(Shown())); }

}  // namespace kova
