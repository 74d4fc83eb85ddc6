#include "platform/event_mailbox.h"

#include <chrono>

namespace kova::plat {

void TEventMailbox::PostUser(uint32_t code, int64_t param1, int64_t param2) {
  TEvent e;
  e.kind = TEventKind::User;
  e.code = code;
  e.param1 = param1;
  e.param2 = param2;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(e));
  }
  posted_.notify_one();
}

void TEventMailbox::Wake() {
  {
    std::lock_guard lock(mutex_);
    if (wake_queued_) return;
    wake_queued_ = true;
    queue_.push_back(TEvent{});  // kind Wake
  }
  posted_.notify_one();
}

bool TEventMailbox::TakeLocked(TEvent& event) {
  if (queue_.empty()) return false;
  event = std::move(queue_.front());
  queue_.pop_front();
  if (event.kind == TEventKind::Wake) wake_queued_ = false;
  return true;
}

bool TEventMailbox::Take(TEvent& event) {
  std::lock_guard lock(mutex_);
  return TakeLocked(event);
}

bool TEventMailbox::WaitTake(TEvent& event, int32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  if (timeout_ms < 0) {
    posted_.wait(lock, [&] { return !queue_.empty(); });
  } else if (!posted_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !queue_.empty(); })) {
    return false;
  }
  return TakeLocked(event);
}

}  // namespace kova::plat
