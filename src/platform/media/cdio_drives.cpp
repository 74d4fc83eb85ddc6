#include "platform/media/cdio_drives.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace kova::plat {

namespace {

// A disc's longest honest extent: 100 minutes of sectors.
constexpr int32_t kMaxDiscSectors = 100 * 60 * kCdSectorsPerSecond;

void QuietLog(cdio_log_level_t, const char*) {}

class TCdioDisc : public ICdDisc {
 public:
  explicit TCdioDisc(CdIo_t* cdio) : cdio_(cdio) {}
  ~TCdioDisc() override { cdio_destroy(cdio_); }
  TCdioDisc(const TCdioDisc&) = delete;
  TCdioDisc& operator=(const TCdioDisc&) = delete;

  bool MediumPresent() override {
    std::lock_guard lock(mutex_);
    return !TracksLocked().empty();
  }
  std::vector<TCdTrack> Tracks() override {
    std::lock_guard lock(mutex_);
    return TracksLocked();
  }
  bool ReadAudio(int32_t first, int32_t count, void* buffer) override {
    if (first < 0 || count <= 0 || count > kMaxDiscSectors || first > kMaxDiscSectors) return false;
    std::lock_guard lock(mutex_);
    try {
      return cdio_read_audio_sectors(cdio_, buffer, lsn_t(first), uint32_t(count)) == DRIVER_OP_SUCCESS;
    } catch (...) {
      return false;
    }
  }

 private:
  std::vector<TCdTrack> TracksLocked() {
    std::vector<TCdTrack> tracks;
    const track_t first = cdio_get_first_track_num(cdio_);
    const track_t count = cdio_get_num_tracks(cdio_);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || first != 1) return tracks;
    for (int32_t t = 1; t <= std::min<int32_t>(count, kCdMaxTracks); ++t) {
      const lsn_t start = cdio_get_track_lsn(cdio_, track_t(t));
      const lsn_t last = cdio_get_track_last_lsn(cdio_, track_t(t));
      if (start == CDIO_INVALID_LSN || last == CDIO_INVALID_LSN || start < 0 || last < start ||
          last >= kMaxDiscSectors) {
        break;
      }
      TCdTrack track;
      track.audio = cdio_get_track_format(cdio_, track_t(t)) == TRACK_FORMAT_AUDIO;
      track.first_sector = int32_t(start);
      track.sectors = int32_t(last - start + 1);
      tracks.push_back(track);
    }
    return tracks;
  }

  CdIo_t* cdio_;
  std::mutex mutex_;
};

class TCdioDrives : public ICdDrives {
 public:
  TCdioDrives(const std::string& image, bool with_devices) : image_(image), with_devices_(with_devices) {}

  std::vector<std::string> Names() override {
    List();
    return names_;
  }

  std::unique_ptr<ICdDisc> Open(int32_t index) override {
    List();
    if (index < 0 || index >= int32_t(names_.size())) return nullptr;
    try {
      CdIo_t* cdio = index < devices_ ? cdio_open(names_[size_t(index)].c_str(), DRIVER_DEVICE)
                                      : cdio_open_cue(names_[size_t(index)].c_str());
      if (!cdio) return nullptr;
      return std::make_unique<TCdioDisc>(cdio);
    } catch (...) {
      return nullptr;
    }
  }

 private:
  // The drives are looked for when first asked for (media start), not when the layer is made.
  void List() {
    if (listed_) return;
    listed_ = true;
    cdio_log_set_handler(QuietLog);
    if (with_devices_) {
      if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** d = devices; *d && names_.size() < 26; ++d) names_.emplace_back(*d);
        cdio_free_device_list(devices);
      }
    }
    devices_ = int32_t(names_.size());
    if (!image_.empty()) names_.push_back(image_);
  }

  std::string image_;
  bool with_devices_;
  bool listed_ = false;
  std::vector<std::string> names_;
  int32_t devices_ = 0;
};

}  // namespace

std::unique_ptr<ICdDrives> MakeCdioDrives(const std::string& image, bool with_devices) {
  return std::make_unique<TCdioDrives>(image, with_devices);
}

}  // namespace kova::plat
