// The CD-ROM drives of the system and the audio of the disc in one: the drives' device names in
// the system's order and, opened, the disc's table of contents and its raw audio sectors (2352
// bytes each: 588 stereo frames at 44100 Hz, signed 16-bit little-endian). A disc is used by one
// thread at a time. TNoCdDrives has no drive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kova::plat {

inline constexpr int32_t kCdSectorBytes = 2352;
inline constexpr int32_t kCdSectorFrames = 588;
inline constexpr int32_t kCdSectorsPerSecond = 75;
inline constexpr int32_t kCdMaxTracks = 99;

struct TCdTrack {
  bool audio = false;
  int32_t first_sector = 0;  // logical sector of the track's first sector
  int32_t sectors = 0;
};

class ICdDisc {
 public:
  virtual ~ICdDisc() = default;
  // A disc is in the drive (its table of contents was read).
  virtual bool MediumPresent() = 0;
  // The tracks 1 .. n (at most kCdMaxTracks); empty when there is no disc.
  virtual std::vector<TCdTrack> Tracks() = 0;
  // Reads `count` audio sectors from logical sector `first` into `buffer` (count x kCdSectorBytes
  // bytes); false when they cannot be read.
  virtual bool ReadAudio(int32_t first, int32_t count, void* buffer) = 0;
};

class ICdDrives {
 public:
  virtual ~ICdDrives() = default;
  virtual std::vector<std::string> Names() = 0;
  // The disc of drive `index` of Names; nullptr when the drive cannot be opened.
  virtual std::unique_ptr<ICdDisc> Open(int32_t index) = 0;
};

class TNoCdDrives : public ICdDrives {
 public:
  std::vector<std::string> Names() override { return {}; }
  std::unique_ptr<ICdDisc> Open(int32_t) override { return nullptr; }
};

}  // namespace kova::plat
