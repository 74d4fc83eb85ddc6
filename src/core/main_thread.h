// The thread model: everything of the scene, the script and the project runs on the main thread
// (the thread that made the session); decoders and network workers touch only their own streams,
// take their commands from their own queue (core/worker.h) and hand results over through the
// session's mailbox. A TMainThread remembers the thread that made its owner; in the test build
// (KOVA_THREAD_CHECKS) Check() ends the program with a message when a main-thread-only entry point
// is called from another thread. Elsewhere it costs nothing.
#pragma once

#include <thread>

namespace kova {

class TMainThread {
 public:
#if defined(KOVA_THREAD_CHECKS)
  void Check(const char* where) const {
    if (std::this_thread::get_id() != id_) Fail(where);
  }

 private:
  [[noreturn]] static void Fail(const char* where);
  std::thread::id id_ = std::this_thread::get_id();
#else
  void Check(const char*) const {}
#endif
};

}  // namespace kova
