#include "motion/film_tracks.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(FilmTrackKindsTest, EveryKindByteHasItsTrackAndBitSevenIsIgnored) {
  for (uint8_t kind = 0; kind < 8; ++kind) {
    for (uint8_t byte : {kind, static_cast<uint8_t>(kind | 0x80)}) {
      const std::unique_ptr<TCustomFrameList> track = CreateFilmTrack(byte, nullptr);
      ASSERT_NE(track, nullptr) << int(byte);
      EXPECT_EQ(track->Kind(), kind);
    }
  }
  for (uint8_t byte : {8, 9, 0x7F, 0x88, 0xFF}) EXPECT_EQ(CreateFilmTrack(byte, nullptr), nullptr) << int(byte);
}

}  // namespace
}  // namespace kova
