// What the scene needs of the player around it, in one narrow interface: the screen's back
// surface and depth, layer surfaces, the media switch, the image cache mode, the pointer shape,
// the pointer position and the text fields of edits and memos. The player implements it over its
// screen manager, media managers and window; TSceneHost itself is the host of a scene without
// any of them (no screen, text fields that show nothing), and THeadlessSceneHost adds a memory back buffer
// in a chosen display format and records the pointer shapes it is asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"
#include "graphics/display_format.h"
#include "graphics/dx_dibx.h"
#include "platform/fields/text_fields.h"

namespace kova {

class TCustomDIBX;
class TKovaBaseList;
class TKovaControl;

// The films and transitions themselves come from the makers a subsystem registers
// (components/scene/scene_makers.h).

// A motion film loaded for one control: its tracks move and change the control when it is set to
// a tick (1/60 s).
class ISceneFilm {
 public:
  virtual ~ISceneFilm() = default;
  // The film's length in ticks.
  virtual int32_t Length() const = 0;
  // The tick a repeating film continues from after its end.
  virtual int32_t LoopStart() const = 0;
  // True when the tracks are placed relative to the control.
  virtual bool Relative() const = 0;
  virtual void SetOrigin(int32_t x, int32_t y) = 0;
  virtual void SetBasePriority(int32_t priority) = 0;
  // The tick the film was last set to (-1 before the first).
  virtual int32_t CurrentTick() const = 0;
  // Applies the tracks' values at `tick` to the target.
  virtual void SetTime(int32_t tick) = 0;
};

// One running screen transition between the two layers, as its drivers (the flip command, the
// wipe tracks of films) configure and step it. The order of calls: the maker creates it with its
// kind's default parameters, its length and reverse flag; the driver sets the position, the
// parameters it has and the mask picture's name, then Prepare; then, every drawn frame, the
// position and Step.
class ISceneWipe {
 public:
  virtual ~ISceneWipe() = default;
  // The length, in the driver's unit of time (milliseconds for the flip, ticks for films).
  virtual int32_t GetLength() const = 0;
  virtual void SetPosition(int32_t position) = 0;
  virtual int32_t GetParam(int32_t index) const = 0;
  // Parameter 0 or 1 (other indexes do nothing); the kind applies its own limits.
  virtual void SetParam(int32_t index, int32_t value) = 0;
  // The name of the game's picture that orders a mask-image transition.
  virtual void SetMaskName(std::string name) = 0;
  // Builds what depends on the parameters and the mask, once, before the first Step.
  virtual void Prepare() = 0;
  // Draws the picture of the current position into the destination; true when the transition is
  // over (position >= length) and nothing was drawn.
  virtual bool Step() = 0;
  // The part of the destination the last Step changed.
  virtual TRect UpdateArea() const = 0;
};

class TSceneHost {
 public:
  virtual ~TSceneHost() = default;

  // Makes the screen for a game of width x height, once the project is open (a size of 0 makes
  // none). Raises EKovaError when the screen cannot be made: the game cannot start then.
  virtual void OpenScreen(int32_t /*width*/, int32_t /*height*/) {}
  // Shows what the scene drew into the screen this frame (the running transition's area, else the
  // active layer's dirty rectangles), after Draw and before the dirty lists are emptied.
  virtual void Present(TKovaBaseList& /*root*/) {}
  // The screen's back surface, which the active layer draws into; nullptr without a screen.
  virtual TCustomDIBX* ScreenSurface() { return nullptr; }
  // The screen's depth; 15 without a screen.
  virtual int32_t ScreenBitCount() { return 15; }
  // A new, empty surface for a screen layer (memory surfaces unless the screen asks otherwise).
  virtual std::unique_ptr<TCustomDIBX> CreateLayerSurface();
  // Pauses (false) or resumes (true) every playing medium.
  virtual void SetMediaEnabled(bool) {}
  // The image cache's mode; setting it reloads the cached pictures.
  virtual int32_t ImageCacheMode() { return 0; }
  virtual void SetImageCacheMode(int32_t) {}
  // Shows the pointer shape of the cursor file `name` (a game file); the empty name restores the
  // default pointer. Only called when the shape changes.
  virtual void ShowCursor(const std::string& /*name*/) {}
  // The game-wide default cursor file, empty when none.
  virtual std::string DefaultCursor() { return {}; }
  // The pointer position in game coordinates (given to new layers).
  virtual TPoint PointerPosition() { return {}; }
  // Moves the pointer to `p` in view coordinates (the script's cursor variables); nothing here.
  virtual void WarpPointer(TPoint /*p*/) {}
  // Where edits and memos get their text fields: the player window's drawn ones, else the host's
  // own headless set, which keeps every field's state and shows nothing.
  virtual plat::ITextFieldHost& TextFields() { return own_text_fields_; }
  plat::TTextFieldSet& OwnTextFields() { return own_text_fields_; }

 private:
  plat::TTextFieldSet own_text_fields_;
};

// A scene host with a memory back buffer in a display format (8-8-8-8, 5-6-5 or 5-5-5) of the
// project's size, as the headless player and the tests use it.
class THeadlessSceneHost : public TSceneHost {
 public:
  explicit THeadlessSceneHost(TDisplayFormat format = kDisplay8888);
  ~THeadlessSceneHost() override;

  // Makes the back buffer width x height (cleared to 0).
  void SetScreenSize(int32_t width, int32_t height);
  void OpenScreen(int32_t width, int32_t height) override { SetScreenSize(width, height); }
  TDxDIBX& Screen() { return *screen_; }

  TCustomDIBX* ScreenSurface() override;
  int32_t ScreenBitCount() override;
  void ShowCursor(const std::string& name) override { cursors.push_back(name); }
  TPoint PointerPosition() override { return pointer; }

  // Every cursor shown, in order ("" for the default pointer).
  std::vector<std::string> cursors;
  TPoint pointer;

 private:
  TMemoryDisplayFactory factory_;
  std::unique_ptr<TDxDIBX> screen_;
};

}  // namespace kova
