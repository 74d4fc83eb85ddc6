#include "media/media_backend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <system_error>

#include "core/errors.h"
#include "core/stream.h"
#include "core/worker.h"
#include "media/audio_bus.h"
#include "platform/audio_device.h"

namespace kova {

namespace {

constexpr int32_t kRate = plat::TAudioFormat::kRate;
constexpr int32_t kChannels = plat::TAudioFormat::kChannels;
constexpr int64_t kFrameBytes = kChannels * int64_t(sizeof(int16_t));
// The ring of decoded frames a voice keeps ahead of its play position (about 0.74 s), and the
// most the decoder thread decodes at once.
constexpr int64_t kRingFrames = 32768;
constexpr int64_t kChunkFrames = 4096;
// The longest a pull on the caller's clock waits for a decoder that supplies nothing.
constexpr auto kMixWaitLimit = std::chrono::seconds(5);
// Gains are fixed point with 16 fraction bits; full level is exactly 1.
constexpr int32_t kUnity = 1 << 16;

int32_t GainOf(double decibel_hundredths) {
  if (decibel_hundredths <= -10000) return 0;
  if (decibel_hundredths >= 0) return kUnity;
  return int32_t(std::lround(std::pow(10.0, decibel_hundredths / 2000.0) * kUnity));
}

bool IsBusFormat(const plat::TPcmFormat& f) {
  return f.rate == kRate && f.channels == kChannels && f.bits == plat::TAudioFormat::kBits;
}

// A seek posted to the decoder thread: where to go on, and the flush it belongs to.
struct TVoiceSeek {
  int64_t frame = 0;
  uint64_t generation = 0;
};

}  // namespace

// One voice: its decoder (with the stream under it), owned by its decoder thread from the moment
// the thread starts until Del has joined it, and the ring of frames that thread decodes ahead.
// The main thread and the pull share the ring and the play state under `mutex_`; the decoder
// thread decodes outside the lock and appends under it.
class TMediaBackend::TVoice : public IAudioInput {
 public:
  TVoice(TVoiceHandle handle, TAudioBus& bus, std::unique_ptr<plat::IPcmDecoder> decoder)
      : handle_(handle),
        bus_(bus),
        decoder_(std::move(decoder)),
        total_frames_(decoder_->TotalFrames()),
        ring_(kRingFrames * kChannels) {
    worker_ = std::make_unique<TWorker<TVoiceSeek>>([this](TCommandQueue<TVoiceSeek>& q) { Decode(q); },
                                                     [this] { WakeForStop(); });
    bus_.Attach(*this);
  }

  ~TVoice() override {
    bus_.Detach(*this);  // no pull uses the voice once this returns
    worker_->Stop();     // nor the decoder thread: the decoder and its stream are free to go
    worker_.reset();
  }

  TVoiceHandle Handle() const { return handle_; }
  void Attach() { bus_.Attach(*this); }

  bool GetAutoRepeat() const { return repeat_.load(); }
  void SetAutoRepeat(bool repeat) {
    repeat_.store(repeat);
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }
  int32_t GetVol() {
    std::lock_guard lock(mutex_);
    return volume_;
  }
  int32_t GetPan() {
    std::lock_guard lock(mutex_);
    return pan_;
  }
  void SetVol(int32_t volume) {
    std::lock_guard lock(mutex_);
    volume_ = volume;
    UpdateGains();
  }
  void SetPan(int32_t pan) {
    std::lock_guard lock(mutex_);
    pan_ = pan;
    UpdateGains();
  }

  int32_t GetPosition() {
    std::lock_guard lock(mutex_);
    return int32_t(position_frame_ * 1000 / kRate);
  }
  int32_t GetLen() const { return total_frames_ > 0 ? int32_t(total_frames_ * 1000 / kRate) : 0; }

  // Flushes the ring and has the decoder go on from `ms`.
  void SetPosition(int32_t ms) {
    int64_t frame = int64_t(std::max(ms, 0)) * kRate / 1000;
    if (total_frames_ >= 0) frame = std::min(frame, total_frames_);
    std::lock_guard lock(mutex_);
    ++generation_;
    head_ = 0;
    count_ = 0;
    read_ = 0;
    written_ = 0;
    wraps_.clear();
    ended_ = failed_;
    position_frame_ = frame;
    worker_->Post(TVoiceSeek{frame, generation_});
    changed_.notify_all();
  }

  bool IsEnd() {
    std::lock_guard lock(mutex_);
    return EndedLocked();
  }
  bool IsPlaying() {
    std::lock_guard lock(mutex_);
    return playing_ && !EndedLocked();
  }
  bool IsPaused() {
    std::lock_guard lock(mutex_);
    return paused_;
  }
  void Play() {
    std::lock_guard lock(mutex_);
    playing_ = true;
    paused_ = false;
  }
  void Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }

