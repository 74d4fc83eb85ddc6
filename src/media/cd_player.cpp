#include "media/cd_player.h"

#include <algorithm>
#include <cstring>

namespace kova {

namespace {

constexpr uint32_t kPollMs = 200;
constexpr int32_t kReadSectors = 16;  // sectors read at a time by the voice's thread

class TCdRangeDecoder : public plat::IPcmDecoder {
 public:
  TCdRangeDecoder(plat::ICdDisc& disc, int32_t first, int32_t sectors, std::shared_ptr<TCdLineLevel> level)
      : disc_(disc), first_(first), sectors_(std::max(0, sectors)), level_(std::move(level)) {
    raw_.resize(size_t(kReadSectors) * plat::kCdSectorBytes);
  }
  plat::TPcmFormat Format() const override { return {2, 44100, 16}; }
  int64_t TotalFrames() const override { return int64_t(sectors_) * plat::kCdSectorFrames; }
  int64_t FramePosition() const override { return frame_; }
  bool SeekFrame(int64_t frame) override {
    frame_ = std::clamp<int64_t>(frame, 0, TotalFrames());
    return true;
  }
  int64_t Read(void* buffer, int64_t bytes) override {
    auto* out = static_cast<int16_t*>(buffer);
    int64_t frames = std::min(bytes / 4, TotalFrames() - frame_);
    int64_t done = 0;
    const int32_t mute = level_->mute.load() ? 0 : 1;
    const int64_t left = mute * int64_t(level_->left.load());
    const int64_t right = mute * int64_t(level_->right.load());
    while (done < frames) {
      const int32_t sector = int32_t(frame_ / plat::kCdSectorFrames);
      const int32_t count = std::min(kReadSectors, sectors_ - sector);
      if (!disc_.ReadAudio(first_ + sector, count, raw_.data())) break;
      const int64_t offset = frame_ - int64_t(sector) * plat::kCdSectorFrames;
      const int64_t take = std::min(frames - done, int64_t(count) * plat::kCdSectorFrames - offset);
      const uint8_t* p = raw_.data() + offset * 4;
      for (int64_t i = 0; i < take; ++i, p += 4) {
        const int32_t l = int16_t(uint16_t(p[0] | (p[1] << 8)));
        const int32_t r = int16_t(uint16_t(p[2] | (p[3] << 8)));
        out[(done + i) * 2] = int16_t(l * left / 65535);
        out[(done + i) * 2 + 1] = int16_t(r * right / 65535);
      }
      done += take;
      frame_ += take;
    }
    return done * 4;
  }

