// The player's window, display, picture and input as the shell sees them. The SDL backend
// (platform/sdl) implements them over a real window; the headless twins (headless_video.h) keep
// everything in memory so that tests and headless runs can drive and read them.
//
// Coordinates: window positions and sizes are in window units (the client area's top-left is
// 0,0); mouse events and the pointer warp are in game pixels, mapped through the window's
// viewport (viewport.h). Texts handed in are code page 932; they are converted at this edge.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/frame_pixels.h"
#include "platform/geometry.h"
#include "platform/window/viewport.h"

namespace kova::plat {

// ---- Display ----

struct TDisplayMode {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;     // 16 or 32 (a 24-bit colour in 32-bit pixels counts as 32)
  int32_t RefreshRate = 0;  // Hz; 0 = the adapter's default
  friend bool operator==(const TDisplayMode&, const TDisplayMode&) = default;
};

struct TDesktopMode {
  TDisplayMode mode;
  bool masks555 = false;  // a 16-bit desktop whose channels are 5-5-5
  friend bool operator==(const TDesktopMode&, const TDesktopMode&) = default;
};

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  virtual TDesktopMode DesktopMode() = 0;
  // The modes the display offers, in the display's own order. Full screen never switches to one
  // of them: choosing a mode only chooses how the picture is scaled on the desktop.
  virtual std::vector<TDisplayMode> Modes() = 0;
  // The part of the desktop that windows may use (less panels and task bars).
  virtual TScreenRect WorkArea() = 0;
};

// ---- Main window ----

// A window's place and look, to be put back after full screen.
struct TWindowPlacement {
  TPoint position;  // the outer frame's top-left on the desktop
  TSize client;
  bool bordered = true;
  friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

// A picture handed to the window (icon, pointer): 32-bit pixels 0xAARRGGBB, top row first, rows
// packed.
struct TImageArgb {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
};

class IWindow {
 public:
  virtual ~IWindow() = default;

  virtual void SetCaption(std::string_view caption) = 0;
  virtual std::string Caption() const = 0;

  // Shows a window made hidden (nothing when it is shown already).
  virtual void Show() = 0;
  virtual bool Visible() const = 0;

  // The client area's size (in a window, not in full screen).
  virtual void SetClientSize(TSize size) = 0;
  virtual TSize ClientSize() const = 0;
  // The outer frame's top-left on the desktop, and the outer size (frame and title included).
  virtual void SetPosition(TPoint position) = 0;
  virtual TPoint Position() const = 0;
  virtual TSize FrameSize() const = 0;
  virtual void SetBordered(bool bordered) = 0;
  virtual bool Bordered() const = 0;

  virtual TWindowPlacement SavePlacement() const = 0;
  virtual void RestorePlacement(const TWindowPlacement& placement) = 0;

  // Full screen is a borderless window the size of the desktop it is on; the display's mode never
  // changes. False when the window could not cover the desktop (it is then a window again).
  virtual bool EnterFullScreen() = 0;
  // Back to a window of the size and place it had before.
  virtual void LeaveFullScreen() = 0;
  virtual bool IsFullScreen() const = 0;

  // The window has the keyboard focus now (true where the display has no focus at all, as on a
  // headless driver), so a caller can start active without waiting for an Activate event.
  virtual bool HasFocus() const = 0;

  // Rows at the top of the client area that the picture leaves free (the strip above the game's
  // picture in a window); 0 in full screen. The picture fits the rest, aspect kept.
  virtual void SetTopStrip(int32_t rows) = 0;
  // The game's size: what the picture is scaled from.
  virtual void SetGameSize(TSize size) = 0;
  // Where the picture lies in the client area now.
  virtual TViewport Viewport() const = 0;

