// A screen layer: a control at the top of a control tree that owns an off-screen surface, a work
// surface and the list of dirty rectangles, and keeps the pointer state the main window records
// for it. The active layer draws straight into the root container's drawing target (the screen's
// back surface) and receives the mouse; the other one draws into its own surface, ready for the
// next flip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/kova_control.h"
#include "core/clip_list.h"

namespace kova {

// The largest screen the scene makes surfaces for: a side of 16384 pixels and 64 Mi pixels.
inline constexpr int32_t kMaxSceneSide = 16384;
inline constexpr int64_t kMaxScenePixels = int64_t(1) << 26;
bool SceneSurfaceSizeAllowed(int32_t width, int32_t height);

class TKovaBase : public TKovaControl {
 public:
  // A layer of `root` named `name`; it is not one of the root container's components.
  TKovaBase(TKovaBaseList* root, std::string name);
  ~TKovaBase() override;

  TKovaBase* AsBase() override { return this; }

  // The layer is its own base; its visibility is its own flag.
  TKovaBase* GetBase() override { return this; }
  bool GetVisible() const override { return VisibleFlag(); }
  TCustomDIBX* GetTargetDIB() override;
  TCustomDIBX* GetDIB() const override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  bool Update() override;
  void Draw() override;
  // Cuts r to the layer and adds it to the dirty list.
  virtual void InvalidateRect(const TRect& r);
  // Adds the whole layer to the dirty list.
  void InvalidateAll() { InvalidateRect(TRect{0, 0, GetWidth(), GetHeight()}); }

  TCustomDIBX* Surface() const { return surface_.get(); }
  TCustomDIBX* WorkSurface() const { return work_surface_.get(); }
  TClipList& DirtyList() { return dirty_; }
  // Drops the surfaces' pixels (display mode change) and makes them again.
  void FreeDIB() override;
  void RecreateDIB() override;

  // ---- Pointer state, written by the main window (and the scripted input) ----
  // Stores the position and marks it moved.
  void SetMousePos(TPoint p);
  TPoint MousePos() const { return mouse_pos_; }
  // The mouse step of the active layer, once per frame.
  void MouseStep();

  bool LeftPress = false, LeftClick = false;
  bool RightPress = false, RightClick = false;
  bool LeftHeld = false, RightHeld = false;
  bool Moved = false;
  // 4 and 8: left and right capture by the default press handlers; 1 and 2: a press a kind
  // tracks itself, answered by the button-up events of the mouse step.
  uint8_t ButtonBits = 0;
  bool WheelDownPress = false, WheelDownClick = false;
  bool WheelUpPress = false, WheelUpClick = false;
  TKovaControl* HoverControl() const { return hover_; }
  // Forgets the hover control when it is `c` (a control being freed).
  void ForgetHover(const TKovaControl* c) {
    if (hover_ == c) hover_ = nullptr;
  }
  const std::string& CursorName() const { return cursor_name_; }

 private:
  void ResizeSurfaces();
  void UpdateCursor(TKovaControl* hit);

  TClipList dirty_;
  std::unique_ptr<TCustomDIBX> surface_;
  std::unique_ptr<TCustomDIBX> work_surface_;
  TPoint mouse_pos_;
  TKovaControl* hover_ = nullptr;
  std::string cursor_name_;
  // The cursor file shown now ("" for the default pointer).
  std::string shown_cursor_;
};

}  // namespace kova
