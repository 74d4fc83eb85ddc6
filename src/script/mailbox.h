// The one way from a worker thread (a decoder, a network request) to the main thread. A worker
// posts a delivery; the session's frame step drains the mailbox on the main thread and runs each
// delivery, in posting order, with the event queue, where it queues the events its result raises.
// A delivery must not touch what the worker owns after posting it: it carries its result by value.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "core/main_thread.h"

namespace kova {

class TTimerList;

class TMailbox {
 public:
  using TDelivery = std::function<void(TTimerList& events)>;

  // Any thread.
  void Post(TDelivery delivery) {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(delivery));
  }

  // Main thread: runs every delivery posted so far; returns how many ran. Deliveries posted while
  // it runs wait for the next drain.
  size_t Drain(TTimerList& events) {
    main_.Check("TMailbox::Drain");
    std::vector<TDelivery> taken;
    {
      std::lock_guard lock(mutex_);
      taken.swap(pending_);
    }
    for (TDelivery& d : taken) d(events);
    return taken.size();
  }

 private:
  std::mutex mutex_;
  std::vector<TDelivery> pending_;
  TMainThread main_;
};

}  // namespace kova
