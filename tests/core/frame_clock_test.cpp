// The frame rule: which gaps between frames count, and what a dropped gap leaves behind.
#include "core/frame_clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace kova {
namespace {

TEST(FrameRuleTest, GapsOverTheLimitOrBackwardsCountAsNoTime) {
  struct Case {
    uint32_t last, now;
    std::optional<int32_t> gap;
  };
  const Case cases[] = {
      {100, 100, 0},
      {100, 116, 16},
      {100, 3100, 3000},                  // the limit itself counts
      {100, 3101, std::nullopt},          // one past it is dropped
      {100, 99, std::nullopt},            // a clock going back
      {0xFFFFFFF0u, 0x10u, 0x20},         // the tick wraps: still 32 ms
      {0x10u, 0x90000000u, std::nullopt},  // half the range and more: read as backwards
  };
  for (const Case& c : cases) {
    TFrameClock clock;
    clock.LastFrameTime = c.last;
    clock.FrameDelta = 7;
    clock.GameClock = 50;
    EXPECT_EQ(clock.TakeGap(c.now), c.gap) << c.last << " -> " << c.now;
    EXPECT_EQ(clock.LastFrameTime, c.now);  // the count restarts either way
    EXPECT_EQ(clock.GameClock, 50);         // only a step moves the game clock
    EXPECT_EQ(clock.FrameDelta, c.gap ? 7 : 0);
  }
}

}  // namespace
}  // namespace kova
