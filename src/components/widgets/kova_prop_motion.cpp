#include "components/widgets/kova_prop_motion.h"

#include <climits>
#include <cmath>
#include <numbers>

#include "components/scene/kova_base_list.h"
#include "components/scene/prop_dispatch.h"
#include "core/record_io.h"

namespace kova {

namespace {

// Ids from here on name no property.
constexpr int32_t kFirstNonProp = 159;
constexpr long double kHalfPi = std::numbers::pi_v<long double> / 2.0L;

}  // namespace

long double TKovaPropMotion::ValueAt(long double start, long double end, int32_t duration, int32_t elapsed,
                                     uint8_t mode) {
  // A negative elapsed time (only a damaged save gives one) stands at the start.
  if (elapsed <= 0) return start;
  const int64_t n = duration, t = elapsed;
  if (t >= n - 1) return end;
  const long double span = end - start;
  switch (mode) {
    case MT_INC:
      return end - std::sin(static_cast<long double>(n - t - 1) * kHalfPi / static_cast<long double>(n)) * span;
    case MT_DEC:
      return start + std::sin(static_cast<long double>(t) * kHalfPi / static_cast<long double>(n)) * span;
    default:
      return start + span * static_cast<long double>(t) / static_cast<long double>(n);
  }
}

TKovaObject* TKovaPropMotion::LiveTarget() const {
  const TKovaBaseList* root = Root();
  return resolved_ && root ? root->Resolve(target_) : nullptr;
}

bool TKovaPropMotion::Update() {
  if (paused_) return false;
  if (failed_) return true;
  TKovaObject* target = nullptr;
  if (resolved_) {
    target = LiveTarget();
    if (!target) return true;
  } else {
    TKovaBaseList* root = Root();
    // Found as every script name is: the empty name, "BASE0" and "BASE1" give the layers.
    target = root ? root->FindComponent(target_name_) : nullptr;
    if (!target) return true;
    target_ = target->Handle();
    resolved_ = true;
    if (prop_id_ >= kFirstNonProp) return true;
    TParamFloat current;
    GetProp(current, *target, prop_id_);
    start_value_ = current.GetFloat();
  }
  if (prop_id_ >= kFirstNonProp) return true;

  const long double value = ValueAt(start_value_, end_value_, duration_, elapsed_, mode_);
  const bool finished = elapsed_ > 0 && int64_t(elapsed_) >= int64_t(duration_) - 1;
  value_.SetFloat(value);
  try {
    SetProp(*target, prop_id_, value_);
  } catch (...) {
    // The error goes to the caller once; the motion ends at its next update rather than raise it
    // again in every frame.
    failed_ = true;
    throw;
  }
  if (finished) return true;
  const TKovaBaseList* root = Root();
  const int64_t next = int64_t(elapsed_) + (root ? root->FrameDelta() : 0);
  elapsed_ = next > INT32_MAX ? INT32_MAX : int32_t(next);
  return false;
}

std::string TKovaPropMotion::SavedTargetName() const {
  if (!resolved_) return target_name_;
  const TKovaObject* target = LiveTarget();
  return target ? target->GetName() : std::string();
}

void TKovaPropMotion::SaveToStream(TStream& stream) const {
  TKovaComponent::SaveToStream(stream);
  TRecordSaver io(stream);
  io.Str(SavedTargetName());
  io.Int(int32_t(prop_id_));
  io.Ext(end_value_);
  io.Int(duration_);
  io.Int(int32_t(mode_));
  io.Ext(start_value_);
  io.Int(elapsed_);
  io.Bool(paused_);
}

void TKovaPropMotion::LoadFromStream(TStream& stream, int32_t version) {
  TKovaComponent::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  int32_t prop_id = 0, mode = 0;
  io.Str(target_name_);
  io.Int(prop_id);
  io.Ext(end_value_);
  io.Int(duration_);
  io.Int(mode);
  io.Ext(start_value_);
  io.Int(elapsed_);
  if (io.Since(126)) io.Bool(paused_);
  prop_id_ = uint8_t(prop_id);
  mode_ = uint8_t(mode);
  target_ = {};
  resolved_ = false;
}

}  // namespace kova
