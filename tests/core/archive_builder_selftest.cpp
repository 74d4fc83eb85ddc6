#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/le_writer.h"

namespace kova::test {
namespace {

// An independently computed version-102 archive with one stored entry "a" = "xyz".
TEST(ArchiveBuilder, MatchesTheHandComputedGoldenArchive) {
  ArchiveBuilder b(102);
  b.Add("a", "xyz", /*stored=*/true);
  EXPECT_EQ(b.Build(), HexBytes("76 66 66 00 00 00 01 00 00 00 01 00 00 00 1c 54 e8 9b 55 00 00 00 00"
                                " c2 72 a7 01 00 00 00 00 01 00 00 00 00 67 ba 8e eb 00 78 79 7a"));
}

TEST(ArchiveBuilder, KeystreamGoldenValues) {
  Keystream k;
  uint32_t expected[] = {0x559BE87D, 0x01A772EE, 0x5DE12723, 0x2B01AC2C, 0x2CA44559};
  for (uint32_t e : expected) EXPECT_EQ(k.Next(), e);
}

}  // namespace
}  // namespace kova::test
