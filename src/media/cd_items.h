// CD audio tracks: TCddaManager owns the CD player (cd_player.h) and the mixer whose CD line sets
// their level; its items, TCddaItem, are the names "CD_" followed by a track number. The drive is
// chosen once per run (the one the game's settings name, or the first with tracks); no drive, no
// disc or no such track leaves an item silent: never the player's, not playing, not ended, length
// 0. The user's own CD-line level is read at the drive choice and when the window regains the
// user's attention, and written back when it loses it and at the end. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "media/audio_mixer.h"
#include "media/cd_player.h"
#include "media/media_manager.h"

namespace kova {

class TCddaItem;

// What the CD manager plays through.
struct TCddaParts {
  plat::ICdDrives* drives = nullptr;  // nullptr: no drive
  IMediaBackend* backend = nullptr;
  // The drive the game's settings name ("CDDrive"), as stored; empty when none.
  std::function<std::string()> cd_drive;
};

class TCddaManager : public TMediaManager {
 public:
  explicit TCddaManager(const TCddaParts& parts);
  ~TCddaManager() override;

  // The settings' drive name, a single character given ":" ("E" is "E:").
  std::string GetCDDrive() const;
  // Chooses the drive (once per run; later calls open the chosen drive again).
  void ChooseDrive();
  void SaveMixerVolume();
  void RestoreMixerVolume();
  void LostAttention() override { RestoreMixerVolume(); }
  void GainingAttention() override { SaveMixerVolume(); }
  // Each frame, with the clock in ms: the player's poll.
  void Poll(uint32_t now_ms) { player_.Poll(now_ms); }

  TCDP& Player() { return player_; }
  TAudioMixer& Mixer() { return mixer_; }
  int32_t DriveIndex() const { return drive_index_; }
  TCddaItem* Current() const { return current_; }

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override;

 private:
  friend class TCddaItem;
  void MediaInserted();

  TCddaParts parts_;
  plat::TNoCdDrives no_drives_;
  TCDP player_;
  TAudioMixer mixer_;
  int32_t destination_ = -1;
  int32_t connection_ = -1;
  int32_t saved_mute_ = -1;
  int32_t saved_left_ = 0;
  int32_t saved_right_ = 0;
  int32_t drive_index_ = -1;
  TCddaItem* current_ = nullptr;
};

class TCddaItem : public TDMediaItem {
 public:
  TCddaItem(TCddaManager& owner, std::string name);
  ~TCddaItem() override;

  // The number after "CD_", -1 when it is none.
  int32_t TrackNumber() const { return track_; }

  bool GetAutoRepeat() override { return repeat_; }
  void SetAutoRepeat(bool repeat) override;
  int32_t GetVol() override { return volume_; }
  void SetVol(int32_t volume) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLen() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override { return paused_; }
  void Play() override;
  void Pause() override;

 private:
  bool Current() const { return manager_.current_ == this; }
  bool Valid() const { return track_ >= 1; }
  void Load();

  TCddaManager& manager_;
  std::string name_;
  int32_t track_ = -1;
  int32_t saved_seconds_ = 0;
  bool paused_ = false;
  int32_t volume_ = 0;
  int32_t length_ms_ = 0;
  bool repeat_ = false;
};

}  // namespace kova
