// The program's own software mixer for Ogg and WAV sounds when "game.ini" switches DirectSound
// off: any number of PCM sources mixed into blocks of 44100 Hz 16-bit stereo, at most two blocks
// queued at the wave-out device, refilled by a pump every DelayTime / 4 ms.
//
// The wave-out device is ours: its blocks play on the session's audio bus (TBusWaveOut), each
// with a done flag the pump reads. The pump runs on a thread of its own (TWorker), or, for a
// session on a virtual clock, once a frame from the session's step (Pump), so that the same game
// mixes the same blocks every run. Times come from the clock the mixer was given (the platform's
// milliseconds, or the session's game clock on a virtual clock).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/audio_bus.h"
#include "platform/pcm_decoder.h"

namespace kova {

class TStream;
class TWavOut;

// One block queued at a wave-out device.
struct TWaveBlock {
  std::vector<int16_t> samples;  // interleaved stereo
  std::atomic<bool> done{false};  // set by the device once the block has played (or was reset)
};

// The wave-out device the mixer writes to: opened in the one output format.
class IWaveOutDevice {
 public:
  virtual ~IWaveOutDevice() = default;
  virtual bool Open() = 0;
  // Queues `block` (not owned; it stays alive until its done flag is set or the device closed).
  virtual void Write(TWaveBlock& block) = 0;
  // Every queued block becomes done at once.
  virtual void Reset() = 0;
  virtual void Close() = 0;
};

// A wave-out device that plays its blocks on the bus, one after another.
class TBusWaveOut : public IWaveOutDevice, public IAudioInput {
 public:
  explicit TBusWaveOut(TAudioBus& bus);
  ~TBusWaveOut() override;
  bool Open() override;
  void Write(TWaveBlock& block) override;
  void Reset() override;
  void Close() override;
  void MixInto(std::span<int16_t> samples, bool wait) override;

 private:
  TAudioBus& bus_;
  std::mutex mutex_;
  std::vector<TWaveBlock*> queue_;
  size_t played_ = 0;  // values of the first queued block already played
  bool open_ = false;
};

// One source of the mixer, made by TWavOut::AddBuffer and owned by it.
class TWavBuffer {
 public:
  // The playing flags, under the mixer's lock; each does nothing while the device is closed.
  void Play();
  void Pause();
  // Bytes into the source stream.
  void SetPosition(int32_t bytes);
  // 256 = full; the item maps its volume onto it.
  void SetLevel(int32_t level);
  bool Loop() const;
  void SetLoop(bool loop);
  bool Playing() const;
  bool Paused() const;
  // True once the source was read to its end and its last block has drained (see the mixer).
  bool IsEnd() const;
  // The byte of the source the device plays now (estimated from the time of the last mix).
  int32_t GetPosition() const;
  // Plays the source again after its end (clears its exhausted flag).
  void Replay();
  // ... the mixer's own fields
};

class TWavOut {
 public:
  // `device` (not owned) must outlive the mixer. `clock_ms`: the mixer's clock in milliseconds.
  // `delay_time`: the sound delay (100 .. 500 ms), fixing the block size and the pump's interval.
  // `own_thread`: the pump runs on a thread of its own; false: only when Pump is called.
  TWavOut(IWaveOutDevice& device, std::function<uint32_t()> clock_ms, int32_t delay_time, bool own_thread);
  ~TWavOut();

  // False when the device is open already or cannot be opened (the mixer stays closed).
  bool Open();
  void Close();
  bool IsOpen() const;
  // Block size in bytes: delay_time x 176400 div 1000.
  int32_t BlockSize() const;

  // A source over `stream` (not owned; it outlives the source) in `format`.
  TWavBuffer* AddBuffer(const plat::TPcmFormat& format, TStream& stream);
  void RemoveBuffer(TWavBuffer* source);

  // One pump: reclaims the played blocks and queues up to two new ones.
  void Pump();
};

}  // namespace kova
