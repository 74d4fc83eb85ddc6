// The player's window, display, picture and input over SDL2.
//
// TSdlVideo starts SDL's video for as long as it lives. TSdlWindow is the one main window; the
// presenter and the event source work on it: the presenter draws with an SDL renderer (hardware
// where there is one, software otherwise) from a streaming texture of the game's size, scaled to
// the window with its aspect kept; the event source maps mouse positions back through the same
// viewport. Main thread only, except IEventSource::PostUser and Wake.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/window/dialogs.h"
#include "platform/window/mouse_filter.h"
#include "platform/window/video.h"

namespace kova::plat {

class TSdlVideo {
 public:
  // Starts SDL's video and events; nullptr (with SDL's reason in `error`) when there is no display.
  static std::unique_ptr<TSdlVideo> Open(std::string* error);
  ~TSdlVideo();
  TSdlVideo(const TSdlVideo&) = delete;
  TSdlVideo& operator=(const TSdlVideo&) = delete;

  // The video driver in use ("x11", "wayland", "dummy", ...).
  std::string DriverName() const;

 private:
  TSdlVideo() = default;
};

class TSdlDisplay : public IDisplay {
 public:
  explicit TSdlDisplay(int index = 0) : index_(index) {}
  TDesktopMode DesktopMode() override;
  std::vector<TDisplayMode> Modes() override;
  TScreenRect WorkArea() override;

 private:
  int index_;
};

class TSdlWindow : public IWindow {
 public:
  struct TOptions {
    bool resizable = true;
    bool hidden = false;
  };
  // A window centred on the first display; nullptr (SDL's reason in `error`) when it cannot be made.
  static std::unique_ptr<TSdlWindow> Create(TSdlVideo& video, std::string_view caption, TSize client,
                                            const TOptions& options, std::string* error);
  ~TSdlWindow() override;

  void SetCaption(std::string_view caption) override;
  std::string Caption() const override { return caption_; }
  void Show() override;
  bool Visible() const override;
  void SetClientSize(TSize size) override;
  TSize ClientSize() const override;
  void SetPosition(TPoint position) override;
  TPoint Position() const override;
  TSize FrameSize() const override;
  void SetBordered(bool bordered) override;
  bool Bordered() const override;
  TWindowPlacement SavePlacement() const override;
  void RestorePlacement(const TWindowPlacement& placement) override;
  bool EnterFullScreen() override;
  void LeaveFullScreen() override;
  bool IsFullScreen() const override;
  bool HasFocus() const override;
  void SetTopStrip(int32_t rows) override { top_strip_ = rows; }
  void SetGameSize(TSize size) override { game_ = size; }
  TViewport Viewport() const override;
  void WarpPointer(TPoint game) override;
  void SetCursorImage(const TImageArgb* image, TPoint hot_spot) override;
  void SetIcon(const TImageArgb& icon) override;
  void ShowWarning(std::string_view title, std::string_view text) override;
  void BeginTextInput(const TScreenRect& field) override;
  void EndTextInput() override;
  void* NativeHandle() const override { return window_; }

  SDL_Window* Handle() const { return window_; }
  int32_t TopStrip() const { return top_strip_; }
  // The boxes that ShowWarning shows (owned by this window); without them, SDL's own box.
  void SetDialogs(IDialogs* dialogs) { dialogs_ = dialogs; }
  // The same viewport in the renderer's output pixels (they differ from window units on scaled
  // desktops).
  TViewport OutputViewport(TSize output) const;

 private:
  explicit TSdlWindow(SDL_Window* window) : window_(window) {}

  SDL_Window* window_;
  std::string caption_;
  int32_t top_strip_ = 0;
  TSize game_;
  TWindowPlacement before_full_screen_;
  bool full_screen_ = false;
  bool covering_ = false;  // full screen made by covering the display (no window manager)
  SDL_Cursor* cursor_ = nullptr;
  IDialogs* dialogs_ = nullptr;
};

class TSdlPresenter : public IPresenter {
 public:
  struct TOptions {
    bool software = false;     // never try a hardware renderer
    bool smooth_scale = true;  // filter the picture when it is scaled
  };
  // Sets the window's game size; nullptr (SDL's reason in `error`) when no renderer can be made.
  static std::unique_ptr<TSdlPresenter> Create(TSdlWindow& window, TSize game, const TOptions& options,
                                               std::string* error);
  ~TSdlPresenter() override;

  TSize GameSize() const override { return game_; }
  void PresentRects(const TFrameBuffer& frame, std::span<const TScreenRect> rects) override;
  void RepaintAll(const TFrameBuffer& frame) override;

  // The renderer's name ("opengl", "software", ...) and whether it is a hardware one.
  std::string RendererName() const;
  bool Accelerated() const;
  SDL_Renderer* Renderer() const { return renderer_; }

  // Drawn over the picture every time it is shown (the text fields), given where the picture lies
  // in the renderer's output; an empty function draws nothing.
  using TOverlay = std::function<void(SDL_Renderer*, const TViewport&)>;
  void SetOverlay(TOverlay overlay) { overlay_ = std::move(overlay); }
  // Shows the picture as it is again, with the overlay drawn anew.
  void ShowAgain() { Show(); }

 private:
  TSdlPresenter(TSdlWindow& window, TSize game) : window_(window), game_(game) {}
  bool Upload(const TFrameBuffer& frame, const TScreenRect& rect);
  void Show();

  TSdlWindow& window_;
  TSize game_;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  TOverlay overlay_;
};

class TSdlEvents : public IEventSource {
 public:
  explicit TSdlEvents(TSdlWindow& window);

  bool Poll(TEvent& event) override;
  bool Wait(TEvent& event, int32_t timeout_ms = -1) override;
  void PostUser(uint32_t code, int64_t param1 = 0, int64_t param2 = 0) override;
  void Wake() override;

 private:
  // Turns one SDL event into the events it makes, queued for Poll and Wait.
  void Translate(const SDL_Event& e);
  bool Pop(TEvent& event);
  void Push(TEvent e) { pending_.push_back(std::move(e)); }

  TSdlWindow& window_;
  uint32_t user_type_ = 0;
  uint32_t wake_type_ = 0;
  std::atomic<bool> wake_queued_{false};
  TMouseFilter mouse_;
  std::deque<TEvent> pending_;
};

}  // namespace kova::plat
