// The frame clock: a monotonic millisecond tick that wraps at 32 bits, sleeping, and the local
// date and time as a day count from 30 December 1899 (the fraction is the time of day). The
// system clock reads the machine; the virtual clock is the headless twin that tests and headless
// runs move by hand and that never sleeps.
#pragma once

#include <cstdint>
#include <vector>

namespace kova::plat {

class IClock {
 public:
  virtual ~IClock() = default;
  // Milliseconds from an arbitrary start, wrapping modulo 2^32.
  virtual uint32_t TickMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // The local date and time: days since 30 December 1899 0:00.
  virtual double Now() = 0;
};

class TSystemClock : public IClock {
 public:
  uint32_t TickMs() override;
  void SleepMs(uint32_t ms) override;
  double Now() override;
};

// A clock that moves only when told to. A sleep is recorded and moves the tick by its length, as
// a real sleep would; the date moves along with the tick.
class TVirtualClock : public IClock {
 public:
  explicit TVirtualClock(uint32_t start_tick = 0, double start_date = 0.0)
      : tick_(start_tick), date_(start_date) {}

  uint32_t TickMs() override { return tick_; }
  void SleepMs(uint32_t ms) override;
  double Now() override { return date_; }

  void Advance(uint32_t ms);
  void SetTick(uint32_t tick) { tick_ = tick; }
  void SetDate(double days) { date_ = days; }
  const std::vector<uint32_t>& Sleeps() const { return sleeps_; }
  void ClearSleeps() { sleeps_.clear(); }

 private:
  uint32_t tick_;
  double date_;
  std::vector<uint32_t> sleeps_;
};

// The day count of a calendar date and time of day from 30 December 1899 on (proleptic Gregorian
// calendar).
double DayCount(int32_t year, int32_t month, int32_t day, int32_t hour = 0, int32_t minute = 0,
                int32_t second = 0, int32_t millisecond = 0);

}  // namespace kova::plat
