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
#include <span>
#include <vector>

#include "core/worker.h"
#include "media/audio_bus.h"
#include "platform/pcm_decoder.h"

namespace kova {

class TStream;
class TWavOut;

// The pump thread takes no commands: its queue only wakes it to stop.
struct TPumpWake {};

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

// A wave-out device that plays its blocks on the bus, one after another: an input of the bus from
// Open to Close. A block is done once its last value was mixed; a block written while the device
// is closed is done at once. The bus's `wait` changes nothing: the mixer's pump fills the queue.
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
  TWavBuffer(const TWavBuffer&) = delete;
  TWavBuffer& operator=(const TWavBuffer&) = delete;

  // The playing flags, under the mixer's lock; each does nothing while the device is closed.
  // Only a source that is playing and not paused is mixed.
  void Play();
  void Pause();
  // Bytes into the source stream, held at 0 or more and aligned down to a whole frame.
  void SetPosition(int32_t bytes);
  // 256 = full (255 too); the item maps its volume onto it. Held within 0 .. 256.
  void SetLevel(int32_t level);
  bool Loop() const;
  // A looping source goes on from byte 0 at the end of its stream and never ends.
  void SetLoop(bool loop);
  bool Playing() const;
  bool Paused() const;
  // True once the source was read to its end and its last block has drained (see the mixer); at
  // once for a source with nothing to play (a format the mixer cannot widen, an empty stream).
  // Any thread, without the lock.
  bool IsEnd() const;
  // The byte of the source the device plays now (estimated from the time of the last mix).
  int32_t GetPosition() const;
  // Plays the source again after its end (clears its exhausted flag).
  void Replay();

 private:
  friend class TWavOut;
  TWavBuffer(TWavOut& owner, const plat::TPcmFormat& format, TStream& stream);

  TWavOut& owner_;
  const plat::TPcmFormat format_;
  TStream& stream_;
  const int32_t widen_;            // the row of the widening table, -1 outside it
  std::vector<int16_t> scratch_;   // one block: the bytes read, widened in place
  // Shared with IsEnd, which reads them without the lock.
  std::atomic<bool> exhausted_{false};
  std::atomic<bool> silent_{false};  // nothing to play: ends at once
  std::atomic<uint32_t> last_mix_{0};
  // Under the mixer's lock.
  int32_t position_ = 0;
  int32_t level_ = 256;
  bool playing_ = false;
  bool paused_ = false;
  bool loop_ = false;
};

class TWavOut {
 public:
  // `device` (not owned) must outlive the mixer. `clock_ms`: the mixer's clock in milliseconds.
  // `delay_time`: the sound delay (100 .. 500 ms), fixing the block size and the pump's interval.
  // `own_thread`: the pump runs on a thread of its own; false: only when Pump is called. A delay
  // outside 100 .. 500 is held to it.
  TWavOut(IWaveOutDevice& device, std::function<uint32_t()> clock_ms, int32_t delay_time, bool own_thread);
  ~TWavOut();
  TWavOut(const TWavOut&) = delete;
  TWavOut& operator=(const TWavOut&) = delete;

  // False when the device is open already or cannot be opened (the mixer stays closed). Starts
  // the pump thread; Open and Close are called on one thread.
  bool Open();
  // Resets the device, stops the pump thread and frees every source (the pointers AddBuffer gave
  // are invalid after it) and every block. Nothing when closed.
  void Close();
  bool IsOpen() const;
  // Block size in bytes: delay_time x 176400 div 1000, in whole units of 8 bytes (so that every
  // source format reads whole frames; 17640 .. 88200 for the delays the settings offer).
  int32_t BlockSize() const;

  // A source over `stream` (not owned; it outlives the source) in `format`. A format the mixer
  // cannot widen (channels 1 or 2, rate 22050 or 44100, bits 8 or 16) plays nothing and ends.
  TWavBuffer* AddBuffer(const plat::TPcmFormat& format, TStream& stream);
  // Frees `source`; a source not (or no more) the mixer's is left alone.
  void RemoveBuffer(TWavBuffer* source);

  // One pump: reclaims the played blocks and queues up to two new ones.
  void Pump();

 private:
  friend class TWavBuffer;
  struct TPoolEntry {
    TWaveBlock block;
    bool owned = false;
  };
  using TPumpWorker = TWorker<TPumpWake>;

  TPoolEntry& TakeEntry();
  static void GiveBack(TPoolEntry& entry);
  void ReclaimDone();
  bool MixSource(TWavBuffer& source, std::span<int16_t> block);
  uint32_t Now() const { return clock_ms_ ? clock_ms_() : 0; }

  IWaveOutDevice& device_;
  const std::function<uint32_t()> clock_ms_;
  const int32_t delay_time_;
  const int32_t block_size_;
  const bool own_thread_;
  mutable std::mutex mutex_;  // the mixer lock
  std::atomic<bool> open_{false};
  std::vector<std::unique_ptr<TWavBuffer>> sources_;  // all sources, in the order they were added
  std::vector<TWavBuffer*> active_;                   // played and not paused
  std::vector<std::unique_ptr<TPoolEntry>> pool_;
  std::vector<TPoolEntry*> queued_;  // written to the device, oldest first
  std::unique_ptr<TPumpWorker> pump_;  // last: stopped before the rest goes
};

}  // namespace kova
