#include "script/history_port.h"

namespace kova {

void THistoryPort::SaveHistory(TStream& stream) const {
  THistoryRecord empty;
  empty.Limit = HistoryMaxCount();
  empty.SaveToStream(stream);
}

void THistoryPort::LoadHistory(TStream& stream, int32_t version) {
  THistoryRecord record;
  record.LoadFromStream(stream, version);
}

void THistoryPort::SaveReadMarks(TStream& stream) const { read_marks_.SaveToStream(stream); }

void THistoryPort::LoadReadMarks(TStream& stream, int32_t status_version) {
  TReadMarksRecord record;
  record.LoadFromStream(stream, status_version);
  read_marks_ = std::move(record);
}

}  // namespace kova
