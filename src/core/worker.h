// The way from the main thread into a worker thread, and the worker thread's owner.
//
// A worker (a mixer's pump, a sequencer, a decoder, a network request) runs a body on a thread of
// its own. The main thread talks to it through its command queue: it posts typed commands by value
// (play, stop, volume, fade, seek: TTransportCommand below, or a command type of the worker's own);
// the body drains its queue on its own thread, in posting order. Results go the other way through
// the session's mailbox (script/mailbox.h), never through the queue.
//
// TWorker is the one owner of such a thread: it starts the thread when made and, on Stop or when it
// is freed, asks the body to stop, wakes it and joins it. No worker thread is ever detached. The
// owner must be freed (or stopped) before everything its body uses: the mailbox it posts to, the
// streams it reads. Declare it after them, so that C++ frees it first (docs/threads.md).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "core/main_thread.h"

namespace kova {

// The commands of the media workers, by value: which of the worker's voices (a channel, a track)
// and what to do with it. Times are milliseconds; volumes run 0 (silent) .. 10000 (full).
struct TPlayCommand {
  int32_t voice = 0;
  int32_t loops = 1;  // 0: loops until stopped
};
struct TStopCommand {
  int32_t voice = 0;
};
struct TVolumeCommand {
  int32_t voice = 0;
  int32_t volume = 10000;
};
struct TFadeCommand {
  int32_t voice = 0;
  int32_t volume = 0;  // the volume the fade ends at
  int32_t duration_ms = 0;
};
struct TSeekCommand {
  int32_t voice = 0;
  int64_t position_ms = 0;
};
using TTransportCommand = std::variant<TPlayCommand, TStopCommand, TVolumeCommand, TFadeCommand, TSeekCommand>;

// The queue of one worker's commands. Any thread posts; only the worker's body waits and takes.
// Once a stop is asked, posts are refused and the commands still queued are dropped unrun.
template <class TCommand>
class TCommandQueue {
 public:
  // Any thread. False (and the command is dropped) once a stop was asked.
  bool Post(TCommand command) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return false;
      queue_.push_back(std::move(command));
    }
    changed_.notify_one();
    return true;
  }

  // The worker's thread: waits up to `timeout` (negative: no limit) until a command is queued or a
  // stop is asked, then moves every queued command to the end of `out`, in posting order. False
  // when a stop was asked (`out` is then left as it was): the body returns.
  bool Wait(std::vector<TCommand>& out, std::chrono::milliseconds timeout = std::chrono::milliseconds(-1)) {
    std::unique_lock lock(mutex_);
    const auto ready = [&] { return stop_ || !queue_.empty(); };
    if (timeout.count() < 0) {
      changed_.wait(lock, ready);
    } else {
      changed_.wait_for(lock, timeout, ready);
    }
    return TakeLocked(out);
  }

  // The worker's thread: like Wait without waiting (for a body that keeps time on its own).
  bool Take(std::vector<TCommand>& out) {
    std::lock_guard lock(mutex_);
    return TakeLocked(out);
  }

  // Any thread: whether a stop was asked. A body busy with a long piece of work asks between steps.
  bool StopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
  }

  // The owner: refuses further posts, drops what is queued and wakes a waiting body. Returns how
  // many commands were dropped.
  size_t RequestStop() {
    std::deque<TCommand> dropped;
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      dropped.swap(queue_);
    }
    changed_.notify_all();
    return dropped.size();  // freed here, outside the lock
  }

 private:
  bool TakeLocked(std::vector<TCommand>& out) {
    if (stop_) return false;
    for (TCommand& c : queue_) out.push_back(std::move(c));
    queue_.clear();
    return true;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<TCommand> queue_;
  bool stop_ = false;
};

// The owner of one worker thread and its command queue. Made, posted to and stopped on the thread
// that owns it (the main thread); `Post` alone may also be called from other threads.
template <class TCommand>
class TWorker {
 public:
  using TQueue = TCommandQueue<TCommand>;
  // The worker's body, run once on the new thread. It drains `commands` (Wait or Take) and returns
  // when they say a stop was asked. An exception it lets out ends the thread; its message is kept
  // (Failure).
  using TBody = std::function<void(TQueue& commands)>;
  // For a body that blocks on something besides its queue (a socket, a device): called by Stop on
  // the owner's thread after the stop was asked, it must make that wait return.
  using TWake = std::function<void()>;

  explicit TWorker(TBody body, TWake wake = {}) : wake_(std::move(wake)) {
    thread_ = std::thread([this, body = std::move(body)] { Run(body); });
  }
  ~TWorker() { Stop(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  // Any thread. False once the worker is stopping (the command is dropped).
  bool Post(TCommand command) { return queue_.Post(std::move(command)); }

  // Asks the body to stop (commands still queued are dropped unrun), wakes it and joins its thread.
  // When it returns, the body has returned and touches nothing any more. A second call does
  // nothing. Returns how many queued commands were dropped.
  size_t Stop() {
    owner_.Check("TWorker::Stop");
    if (!thread_.joinable()) return 0;
    const size_t dropped = queue_.RequestStop();
    if (wake_) wake_();
    thread_.join();
    return dropped;
  }

  // Whether the thread is still to be joined (Stop not called yet).
  bool Running() const { return thread_.joinable(); }
  // After Stop: the message of the exception that ended the body, empty when it returned.
  const std::string& Failure() const { return failure_; }

 private:
  void Run(const TBody& body) {
    try {
      body(queue_);
    } catch (const std::exception& e) {
      failure_ = e.what();
    } catch (...) {
      failure_ = "unknown error";
    }
  }

  TQueue queue_;
  TWake wake_;
  std::string failure_;  // written by the thread, read after the join
  TMainThread owner_;
  std::thread thread_;  // last: started after everything above is made
};

}  // namespace kova
