// Sound devices for tests and headless runs besides the null one (audio_device.h):
//   TRealTimeNullAudioDevice  plays nothing but pulls on a thread of its own as fast as a real
//                             device would (44100 frames a second by the system clock, in small
//                             pulls), so that what waits for sound to drain behaves as in a run;
//   TCaptureAudioDevice       pulls only when its user asks, like the null device, and keeps every
//                             sample it pulled.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio_device.h"

namespace kova::plat {

class TRealTimeNullAudioDevice : public IAudioDevice {
 public:
  // Frames in one pull at most.
  static constexpr size_t kChunkFrames = 441;

  ~TRealTimeNullAudioDevice() override { Close(); }
  bool Open(TPull pull, std::string& error) override;
  void Pause() override;
  void Resume() override;
  void Close() override;
  bool IsOpen() const override;

  // Frames pulled since Open.
  int64_t PulledFrames() const;

 private:
  void Run();

  mutable std::mutex mutex_;  // held through a pull: Pause and Close wait for it
  std::condition_variable wake_;
  TPull pull_;
  bool open_ = false;
  bool paused_ = true;
  bool stop_ = false;
  int64_t pulled_frames_ = 0;
  std::thread thread_;
};

class TCaptureAudioDevice : public TNullAudioDevice {
 public:
  // One pull of `frames` frames (see TNullAudioDevice::Pull); what it pulled (silence when closed
  // or paused) is also appended to the capture.
  bool Pull(size_t frames, std::vector<int16_t>& samples);
  bool Pull(size_t frames);

  // Every sample pulled so far, interleaved left, right.
  std::vector<int16_t> Captured() const;
  void ClearCapture();

 private:
  mutable std::mutex capture_mutex_;
  std::vector<int16_t> captured_;
};

}  // namespace kova::plat
