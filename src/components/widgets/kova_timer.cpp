#include "components/widgets/kova_timer.h"

#include "components/scene/kova_base_list.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {

int32_t TKovaTimer::GameClock() const {
  const TKovaBaseList* root = Root();
  return root ? root->GameClock() : 0;
}

void TKovaTimer::Reset() {
  if (TKovaBaseList* root = Root()) root->Events().RemoveWaiting(Handle());
  last_time_ = GameClock();
}

void TKovaTimer::SetOnNotify(const std::string& v) {
  on_notify_ = v;
  Reset();
}

void TKovaTimer::SetDelay(int32_t v) {
  delay_ = v;
  Reset();
}

void TKovaTimer::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  Reset();
}

bool TKovaTimer::Update() {
  if (fired_ && auto_scrap_) return !EventQueued(PR_ONNOTIFY);
  if (delay_ < 0 || paused_) return false;
  // The clock may wrap after weeks of play: the time since the period began is taken modulo 2^32.
  const uint32_t since = uint32_t(GameClock()) - uint32_t(last_time_);
  if (delay_ != 0 && uint32_t(delay_) > since) return false;
  // Periods count from the previous period's start, so missed ones follow on the next updates.
  last_time_ = int32_t(uint32_t(last_time_) + uint32_t(delay_));
  if (EventQueued(PR_ONNOTIFY)) return false;
  // Without a handler there is no page to run: the period counts as fired, nothing is queued.
  if (!on_notify_.empty()) QueueEvent(on_notify_, PR_ONNOTIFY);
  fired_ = true;
  return false;
}

template <class IO, class R>
void TKovaTimer::Transfer(IO& io, R& r) {
  io.Str(r.on_notify_);
  io.Int(r.delay_);
  io.Bool(r.paused_);
  if (io.Since(104)) {
    io.Bool(r.auto_scrap_);
    io.Bool(r.fired_);
  }
}

void TKovaTimer::SaveToStream(TStream& stream) const {
  TKovaComponent::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaTimer::LoadFromStream(TStream& stream, int32_t version) {
  TKovaComponent::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  last_time_ = GameClock();
}

}  // namespace kova
