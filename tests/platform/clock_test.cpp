#include "platform/clock.h"

#include <gtest/gtest.h>

namespace kova::plat {
namespace {

TEST(Clock, DayCountFrom1899) {
  EXPECT_DOUBLE_EQ(DayCount(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(DayCount(1900, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(DayCount(1900, 3, 1), 61.0);  // 1900 has no 29 February
  EXPECT_DOUBLE_EQ(DayCount(1970, 1, 1), 25569.0);
  EXPECT_DOUBLE_EQ(DayCount(2000, 2, 29, 18), 36585.75);
  EXPECT_DOUBLE_EQ(DayCount(2024, 12, 31, 23, 59, 59, 500), 45657.0 + 86399.5 / 86400.0);
}

TEST(Clock, SystemClockMovesForwardAndSleeps) {
  TSystemClock clock;
  const uint32_t start = clock.TickMs();
  clock.SleepMs(20);
  const uint32_t slept = clock.TickMs() - start;  // wrap-safe
  EXPECT_GE(slept, 20u);
  EXPECT_LT(slept, 5000u);
  EXPECT_GT(clock.Now(), DayCount(2020, 1, 1));  // the machine's date, in days
}

// The tick wraps at 32 bits; a sleep is recorded and moves the tick and the date with it.
TEST(Clock, VirtualClockWrapsAndRecordsSleeps) {
  TVirtualClock clock(0xFFFFFFF0u, DayCount(2001, 2, 3));
  clock.Advance(0x20);
  EXPECT_EQ(clock.TickMs(), 0x10u);
  EXPECT_EQ(clock.TickMs() - 0xFFFFFFF0u, 0x20u);
  clock.SleepMs(11);
  clock.SleepMs(2);
  EXPECT_EQ(clock.Sleeps(), (std::vector<uint32_t>{11, 2}));
  EXPECT_EQ(clock.TickMs(), 0x10u + 13u);
  EXPECT_NEAR(clock.Now(), DayCount(2001, 2, 3) + (0x20 + 13) / 86400000.0, 1e-9);
}

}  // namespace
}  // namespace kova::plat
