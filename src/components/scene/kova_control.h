// The base of every visual component: bounds in the parent's coordinates, a drawing offset, a clip
// rectangle, visibility, a parent control with the children kept in drawing order (first drawn
// first, last on top), a motion that can move it, the handler names of its mouse, wheel, key and
// focus events, and the hit-test, invalidation, drawing, key and save logic the kinds inherit.
// A control is also a component of the root container, which owns it; the parent/child tree is
// a second structure over that ownership, rooted in one of the two screen layers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_object.h"

namespace kova {

class TKovaMotion;
class TRecordLoader;
class TRecordSaver;

// The IgnoreMouse masks of the mouse step: bit v set = a control with IgnoreMouse v is hit.
inline constexpr uint32_t kMaskLeftPress = (1u << 0) | (1u << 4);
inline constexpr uint32_t kMaskRightPress = (1u << 0) | (1u << 3);
inline constexpr uint32_t kMaskOther = (1u << 0) | (1u << 2) | (1u << 3) | (1u << 4);

// The deepest a control tree may grow: a control has at most this many ancestors (its layer
// counted). Parenting past it raises EListError; a save holding a deeper tree is refused.
inline constexpr int32_t kMaxTreeDepth = 200;

class TKovaControl : public TKovaComponent {
 public:
  explicit TKovaControl(TKovaObject* owner);
  // Takes every child out of the root container and frees it, frees the motion, clears the focus
  // and the layers' hover when they name this control.
  ~TKovaControl() override;

  TKovaControl* AsControl() override { return this; }

  // ---- Tree ----
  bool GetVisible() const override;
  void SetVisible(bool v) override;
  bool VisibleFlag() const { return visible_; }
  TKovaControl* GetParent() const override { return parent_; }
  // Raises EListError (nothing changed) when the tree would grow deeper than kMaxTreeDepth.
  void SetParent(TKovaControl* p) override;
  TKovaControl* GetControl(int32_t i) const override;
  int32_t GetControlCount() const override { return int32_t(controls_.size() - holes_); }
  // The children in drawing order.
  const std::vector<TKovaControl*>& Controls() const {
    EnsureOrder();
    return controls_;
  }
  // The levels of descendants below this control (0 without children).
  int32_t SubtreeHeight() const;
  TCustomDIBX* GetTargetDIB() override;
  TKovaBase* GetBase() override;
  void SetName(const std::string& name) override;

  virtual TKovaMotion* GetMotion() const { return motion_.get(); }
  virtual void AddControl(TKovaControl* c);
  virtual void RemoveControl(TKovaControl* c);
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  // Puts the children in drawing order (done before the order is next read).
  virtual void SortControls();
  virtual void ClipChanged();

  // ---- Geometry and look ----
  int32_t GetLeft() const override { return left_; }
  int32_t GetTop() const override { return top_; }
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  int32_t GetOffsetX() const override { return offset_x_; }
  int32_t GetOffsetY() const override { return offset_y_; }
  void SetOffsetX(int32_t v) override;
  void SetOffsetY(int32_t v) override;
  int32_t GetMotionX() const override { return motion_x_; }
  int32_t GetMotionY() const override { return motion_y_; }
  void SetMotionX(int32_t v) override;
  void SetMotionY(int32_t v) override;
  bool GetPosZoomed() const override { return pos_zoomed_; }
  void SetPosZoomed(bool v) override;
  int32_t GetClipLeft() const override { return clip_left_; }
  int32_t GetClipTop() const override { return clip_top_; }
  int32_t GetClipWidth() const override { return clip_width_; }
  int32_t GetClipHeight() const override { return clip_height_; }
  void SetClipLeft(int32_t v) override;
  void SetClipTop(int32_t v) override;
  void SetClipWidth(int32_t v) override;
  void SetClipHeight(int32_t v) override;
  int32_t GetColor() const override { return color_; }
  void SetColor(int32_t v) override;
  bool GetFramed() const override { return framed_; }
  void SetFramed(bool v) override;
  TRect GetAuxRect() const override { return aux_rect_; }
  void SetAuxRect(const TRect& r) override { aux_rect_ = r; }
  uint8_t GetIgnoreMouse() const override { return ignore_mouse_; }
  void SetIgnoreMouse(uint8_t v) override { ignore_mouse_ = v; }
  std::string GetCursor() const override { return cursor_; }
  void SetCursor(const std::string& v) override { cursor_ = v; }
  bool GetAniPaused() const override;
  void SetAniPaused(bool v) override { ani_paused_ = v; }
  bool GetHandleKey() const override { return handle_key_; }
  void SetHandleKey(bool v) override;
  bool GetPlaying() const override;

  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  int32_t GetDrawLeft() const override;
  int32_t GetDrawTop() const override;
  TPoint GetAnchorPos() const override;
  TPoint ClientToScreen(TPoint p) const override;
  TPoint ScreenToClient(TPoint p) const override;