  // Moves the pointer to the centre of a game pixel.
  virtual void WarpPointer(TPoint game) = 0;
  // The pointer's picture with its hot spot; nullptr puts the system arrow back.
  virtual void SetCursorImage(const TImageArgb* image, TPoint hot_spot) = 0;
  virtual void SetIcon(const TImageArgb& icon) = 0;
  // A modal warning box with an OK button; the text also goes to standard error (where no box can
  // be shown, only there).
  virtual void ShowWarning(std::string_view title, std::string_view text) = 0;

  // Text input for edit fields: on, with the field's rectangle (game pixels) for the input
  // method's candidate window, or off (the start state, so keys reach the game unchanged).
  virtual void BeginTextInput(const TScreenRect& field) = 0;
  virtual void EndTextInput() = 0;

  // The backend's own handle (an SDL_Window* for the SDL backend), for boxes owned by the window.
  virtual void* NativeHandle() const = 0;
};

// ---- Presenting ----

class IPresenter {
 public:
  virtual ~IPresenter() = default;
  // The size of the picture it shows (the game's size).
  virtual TSize GameSize() const = 0;
  // Takes the pixels of the given rectangles of `frame` (which has the game's size; rectangles are
  // cut to it, empty ones skipped) and shows the picture scaled into the window. Nothing is shown
  // when no rectangle is left.
  virtual void PresentRects(const TFrameBuffer& frame, std::span<const TScreenRect> rects) = 0;
  // Takes the whole frame and shows it (after an expose or a size change).
  virtual void RepaintAll(const TFrameBuffer& frame) = 0;
};

// ---- Events ----

enum class TEventKind : uint8_t {
  MouseDown,      // button, pos
  MouseUp,        // button, pos
  MouseMove,      // pos
  Wheel,          // wheel (steps; > 0 up, away from the user)
  KeyDown,        // key, repeat
  KeyUp,          // key
  Activate,       // the window got the keyboard focus
  Deactivate,     // the window lost it
  Close,          // the user asked to close the window
  Expose,         // the window must be painted again (shown, uncovered or resized)
  DisplayChange,  // the desktop's displays changed
  TextInput,      // text (committed text of an edit field)
  TextEditing,    // text, edit_start, edit_length (the input method's composition)
  User,           // code, param1, param2 (posted with PostUser)
  Wake,           // posted with Wake
};

enum class TMouseButton : uint8_t { None, Left, Right };

struct TEvent {
  TEventKind kind = TEventKind::Wake;
  TMouseButton button = TMouseButton::None;
  TPoint pos;               // game pixels
  int32_t wheel = 0;
  int32_t key = 0;          // a Windows virtual-key code, 1 to 255
  bool repeat = false;      // a key-down sent again by the keyboard's own repeat
  std::string text;         // code page 932
  int32_t edit_start = 0;   // characters
  int32_t edit_length = 0;  // characters
  uint32_t code = 0;
  int64_t param1 = 0;
  int64_t param2 = 0;
};

// Mouse rules (a window with a captured pointer, as a player expects): outside the picture, moves
// and presses are dropped while no button is held; while a button is held every move is passed on,
// clamped to the picture's edge, and the release always arrives. The middle button is ignored. A
// button still held when the window loses the focus is released then.
//
// Everything runs on the main thread except PostUser and Wake, which any thread may call while the
// source exists.
class IEventSource {
 public:
  virtual ~IEventSource() = default;
  // The next waiting event; false when none waits.
  virtual bool Poll(TEvent& event) = 0;
  // Waits for the next event, at most `timeout_ms` (negative: no limit); false on time-out.
  virtual bool Wait(TEvent& event, int32_t timeout_ms = -1) = 0;
  // From any thread: queues a User event; events posted by one thread arrive in their order.
  virtual void PostUser(uint32_t code, int64_t param1 = 0, int64_t param2 = 0) = 0;
  // From any thread: wakes the main thread with one Wake event; wakes posted before that event is
  // taken are folded into it.
  virtual void Wake() = 0;
  // The driver tells which frame step comes next (the scripted twin releases that frame's events).
  virtual void OnFrame(uint64_t frame) { (void)frame; }
};

}  // namespace kova::plat
