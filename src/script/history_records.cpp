#include "script/history_records.h"

#include "core/errors.h"
#include "core/stream_records.h"

namespace kova {

int32_t ReadBoundedCount(TStream& stream, int64_t min_bytes) {
  const int32_t n = ReadStreamInteger(stream);
  if (n < 0 || n > stream.Remaining() / min_bytes) Raise<EReadError>(TMsg::StreamReadError);
  return n;
}

namespace {

int32_t ReadCount(TStream& stream, int64_t min_bytes) { return ReadBoundedCount(stream, min_bytes); }

void ReadNote(TStream& stream, THistoryOldEntry& e) {
  e.PageFile = ReadStreamString(stream);
  e.CommandIndex = ReadStreamInteger(stream);
  e.PageIndex = ReadStreamInteger(stream);
  e.Width = ReadStreamInteger(stream);
  e.Height = ReadStreamInteger(stream);
}

void WriteNote(TStream& stream, const THistoryOldEntry& e) {
  WriteStreamString(stream, e.PageFile);
  WriteStreamInteger(stream, e.CommandIndex);
  WriteStreamInteger(stream, e.PageIndex);
  WriteStreamInteger(stream, e.Width);
  WriteStreamInteger(stream, e.Height);
}

}  // namespace

void THistoryRecord::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, static_cast<int32_t>(Legacy.size()));
  for (const THistoryOldEntry& e : Legacy) WriteNote(stream, e);
  WriteNote(stream, Pending);
  WriteStreamString(stream, MesName);
  WriteStreamInteger(stream, Limit);
  for (int32_t v : Layout) WriteStreamInteger(stream, v);
  WriteStreamInteger(stream, First);
  WriteStreamInteger(stream, Last);
  WriteStreamInteger(stream, static_cast<int32_t>(Entries.size()));
  for (const THistorySegments& entry : Entries) entry.SaveToStream(stream);
  WriteStreamString(stream, VarText);
}

void THistorySegments::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, static_cast<int32_t>(Segments.size()));
  for (const THistorySegment& s : Segments) {
    WriteStreamString(stream, s.PageFile);
    for (int32_t v : {s.CommandIndex, s.First, s.Last, s.Height}) WriteStreamInteger(stream, v);
    WriteStreamString(stream, s.VarText);
  }
  WriteStreamInteger(stream, TotalHeight);
}

void THistorySegments::LoadFromStream(TStream& stream, int32_t version) {
  const bool var_text = version >= 124;
  const int32_t n = ReadCount(stream, var_text ? 24 : 20);
  std::vector<THistorySegment> segments(static_cast<size_t>(n));
  for (THistorySegment& s : segments) {
    s.PageFile = ReadStreamString(stream);
    s.CommandIndex = ReadStreamInteger(stream);
    s.First = ReadStreamInteger(stream);
    s.Last = ReadStreamInteger(stream);
    s.Height = ReadStreamInteger(stream);
    s.VarText = var_text ? ReadStreamString(stream) : std::string();
  }
  TotalHeight = ReadStreamInteger(stream);
  Segments = std::move(segments);
}

void THistoryRecord::LoadFromStream(TStream& stream, int32_t version) {
  if (version < 113) {
    ReadStreamString(stream);
    const int32_t n = ReadCount(stream, 4 + 4 + 4 + 8);
    std::vector<THistoryOldEntry> legacy(static_cast<size_t>(n));
    for (THistoryOldEntry& e : legacy) e.PageFile = ReadStreamString(stream);
    for (THistoryOldEntry& e : legacy) e.CommandIndex = ReadStreamInteger(stream);
    for (THistoryOldEntry& e : legacy) e.PageIndex = ReadStreamInteger(stream);
    for (THistoryOldEntry& e : legacy) {
      e.Width = ReadStreamInteger(stream);
      e.Height = ReadStreamInteger(stream);
    }
    ReadNote(stream, Pending);
    MesName = ReadStreamString(stream);
    Legacy = std::move(legacy);
    return;
  }
  const bool var_text = version >= 124;
  const int32_t n = ReadCount(stream, 4 + 16);
  Legacy.assign(static_cast<size_t>(n), {});
  for (THistoryOldEntry& e : Legacy) ReadNote(stream, e);
  ReadNote(stream, Pending);
  MesName = ReadStreamString(stream);
  Limit = ReadStreamInteger(stream);
  for (int32_t& v : Layout) v = ReadStreamInteger(stream);
  First = ReadStreamInteger(stream);
  Last = ReadStreamInteger(stream);
  const int32_t entries = ReadCount(stream, 8);
  Entries.assign(static_cast<size_t>(entries), {});
  for (THistorySegments& entry : Entries) entry.LoadFromStream(stream, version);
  VarText = var_text ? ReadStreamString(stream) : std::string();
}

void TReadMarksRecord::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, static_cast<int32_t>(Pages.size()));
  for (const TReadMark& m : Pages) {
    WriteStreamString(stream, m.PageFile);
    WriteStreamInteger(stream, static_cast<int32_t>(m.CommandIndex.size()));
    for (int32_t v : m.CommandIndex) WriteStreamInteger(stream, v);
    for (int32_t v : m.PageIndex) WriteStreamInteger(stream, v);
  }
  WriteStreamString(stream, PageFile);
  WriteStreamInteger(stream, CommandIndex);
  WriteStreamInteger(stream, PageIndex);
  WriteStreamString(stream, MesName);
}

void TReadMarksRecord::LoadFromStream(TStream& stream, int32_t status_version) {
  *this = TReadMarksRecord();
  if (status_version < 100) return;
  const int32_t n = ReadCount(stream, 8);
  Pages.assign(static_cast<size_t>(n), {});
  for (TReadMark& m : Pages) {
    m.PageFile = ReadStreamString(stream);
    const int32_t marks = ReadCount(stream, 8);
    m.CommandIndex.resize(static_cast<size_t>(marks));
    m.PageIndex.resize(static_cast<size_t>(marks));
    for (int32_t& v : m.CommandIndex) v = ReadStreamInteger(stream);
    for (int32_t& v : m.PageIndex) v = ReadStreamInteger(stream);
  }
  PageFile = ReadStreamString(stream);
  CommandIndex = ReadStreamInteger(stream);
  PageIndex = ReadStreamInteger(stream);
  MesName = ReadStreamString(stream);
}

}  // namespace kova