  void MixInto(std::span<int16_t> samples, bool wait) override {
    std::unique_lock lock(mutex_);
    if (!playing_ || paused_) return;
    const auto deadline = std::chrono::steady_clock::now() + kMixWaitLimit;
    size_t at = 0;
    const size_t frames = samples.size() / kChannels;
    while (at < frames) {
      if (count_ == 0) {
        if (ended_ || !wait) break;
        changed_.notify_all();  // a pull longer than the ring: the decoder thread has room now
        const uint64_t generation = generation_;
        if (!changed_.wait_until(lock, deadline, [&] { return count_ > 0 || ended_ || generation != generation_; })) {
          break;
        }
        continue;
      }
      const size_t n = std::min(frames - at, size_t(count_));
      MixFrames(samples.subspan(at * kChannels, n * kChannels), n);
      at += n;
    }
    changed_.notify_all();  // room in the ring for the decoder thread
  }

 private:
  bool EndedLocked() const { return ended_ && count_ == 0; }

  void UpdateGains() {
    const int32_t gain = GainOf(volume_);
    const int32_t pan = std::clamp(pan_, -10000, 10000);
    const int64_t side = GainOf(-std::abs(double(pan)));
    gain_left_ = pan > 0 ? int32_t(gain * side / kUnity) : gain;
    gain_right_ = pan < 0 ? int32_t(gain * side / kUnity) : gain;
  }

  // Adds the next `n` frames of the ring into `out` with the voice's gains and advances the play
  // position (back to the start where the decoder looped).
  void MixFrames(std::span<int16_t> out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      const int16_t* frame = &ring_[size_t(head_) * kChannels];
      const int32_t gains[kChannels] = {gain_left_, gain_right_};
      for (int32_t c = 0; c < kChannels; ++c) {
        const int32_t v = int32_t((int64_t(frame[c]) * gains[c] + kUnity / 2) >> 16);
        int16_t& o = out[i * kChannels + size_t(c)];
        o = int16_t(std::clamp(int32_t(o) + v, -32768, 32767));
      }
      while (!wraps_.empty() && wraps_.front() <= read_) {  // the first frame of a new pass
        wraps_.pop_front();
        position_frame_ = 0;
      }
      head_ = (head_ + 1) % kRingFrames;
      --count_;
      ++read_;
      ++position_frame_;
    }
  }

  void WakeForStop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }

  // The decoder thread. A decoder that fails for good ends the voice, so that no pull waits for it.
  void Decode(TCommandQueue<TVoiceSeek>& commands) {
    try {
      DecodeAhead(commands);
    } catch (...) {
      std::lock_guard lock(mutex_);
      failed_ = ended_ = true;
      changed_.notify_all();
      throw;  // its owner keeps the message
    }
  }

  // Keeps the ring full ahead of the play position, loops at the end while auto-repeat is on, and
  // serves the seeks the main thread posts.
  void DecodeAhead(TCommandQueue<TVoiceSeek>& commands) {
    std::vector<TVoiceSeek> seeks;
    std::vector<int16_t> chunk(size_t(kChunkFrames) * kChannels);
    uint64_t generation = 0;
    bool just_wrapped = false;  // an empty pass after a loop ends the voice instead of spinning
    for (;;) {
      seeks.clear();
      if (!commands.Take(seeks)) return;
      for (const TVoiceSeek& s : seeks) {
        decoder_->SeekFrame(s.frame);
        generation = s.generation;
        just_wrapped = false;
      }
      int64_t want = 0;
      {
        std::unique_lock lock(mutex_);
        const auto work = [&] { return stopping_ || generation != generation_ || (!ended_ && count_ < kRingFrames); };
        changed_.wait(lock, work);
        if (stopping_) return;
        if (generation != generation_) continue;  // its seek is queued
        want = std::min(kRingFrames - count_, kChunkFrames);
      }
      const int64_t got = std::max<int64_t>(decoder_->Read(chunk.data(), want * kFrameBytes), 0) / kFrameBytes;
      bool wrapped = false;
      bool ended = false;
      if (got > 0) {
        just_wrapped = false;
      } else if (repeat_.load() && !just_wrapped && decoder_->SeekFrame(0)) {
        wrapped = just_wrapped = true;
      } else {
        ended = true;
      }
      std::lock_guard lock(mutex_);
      if (generation != generation_) continue;
      for (int64_t i = 0; i < got; ++i) {
        const size_t at = size_t((head_ + count_) % kRingFrames) * kChannels;
        ring_[at] = chunk[size_t(i) * kChannels];
        ring_[at + 1] = chunk[size_t(i) * kChannels + 1];
        ++count_;
      }
      written_ += got;
      if (wrapped) wraps_.push_back(written_);
      if (ended) ended_ = true;
      changed_.notify_all();
    }
  }

  const TVoiceHandle handle_;
  TAudioBus& bus_;
  std::unique_ptr<plat::IPcmDecoder> decoder_;  // the decoder thread's alone while it runs
  const int64_t total_frames_;
  std::atomic<bool> repeat_{false};

  std::mutex mutex_;
  std::condition_variable changed_;  // frames added or taken, a seek, the end, a stop
  std::vector<int16_t> ring_;
  int64_t head_ = 0;     // the next frame to play
  int64_t count_ = 0;    // frames decoded and not played
  int64_t read_ = 0;     // frames played since the last seek
  int64_t written_ = 0;  // frames decoded since the last seek
  std::deque<int64_t> wraps_;  // `written_` at each loop back to the start, not played yet
  int64_t position_frame_ = 0;
  uint64_t generation_ = 0;  // counts the seeks: what was decoded before one is dropped
  bool ended_ = false;       // the decoder has nothing more (a voice that does not repeat)
  bool failed_ = false;      // the decoder thread ended on an error: the voice stays ended
  bool stopping_ = false;
  bool playing_ = false;
  bool paused_ = false;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  int32_t gain_left_ = kUnity;
  int32_t gain_right_ = kUnity;

  std::unique_ptr<TWorker<TVoiceSeek>> worker_;  // stopped before anything above is freed
};

