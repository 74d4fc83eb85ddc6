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

struct TMidiParts {
  TVrFileManager* files = nullptr;
  plat::IMidiDevices* devices = nullptr;  // the outputs; nullptr: none
  std::function<uint32_t()> clock_ms;     // the sequencer's clock
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

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override;

 private:
  TMidiParts parts_;
  std::vector<std::string> names_;
  int32_t selected_ = 0;
};

}  // namespace kova
