// The button: an image set with four picture states (normal, hover, pressed, clicked). It follows
// the mouse, queues its notify event when released over itself (or when Enter or space repeats
// while it has the focus), can be one of a group of which one member stays selected, and can play
// a clicked animation after which it takes the state asked for meanwhile, or goes away.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "components/widgets/kova_images.h"

namespace kova {

class TKovaButton : public TKovaImages {
 public:
  enum : int32_t { kNormal = 0, kHover = 1, kPressed = 2, kClicked = 3 };

  explicit TKovaButton(TKovaObject* owner);
  ~TKovaButton() override;

  uint8_t GetCompoType() const override;

  // ---- States ----
  int32_t GetStateIndex() const override { return state_; }
  // While the clicked state holds, only remembers `s` for its end. A state other than normal
  // without pictures and without a motion is never entered.
  void SetStateIndex(int32_t s) override;
  int32_t PendingState() const { return pending_; }
  // 1 pressed and following the mouse, 0 idle, -1 done (freed at the next update).
  int32_t Tracking() const { return tracking_; }
  // The motion of the current state: the control's own for the normal state.
  TKovaMotion* GetMotion() const override;

  // ---- Properties ----
  std::string GetHoverSource() const override { return sources_[0]; }
  std::string GetPressedSource() const override { return sources_[1]; }
  std::string GetClickedSource() const override { return sources_[2]; }
  // ".wxa" loads the state's pictures, ".kmt" its motion; other names load nothing.
  void SetHoverSource(const std::string& v) override { SetStateSource(kHover, v); }
  void SetPressedSource(const std::string& v) override { SetStateSource(kPressed, v); }
  void SetClickedSource(const std::string& v) override { SetStateSource(kClicked, v); }
  // The clicked animation plays once.
  bool GetRepeat() const override { return state_ != kClicked; }
  int32_t GetGroupIndex() const override { return group_index_; }
  void SetGroupIndex(int32_t v) override;
  bool GetSelected() const override { return selected_; }
  // Refused for a button without a group; a selected member releases the others.
  void SetSelected(bool v) override;
  bool GetAllowAllUp() const override { return allow_all_up_; }
  // Every member of the button's group takes the flag.
  void SetAllowAllUp(bool v) override;
  void SetPaused(bool v) override;
  std::string GetOnNotify() const override { return on_notify_; }
  void SetOnNotify(const std::string& v) override { on_notify_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }

  // ---- Behaviour ----
  void GroupSetDown(bool v) override;
  void GroupSetFlag(bool v) override { allow_all_up_ = v; }
  void MouseLDown() override;
  void MouseLUp() override;
  void MouseMove() override;
  void MouseOut(TKovaControl* next) override;
  void KeyRepeat(int32_t key) override;
  // Queues the notify event; toggles the selection in a group, else plays the clicked state.
  void Click();
  bool Update() override;
  // After the image set's record: hover source, pressed source, group index, selected,
  // allow-all-up, notify handler, idle handler, clicked source (the last two from version 104).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void SetStateSource(int32_t state, const std::string& v);
  TKovaMotion* StateMotion(int32_t state) const;
  // The parent keeps at most one member of the group selected.
  void GroupUpdate();
  // True when the layer's left-press hit test at the pointer finds this button.
  bool PointerOnSelf();

  int32_t tracking_ = 0;
  int32_t state_ = kNormal;
  int32_t pending_ = kNormal;
  // Hover, pressed, clicked.
  std::array<std::string, 3> sources_;
  int32_t group_index_ = 0;
  bool selected_ = false;
  bool allow_all_up_ = false;
  std::string on_notify_;
  std::string on_idle_;
  std::array<std::unique_ptr<TKovaMotion>, 3> motions_;
};

}  // namespace kova
