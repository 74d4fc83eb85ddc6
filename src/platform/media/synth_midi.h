// MIDI played by a software synthesizer (FluidSynth) with a General MIDI SoundFont: one output
// device when a SoundFont is found, none otherwise. Each output opened is a synthesizer of its
// own, 44100 Hz stereo, whose sound the media layer renders into the audio bus; the same messages
// give the same samples every run.
//
// Channel messages go to the synthesizer's channel calls; system-exclusive messages go to it
// without their F0 ... F7 framing, but the universal master volume (F0 7F id 04 01 ll mm F7) is
// applied here as the synthesizer's gain; F7 escape packets are dropped.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/midi_out.h"

namespace kova::plat {

// The SoundFonts looked for when none is named: Debian's General MIDI SoundFonts.
std::vector<std::string> DefaultSoundFonts();

// The SoundFont to use: `named` (the KOVA_SOUNDFONT environment variable's value) when it is not
// empty, else the first of `candidates` that exists; "" when there is none. A named file that does
// not exist is kept, so that opening it fails and MIDI stays silent rather than play another.
std::string FindSoundFont(std::string_view named, std::span<const std::string> candidates);

class TSynthMidiDevices : public IMidiDevices {
 public:
  // `soundfont`: the file's path ("" or a file that cannot be read: no device).
  explicit TSynthMidiDevices(std::string soundfont);

  const std::string& SoundFont() const { return soundfont_; }
  std::vector<std::string> Names() const override;
  // Index 0 or -1 (the default): a new synthesizer with the SoundFont loaded; nullptr when there
  // is no SoundFont or it cannot be loaded.
  std::unique_ptr<IMidiOut> Open(int32_t index) override;

 private:
  std::string soundfont_;
  bool readable_ = false;
};

}  // namespace kova::plat
