// The script engine's history port over the scene's message history and read marks: the system
// variables "@HistoryCount" and "@HistoryMaxCount", the ClrHist, ClrRead and reset commands, the
// history section of game saves and the read marks of the status entry.
#pragma once

#include <cstdint>

#include "script/history_port.h"

namespace kova {

class TKovaNewHistory;
class TKovaReadList;

class THistoryServices : public THistoryPort {
 public:
  THistoryServices(TKovaNewHistory& history, TKovaReadList& marks) : history_(history), marks_(marks) {}

  int32_t HistoryCount() const override;
  int32_t HistoryMaxCount() const override;
  void SetHistoryMaxCount(int32_t n) override;
  void ClearHistory() override;
  void ResetHistory() override;
  void ClearReadMarks() override;
  void SaveHistory(TStream& stream) const override;
  void LoadHistory(TStream& stream, int32_t version) override;
  void SaveReadMarks(TStream& stream) const override;
  void LoadReadMarks(TStream& stream, int32_t status_version) override;

 private:
  TKovaNewHistory& history_;
  TKovaReadList& marks_;
};

}  // namespace kova
