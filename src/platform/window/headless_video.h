// The headless twins of the window, the display, the presenter and the event source: everything
// in memory, nothing shown, every request recorded for tests and headless runs to read back.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/event_mailbox.h"
#include "platform/window/video.h"

namespace kova::plat {

// A display whose desktop mode, mode list and work area are set by hand. By default one mode,
// 1024 x 768 at 32 bits, which is also the desktop and the work area.
class TConfigurableDisplay : public IDisplay {
 public:
  TConfigurableDisplay();
  TDesktopMode DesktopMode() override { return desktop_; }
  std::vector<TDisplayMode> Modes() override { return modes_; }
  TScreenRect WorkArea() override { return work_area_; }

  void SetDesktop(const TDesktopMode& desktop) { desktop_ = desktop; }
  void SetModes(std::vector<TDisplayMode> modes) { modes_ = std::move(modes); }
  void SetWorkArea(const TScreenRect& area) { work_area_ = area; }

 private:
  TDesktopMode desktop_;
  std::vector<TDisplayMode> modes_;
  TScreenRect work_area_;
};

// A window that only keeps its state. Its frame adds fixed borders (none by default) around the
// client area; full screen makes the client area the desktop's size at 0,0 without borders, and
// size, place and border set meanwhile are those it comes back to.
class THeadlessWindow : public IWindow {
 public:
  struct TFrame {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
  };
  struct TWarning {
    std::string title;  // code page 932
    std::string text;
  };

  explicit THeadlessWindow(TSize client = {640, 480}, TSize desktop = {1024, 768});

  void SetCaption(std::string_view caption) override { caption_ = caption; }
  std::string Caption() const override { return caption_; }
  void Show() override { visible_ = true; }
  bool Visible() const override { return visible_; }
  void SetClientSize(TSize size) override;
  TSize ClientSize() const override { return client_; }
  void SetPosition(TPoint position) override;
  TPoint Position() const override { return position_; }
  TSize FrameSize() const override;
  void SetBordered(bool bordered) override;
  bool Bordered() const override { return bordered_; }
  TWindowPlacement SavePlacement() const override;
  void RestorePlacement(const TWindowPlacement& placement) override;
  bool EnterFullScreen() override;
  void LeaveFullScreen() override;
  bool IsFullScreen() const override { return full_screen_; }
  bool HasFocus() const override { return focus_; }
  void SetTopStrip(int32_t rows) override { top_strip_ = rows; }
  void SetGameSize(TSize size) override { game_ = size; }
  TViewport Viewport() const override;
  void WarpPointer(TPoint game) override;
  void SetCursorImage(const TImageArgb* image, TPoint hot_spot) override;
  void SetIcon(const TImageArgb& icon) override { icon_ = icon; }
  void ShowWarning(std::string_view title, std::string_view text) override;
  void BeginTextInput(const TScreenRect& field) override;
  void EndTextInput() override { text_input_ = false; }
  void* NativeHandle() const override { return nullptr; }

  // Test controls and records.
  void SetFrame(const TFrame& frame) { frame_ = frame; }
  void RefuseFullScreen(bool refuse) { refuse_full_screen_ = refuse; }
  void SetFocus(bool focus) { focus_ = focus; }
  const std::vector<TPoint>& Warps() const { return warps_; }  // window positions
  const std::vector<TWarning>& Warnings() const { return warnings_; }
  // Also writes every warning (as UTF-8) to standard error.
  void SetEcho(bool echo) { echo_ = echo; }
  bool HasCursorImage() const { return has_cursor_; }
  TPoint CursorHotSpot() const { return cursor_hot_; }
  const TImageArgb& Icon() const { return icon_; }
  bool TextInputOn() const { return text_input_; }
  const TScreenRect& TextInputField() const { return text_field_; }

 private:
  TSize client_;
  TSize desktop_;
  TPoint position_;
  TFrame frame_;
  bool bordered_ = true;
  bool full_screen_ = false;
  bool visible_ = false;
  bool refuse_full_screen_ = false;
  bool focus_ = true;
  TWindowPlacement before_full_screen_;
  std::string caption_;
  int32_t top_strip_ = 0;
  TSize game_;
  std::vector<TPoint> warps_;
  std::vector<TWarning> warnings_;
  bool echo_ = false;
  bool has_cursor_ = false;
  TPoint cursor_hot_;
  TImageArgb icon_;
  bool text_input_ = false;
  TScreenRect text_field_;
};

// Keeps the picture in a 32-bit buffer of the game's size (0x00RRGGBB, top row first) that tests
// read back, and records what each present took.
class THeadlessPresenter : public IPresenter {
 public:
  explicit THeadlessPresenter(TSize game);

  TSize GameSize() const override { return game_; }
  void PresentRects(const TFrameBuffer& frame, std::span<const TScreenRect> rects) override;
  void RepaintAll(const TFrameBuffer& frame) override;

  uint32_t Pixel(int32_t x, int32_t y) const { return pixels_[size_t(y) * game_.width + x]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  // The number of pictures shown, and the rectangles (cut to the game) the last one took.
  int32_t PresentCount() const { return presents_; }
  const std::vector<TScreenRect>& LastRects() const { return last_rects_; }

 private:
  TSize game_;
  std::vector<uint32_t> pixels_;
  int32_t presents_ = 0;
  std::vector<TScreenRect> last_rects_;
};

// Events from a script keyed by frame number. OnFrame(n) releases the events of every frame up to
// n, in frame order and then in the order they were added. Wait with nothing released moves on to
// the next scripted frame (time passes until the next input); once the script is used up, Wait
// without a time limit answers Close, so a headless run never waits for input that cannot come.
// Posted events (PostUser, Wake) come first and may arrive from any thread.
class TScriptedEvents : public IEventSource {
 public:
  void Add(uint64_t frame, TEvent event);

  bool Poll(TEvent& event) override;
  bool Wait(TEvent& event, int32_t timeout_ms = -1) override;
  void PostUser(uint32_t code, int64_t param1 = 0, int64_t param2 = 0) override {
    mailbox_.PostUser(code, param1, param2);
  }
  void Wake() override { mailbox_.Wake(); }
  void OnFrame(uint64_t frame) override;

  uint64_t Frame() const { return frame_; }
  bool Exhausted() const { return script_.empty() && released_.empty(); }

 private:
  std::multimap<uint64_t, TEvent> script_;
  std::deque<TEvent> released_;
  uint64_t frame_ = 0;
  TEventMailbox mailbox_;
};

}  // namespace kova::plat
