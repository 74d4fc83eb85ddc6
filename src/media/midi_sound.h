// The MIDI outputs as the session's MIDI manager opens them: the platform's devices, with the sound
// of a software synthesizer added to the audio bus. An output that renders its own sound is an
// input of the bus while it is open; it is detached before it is freed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/midi_out.h"

namespace kova {

class TAudioBus;

class TBusMidiDevices : public plat::IMidiDevices {
 public:
  // `devices` and `bus` must outlive every output opened.
  TBusMidiDevices(plat::IMidiDevices& devices, TAudioBus& bus) : devices_(devices), bus_(bus) {}

  std::vector<std::string> Names() const override { return devices_.Names(); }
  std::unique_ptr<plat::IMidiOut> Open(int32_t index) override;

 private:
  plat::IMidiDevices& devices_;
  TAudioBus& bus_;
};

}  // namespace kova
