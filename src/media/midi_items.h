// MIDI songs as media items: TMidiManager holds one sequencer (midi_player.h) and the list of
// MIDI output devices, entry 0 "MIDIマッパー" (the default output) and then the system's
// devices; its items (TMidiItem) take turns in the sequencer, one song loaded at a time.
//
// The sequencer ticks every 10 ms on its own timer thread, or, for a session whose sound device
// is pulled by its caller, once a frame from the session's frame step (Tick) on the game clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "media/media_manager.h"
#include "platform/midi_out.h"

namespace kova {

class TVrFileManager;
class TMidiPlayV;
class TMidiItem;

struct TMidiParts {
  TVrFileManager* files = nullptr;
  plat::IMidiDevices* devices = nullptr;  // the outputs; nullptr: none
  std::function<uint32_t()> clock_ms;     // the sequencer's clock (read on the timer's thread)
  bool timer_thread = true;               // false: the owner calls Tick once a frame
  std::function<void(uint32_t ms)> sleep;  // the pause after a GS reset while seeking
};

class TMidiManager : public TMediaManager {
 public:
  explicit TMidiManager(const TMidiParts& parts);
  ~TMidiManager() override;  // frees its items before its sequencer

  int32_t GetDeviceCount() const;
  std::string GetDeviceName(int32_t index) const;
  std::string GetCurrentDeviceName() const;
  void SelectDevice(std::string_view name);
  void SetDevice(int32_t index);
  int32_t SelectedIndex() const { return selected_; }

  // A sequencer without a timer thread: one tick now.
  void Tick();

  // The sequencer, and the item whose song it holds (nullptr: none).
  TMidiPlayV& Sequencer() { return *sequencer_; }
  TMidiItem* Current() const { return current_; }
  void SetCurrent(TMidiItem* item) { current_ = item; }
  TVrFileManager* Files() const { return parts_.files; }

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override;

 private:
  TMidiParts parts_;
  std::vector<std::string> names_;
  int32_t selected_ = 0;
  TMidiItem* current_ = nullptr;
  std::unique_ptr<TMidiPlayV> sequencer_;
};

// One song. Only the manager's current item is in the sequencer: the others keep their position
// and volume until they play. Playing loads the song (a name beginning with a path delimiter is a
// disk file) when it is not current yet.
class TMidiItem final : public TDMediaItem {
 public:
  TMidiItem(TMidiManager& owner, std::string name) : TDMediaItem(owner), manager_(owner), name_(std::move(name)) {}
  ~TMidiItem() override;

  bool GetAutoRepeat() override;
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
  bool IsMidi() const override { return true; }

  const std::string& Name() const { return name_; }

 private:
  bool IsCurrent() const { return manager_.Current() == this; }
  std::vector<uint8_t> LoadSong() const;

  TMidiManager& manager_;
  std::string name_;
  int32_t saved_position_ = 0;
  bool paused_ = false;
  int32_t volume_ = 0;
  int32_t length_ = 0;
};

}  // namespace kova
