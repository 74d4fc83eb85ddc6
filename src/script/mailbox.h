// The one way from a worker thread (a decoder, a network request) to the main thread. A worker
// posts a delivery; the session's frame step drains the mailbox on the main thread and runs each
// delivery, in posting order, with the event queue, where it queues the events its result raises.
// A delivery must not touch what the worker owns after posting it: it carries its result by value.
// A worker names the component its work is for by its handle, never by pointer: the component may
// be freed before the delivery runs, and a delivery for a freed component does not run.
#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "core/main_thread.h"
#include "core/object_handle.h"
#include "script/event_queue.h"

namespace kova {

class TKovaObject;

class TMailbox {
 public:
  using TDelivery = std::function<void(TTimerList& events)>;
  // A delivery for one component: it runs with the component only while the component lives.
  using TTargetDelivery = std::function<void(TTimerList& events, TKovaObject& target)>;

  // Any thread.
  void Post(TDelivery delivery) {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(delivery));
  }

  // Any thread: a delivery for the component `target` names. At the drain the handle is resolved
  // through the event queue's scene; a component freed since (or no scene) gets nothing.
  void PostFor(TObjectHandle target, TTargetDelivery delivery) {
    Post([target, delivery = std::move(delivery)](TTimerList& events) {
      const TScenePort* scene = events.Root();
      if (TKovaObject* object = scene ? scene->Resolve(target) : nullptr) delivery(events, *object);
    });
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