 private:
  plat::ICdDisc& disc_;
  int32_t first_;
  int32_t sectors_;
  std::shared_ptr<TCdLineLevel> level_;
  int64_t frame_ = 0;
  std::vector<uint8_t> raw_;
};

}  // namespace

std::unique_ptr<plat::IPcmDecoder> MakeCdRangeDecoder(plat::ICdDisc& disc, int32_t first_sector, int32_t sectors,
                                                      std::shared_ptr<TCdLineLevel> level) {
  return std::make_unique<TCdRangeDecoder>(disc, first_sector, sectors, std::move(level));
}

TCDP::TCDP(plat::ICdDrives& drives, IMediaBackend* backend)
    : drives_(drives), backend_(backend), drives_list_(drives.Names()) {}

TCDP::~TCDP() { Close(); }

bool TCDP::OpenDrive(int32_t index) {
  Close();
  if (index < 0 || index >= int32_t(drives_list_.size())) return false;
  disc_ = drives_.Open(index);
  if (!disc_) return false;
  medium_known_ = disc_->MediumPresent();
  tracks_ = medium_known_ ? disc_->Tracks() : std::vector<plat::TCdTrack>{};
  if (tracks_.size() > size_t(plat::kCdMaxTracks)) tracks_.resize(plat::kCdMaxTracks);
  polling_ = true;
  tick_started_ = false;
  ticks_ = 0;
  return true;
}

void TCDP::Close() {
  DropVoice();
  disc_.reset();
  tracks_.clear();
  medium_known_ = false;
  polling_ = false;
  track_ = 0;
  Paused = false;
}

void TCDP::DropVoice() {
  if (voice_ != 0 && backend_) backend_->Del(voice_);
  voice_ = 0;
}

const plat::TCdTrack* TCDP::Track(int32_t track) const {
  if (track < 1 || track > int32_t(tracks_.size())) return nullptr;
  return &tracks_[size_t(track - 1)];
}

int32_t TCDP::Mode() {
  if (!disc_) return kNotReady;
  if (Paused) return kPaused;
  if (!medium_known_) return kNotReady;
  if (voice_ != 0 && backend_ && !backend_->IsEnd(voice_)) return kPlaying;
  return kStopped;
}

int32_t TCDP::TrackCount() { return int32_t(tracks_.size()); }

int32_t TCDP::TrackLength(int32_t track) {
  const plat::TCdTrack* t = Track(track);
  return t ? t->sectors / plat::kCdSectorsPerSecond : 0;
}

int32_t TCDP::PositionSeconds() {
  if (voice_ != 0 && backend_) return range_start_ + backend_->GetPosition(voice_) / 1000;
  return stop_seconds_;
}

void TCDP::PlayFrom(int32_t track, int32_t seconds) {
  DropVoice();
  const plat::TCdTrack* t = Track(track);
  if (!t || !disc_) return;
  track_ = track;
  const int32_t last = TrackLength(track) - 1;
  seconds = std::clamp(seconds, 0, std::max(0, last));
  range_start_ = seconds;
  stop_seconds_ = seconds;
  const int32_t sectors = (last - seconds) * plat::kCdSectorsPerSecond;
  if (!t->audio || sectors <= 0 || !backend_) return;
  voice_ = backend_->PcmAdd(
      MakeCdRangeDecoder(*disc_, t->first_sector + seconds * plat::kCdSectorsPerSecond, sectors, level_));
  if (voice_ != 0) backend_->Play(voice_);
}

void TCDP::PlayListStart() {
  PlayIndex = 0;
  Paused = false;
  if (!PlayList.empty()) PlayFrom(PlayList[0], 0);
}

void TCDP::Stop() {
  if (voice_ != 0 && backend_) stop_seconds_ = PositionSeconds();
  DropVoice();
  Paused = false;
}

void TCDP::EndOfRange() {
  DropVoice();
  if (PlayList.empty()) return;
  if (PlayIndex + 1 < int32_t(PlayList.size())) {
    ++PlayIndex;
    PlayFrom(PlayList[size_t(PlayIndex)], 0);
  } else if (Repeat) {
    PlayIndex = 0;
    PlayFrom(PlayList[0], 0);
  } else {
    // Stopped at the start of the first entry's track.
    track_ = PlayList[0];
    stop_seconds_ = 0;
  }
}

void TCDP::MediumTick() {
  if (!medium_known_) {
    if (++ticks_ % 6 != 0 || !disc_->MediumPresent()) return;
    tracks_ = disc_->Tracks();
    if (tracks_.size() > size_t(plat::kCdMaxTracks)) tracks_.resize(plat::kCdMaxTracks);
    medium_known_ = true;
    PlayList.clear();
    for (int32_t t = 1; t <= TrackCount(); ++t) PlayList.push_back(t);
    if (OnMediaInserted) OnMediaInserted();
  } else if (!disc_->MediumPresent()) {
    DropVoice();
    medium_known_ = false;
    tracks_.clear();
    PlayList.clear();
    ticks_ = 0;
    if (OnMediaRemoved) OnMediaRemoved();
  }
}

void TCDP::Poll(uint32_t now_ms) {
  if (!polling_ || in_poll_) return;
  in_poll_ = true;
  if (voice_ != 0 && backend_ && backend_->IsEnd(voice_)) EndOfRange();
  if (!tick_started_) {
    tick_started_ = true;
    next_tick_ms_ = now_ms + kPollMs;
  }
  // A clock that jumped far ahead gives a few ticks, not one for each 200 ms it skipped.
  for (int32_t n = 0; polling_ && int32_t(now_ms - next_tick_ms_) >= 0; ++n) {
    next_tick_ms_ = n < 8 ? next_tick_ms_ + kPollMs : now_ms + kPollMs;
    MediumTick();
  }
  in_poll_ = false;
}

}  // namespace kova
