#include "media/cd_items.h"

#include <algorithm>
#include <charconv>

namespace kova {

namespace {

// The number after the first three characters; -1 when they are not one.
int32_t TrackOf(const std::string& name) {
  if (name.size() <= 3) return -1;
  const char* first = name.data() + 3;
  const char* last = name.data() + name.size();
  while (first < last && (*first == ' ' || *first == '\t')) ++first;
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return -1;
  return value;
}

}  // namespace

TCddaManager::TCddaManager(const TCddaParts& parts)
    : parts_(parts),
      player_(parts.drives ? *parts.drives : no_drives_, parts.backend),
      mixer_(player_.Drives().empty() ? nullptr : player_.Level()) {
  player_.OnMediaInserted = [this] { MediaInserted(); };
}

TCddaManager::~TCddaManager() {
  RestoreMixerVolume();
  player_.Close();
  Clear();  // the items then see a closed player
}

std::string TCddaManager::GetCDDrive() const {
  std::string value = parts_.cd_drive ? parts_.cd_drive() : std::string();
  if (value.size() == 1) value += ':';
  return value;
}

void TCddaManager::ChooseDrive() {
  if (player_.IsOpen()) return;
  if (drive_index_ != -1) {
    if (drive_index_ >= 0) player_.OpenDrive(drive_index_);
    return;
  }
  drive_index_ = -2;
  const std::vector<std::string>& drives = player_.Drives();
  const std::string setting = GetCDDrive();
  int32_t wanted = -1;
  for (size_t i = 0; i < drives.size() && !setting.empty(); ++i) {
    if (drives[i] == setting) {
      wanted = int32_t(i);
      break;
    }
  }
  for (int32_t i = 0; i < int32_t(drives.size()); ++i) {
    if (wanted >= 0 && i != wanted) continue;
    if (!player_.OpenDrive(i)) continue;
    if (player_.TrackCount() > 0) {
      drive_index_ = i;
      break;
    }
    player_.Close();
  }
  if (drive_index_ < 0) return;
  for (int32_t device = 0; device < mixer_.DeviceCount(); ++device) {
    mixer_.Select(device);
    for (int32_t d = 0; d < mixer_.Destinations(); ++d) {
      for (int32_t c = 0; c < mixer_.Connections(d); ++c) {
        if (mixer_.ComponentType(d, c) != kMixerLineCompactDisc) continue;
        destination_ = d;
        connection_ = c;
        mixer_.GetVolume(d, c, saved_mute_, saved_left_, saved_right_);
        return;
      }
    }
  }
}

void TCddaManager::SaveMixerVolume() {
  if (destination_ < 0 || connection_ < 0) return;
  mixer_.GetVolume(destination_, connection_, saved_mute_, saved_left_, saved_right_);
}

void TCddaManager::RestoreMixerVolume() {
  if (destination_ < 0 || connection_ < 0) return;
  mixer_.SetVolume(destination_, connection_, saved_mute_, saved_right_, saved_left_);
}

void TCddaManager::MediaInserted() {
  if (current_) player_.PlayList = {current_->TrackNumber()};
}

std::unique_ptr<TDMediaItem> TCddaManager::CreateItem(const std::string& name) {
  return std::make_unique<TCddaItem>(*this, name);
}

TCddaItem::TCddaItem(TCddaManager& owner, std::string name)
    : TDMediaItem(owner), manager_(owner), name_(std::move(name)), track_(TrackOf(name_)) {}

TCddaItem::~TCddaItem() {
  if (!Current()) return;
  TCDP& p = manager_.player_;
  const int32_t mode = p.Mode();
  if (mode == TCDP::kPlaying || mode == TCDP::kPaused) p.Stop();
  p.Close();
  manager_.current_ = nullptr;
}

void TCddaItem::Load() {
  if (!Valid()) return;
  TCDP& p = manager_.player_;
  const int32_t mode = p.Mode();
  if (mode == TCDP::kPlaying || mode == TCDP::kPaused) p.Stop();
  manager_.current_ = this;
  if (!p.IsOpen() && !p.Drives().empty()) manager_.ChooseDrive();
  if (!p.IsOpen()) return;
  if (track_ <= p.TrackCount()) {
    p.Repeat = repeat_;
    p.PlayList = {track_};
    length_ms_ = p.TrackLength(track_) * 1000;
  } else {
    manager_.current_ = nullptr;
  }
}

void TCddaItem::Play() {
  if (!manager_.Enabled()) {
    Mark = true;
    paused_ = false;
    return;
  }
  TCDP& p = manager_.player_;
  if (!Current()) Load();
  if (!p.IsOpen() || !Current()) {
    paused_ = false;
    return;
  }
  p.PlayListStart();
  if (saved_seconds_ > 0) p.PlayFrom(track_, saved_seconds_);
  SetVol(GetVol());
  paused_ = false;
}

void TCddaItem::Pause() {
  TCDP& p = manager_.player_;
  if (Current() && p.Mode() == TCDP::kPlaying) {
    saved_seconds_ = std::max(0, p.PositionSeconds() - 1);
    p.Stop();
  }
  paused_ = true;
}

bool TCddaItem::IsPlaying() { return Current() && manager_.player_.Mode() == TCDP::kPlaying; }
// A paused item has stopped its player too, but it has not reached its end: reporting one would
// make the sound component repeat it or raise its end event at every pause.
bool TCddaItem::IsEnd() { return Current() && !paused_ && manager_.player_.Mode() == TCDP::kStopped; }

int32_t TCddaItem::GetLen() {
  if (length_ms_ == 0 && Valid()) {
    TCDP& p = manager_.player_;
    if (!p.IsOpen() && !p.Drives().empty()) manager_.ChooseDrive();
    if (p.IsOpen() && track_ <= p.TrackCount()) length_ms_ = p.TrackLength(track_) * 1000;
  }
  return length_ms_;
}

int32_t TCddaItem::GetPosition() {
  TCDP& p = manager_.player_;
  return Current() && p.IsOpen() ? p.PositionSeconds() * 1000 : 0;
}

void TCddaItem::SetPosition(int32_t ms) {
  TCDP& p = manager_.player_;
  if (Current() && p.IsOpen() && !paused_) {
    p.PlayFrom(track_, ms / 1000);
  } else {
    saved_seconds_ = std::max(0, ms / 1000);
  }
}

void TCddaItem::SetAutoRepeat(bool repeat) {
  repeat_ = repeat;
  if (Current() && manager_.player_.IsOpen()) manager_.player_.Repeat = repeat;
}

void TCddaItem::SetVol(int32_t volume) {
  volume_ = volume;
  TCddaManager& m = manager_;
  if (!Current() || !m.player_.IsOpen() || m.destination_ < 0 || m.connection_ < 0) return;
  const int64_t scale = std::max(volume, -5000) + 5000;
  m.mixer_.SetVolume(m.destination_, m.connection_, m.saved_mute_, int32_t(m.saved_right_ * scale / 5000),
                     int32_t(m.saved_left_ * scale / 5000));
}

}  // namespace kova
