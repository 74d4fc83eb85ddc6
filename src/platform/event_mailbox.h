// A thread-safe queue of posted events (User and Wake) that the main thread takes from, waiting
// when it has nothing else to do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/window/video.h"

namespace kova::plat {

class TEventMailbox {
 public:
  void PostUser(uint32_t code, int64_t param1, int64_t param2);
  // Queues one Wake unless one is queued already.
  void Wake();
  // Takes the first posted event; false when none is there.
  bool Take(TEvent& event);
  // Like Take, waiting up to `timeout_ms` (negative: no limit) for a post.
  bool WaitTake(TEvent& event, int32_t timeout_ms);

 private:
  bool TakeLocked(TEvent& event);

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<TEvent> queue_;
  bool wake_queued_ = false;
};

}  // namespace kova::plat
