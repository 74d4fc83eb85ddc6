// The property motion: a component without a picture that carries one numeric property of another
// component from the value it has when the motion starts to an end value over a duration in
// milliseconds, writing it through the property dispatch once per update, linearly or along a
// quarter sine (slow start, fast start). It finishes when the end value was written, when its
// target has gone or when its property id names no property; the root container then frees it.
#pragma once

#include <cstdint>
#include <string>

#include "components/scene/kova_object.h"
#include "core/object_handle.h"
#include "core/vocabulary.h"
#include "script/params.h"

namespace kova {

class TKovaPropMotion : public TKovaComponent {
 public:
  // No property id yet.
  static constexpr uint8_t kNoProp = 255;

  using TKovaComponent::TKovaComponent;

  uint8_t GetCompoType() const override { return KT_PROPMOTION; }
  // While paused the motion stands still: Elapsed keeps its value and nothing is written.
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }

  // The fields the creating command sets.
  void SetTargetName(std::string name) { target_name_ = std::move(name); }
  const std::string& TargetName() const { return target_name_; }
  void SetPropId(uint8_t id) { prop_id_ = id; }
  uint8_t PropId() const { return prop_id_; }
  void SetEndValue(long double v) { end_value_ = v; }
  long double EndValue() const { return end_value_; }
  void SetMotionDuration(int32_t ms) { duration_ = ms; }
  int32_t MotionDuration() const { return duration_; }
  // MT_NORMAL (linear), MT_INC (slow start), MT_DEC (fast start); any other value is linear.
  void SetMode(uint8_t mode) { mode_ = mode; }
  uint8_t Mode() const { return mode_; }

  int32_t Elapsed() const { return elapsed_; }
  long double StartValue() const { return start_value_; }
  // True once the first update found the target.
  bool TargetResolved() const { return resolved_; }

  // The value the motion gives at `elapsed` ms of `duration` ms from `start` to `end` in `mode`
  // (elapsed at or past duration - 1 gives the end value itself).
  static long double ValueAt(long double start, long double end, int32_t duration, int32_t elapsed, uint8_t mode);

  // Resolves the target at the first update, writes the value of the elapsed time into its
  // property and advances by the frame delta; true when the motion is over. An error of the
  // property dispatch passes to the caller, and the next update ends the motion.
  bool Update() override;

  // After the object's record: the target's name, the property id (int32), the end value (10-byte
  // real), the duration, the mode (int32), the start value (10 bytes), the elapsed time and the
  // paused flag.
  void SaveToStream(TStream& stream) const override;
  // The paused flag from data version 126. The target is found again by name at the next update,
  // which takes the start value afresh from the property's value then; Elapsed goes on.
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The target while it lives; nullptr once it was freed (or before it was resolved).
  TKovaObject* LiveTarget() const;
  // The name the save records: the live target's, the one to look for while the target is not
  // resolved yet, and empty once the target has gone.
  std::string SavedTargetName() const;

  long double end_value_ = 0.0L;
  int32_t duration_ = 0;
  std::string target_name_;
  TObjectHandle target_;
  bool resolved_ = false;
  uint8_t prop_id_ = kNoProp;
  uint8_t mode_ = MT_NORMAL;
  int32_t elapsed_ = 0;
  long double start_value_ = 0.0L;
  bool paused_ = false;
  // Set when writing the property raised: the motion is over.
  bool failed_ = false;
  // The carrier of the value written.
  TParamFloat value_;
};

}  // namespace kova
