// The sound output over SDL's audio device: SDL's audio thread pulls from the device's callback.
// The audio subsystem of SDL is started by Open and stopped by Close, so a player that never plays
// a sound never opens it. Works with any of SDL's drivers, its dummy one too (SDL_AUDIODRIVER).
#pragma once

#include <SDL.h>

#include <string>

#include "platform/audio_device.h"

namespace kova::plat {

class TSdlAudioDevice : public IAudioDevice {
 public:
  TSdlAudioDevice() = default;
  ~TSdlAudioDevice() override { Close(); }
  TSdlAudioDevice(const TSdlAudioDevice&) = delete;
  TSdlAudioDevice& operator=(const TSdlAudioDevice&) = delete;

  bool Open(TPull pull, std::string& error) override;
  void Pause() override;
  void Resume() override;
  void Close() override;
  bool IsOpen() const override { return device_ != 0; }

  // The driver SDL plays through ("pulseaudio", "dummy", ...), empty while closed.
  std::string DriverName() const;

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int length);

  TPull pull_;  // set before the device opens, freed after it closed
  SDL_AudioDeviceID device_ = 0;
};

}  // namespace kova::plat
