// The timer: a component without a picture that queues its notify event once per period of the
// game clock. A late frame is caught up on the following frames (one period per update, never
// two events of the timer at once); with auto-scrap it fires once and is freed after its event
// has been handled.
#pragma once

#include <cstdint>
#include <string>

#include "components/scene/kova_object.h"
#include "core/vocabulary.h"

namespace kova {

class TKovaTimer : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;

  uint8_t GetCompoType() const override { return KT_TIMER; }

  std::string GetOnNotify() const override { return on_notify_; }
  // Stores the handler and restarts the period.
  void SetOnNotify(const std::string& v) override;
  // The period in milliseconds: below 0 the timer never fires, 0 fires on every update.
  int32_t GetDelay() const override { return delay_; }
  // Stores the period and restarts it, also when the value is unchanged.
  void SetDelay(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  // A change restarts the period.
  void SetPaused(bool v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }

  bool Fired() const { return fired_; }
  // The game clock at the start of the current period.
  int32_t LastTime() const { return last_time_; }

  bool Update() override;
  void SaveToStream(TStream& stream) const override;
  // The period restarts at the game clock of the load.
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // Drops the timer's waiting events and starts a new period now.
  void Reset();
  int32_t GameClock() const;

  std::string on_notify_;
  int32_t delay_ = 0;
  bool paused_ = false;
  bool auto_scrap_ = false;
  int32_t last_time_ = 0;
  bool fired_ = false;
};

}  // namespace kova
