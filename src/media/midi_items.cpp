#include "media/midi_items.h"

#include <algorithm>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/host_path.h"
#include "core/messages.h"
#include "core/stream.h"
#include "media/midi_player.h"
#include "platform/text/text_codec.h"

namespace kova {

TMidiManager::TMidiManager(const TMidiParts& parts) : parts_(parts) {
  names_.push_back(plat::Utf8ToCp932("MIDIマッパー"));
  if (parts_.devices) {
    for (std::string& name : parts_.devices->Names()) names_.push_back(std::move(name));
  }
  sequencer_ = std::make_unique<TMidiPlayV>(parts_.devices, parts_.clock_ms, parts_.timer_thread, parts_.sleep);
}

TMidiManager::~TMidiManager() {
  Clear();
  sequencer_.reset();
}

int32_t TMidiManager::GetDeviceCount() const { return int32_t(names_.size()); }

std::string TMidiManager::GetDeviceName(int32_t index) const {
  if (index < 0 || index >= int32_t(names_.size())) return names_.front();
  return names_[size_t(index)];
}

std::string TMidiManager::GetCurrentDeviceName() const { return GetDeviceName(selected_); }

void TMidiManager::SelectDevice(std::string_view name) {
  auto it = std::find(names_.begin(), names_.end(), name);
  SetDevice(it == names_.end() ? 0 : int32_t(it - names_.begin()));
}

// A song that plays goes on from where it was on the new device.
void TMidiManager::SetDevice(int32_t index) {
  selected_ = std::clamp(index, 0, int32_t(names_.size()) - 1);
  TMidiPlayV& sequencer = *sequencer_;
  if (!sequencer.IsPlaying()) return;
  const int32_t position = sequencer.Position();
  sequencer.Stop();
  sequencer.CloseDevice();
  sequencer.OpenDevice(selected_ - 1);
  sequencer.PlayFrom(position);
}

void TMidiManager::Tick() {
  if (!sequencer_->Timer().HasThread()) sequencer_->Tick();
}

std::unique_ptr<TDMediaItem> TMidiManager::CreateItem(const std::string& name) {
  return std::make_unique<TMidiItem>(*this, name);
}

TMidiItem::~TMidiItem() {
  if (!IsCurrent()) return;
  TMidiPlayV& sequencer = manager_.Sequencer();
  if (sequencer.IsPlaying()) sequencer.Stop();
  sequencer.CloseDevice();
  manager_.SetCurrent(nullptr);
}

// The song's bytes: a disk file for an absolute name (a leading "/" or "\", found without regard
// to case as game names are), else the game's file wherever it lies. A drive name ("X:...") names
// no file here.
std::vector<uint8_t> TMidiItem::LoadSong() const {
  TMemoryStream data;
  if (!name_.empty() && (name_[0] == '/' || name_[0] == '\\')) {
    if (!manager_.Files()) Raise<EReadError>(TMsg::FileNotFound, name_.c_str());
    const auto path = ResolveHostPath(manager_.Files()->HostNames(), "/", std::string_view(name_).substr(1));
    if (!path) Raise<EReadError>(TMsg::FileNotFound, name_.c_str());
    data.LoadFromFile(*path);
  } else {
    if (!manager_.Files() || (name_.size() >= 2 && name_[1] == ':')) {
      Raise<EReadError>(TMsg::FileNotFound, name_.c_str());
    }
    manager_.Files()->LoadFile(data, name_);
  }
  const std::span<const uint8_t> bytes = data.Bytes();
  return {bytes.begin(), bytes.end()};
}

void TMidiItem::Play() {
  paused_ = false;
  if (!Owner().Enabled()) {
    Mark = true;
    return;
  }
  TMidiPlayV& sequencer = manager_.Sequencer();
  if (!IsCurrent()) {
    const std::vector<uint8_t> song = LoadSong();
    if (!song.empty()) {
      sequencer.LoadFromStream(song);
    } else {
      // An empty file leaves no song behind: the previous item's must not play in its place.
      sequencer.Clear();
    }
    manager_.SetCurrent(this);
    length_ = sequencer.SongLength();
  }
  if (!sequencer.IsOpen()) sequencer.OpenDevice(manager_.SelectedIndex() - 1);
  sequencer.MasterVolumeFull();
  sequencer.PlayFrom(saved_position_);
  SetVol(GetVol());
}

void TMidiItem::Pause() {
  if (IsCurrent()) {
    saved_position_ = manager_.Sequencer().Position();
    manager_.Sequencer().Stop();
  }
  paused_ = true;
}

int32_t TMidiItem::GetPosition() { return IsCurrent() ? manager_.Sequencer().Position() : 0; }

void TMidiItem::SetPosition(int32_t ms) {
  if (IsCurrent() && !paused_) {
    manager_.Sequencer().PlayFrom(std::max(0, ms));
  } else {
    saved_position_ = std::max(0, ms);
  }
}

// Measured once, by reading the song on its own.
int32_t TMidiItem::GetLen() {
  if (length_ == 0) {
    const std::vector<TMidiPlayV::TEvent> song = manager_.Sequencer().Read(LoadSong());
    length_ = song.empty() ? 0 : song.back().Time;
  }
  return length_;
}

bool TMidiItem::GetAutoRepeat() { return IsCurrent() && manager_.Sequencer().Repeat(); }

void TMidiItem::SetAutoRepeat(bool repeat) {
  if (IsCurrent()) manager_.Sequencer().SetRepeat(repeat);
}

// 0 plays the song's own level (100 %), -10000 silences it (0 %).
void TMidiItem::SetVol(int32_t volume) {
  volume_ = volume;
  if (IsCurrent()) manager_.Sequencer().SetScaleAll(7, volume / 100 + 100);
}

bool TMidiItem::IsEnd() { return IsCurrent() && manager_.Sequencer().IsEnd(); }

bool TMidiItem::IsPlaying() { return IsCurrent() && manager_.Sequencer().IsPlaying(); }

}  // namespace kova
