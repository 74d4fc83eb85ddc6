#include "core/record_io.h"

#include <gtest/gtest.h>

#include "core/messages.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::LeWriter;

struct TPart {
  std::string Name;
  int32_t Size = 0;
};

struct TThing {
  std::string Name;
  uint8_t Code[2] = {};
  int32_t Level = 0;   // since 116
  uint8_t Legacy = 0;  // dropped in 120
  std::vector<TPart> Parts;
};

template <class IO, class R>
void TransferThing(IO& io, R& r) {
  io.Str(r.Name);
  io.Raw(r.Code, 2);
  if (io.Since(116)) io.Int(r.Level);
  if (io.Before(120)) io.Byte(r.Legacy);
  io.List(r.Parts, 8, TMsg::ParamDataError, [&](auto& part) {
    io.Str(part.Name);
    io.Int(part.Size);
  });
}

std::vector<uint8_t> ThingBytes(int32_t version) {
  LeWriter w;
  w.Str("t").U8(0x82).U8(0xA0);
  if (version >= 116) w.I32(7);
  if (version < 120) w.U8(3);
  w.I32(2).Str("a").I32(1).Str("bc").I32(-2);
  return w.Bytes();
}

TEST(RecordIo, OneDescriptionBothWaysByVersion) {
  for (int32_t version : {115, 116, 119, 120}) {
    SCOPED_TRACE(version);
    TThing thing;
    test::ExpectRecordRoundTrip(
        ThingBytes(version),
        [&](TStream& s) {
          TRecordLoader io(s, version);
          thing = TThing{};
          TransferThing(io, thing);
        },
        [&](TStream& s) {
          TRecordSaver io(s, version);
          TransferThing(io, thing);
        });
    EXPECT_EQ(thing.Code[0], 0x82);
    EXPECT_EQ(thing.Level, version >= 116 ? 7 : 0);
    EXPECT_EQ(thing.Legacy, version < 120 ? 3 : 0);
    ASSERT_EQ(thing.Parts.size(), 2u);
    EXPECT_EQ(thing.Parts[1].Name, "bc");
  }
}

TEST(RecordIo, CountsBeyondTheBytesLeftAreRefusedWithTheRecordsError) {
  // Two parts of at least 8 bytes each cannot fit in the 12 bytes left; a negative count neither.
  for (int32_t count : {2, -1}) {
    LeWriter w;
    w.Str("t").U8(0).U8(0).I32(count).Str("a").I32(1);
    TThing thing;
    thing.Parts = {{"keep", 1}};
    TSpanStream in(w.Bytes());
    TRecordLoader io(in, 120);
    try {
      TransferThing(io, thing);
      ADD_FAILURE() << count;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.what(), MsgText(TMsg::ParamDataError)) << count;
    }
    ASSERT_EQ(thing.Parts.size(), 1u);  // the list stays as it was
    EXPECT_EQ(thing.Parts[0].Name, "keep");
  }
  // Without a record's own error the stream's read error is raised.
  LeWriter w;
  w.I32(5);
  TSpanStream in(w.Bytes());
  TRecordLoader io(in);
  int32_t n = 0;
  try {
    io.Count(n, 4);
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.what(), MsgText(TMsg::StreamReadError));
  }
}

TEST(RecordIo, LenientLoadsReadWhatIsThere) {
  // A wild count, one part in full, one cut inside its size: the list ends with the stream and
  // the missing bytes read as 0.
  LeWriter w;
  w.Str("t").U8(1).U8(2).I32(7).I32(0x7FFFFFFF).Str("a").I32(5).Str("b").U8(9);
  TSpanStream in(w.Bytes());
  TRecordLoader io(in, 120, TReadMode::Lenient);
  TThing thing;
  TransferThing(io, thing);
  ASSERT_EQ(thing.Parts.size(), 2u);
  EXPECT_EQ(thing.Parts[0].Size, 5);
  EXPECT_EQ(thing.Parts[1].Name, "b");
  EXPECT_EQ(thing.Parts[1].Size, 9);  // the one byte there, the rest 0
  // A negative count reads as no elements.
  LeWriter negative;
  negative.Str("t").U8(0).U8(0).I32(7).I32(-3);
  TSpanStream neg_in(negative.Bytes());
  TRecordLoader neg_io(neg_in, 120, TReadMode::Lenient);
  thing.Parts = {{"keep", 1}};
  TransferThing(neg_io, thing);
  EXPECT_TRUE(thing.Parts.empty());
}

}  // namespace
}  // namespace kova
