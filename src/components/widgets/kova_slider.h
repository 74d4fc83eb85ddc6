// The slider and the scroll bar: an integer value between a minimum and a maximum shown as a thumb
// on a track between two step buttons, all drawn from cached pictures. The track picture holds two
// halves side by side (the slider fills the part from the minimum to the thumb with the right
// half), the thumb picture three cells (normal, hover, pressed), the button picture six (button 0
// normal, hover, pressed, then button 1). The user drags the thumb, clicks the track (the slider
// jumps there and starts a drag, the scroll bar pages by its large change while the track is held)
// or holds a button (one step at once, again after the key-repeat delay, then at the key-repeat
// interval of the game clock). Every value change the user makes queues the notify event with the
// new value. A vertical slider grows upwards (maximum at the top), a vertical scroll bar
// downwards. An empty range (maximum - minimum below 1) hides the thumb and takes no mouse input.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"

namespace kova {

class TWexaItem;

// The longest track or gauge bar laid out, whatever BarSize a script sets (the value itself is kept
// and saved): far beyond any screen, short enough for the geometry to stay inside int32.
inline constexpr int32_t kMaxBarSize = 1 << 20;

// The size of a picture part in pixels.
struct TPartSize {
  int32_t cx = 0, cy = 0;
  friend bool operator==(const TPartSize&, const TPartSize&) = default;
};

class TKovaSlider : public TKovaControl {
 public:
  explicit TKovaSlider(TKovaObject* owner);
  // Releases the three pictures.
  ~TKovaSlider() override;

  uint8_t GetCompoType() const override { return KT_SLIDER; }

  // The mouse states.
  enum : int32_t { kIdle = 0, kDragging = 1, kButton0Held = 2, kButton1Held = 3, kPageBefore = 4, kPageAfter = 5 };

  // ---- Properties ----
  std::string GetSource() const override { return sources_[0]; }
  std::string GetThumbSource() const override { return sources_[1]; }
  std::string GetButtonSource() const override { return sources_[2]; }
  // Each takes its picture from the image cache (an empty name: none) and lays the control out.
  void SetSource(const std::string& v) override;
  void SetThumbSource(const std::string& v) override;
  void SetButtonSource(const std::string& v) override;
  int32_t GetMin() const override { return min_; }
  int32_t GetMax() const override { return max_; }
  // The stored value clamped to Min .. Max (Min when Max is below Min).
  int32_t GetValue() const override;
  void SetMin(int32_t v) override;
  void SetMax(int32_t v) override;
  // Stored as it is (a value beyond the range is kept and saved); the thumb follows.
  void SetValue(int32_t v) override;
  int32_t RawValue() const { return value_; }
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  // 0 horizontal, 1 vertical.
  uint8_t GetOrientation() const override { return orientation_; }
  void SetOrientation(uint8_t v) override;
  // The track length; 0 takes it from the picture.
  int32_t GetBarSize() const override { return bar_size_; }
  void SetBarSize(int32_t v) override;
  int32_t GetSmallChange() const override { return small_change_; }
  void SetSmallChange(int32_t v) override { small_change_ = v; }
  // The thumb is hit only on the opaque pixels of its picture's alpha.
  bool GetCaptureMask() const override { return capture_mask_; }
  void SetCaptureMask(bool v) override { capture_mask_ = v; }
  std::string GetOnNotify() const override { return on_notify_; }
  void SetOnNotify(const std::string& v) override { on_notify_ = v; }
  std::string GetOnHold() const override { return on_hold_; }
  void SetOnHold(const std::string& v) override { on_hold_ = v; }
  std::string GetOnRelease() const override { return on_release_; }
  void SetOnRelease(const std::string& v) override { on_release_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }

  // ---- Geometry (screen coordinates) ----
  // Sizes the control from its parts (0 x 0 without a track), then places the thumb.
  virtual void CalcLayout();
  // ThumbPos from the value: the share of the range along the track (the scroll bar's thumb moves
  // inside it); 0 for an empty range.
  virtual void ValueToThumb();
  virtual TRect GetTrackRect() const;
  virtual TRect GetThumbRect() const;
  virtual TRect GetButtonRect(int32_t i) const;
  virtual void DrawParts();
  // Selects the step directions of the buttons and keys: the vertical slider's top button and Up
  // raise the value. Always false for the scroll bar.
  virtual bool IsVertical() const { return orientation_ == 1; }

  // What the control shows and does now.
  int32_t ThumbPos() const { return thumb_pos_; }
  int32_t ThumbState() const { return thumb_state_; }
  int32_t ButtonState(int32_t i) const { return button_state_[size_t(i & 1)]; }
  int32_t MouseState() const { return mouse_state_; }
  bool PageLit() const { return page_lit_; }
  TPartSize TrackSize() const { return track_; }
  TPartSize ThumbCell() const { return thumb_; }
  TPartSize ButtonCell() const { return button_; }

