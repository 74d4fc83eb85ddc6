#include "script/history_records.h"

#include <gtest/gtest.h>

#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::LeWriter;

// A history record of `version` holding one legacy entry and, from 113, one entry of two segments.
std::vector<uint8_t> HistoryBytes(int32_t version) {
  LeWriter w;
  if (version < 113) {
    w.Str("dropped").I32(2).Str("a.txt").Str("b.txt").I32(1).I32(2).I32(3).I32(4).I32(10).I32(20).I32(30).I32(40);
    w.Str("p.txt").I32(5).I32(6).I32(7).I32(8).Str("mes");
    return w.Bytes();
  }
  const bool var_text = version >= 124;
  w.I32(1).Str("a.txt").I32(1).I32(3).I32(10).I32(20);
  w.Str("p.txt").I32(5).I32(6).I32(7).I32(8).Str("mes");
  w.I32(50).I32(16).I32(1).I32(2).I32(600).I32(400).I32(4).I32(0).I32(1);
  w.I32(1).I32(2);
  w.Str("s.txt").I32(9).I32(0).I32(-1).I32(18);
  if (var_text) w.Str("v1");
  w.Str("t.txt").I32(11).I32(2).I32(5).I32(20);
  if (var_text) w.Str("");
  w.I32(38);
  if (var_text) w.Str("pending");
  return w.Bytes();
}

// The newest form of what HistoryBytes(version) holds.
std::vector<uint8_t> HistorySaved(int32_t version) {
  if (version >= 124) return HistoryBytes(version);
  LeWriter w;
  if (version < 113) {
    w.I32(2).Str("a.txt").I32(1).I32(3).I32(10).I32(20).Str("b.txt").I32(2).I32(4).I32(30).I32(40);
    w.Str("p.txt").I32(5).I32(6).I32(7).I32(8).Str("mes");
    w.I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).I32(0).Str("");
    return w.Bytes();
  }
  w.I32(1).Str("a.txt").I32(1).I32(3).I32(10).I32(20);
  w.Str("p.txt").I32(5).I32(6).I32(7).I32(8).Str("mes");
  w.I32(50).I32(16).I32(1).I32(2).I32(600).I32(400).I32(4).I32(0).I32(1);
  w.I32(1).I32(2);
  w.Str("s.txt").I32(9).I32(0).I32(-1).I32(18).Str("");
  w.Str("t.txt").I32(11).I32(2).I32(5).I32(20).Str("");
  w.I32(38).Str("");
  return w.Bytes();
}

TEST(HistoryRecords, HistoryBothWaysByVersion) {
  for (int32_t version : {112, 113, 123, 124, 129}) {
    SCOPED_TRACE(version);
    THistoryRecord record;
    const std::vector<uint8_t> saved = HistorySaved(version);
    test::ExpectRecordRoundTrip(
        HistoryBytes(version),
        [&](TStream& s) {
          record = THistoryRecord();
          record.LoadFromStream(s, version);
        },
        [&](TStream& s) { record.SaveToStream(s); }, &saved);
    ASSERT_EQ(record.Legacy.size(), version < 113 ? 2u : 1u);
    EXPECT_EQ(record.Legacy[0].PageIndex, 3);
    EXPECT_EQ(record.Pending.Height, 8);
  }
}

TEST(HistoryRecords, CountsBeyondTheBytesLeftAreRefused) {
  for (int32_t version : {112, 124}) {
    LeWriter w;
    if (version < 113) w.Str("");
    w.I32(1000);
    THistoryRecord record;
    TSpanStream in(w.Bytes());
    EXPECT_THROW(record.LoadFromStream(in, version), EReadError) << version;
  }
}

std::vector<uint8_t> ReadMarksBytes() {
  LeWriter w;
  w.I32(2).Str("a.txt").I32(2).I32(4).I32(9).I32(0).I32(1).Str("b.txt").I32(0);
  w.Str("p.txt").I32(3).I32(1).Str("mes");
  return w.Bytes();
}

TEST(HistoryRecords, ReadMarksBothWaysByVersion) {
  LeWriter empty;
  empty.I32(0).Str("").I32(0).I32(0).Str("");
  for (int32_t version : {99, 100, 129}) {
    SCOPED_TRACE(version);
    TReadMarksRecord record;
    // Status data before 100 hold no read marks: nothing is read and an empty record is saved.
    const std::vector<uint8_t> golden = version < 100 ? std::vector<uint8_t>() : ReadMarksBytes();
    test::ExpectRecordRoundTrip(
        golden, [&](TStream& s) { record.LoadFromStream(s, version); },
        [&](TStream& s) { record.SaveToStream(s); }, version < 100 ? &empty.Bytes() : nullptr);
  }
  LeWriter huge;
  huge.I32(1).Str("a.txt").I32(0x10000000);
  TReadMarksRecord record;
  TSpanStream in(huge.Bytes());
  EXPECT_THROW(record.LoadFromStream(in, 100), EReadError);
}

}  // namespace
}  // namespace kova
