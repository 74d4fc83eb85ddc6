// The player's main window: it opens the game (the session) and its window, turns the window's
// events into the scene's input state once they arrive, runs the frame loop from the idle time
// between events, switches between a window and full screen when the script asks, and shuts
// everything down in one place.
//
// Start-up (Create): the session, handed the window's screen (the scene's host, which also moves
// the pointer for the script) and the screen manager's port at construction; the game's data
// sources (the command line's folders, else an archive appended to the program file), the
// project, then the screen: a window of the game's size with a 9-row strip above the picture, its
// presenter, and the screen manager whose back buffer the scene draws into; the window is centred
// in the desktop's work area and shown.
//
// The frame loop (Run): events first; when none waits, one idle pass: the session's real-time
// step (the time since the last frame by the frame rule: a gap of more than 3000 ms, or a clock
// going back, counts as no time and only restarts the count), then, when the project asks for
// pacing, a sleep for the rest of the 16 ms frame (at least 2 ms). While the window has no focus,
// or after the close, the loop waits for the next event instead and uses no processor time.
//
// Input: a mouse press (left or right, each its own) counts only while the window has the focus;
// moves, releases and key releases always; a key press only while focused and not as a repeat.
// The text field of an edit or memo that has the keyboard takes the key presses (repeats too) and
// the typed text first, and a press into a field takes the keyboard to it; the game does not see
// what a field took.
// Losing the focus empties the key state; getting it back restarts the frame time, so time spent
// away is not counted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/scene/scene_host.h"
#include "platform/window/dialogs.h"
#include "player/desktop.h"
#include "player/screen_manager.h"
#include "player/session.h"
#include "player/sound_settings.h"
#include "script/screen_port.h"

namespace kova {

class TFormView : public TScreenPort {
 public:
  // The strip above the picture in a window.
  static constexpr int32_t kDockHeight = 9;
  // The client area of a window without a game picture.
  static constexpr plat::TSize kEmptyClient{563, 425};
  // The user event that asks the loop to close the window (the script's Terminate posts it).
  static constexpr uint32_t kCloseEvent = 0x10;

  // `desktop` must outlive the view. `settings` are the sound settings read at start.
  TFormView(IDesktop& desktop, TSoundSettings settings);
  ~TFormView() override;
  TFormView(const TFormView&) = delete;
  TFormView& operator=(const TFormView&) = delete;

  // Opens the game and its window. `program_file`: the player's own file (a game may be appended
  // to it). False when the game cannot start: its message has been shown (and written to standard
  // error) and everything is shut down.
  bool Create(const TLaunchInfo& launch, const std::string& program_file);
  // Runs until the window closes; the exit status: 0 when the game ended or was closed, 1 when it
  // stopped on an error.
  int Run();
  // The one shutdown of every exit path (the second call does nothing): no frame step runs after
  // it; the game (project, variables, scene) goes first, then the screen and the window.
  void Close();

  // One window event (what Run dispatches).
  void Dispatch(const plat::TEvent& event);
  // One idle pass of the frame loop; true when the loop should wait for the next event.
  bool Idle();

  // ---- State ----
  TSession* Session() { return session_.get(); }
  TScreenManager* Screen() { return screen_.get(); }
  plat::IWindow* Window() { return window_.window.get(); }
  bool AppActive() const { return active_; }
  bool QuitRequested() const { return quit_; }
  const TSoundSettings& Settings() const { return settings_; }
  // The game's settings file (outliving the view), given to the session for its "CDDrive".
  void SetSettingsIni(const plat::TIniFile* ini) { settings_ini_ = ini; }
  // Frame steps run so far.
  int64_t Steps() const { return steps_; }

  // ---- The screen as the script sees it ----
  bool HasScreenManager() const override { return screen_ != nullptr; }
  bool FullScreen() const override { return screen_ && screen_->FullScreen(); }
  void SetFullScreen(bool full_screen) override;
  int32_t DisplayModeCount() const override { return screen_ ? screen_->ModeCount() : 0; }
  int32_t DisplayModeIndex() const override { return screen_ ? screen_->ModeIndex : 0; }
  void ApplyFullScreenMode(int32_t index) override;
  bool GetDisplayMode(int32_t i, TDisplayMode& mode) const override;

 private:
  // The main window as the session's parts see it: the caption, the close request, the owner of
  // boxes.
  class TMainWindow : public plat::IMainWindow {
   public:
    explicit TMainWindow(TFormView& view) : view_(view) {}
    void PostClose() override;
    void* DialogOwner() const override;
    std::string Title() const override { return title_; }
    void SetTitle(std::string_view title) override;

   private:
    TFormView& view_;
    std::string title_;
  };
  // The scene's screen: the screen manager's back buffer, made once the project is open.
  class TScreenHost : public TSceneHost {
   public:
    explicit TScreenHost(TFormView& view) : view_(view) {}
    void OpenScreen(int32_t width, int32_t height) override { view_.OpenScreen(width, height); }
    void Present(TKovaBaseList& root) override;
    TCustomDIBX* ScreenSurface() override;
    int32_t ScreenBitCount() override;
    TPoint PointerPosition() override;
    void WarpPointer(TPoint p) override;
    plat::ITextFieldHost& TextFields() override;

   private:
    TFormView& view_;
  };
  // The desktop's boxes, each also written to standard error.
  class TReportingDialogs : public plat::IDialogs {
   public:
    explicit TReportingDialogs(plat::IDialogs& boxes) : boxes_(boxes) {}
    plat::TMessageAnswer ShowMessage(const plat::TMessageBox& box) override;
    bool Shown(std::string_view text) const;

   private:
    plat::IDialogs& boxes_;
    std::vector<std::string> shown_;
  };

  void OpenScreen(int32_t width, int32_t height);
  void PlaceWindow();
  // Before a switch between window and full screen: the overlay videos stop being drawn.
  void SuspendVideo();
  // After a switch between window and full screen: the strip above the picture, the overlay
  // videos drawn again and a full repaint.
  void AfterModeChange();
  void Activate();
  void Deactivate();
  // Shows the text fields again when they changed (typing, the caret) and nothing presented them.
  void ShowFieldChanges();
  void ShowWarning(std::string_view text);

  IDesktop& desktop_;
  TSoundSettings settings_;
  const plat::TIniFile* settings_ini_ = nullptr;
  TMainWindow main_window_{*this};
  TReportingDialogs dialogs_;
  plat::TServices services_;
  TScreenHost screen_host_{*this};
  TDesktopWindow window_;
  std::unique_ptr<TScreenManager> screen_;
  std::unique_ptr<TSession> session_;
  bool active_ = false;
  bool quit_ = false;
  bool closed_ = false;
  int status_ = 0;
  int64_t steps_ = 0;
};

}  // namespace kova
