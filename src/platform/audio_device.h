// The sound output of a session: one device that plays 44100 Hz 16-bit stereo and pulls what it
// plays from a callback on the device's own thread. The mixer (above this layer) fills the pulled
// buffer; nothing here mixes or decodes.
//
// The null device plays nothing and pulls only when asked (TNullAudioDevice::Pull, for tests);
// headless runs use it. The SDL device (platform/sdl/sdl_audio.h) plays through SDL's audio device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kova::plat {

// The one format the player plays: 44100 frames a second, two interleaved 16-bit signed channels
// (left, right) in the machine's byte order.
struct TAudioFormat {
  static constexpr int32_t kRate = 44100;
  static constexpr int32_t kChannels = 2;
  static constexpr int32_t kBits = 16;
};

class IAudioDevice {
 public:
  // Fills `samples` (frames * kChannels values, interleaved; silence on entry) with what plays
  // next. Runs on the device's thread, never on two threads at once, and must not throw; what it
  // reads of the main thread's state it reads under its own lock or through a worker's queue.
  using TPull = std::function<void(std::span<int16_t> samples)>;

  virtual ~IAudioDevice() = default;
  // Opens the device in the player's format, paused; `pull` is called from Resume on until Pause or
  // Close. False, with the reason in `error`, when there is no device or it is open already.
  virtual bool Open(TPull pull, std::string& error) = 0;
  // Once Pause returns the pull is not running and is not called again until Resume.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Stops the pulls and the device's thread (joined): once Close returns the pull is never called
  // again and is freed, with what it holds. Closing a closed device does nothing.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // True for a device that plays nothing by itself and pulls only when its user asks (the null
  // device): its user then pulls each frame's samples on the frame's own (virtual) clock.
  virtual bool PulledByCaller() const { return false; }
};

// No sound: opens always, plays nothing, and pulls only when a test calls Pull.
class TNullAudioDevice : public IAudioDevice {
 public:
  ~TNullAudioDevice() override { Close(); }
  bool Open(TPull pull, std::string& error) override;
  void Pause() override;
  void Resume() override;
  void Close() override;
  bool IsOpen() const override;
  bool PulledByCaller() const override { return true; }

  // Any thread (the test's stand-in for the device's thread): one pull of `frames` frames into
  // `samples` (resized, silence first), as the device would make it. False, with silence, when the
  // device is closed or paused.
  bool Pull(size_t frames, std::vector<int16_t>& samples);

 private:
  mutable std::mutex mutex_;  // held through a pull: Pause and Close wait for it
  TPull pull_;
  bool open_ = false;
  bool paused_ = true;
};

}  // namespace kova::plat
