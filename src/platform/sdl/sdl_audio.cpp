#include "platform/sdl/sdl_audio.h"

#include <cstring>
#include <utility>

namespace kova::plat {

bool TSdlAudioDevice::Open(TPull pull, std::string& error) {
  if (device_ != 0) {
    error = "the sound device is open already";
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  pull_ = std::move(pull);
  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = TAudioFormat::kRate;
  want.format = AUDIO_S16SYS;
  want.channels = TAudioFormat::kChannels;
  want.samples = 1024;  // about 23 ms a pull
  want.callback = &TSdlAudioDevice::Callback;
  want.userdata = this;
  SDL_AudioSpec have;
  // No changes allowed: SDL converts to the device's own format, the pull always sees ours. The
  // device opens paused.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    error = SDL_GetError();
    pull_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

// SDL runs the callback under the device's lock, which Pause and Close take too.
void TSdlAudioDevice::Pause() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

void TSdlAudioDevice::Resume() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void TSdlAudioDevice::Close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);  // stops and joins SDL's audio thread
  device_ = 0;
  pull_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::string TSdlAudioDevice::DriverName() const {
  const char* name = device_ != 0 ? SDL_GetCurrentAudioDriver() : nullptr;
  return name ? name : "";
}

void SDLCALL TSdlAudioDevice::Callback(void* self, Uint8* stream, int length) {
  std::memset(stream, 0, size_t(length));
  auto& device = *static_cast<TSdlAudioDevice*>(self);
  if (!device.pull_) return;
  try {
    device.pull_(std::span<int16_t>(reinterpret_cast<int16_t*>(stream), size_t(length) / sizeof(int16_t)));
  } catch (...) {
    std::memset(stream, 0, size_t(length));  // a pull that throws plays silence
  }
}

}  // namespace kova::plat
