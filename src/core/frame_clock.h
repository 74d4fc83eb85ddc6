// The frame clock of one session: what the frame step writes and the rest of the session reads.
// The session owns it and steps it; the parts that need the time get it from their owner.
#pragma once

#include <cstdint>
#include <optional>

namespace kova {

struct TFrameClock {
  // Gaps between frames longer than this count as no time.
  static constexpr int64_t kLongestGapMs = 3000;

  // The system clock (milliseconds, wrapping) of the last accepted frame.
  uint32_t LastFrameTime = 0;
  // The sum of all accepted frame deltas, in milliseconds.
  int32_t GameClock = 0;
  // The last accepted frame delta in milliseconds; every animated part advances by it.
  int32_t FrameDelta = 0;
  // The target frame time in milliseconds (never 0).
  int32_t FrameInterval = 16;
  // The number of frame steps that ran the update pass.
  int32_t UpdateCount = 0;
  // The local date and time of the frame: days since 30 December 1899, the fraction the time of
  // day (the date variables read it).
  double Now = 0.0;

  // The frame rule, the one place it is written: the time from the last accepted frame to `now`
  // (the platform's millisecond tick; the wrapping difference read as signed), and `now` becomes
  // the last frame time either way. A gap of more than kLongestGapMs (a stall, a suspend) or one
  // that runs backwards counts as no time: it is dropped, no frame step runs for it, the game
  // clock does not move, the frame delta becomes 0 and the answer is nullopt.
  std::optional<int32_t> TakeGap(uint32_t now) {
    const int64_t gap = static_cast<int32_t>(now - LastFrameTime);
    LastFrameTime = now;
    if (gap < 0 || gap > kLongestGapMs) {
      FrameDelta = 0;
      return std::nullopt;
    }
    return static_cast<int32_t>(gap);
  }

  // Accepts a frame of `delta` milliseconds: the game clock advances and the delta is stored.
  void Advance(int32_t delta) {
    FrameDelta = delta;
    GameClock += delta;
  }
};

}  // namespace kova
