// The libcdio layer over a disc image the test writes: a .cue sheet and its .bin of two audio
// tracks (3 s and 2 s) whose samples tell the track and the frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/cd_player.h"
#include "platform/media/cdio_drives.h"

namespace kova::test {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kTrackSectors[] = {3 * 75, 2 * 75};

// The sample of track `track` (1, 2), frame `frame` (within the track), channel `ch`.
int16_t Sample(int32_t track, int32_t frame, int32_t ch) {
  return int16_t((track * 7919 + frame * 13 + ch * 4001) % 30000 - 15000);
}

std::vector<uint8_t> TrackBytes(int32_t track) {
  std::vector<uint8_t> bytes;
  const int32_t frames = kTrackSectors[track - 1] * plat::kCdSectorFrames;
  for (int32_t f = 0; f < frames; ++f) {
    for (int32_t ch = 0; ch < 2; ++ch) {
      const uint16_t v = uint16_t(Sample(track, f, ch));
      bytes.push_back(uint8_t(v));
      bytes.push_back(uint8_t(v >> 8));
    }
  }
  return bytes;
}

class CdioDrivesTest : public ::testing::Test {
 protected:
  CdioDrivesTest() {
    std::string pattern = (fs::temp_directory_path() / "kova-cd-XXXXXX").string();
    EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  ~CdioDrivesTest() override { fs::remove_all(dir_); }

  std::string WriteImage(const std::string& cue_text, bool with_bin = true) {
    if (with_bin) {
      std::ofstream bin(dir_ / "disc.bin", std::ios::binary);
      for (int32_t t = 1; t <= 2; ++t) {
        const std::vector<uint8_t> bytes = TrackBytes(t);
        bin.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      }
    }
    std::ofstream(dir_ / "disc.cue") << cue_text;
    return (dir_ / "disc.cue").string();
  }

  static constexpr const char* kCue =
      "FILE \"disc.bin\" BINARY\n"
      "  TRACK 01 AUDIO\n"
      "    INDEX 01 00:00:00\n"
      "  TRACK 02 AUDIO\n"
      "    INDEX 01 00:03:00\n";

  fs::path dir_;
};

TEST_F(CdioDrivesTest, AnImageIsOneMoreDriveWhoseTracksReadAsWritten) {
  const std::string cue = WriteImage(kCue);
  std::unique_ptr<plat::ICdDrives> drives = plat::MakeCdioDrives(cue, false);
  ASSERT_EQ(drives->Names(), std::vector<std::string>{cue});
  std::unique_ptr<plat::ICdDisc> disc = drives->Open(0);
  ASSERT_NE(disc, nullptr);
  EXPECT_TRUE(disc->MediumPresent());
  const std::vector<plat::TCdTrack> tracks = disc->Tracks();
  ASSERT_EQ(tracks.size(), 2u);
  for (int32_t t = 1; t <= 2; ++t) {
    SCOPED_TRACE(t);
    const plat::TCdTrack& track = tracks[size_t(t - 1)];
    EXPECT_TRUE(track.audio);
    EXPECT_EQ(track.sectors, kTrackSectors[t - 1]);
    std::vector<uint8_t> read(size_t(track.sectors) * plat::kCdSectorBytes);
    ASSERT_TRUE(disc->ReadAudio(track.first_sector, track.sectors, read.data()));
    EXPECT_TRUE(read == TrackBytes(t));
  }
  EXPECT_FALSE(disc->ReadAudio(tracks[1].first_sector + tracks[1].sectors + 10, 1, std::vector<uint8_t>(2352).data()));

  // Through the player: track lengths in seconds, and the range decoder reads the samples.
  TCDP player(*drives, nullptr);
  ASSERT_TRUE(player.OpenDrive(0));
  EXPECT_EQ(player.TrackCount(), 2);
  EXPECT_EQ(player.TrackLength(1), 3);
  EXPECT_EQ(player.TrackLength(2), 2);
  auto decoder = MakeCdRangeDecoder(*disc, tracks[1].first_sector + 75, 20, player.Level());
  ASSERT_TRUE(decoder->SeekFrame(100));
  std::vector<int16_t> pcm(2 * 1000);
  EXPECT_EQ(decoder->Read(pcm.data(), int64_t(pcm.size() * 2)), int64_t(pcm.size() * 2));
  for (int32_t f = 0; f < 1000; f += 97) EXPECT_EQ(pcm[size_t(f) * 2 + 1], Sample(2, 588 * 75 + 100 + f, 1));
}

TEST_F(CdioDrivesTest, ADamagedSheetOrAMissingImageIsADriveThatCannotBeOpened) {
  struct Case {
    const char* what;
    std::string cue;
    bool with_bin;
  };
  const Case cases[] = {
      {"no .bin", kCue, false},
      {"garbage", "\x01\x02 not a sheet\nTRACK\n", true},
      {"track number out of range", "FILE \"disc.bin\" BINARY\n  TRACK 250 AUDIO\n    INDEX 01 99:99:99\n", true},
      {"index beyond the image", "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 90:00:00\n", true},
      {"no file", "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir_ / "disc.bin");
    const std::string cue = WriteImage(c.cue, c.with_bin);
    std::unique_ptr<plat::ICdDrives> drives = plat::MakeCdioDrives(cue, false);
    std::unique_ptr<plat::ICdDisc> disc = drives->Open(0);
    if (!disc) continue;
    // Opened anyway: whatever it lists is bounded, and reading past it fails cleanly.
    for (const plat::TCdTrack& t : disc->Tracks()) {
      EXPECT_GE(t.sectors, 1);
      std::vector<uint8_t> one(plat::kCdSectorBytes);
      disc->ReadAudio(t.first_sector, 1, one.data());
    }
  }
  std::unique_ptr<plat::ICdDrives> none = plat::MakeCdioDrives((dir_ / "absent.cue").string(), false);
  EXPECT_EQ(none->Open(0), nullptr);
  EXPECT_EQ(none->Open(5), nullptr);
  EXPECT_TRUE(plat::MakeCdioDrives("", false)->Names().empty());
}

}  // namespace
}  // namespace kova::test
