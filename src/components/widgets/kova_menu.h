// The menu: the list box scripts create. It fills the hovered row with its hover colour and draws
// it with the hover font settings, opens and closes with an animation of its height (queuing its
// opening, opened, closing and closed events), closes at once after a selection when asked to, and
// on a right click or Escape when asked to; once closed and its closing events handled, the root
// container frees it. It lives in the root container's right-click list while it exists.
#pragma once

#include <cstdint>
#include <string>

#include "components/widgets/kova_list_box.h"
#include "core/vocabulary.h"

namespace kova {

class TKovaMenu : public TKovaCustomListBox {
 public:
  // Play states.
  enum : int32_t { kOpen = 0, kOpening = 1, kClosed = 2, kClosing = 3 };
  // Steps of the opening and closing (the menu state).
  enum : int32_t {
    kStepIdle = 0,
    kStepCloseRequested = 10,
    kStepOpenStart = 100,
    kStepOpenClock = 101,
    kStepOpening = 102,
    kStepCloseStart = 200,
    kStepClosing = 201,
    kStepCloseNow = 300,
    kStepCloseNext = 301,
    kStepClosed = 302,
  };

  explicit TKovaMenu(TKovaObject* owner);
  ~TKovaMenu() override;

  uint8_t GetCompoType() const override { return KT_MENU; }

  // ---- Properties ----
  TFontStyles GetFontHoverStyle() const override { return TFontStyles{hover_.Style}; }
  void SetFontHoverStyle(TFontStyles v) override;
  int32_t GetFontHoverColor() const override { return hover_.Color; }
  void SetFontHoverColor(int32_t v) override;
  int32_t GetHoverColor() const override { return hover_color_; }
  void SetHoverColor(int32_t v) override;
  int32_t GetDelay() const override { return delay_; }
  void SetDelay(int32_t v) override { delay_ = v; }
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  bool GetRClickScrap() const override { return rclick_scrap_; }
  void SetRClickScrap(bool v) override { rclick_scrap_ = v; }
  std::string GetOnOpening() const override { return on_opening_; }
  void SetOnOpening(const std::string& v) override { on_opening_ = v; }
  std::string GetOnOpened() const override { return on_opened_; }
  void SetOnOpened(const std::string& v) override { on_opened_ = v; }
  std::string GetOnClosing() const override { return on_closing_; }
  void SetOnClosing(const std::string& v) override { on_closing_ = v; }
  std::string GetOnClosed() const override { return on_closed_; }
  void SetOnClosed(const std::string& v) override { on_closed_ = v; }
  bool GetEventLock() const override { return event_lock_; }
  int32_t GetPlayState() const override { return play_state_; }
  // Opens (0 at once, 1 animated) or closes (2 at once, 3 animated). Asking for the state the
  // menu is in, for 1 while open or for 3 while closed changes nothing.
  void SetPlayState(int32_t v) override;
  // While opening or closing: the full laid-out height.
  int32_t GetOrigHeight() const override;
  int32_t FullHeight() const { return full_height_; }

  // ---- Behaviour ----
  bool Update() override;
  // A closed or closing menu takes no keys: the focus search passes it by.
  TKovaControl* FindKeyControl() override;
  void SelectItem() override;
  void KeyRepeat(int32_t key) override;
  void MouseRDown() override;
  // The right click anywhere on the layer: asks the menu to close and takes the click.
  bool ItemHitTest(TPoint p) override;
  // Clears the selection variables ("" and -1) and closes.
  void Cancel();
  // After the list box's record: delay, hover colour, the two scrap flags, the play state and the
  // four handler names.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 protected:
  int32_t HoverFillColor() const override { return hover_color_; }

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void QueueIfSet(const std::string& handler, uint8_t code);
  void TakeFocus();
  void GiveUpFocus();

  int32_t full_height_ = 0;
  int32_t anim_start_ = 0;
  int32_t delay_ = 0;
  int32_t hover_color_ = -1;
  bool auto_scrap_ = false;
  bool rclick_scrap_ = false;
  int32_t play_state_ = kClosed;
  std::string on_opening_, on_opened_, on_closing_, on_closed_;
  bool event_lock_ = false;
};

}  // namespace kova