  // ---- Handler names ----
#define KOVA_HANDLER(N, field)                                   \
  std::string Get##N() const override { return field; }         \
  void Set##N(const std::string& v) override { field = v; }
  KOVA_HANDLER(OnMouseMove, on_mouse_move_)
  KOVA_HANDLER(OnMouseIn, on_mouse_in_)
  KOVA_HANDLER(OnMouseOut, on_mouse_out_)
  KOVA_HANDLER(OnLBtnDown, on_lbtn_down_)
  KOVA_HANDLER(OnLBtnUp, on_lbtn_up_)
  KOVA_HANDLER(OnRBtnDown, on_rbtn_down_)
  KOVA_HANDLER(OnRBtnUp, on_rbtn_up_)
  KOVA_HANDLER(OnWheelDown, on_wheel_down_)
  KOVA_HANDLER(OnWheelUp, on_wheel_up_)
  KOVA_HANDLER(OnKeyDown, on_key_down_)
  KOVA_HANDLER(OnKeyUp, on_key_up_)
  KOVA_HANDLER(OnKeyRepeat, on_key_repeat_)
  KOVA_HANDLER(OnFocusIn, on_focus_in_)
  KOVA_HANDLER(OnFocusOut, on_focus_out_)
#undef KOVA_HANDLER

  // ---- Behaviour ----
  bool IsInCabinet() const override;
  bool ContainsControl(const TKovaControl* c) const override;
  TKovaControl* FindKeyControl() override;
  TKovaControl* HitTest(TPoint point, uint32_t mask) override;
  void Invalidate() override;
  void Draw() override;
  bool Update() override;
  void KeyDown(int32_t key) override;
  void KeyUp(int32_t key) override;
  void KeyRepeat(int32_t key) override;
  void PositionChanged() override;
  void LoadMotion(const std::string& name) override;
  void RestartMotion() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // Button groups: GroupSetFlag(flag) of every child in `group` (nothing for group 0).
  void GroupSetFlags(int32_t group, bool flag);
  // Leaves at most one member of `group` selected, preferring `control` (nothing for group 0).
  void GroupSelect(TKovaControl* control, int32_t group);

 protected:
  // Draws the children that meet the target's clip (the base of every kind's Draw).
  void DrawChildren();
  // The zoomed (and flipped) drawing offset: `for_draw` gives Width - value, the screen position
  // Width - 1 - value.
  int32_t ZoomedOffsetX(bool for_draw) const;
  int32_t ZoomedOffsetY(bool for_draw) const;
  int32_t PositionX() const;
  int32_t PositionY() const;
  // Drops the motion (its destructor resets MotionX/Y and Order).
  void FreeMotion();
 private:
  // The record's one description, run by SaveToStream and LoadFromStream; the children are saved
  // and loaded by kind (the count, then code and record of each).
  template <class IO, class R>
  static void Transfer(IO& io, R& r);
  void TransferChildren(TRecordSaver& io) const;
  void TransferChildren(TRecordLoader& io);

  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int32_t offset_x_ = 0, offset_y_ = 0;
  bool visible_ = true;
  TKovaControl* parent_ = nullptr;
  int32_t color_ = 0;
  // The children. Adding appends and a removal leaves a hole (nullptr), both in constant time; the
  // order is settled when it is next read: the appended tail is sorted and merged into the sorted
  // part, and the holes are closed.
  void EnsureOrder() const;
  mutable std::vector<TKovaControl*> controls_;
  mutable size_t holes_ = 0;
  mutable size_t sorted_count_ = 0;
  mutable bool sort_pending_ = false;
  // The place in the parent's list (kept exact by every change of the list).
  size_t slot_in_parent_ = 0;
  TRect aux_rect_{0, 0, 1, 1};
  std::string on_mouse_move_, on_mouse_in_, on_mouse_out_, on_lbtn_down_, on_lbtn_up_, on_rbtn_down_,
      on_rbtn_up_, on_wheel_down_, on_wheel_up_;
  uint8_t ignore_mouse_ = 0;
  std::string cursor_;
  bool pos_zoomed_ = false;
  bool framed_ = false;
  int32_t clip_left_ = 0, clip_top_ = 0, clip_width_ = 0, clip_height_ = 0;
  int32_t motion_x_ = 0, motion_y_ = 0;
  bool ani_paused_ = false;
  bool handle_key_ = false;
  std::string on_key_down_, on_key_up_, on_key_repeat_, on_focus_in_, on_focus_out_;
  std::unique_ptr<TKovaMotion> motion_;
};

}  // namespace kova