TMediaBackend::TMediaBackend(TAudioBus& bus, TVoiceDecoders decoders) : bus_(bus), decoders_(std::move(decoders)) {}

TMediaBackend::~TMediaBackend() {
  while (!voices_.empty()) voices_.pop_back();
}

TMediaBackend::TVoice* TMediaBackend::Find(TVoiceHandle voice) const {
  for (const auto& v : voices_) {
    if (v->Handle() == voice) return v.get();
  }
  return nullptr;
}

TVoiceHandle TMediaBackend::Add(std::unique_ptr<plat::IPcmDecoder> decoder) {
  if (!decoder || !IsBusFormat(decoder->Format())) return 0;
  if (voices_.size() >= kMaxVoices) Raise<EOutOfMemory>(TMsg::OutOfMemory);
  std::unique_ptr<TVoice> voice;
  try {
    voice = std::make_unique<TVoice>(next_, bus_, std::move(decoder));
  } catch (const std::system_error&) {
    Raise<EOutOfMemory>(TMsg::OutOfMemory);  // no thread for its decoder
  }
  const TVoiceHandle handle = next_;
  next_ = next_ == INT32_MAX ? 1 : next_ + 1;
  voices_.push_back(std::move(voice));
  return handle;
}

TVoiceHandle TMediaBackend::WmpAdd(std::vector<uint8_t> bytes) {
  if (!decoders_.wma) return 0;
  return Add(decoders_.wma(std::move(bytes)));
}

TVoiceHandle TMediaBackend::OggAdd(std::unique_ptr<TStream> source, bool is_ogg) {
  if (!decoders_.stream || !source) return 0;
  return Add(decoders_.stream(std::move(source), is_ogg));
}

void TMediaBackend::Del(TVoiceHandle voice) {
  auto it = std::find_if(voices_.begin(), voices_.end(), [voice](const auto& v) { return v->Handle() == voice; });
  if (it == voices_.end()) return;
  std::unique_ptr<TVoice> gone = std::move(*it);
  voices_.erase(it);
  gone.reset();  // detached, its thread joined, its decoder and stream freed
}

bool TMediaBackend::GetAutoRepeat(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v && v->GetAutoRepeat();
}
void TMediaBackend::SetAutoRepeat(TVoiceHandle voice, bool repeat) {
  if (TVoice* v = Find(voice)) v->SetAutoRepeat(repeat);
}
int32_t TMediaBackend::GetPan(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v ? v->GetPan() : 0;
}
int32_t TMediaBackend::GetVol(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v ? v->GetVol() : 0;
}
void TMediaBackend::SetPan(TVoiceHandle voice, int32_t pan) {
  if (TVoice* v = Find(voice)) v->SetPan(pan);
}
void TMediaBackend::SetVol(TVoiceHandle voice, int32_t volume) {
  if (TVoice* v = Find(voice)) v->SetVol(volume);
}
int32_t TMediaBackend::GetPosition(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v ? v->GetPosition() : 0;
}
void TMediaBackend::SetPosition(TVoiceHandle voice, int32_t ms) {
  if (TVoice* v = Find(voice)) v->SetPosition(ms);
}
int32_t TMediaBackend::GetLen(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v ? v->GetLen() : 0;
}
bool TMediaBackend::IsEnd(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v && v->IsEnd();
}
bool TMediaBackend::IsPlaying(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v && v->IsPlaying();
}
bool TMediaBackend::IsPaused(TVoiceHandle voice) {
  TVoice* v = Find(voice);
  return v && v->IsPaused();
}
void TMediaBackend::Play(TVoiceHandle voice) {
  if (TVoice* v = Find(voice)) v->Play();
}
void TMediaBackend::Pause(TVoiceHandle voice) {
  if (TVoice* v = Find(voice)) v->Pause();
}

void TMediaBackend::Restore() {
  for (const auto& v : voices_) {
    if (v) v->Attach();
  }
}

}  // namespace kova
