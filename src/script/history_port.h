// The message history as the script engine sees it. The component system implements this port;
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
};

}  // namespace kova
