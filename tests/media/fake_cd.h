// An in-memory CD drive set for the media tests: each drive's disc has audio tracks of a constant
// tone whose level tells the track (left 1000 x track, right -1000 x track), a medium that can be
// taken out and put back, and a count of the opens of each drive.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/cd_audio.h"

namespace kova::test {

inline int16_t CdToneLeft(int32_t track) { return int16_t(1000 * track); }
inline int16_t CdToneRight(int32_t track) { return int16_t(-1000 * track); }

struct TFakeCdMedium {
  std::vector<int32_t> seconds;  // each track's length; empty: a drive without a disc
  std::atomic<bool> present{true};
};

class TFakeCdDisc : public plat::ICdDisc {
 public:
  explicit TFakeCdDisc(std::shared_ptr<TFakeCdMedium> medium) : medium_(std::move(medium)) {
    int32_t sector = 150;
    for (int32_t s : medium_->seconds) {
      tracks_.push_back({true, sector, s * plat::kCdSectorsPerSecond});
      sector += s * plat::kCdSectorsPerSecond;
    }
  }
  bool MediumPresent() override { return medium_->present && !tracks_.empty(); }
  std::vector<plat::TCdTrack> Tracks() override { return MediumPresent() ? tracks_ : std::vector<plat::TCdTrack>{}; }
  bool ReadAudio(int32_t first, int32_t count, void* buffer) override {
    auto* out = static_cast<uint8_t*>(buffer);
    for (int32_t s = first; s < first + count; ++s) {
      int32_t track = 0;
      for (size_t t = 0; t < tracks_.size(); ++t) {
        if (s >= tracks_[t].first_sector && s < tracks_[t].first_sector + tracks_[t].sectors) track = int32_t(t + 1);
      }
      if (track == 0) return false;
      const uint16_t l = uint16_t(CdToneLeft(track)), r = uint16_t(CdToneRight(track));
      for (int32_t f = 0; f < plat::kCdSectorFrames; ++f, out += 4) {
        out[0] = uint8_t(l), out[1] = uint8_t(l >> 8), out[2] = uint8_t(r), out[3] = uint8_t(r >> 8);
      }
    }
    return true;
  }

 private:
  std::shared_ptr<TFakeCdMedium> medium_;
  std::vector<plat::TCdTrack> tracks_;
};

class TFakeCdDrives : public plat::ICdDrives {
 public:
  // Adds drive `name` holding a disc of tracks of `seconds` each (none: no disc).
  std::shared_ptr<TFakeCdMedium> Add(std::string name, std::vector<int32_t> seconds) {
    names_.push_back(std::move(name));
    media_.push_back(std::make_shared<TFakeCdMedium>());
    media_.back()->seconds = std::move(seconds);
    opens.push_back(0);
    return media_.back();
  }
  std::vector<std::string> Names() override { return names_; }
  std::unique_ptr<plat::ICdDisc> Open(int32_t index) override {
    if (index < 0 || index >= int32_t(names_.size())) return nullptr;
    ++opens[size_t(index)];
    return std::make_unique<TFakeCdDisc>(media_[size_t(index)]);
  }
  std::vector<int32_t> opens;

 private:
  std::vector<std::string> names_;
  std::vector<std::shared_ptr<TFakeCdMedium>> media_;
};

}  // namespace kova::test
