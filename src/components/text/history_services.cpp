#include "components/text/history_services.h"

#include "components/text/kova_history.h"
#include "components/text/kova_read_marks.h"

namespace kova {

int32_t THistoryServices::HistoryCount() const { return history_.GetCount(); }
int32_t THistoryServices::HistoryMaxCount() const { return history_.Limit; }
void THistoryServices::SetHistoryMaxCount(int32_t n) { history_.Limit = n; }
void THistoryServices::ClearHistory() { history_.Clear(); }
void THistoryServices::ResetHistory() { history_.Reset(); }
void THistoryServices::ClearReadMarks() { marks_.Clear(); }
void THistoryServices::SaveHistory(TStream& stream) const { history_.SaveToStream(stream); }
void THistoryServices::LoadHistory(TStream& stream, int32_t version) { history_.LoadFromStream(stream, version); }
void THistoryServices::SaveReadMarks(TStream& stream) const { marks_.SaveToStream(stream); }
void THistoryServices::LoadReadMarks(TStream& stream, int32_t status_version) {
  marks_.LoadFromStream(stream, status_version);
}

}  // namespace kova
