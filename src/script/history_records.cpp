#include "script/history_records.h"

#include "core/errors.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {

int32_t ReadBoundedCount(TStream& stream, int64_t min_bytes) {
  const int32_t n = ReadStreamInteger(stream);
  if (n < 0 || n > stream.Remaining() / min_bytes) Raise<EReadError>(TMsg::StreamReadError);
  return n;
}

namespace {

template <class IO, class E>
void TransferNote(IO& io, E& e) {
  io.Str(e.PageFile);
  io.Int(e.CommandIndex);
  io.Int(e.PageIndex);
  io.Int(e.Width);
  io.Int(e.Height);
}

// The segments' variable texts are held from version 124.
template <class IO, class R>
void TransferSegments(IO& io, R& r) {
  io.List(r.Segments, io.Since(124) ? 24 : 20, [&](auto& s) {
    io.Str(s.PageFile);
    io.Int(s.CommandIndex);
    io.Int(s.First);
    io.Int(s.Last);
    io.Int(s.Height);
    if (io.Since(124)) io.Str(s.VarText);
  });
  io.Int(r.TotalHeight);
}

template <class IO, class R>
void TransferHistory(IO& io, R& r) {
  if (io.Before(113)) {
    // A dropped string, the legacy entries as parallel arrays, the pending note; nothing more.
    std::string dropped;
    io.Str(dropped);
    int32_t n = static_cast<int32_t>(r.Legacy.size());
    io.Count(n, 4 + 4 + 4 + 8);
    std::vector<THistoryOldEntry> legacy(r.Legacy.begin(), r.Legacy.end());
    legacy.resize(static_cast<size_t>(n));
    for (auto& e : legacy) io.Str(e.PageFile);
    for (auto& e : legacy) io.Int(e.CommandIndex);
    for (auto& e : legacy) io.Int(e.PageIndex);
    for (auto& e : legacy) {
      io.Int(e.Width);
      io.Int(e.Height);
    }
    TransferNote(io, r.Pending);
    io.Str(r.MesName);
    if constexpr (IO::kLoading) r.Legacy = std::move(legacy);
    return;
  }
  io.List(r.Legacy, 4 + 16, [&](auto& e) { TransferNote(io, e); });
  TransferNote(io, r.Pending);
  io.Str(r.MesName);
  io.Int(r.Limit);
  for (auto& v : r.Layout) io.Int(v);
  io.Int(r.First);
  io.Int(r.Last);
  io.List(r.Entries, 8, [&](auto& entry) { TransferSegments(io, entry); });
  if (io.Since(124)) {
    io.Str(r.VarText);
  } else if constexpr (IO::kLoading) {
    r.VarText.clear();
  }
}

// Status data before version 100 hold no read marks.
template <class IO, class R>
void TransferReadMarks(IO& io, R& r) {
  if (!io.Since(100)) return;
  io.List(r.Pages, 8, [&](auto& m) {
    io.Str(m.PageFile);
    int32_t marks = static_cast<int32_t>(m.CommandIndex.size());
    io.Count(marks, 8);
    if constexpr (IO::kLoading) {
      m.CommandIndex.resize(static_cast<size_t>(marks));
      m.PageIndex.resize(static_cast<size_t>(marks));
    }
    for (auto& v : m.CommandIndex) io.Int(v);
    for (auto& v : m.PageIndex) io.Int(v);
  });
  io.Str(r.PageFile);
  io.Int(r.CommandIndex);
  io.Int(r.PageIndex);
  io.Str(r.MesName);
}

}  // namespace

void THistorySegments::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferSegments(io, *this);
}

void THistorySegments::LoadFromStream(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  TransferSegments(io, *this);
}

void THistoryRecord::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferHistory(io, *this);
}

void THistoryRecord::LoadFromStream(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  TransferHistory(io, *this);
}

void TReadMarksRecord::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferReadMarks(io, *this);
}

void TReadMarksRecord::LoadFromStream(TStream& stream, int32_t status_version) {
  *this = TReadMarksRecord();
  TRecordLoader io(stream, status_version);
  TransferReadMarks(io, *this);
}

}  // namespace kova
