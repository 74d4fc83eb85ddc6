// The message history and the read marks as the script engine sees them. The component system implements this port;
// the defaults are a player without a history. Main thread only.
#pragma once

#include <cstdint>

namespace kova {

class THistoryPort {
 public:
  virtual ~THistoryPort() = default;
  virtual int32_t HistoryCount() const { return 0; }
  virtual int32_t HistoryMaxCount() const { return 0; }
  virtual void SetHistoryMaxCount(int32_t) {}
  // Empties the message history and its counter.
  virtual void ClearHistory() {}
  // Forgets which texts were read.
  virtual void ClearReadMarks() {}
};

}  // namespace kova
