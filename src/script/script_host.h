// What the script engine needs of the player: the running call, the project, the active screen
// layer's input latches, the key tables, clocks, the message history, fonts, the screen manager
// and main window, the root container and its components, the saved-game list, pictures written
// to files, and the MIDI manager. System variables and functions reach
// the player only through this interface, so the script library links nothing of the display or
// media layers.
//
// Every operation has a default that stands for "no such part": TScriptHost itself is the null
// host (no screen manager, no MIDI manager, no input, no components, empty project; game files
// exist when the virtual file system has them). The player derives a host
// that forwards to its parts; tests use a recording fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/frame_globals.h"
#include "core/types.h"

namespace kova {

class TCustomParam;

// One display mode of the screen manager.
struct TDisplayMode {
  int32_t Width = 0, Height = 0, Bits = 0, Rate = 0;
};

// One entry of the project's list of saved games.
struct TSaveCaption {
  int32_t Slot = 0;
  std::string Caption;
};

class TScriptHost {
 public:
  virtual ~TScriptHost() = default;

  // ---- interpreter (the running call) ----
  // The running page's result value, nullptr when there is none.
  virtual TCustomParam* ResultValue() { return nullptr; }
  virtual int32_t ArgCount() { return 0; }
  // Argument i of the running page; empty out of range.
  virtual std::string GetArg(int32_t) { return {}; }
  // The component whose event is being handled; empty when none.
  virtual std::string SenderName() { return {}; }

  // ---- project ----
  virtual int32_t ScreenWidth() { return 0; }
  virtual int32_t ScreenHeight() { return 0; }
  virtual std::string Title() { return {}; }

  // ---- active screen layer and key tables ----
  virtual bool LClick() { return false; }
  virtual void SetLClick(bool) {}
  virtual bool RClick() { return false; }
  virtual void SetRClick(bool) {}
  // Buttons held and not masked.
  virtual bool LPush() { return false; }
  virtual bool RPush() { return false; }
  virtual int32_t MouseX() { return 0; }
  virtual int32_t MouseY() { return 0; }
  virtual bool WheelDown() { return false; }
  virtual bool WheelUp() { return false; }
  // Key states by virtual-key code 0..255: held, pressed this frame, down or repeated this frame.
  virtual bool KeyDown(int32_t) { return false; }
  virtual bool KeyPressed(int32_t) { return false; }
  virtual bool KeyRepeat(int32_t) { return false; }

  // ---- main window ----
  // Moves the pointer to x (keeping y), respectively to y (keeping x), in view coordinates.
  virtual void SetCursorX(int32_t) {}
  virtual void SetCursorY(int32_t) {}

  // ---- clocks ----
  // The game clock (milliseconds), advanced only by the frame loop.
  virtual int32_t GameClock() { return kova::GameClock; }
  // The system's millisecond timer, wrapping at 32 bits.
  virtual int32_t PCTickCount() { return 0; }
  virtual int32_t UpdateCount() { return kova::UpdateCount; }
  // The frame's local date and time: days since 30 December 1899, the fraction the time of day.
  virtual double FrameNow() { return 0.0; }

  // ---- message history ----
  virtual int32_t HistoryCount() { return 0; }
  virtual int32_t HistoryMaxCount() { return 0; }
  virtual void SetHistoryMaxCount(int32_t) {}

  // ---- fonts ----
  // The installed Japanese fonts (code page 932 names, sorted), or only the fixed-pitch ones.
  virtual std::vector<std::string> ListFonts(bool /*fixed_pitch_only*/) { return {}; }

  // ---- screen manager ----
  virtual bool HasScreenManager() { return false; }
  virtual bool FullScreen() { return false; }
  // Switches to full screen or back (only called when the value differs).
  virtual void SetFullScreen(bool) {}
  virtual int32_t DisplayModeCount() { return 0; }
  virtual int32_t DisplayModeIndex() { return 0; }
  // Stores the chosen full-screen mode and applies it (only called with a screen manager).
  virtual void ApplyFullScreenMode(int32_t) {}