  // ---- Behaviour ----
  void Draw() override;
  void MouseMove() override;
  void MouseOut(TKovaControl* next) override;
  void MouseLDown() override;
  void MouseLUp() override;
  // The hold step, once per frame while the control holds the mouse: held buttons and held track
  // repeat on the game clock.
  void MouseCancel() override;
  void KeyRepeat(int32_t key) override;
  // After the control's record: the three picture names, Min, Max, Value (as stored),
  // SmallChange, Alpha, Paused, Orientation, the notify, hold, release and idle handlers,
  // CaptureMask (read from data version 119), BarSize (from 128).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 protected:
  // The scroll bar's constructor.
  TKovaSlider(TKovaObject* owner, bool scroll_bar);

  // Sets the value the user chose; when it differs from the shown one, the notify event is queued
  // with the new value (every time, even while one waits).
  void ChangeValue(int32_t v);
  // Min .. Max without undefined order when Max is below Min.
  int32_t Clamp(int64_t v) const;
  bool ScrollBar() const { return scroll_bar_; }
  int32_t large_change_ = 1;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // Geometry follows Orientation for both kinds.
  bool Vertical() const { return orientation_ == 1; }
  bool HasRange() const { return int64_t(max_) - min_ >= 1; }
  // The track's size from its picture and BarSize.
  void UpdateTrackSize();
  void SetPicture(int32_t part, const std::string& name);
  // Hit tests of the parts at a screen point (through the pictures' alpha where they have one).
  bool OverTrack(TPoint p) const;
  bool OverThumb(TPoint p) const;
  bool OverButton(int32_t i, TPoint p) const;
  // The value under the pointer while dragging (unchanged when the track has no length).
  int32_t DragValue(TPoint p) const;
  // Button i's step: -1 or +1.
  int32_t Step(int32_t i) const;
  // The hover states of the idle control at the pointer.
  void UpdateHover(TPoint p);
  void SetThumbState(int32_t s);
  void SetButtonState(int32_t i, int32_t s);
  void SetPageLit(bool v);
  TPoint Pointer();
  // Along the orientation: x or y.
  int32_t Along(TPoint p) const { return Vertical() ? p.Y : p.X; }
  int32_t AlongStart(const TRect& r) const { return Vertical() ? r.Top : r.Left; }
  int32_t AlongEnd(const TRect& r) const { return Vertical() ? r.Bottom : r.Right; }
  int32_t TrackLength() const { return Vertical() ? track_.cy : track_.cx; }
  int32_t ThumbLength() const { return Vertical() ? thumb_.cy : thumb_.cx; }
  // Draws the track pieces of the slider and of the scroll bar.
  void DrawTrack(TCustomDIBX& target);

  bool scroll_bar_ = false;
  // Track, thumb, buttons.
  std::array<std::string, 3> sources_;
  int32_t min_ = 0, max_ = 0, value_ = 0;
  int32_t alpha_ = 255;
  bool paused_ = false;
  uint8_t orientation_ = 0;
  std::string on_notify_;
  TPartSize track_{}, thumb_{}, button_{};
  // Each held with the address of its own field as the owner.
  TWexaItem* track_item_ = nullptr;
  TWexaItem* thumb_item_ = nullptr;
  TWexaItem* button_item_ = nullptr;
  int32_t thumb_pos_ = 0;
  int32_t thumb_state_ = 0;
  std::array<int32_t, 2> button_state_{};
  int32_t drag_offset_ = 0;
  int32_t repeat_left_ = 0;
  bool page_lit_ = false;
  std::string on_hold_, on_release_;
  int32_t small_change_ = 1;
  std::string on_idle_;
  bool capture_mask_ = false;
  int32_t bar_size_ = 0;
  int32_t mouse_state_ = kIdle;
};

// The scroll bar: the thumb moves inside the track, a held track pages by LargeChange until the
// thumb reaches the pointer, and the vertical form grows downwards.
class TKovaScrollbar : public TKovaSlider {
 public:
  explicit TKovaScrollbar(TKovaObject* owner) : TKovaSlider(owner, true) {}

  uint8_t GetCompoType() const override { return KT_SCROLLBAR; }
  bool IsVertical() const override { return false; }
  int32_t GetLargeChange() const override { return large_change_; }
  void SetLargeChange(int32_t v) override { large_change_ = v; }

  // The slider's record, then LargeChange.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;
 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);
};

}  // namespace kova
