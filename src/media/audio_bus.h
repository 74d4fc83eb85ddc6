// The session's one audio bus: 44100 Hz, 16-bit, stereo, on the session's sound device. Every
// source of sound (the wave-out mixer's device, the backend's voices, later MIDI and video sound)
// is an input of the bus; each pull of the device adds every input into the pulled buffer, with
// saturation, in the order the inputs were attached.
//
// A device that plays by itself (SDL's) pulls on its own thread, and an input that is not ready
// then leaves a gap. A device pulled by its caller (the null device of headless runs and tests)
// is pulled by the session once a frame, for the frame's length on the session's clock, and the
// inputs then wait for their decoders: the same game gives the same samples every run.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace kova {

class IAudioInput {
 public:
  virtual ~IAudioInput() = default;
  // Adds what the input plays next into `samples` (interleaved left, right; the buffer holds what
  // the inputs before it added), saturating to -32768 .. 32767. Runs on the pulling thread, never
  // on two at once, and must not throw. `wait`: wait for the input's decoder rather than leave a
  // gap (a pull on the caller's clock).
  virtual void MixInto(std::span<int16_t> samples, bool wait) = 0;
};

class TAudioBus {
 public:
  // `device` (closed; not owned) must outlive the bus.
  explicit TAudioBus(plat::IAudioDevice& device) : device_(device) {}
  ~TAudioBus() { Close(); }
  TAudioBus(const TAudioBus&) = delete;
  TAudioBus& operator=(const TAudioBus&) = delete;

  // Opens the device and starts its pulls; false, with the reason in `error`, when the device
  // cannot be opened (the session then plays silently).
  bool Open(std::string& error);
  // Stops the pulls (the device's thread is joined). Inputs stay attached.
  void Close();
  bool IsOpen() const { return open_; }
  // True when the device plays nothing by itself and the session pulls it each frame.
  bool PulledByCaller() const { return device_.PulledByCaller(); }

  // Any thread. An input attached is mixed from the next pull on; Detach returns once no pull
  // uses it any more (so its owner may free it then). Detaching an unknown input does nothing.
  void Attach(IAudioInput& input);
  void Detach(IAudioInput& input);

  // For a device pulled by its caller, on the caller's thread: one pull of the samples of `ms`
  // milliseconds (whole frames, the remainder carried to the next pull: 16 ms frames pull 705 and
  // 706 frames in turn), appended to `out` when given. Nothing when the bus is not open.
  void PullFrame(int32_t ms, std::vector<int16_t>* out);

  // The pull itself (the device's callback): silence, then every input in order.
  void Mix(std::span<int16_t> samples, bool wait);

 private:
  plat::IAudioDevice& device_;
  bool open_ = false;
  std::mutex inputs_mutex_;  // held through a pull: Detach waits for it
  std::vector<IAudioInput*> inputs_;
  std::vector<int16_t> pulled_;
  int64_t pulled_ms_ = 0;      // milliseconds pulled by PullFrame so far
  int64_t pulled_frames_ = 0;  // frames pulled by PullFrame so far
};

// Adds `from` into `into` value by value with saturation (the two spans are as long).
void MixSaturated(std::span<int16_t> into, std::span<const int16_t> from);

}  // namespace kova