  // ---- root container ----
  // The picture cache mode.
  virtual bool CGDither() { return false; }
  virtual void SetCGDither(bool) {}
  // The media enable flag; setting it pauses or resumes all media.
  virtual bool SoundOn() { return true; }
  virtual void SetSoundOn(bool) {}
  // The focused control's name, empty when none.
  virtual std::string ActiveCompo() { return {}; }
  // Gives the key focus to the named control when it exists, is not paused, is visible and takes
  // keys; otherwise nothing.
  virtual void FocusCompo(std::string_view) {}

  // ---- MIDI manager ----
  virtual bool HasMidi() { return false; }
  virtual std::string MidiCurrentDevice() { return {}; }
  virtual void MidiSelectDevice(std::string_view) {}
  virtual int32_t MidiDeviceCount() { return 0; }
  virtual std::string MidiDeviceName(int32_t) { return {}; }

  // ---- components (system functions) ----
  // Components are named as the root container's FindComponent finds them; an operation on a
  // name that no component holds answers false (or the stated value) and changes nothing.
  virtual bool CompoExists(std::string_view) { return false; }
  // The component's KT_ type code; -1 when there is none.
  virtual int32_t CompoType(std::string_view) { return -1; }
  // Reads property `id` into `dest` (through dest's typed setters), respectively writes `value`
  // into it, as the property dispatch does.
  virtual bool GetCompoProp(std::string_view, int32_t /*id*/, TCustomParam& /*dest*/) { return false; }
  virtual bool SetCompoProp(std::string_view, int32_t /*id*/, const TCustomParam& /*value*/) { return false; }
  // The ItemChecked and ItemEnabled accessor pairs of item `index`.
  virtual bool GetItemChecked(std::string_view, int32_t /*index*/, bool& /*checked*/) { return false; }
  virtual bool SetItemChecked(std::string_view, int32_t /*index*/, bool /*checked*/) { return false; }
  virtual bool GetItemEnabled(std::string_view, int32_t /*index*/, bool& /*enabled*/) { return false; }
  virtual bool SetItemEnabled(std::string_view, int32_t /*index*/, bool /*enabled*/) { return false; }
  // The index of the item named `item` (with regard to case) of the named preview menu; -1 when
  // it has none.
  virtual int32_t PrevMenuItemIndex(std::string_view /*menu*/, std::string_view /*item*/) { return -1; }
  // Converts a point between screen and the component's client coordinates.
  virtual bool ScreenToClient(std::string_view, TPoint&) { return false; }
  virtual bool ClientToScreen(std::string_view, TPoint&) { return false; }
  // The names of the components, in list order, whose type code is `type` (0: any) and whose
  // parent is the component `parent` names; without `parent` any parent is accepted; a parent
  // name that no component holds selects the components without a parent.
  virtual std::vector<std::string> ComponentNames(int32_t /*type*/, std::optional<std::string_view> /*parent*/) {
    return {};
  }
  // True when the named control lies on the active screen layer and is not inside a cabinet.
  virtual bool InPrimary(std::string_view) { return false; }

  // ---- project files and saves (system functions) ----
  // The project's existence test of a game file (never a disc prompt when headless). The null
  // host asks the virtual file system; an empty name exists nowhere.
  virtual bool ProjectFileExists(std::string_view name);
  // The project's list of saved games, in list order.
  virtual std::vector<TSaveCaption> SaveCaptions() { return {}; }
  // Display mode i of the screen manager; false outside 0 .. DisplayModeCount() - 1.
  virtual bool GetDisplayMode(int32_t /*i*/, TDisplayMode& /*mode*/) { return false; }

  // ---- pictures written to host files (wallpaper) ----
  // Saves the active screen layer's picture as a BMP file at a host path; true when written.
  virtual bool SaveLayerBitmap(const std::string& /*host_path*/) { return false; }
  // Saves the first frame of the named game picture (through the image cache) as a BMP file at a
  // host path; false when the picture has no frame or the file was not written.
  virtual bool SavePictureBitmap(std::string_view /*name*/, const std::string& /*host_path*/) { return false; }
};

// The host of a player without display, media or interpreter (headless runs, tools, tests).
using TNullScriptHost = TScriptHost;

}  // namespace kova
