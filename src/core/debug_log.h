// The debug log: the seam through which the interpreter hands its trace lines to whatever its
// session binds (a log file, a test's capture). Nothing is formatted or written while no writer is
// bound; On() is the one test hot paths make first. Main thread only.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

namespace kova {

using TLogWriter = std::function<void(std::string_view line)>;

class TDebugLog {
 public:
  // True while a writer is bound.
  bool On() const { return on_; }
  // Binds a writer (an empty function unbinds it); returns the one bound before.
  TLogWriter SetWriter(TLogWriter writer) {
    TLogWriter old = std::exchange(writer_, std::move(writer));
    on_ = static_cast<bool>(writer_);
    return old;
  }
  // Hands one line to the bound writer; nothing when none is bound.
  void Write(std::string_view line) const {
    if (on_) writer_(line);
  }

 private:
  TLogWriter writer_;
  bool on_ = false;
};

}  // namespace kova
