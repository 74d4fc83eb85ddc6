// The media layer as the script engine sees it (the MIDI manager's device choice). The media
// layer implements this port; the defaults are a player without a MIDI manager. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova {

class TMediaPort {
 public:
  virtual ~TMediaPort() = default;
  virtual bool HasMidi() const { return false; }
  virtual std::string MidiCurrentDevice() const { return {}; }
  virtual void MidiSelectDevice(std::string_view) {}
  virtual int32_t MidiDeviceCount() const { return 0; }
  virtual std::string MidiDeviceName(int32_t) const { return {}; }
};

}  // namespace kova
