// The gauge: shows an integer value between a minimum and a maximum as a bar filled from one end,
// drawn from a cached picture of two halves side by side (the left half fills, the right half
// shows what was just lost). A rise grows the bar over time; a fall shrinks the filled bar at once
// and leaves a trailing bar that waits, then shrinks, both at (Max - Min) / Delay per millisecond
// of the game clock. A reversed gauge fills from the right (or the top), mirrored.
#pragma once

#include <cstdint>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"

namespace kova {

class TWexaItem;

class TKovaGauge : public TKovaControl {
 public:
  enum : int32_t { kStill = 0, kFalling = 100, kRising = 200 };

  using TKovaControl::TKovaControl;
  // Releases the picture.
  ~TKovaGauge() override;

  uint8_t GetCompoType() const override { return KT_GAUGE; }

  // ---- Properties ----
  std::string GetSource() const override { return source_; }
  // Takes the picture from the image cache (an empty name: none) and sizes the gauge to it.
  void SetSource(const std::string& v) override;
  int32_t GetMin() const override { return min_; }
  int32_t GetMax() const override { return max_; }
  // The stored value clamped to Min .. Max (Min when Max is below Min).
  int32_t GetValue() const override;
  // Min and Max show the clamped value at once.
  void SetMin(int32_t v) override;
  void SetMax(int32_t v) override;
  // Starts the rise or the fall towards the new value.
  void SetValue(int32_t v) override;
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  uint8_t GetOrientation() const override { return orientation_; }
  void SetOrientation(uint8_t v) override;
  int32_t GetBarSize() const override { return bar_size_; }
  void SetBarSize(int32_t v) override;
  // The time the bar takes over the whole range (milliseconds); 0 or less jumps.
  int32_t GetDelay() const override { return delay_; }
  void SetDelay(int32_t v) override { delay_ = v; }
  // The trailing bar's pause before it shrinks (milliseconds).
  int32_t GetDuration() const override { return duration_; }
  void SetDuration(int32_t v) override { duration_ = v; }
  bool GetReverse() const override { return reverse_; }
  void SetReverse(bool v) override;
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  // True while the bar rises or falls.
  bool GetPlaying() const override { return anim_state_ != kStill; }

  int32_t ShownValue() const { return shown_value_; }
  int32_t TrailAmount() const { return trail_amount_; }
  int32_t AnimState() const { return anim_state_; }

  bool Update() override;
  void Draw() override;
  // After the control's record: source, Min, Max, Value (as stored), Alpha, Paused, Orientation,
  // Delay, Duration, Reverse, the idle handler (read from data version 125), BarSize (from 128).
  // A loaded gauge shows its value without animation.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  int32_t Clamp(int64_t v) const;
  // The picture's half (BarSize along the orientation when set) becomes the gauge's size.
  void UpdateSize();
  void StopAnimation();
  bool Vertical() const { return orientation_ == 1; }

  std::string source_;
  int32_t min_ = 0, max_ = 0, value_ = 0;
  int32_t alpha_ = 255;
  bool paused_ = false;
  uint8_t orientation_ = 0;
  int32_t delay_ = 0;
  int32_t duration_ = 0;
  TWexaItem* item_ = nullptr;
  int32_t shown_value_ = 0;
  int32_t trail_amount_ = 0;
  int32_t anim_state_ = kStill;
  double accumulator_ = 0;
  int32_t pause_left_ = 0;
  bool reverse_ = false;
  std::string on_idle_;
  int32_t bar_size_ = 0;
};

}  // namespace kova
