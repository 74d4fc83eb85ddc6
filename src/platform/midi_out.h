// The system's MIDI outputs as the sequencer reaches them. A device is opened by its index in the
// list of names, or as the system's default output (-1, the mapper); an open output takes channel
// messages packed low byte first and system-exclusive messages whole. A software synthesizer also
// renders its sound, which the media layer adds to the audio bus.
//
// Messages come from the sequencer's timer thread or the main thread; Render runs on the bus's
// pulling thread. An output takes both at once. TNoMidiDevices has no device.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kova::plat {

class IMidiOut {
 public:
  virtual ~IMidiOut() = default;
  // A channel message: status | data1 << 8 | data2 << 16 (a one-data-byte message ignores data2).
  virtual void ShortMsg(uint32_t message) = 0;
  // A system-exclusive message as a file holds it, status byte first (F0 ... F7, or an F7 packet).
  // The bytes are used before the call returns.
  virtual void LongMsg(std::span<const uint8_t> message) = 0;
  // Silences every note and puts the controllers of all 16 channels back to rest.
  virtual void Reset() = 0;
  // True for an output whose sound the player renders itself (a software synthesizer).
  virtual bool HasSound() const { return false; }
  // Writes the next frames of its sound (interleaved stereo, 44100 Hz) into `stereo`; an output
  // without sound of its own leaves silence. Must not throw.
  virtual void Render(std::span<int16_t> stereo) { std::fill(stereo.begin(), stereo.end(), int16_t(0)); }
};

class IMidiDevices {
 public:
  virtual ~IMidiDevices() = default;
  // The names of the output devices (code page 932), in the system's order.
  virtual std::vector<std::string> Names() const = 0;
  // Opens device `index` of Names(), or the default output for -1; nullptr when it cannot be
  // opened (no such device, or no default).
  virtual std::unique_ptr<IMidiOut> Open(int32_t index) = 0;
};

class TNoMidiDevices : public IMidiDevices {
 public:
  std::vector<std::string> Names() const override { return {}; }
  std::unique_ptr<IMidiOut> Open(int32_t) override { return nullptr; }
};

}  // namespace kova::plat
