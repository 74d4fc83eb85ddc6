// The message history and the read marks as the script engine sees them. The component system
// implements this port; the defaults are a player without a history: it saves an empty history,
// reads a saved one and lets it go, and keeps the read marks it read so that the status entry it
// writes holds them still. Main thread only.
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "script/history_records.h"

namespace kova {

class THistoryPort {
 public:
  virtual ~THistoryPort() = default;
  virtual int32_t HistoryCount() const { return 0; }
  virtual int32_t HistoryMaxCount() const { return 0; }
  virtual void SetHistoryMaxCount(int32_t) {}
  // Empties the message history and its counter.
  virtual void ClearHistory() {}
  // The reset command: the history emptied and its limit back to 0.
  virtual void ResetHistory() { ClearHistory(); }
  // Forgets which texts were read.
  virtual void ClearReadMarks() {}

  // ---- Game save: the history section (history_records.h) ----
  virtual void SaveHistory(TStream& stream) const;
  // Reads the section of a game save of that data version; a malformed one raises.
  virtual void LoadHistory(TStream& stream, int32_t version);

  // ---- Status entry: the read marks ----
  virtual void SaveReadMarks(TStream& stream) const;
  // Reads the read marks of status data of that version; a malformed record raises.
  virtual void LoadReadMarks(TStream& stream, int32_t status_version);

 private:
  TReadMarksRecord read_marks_;
};

}  // namespace kova
