#include "media/wave_out.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/stream.h"

namespace kova {
namespace {

constexpr int32_t kOutBytesPerSecond = 176400;
constexpr int32_t kPoolSize = 4;
constexpr size_t kMaxQueued = 2;

int32_t HeldDelay(int32_t delay_time) { return std::clamp(delay_time, 100, 500); }

// The rows of the widening table: every format of 1 or 2 channels, 22050 or 44100 frames a second
// and 8 or 16 bits. -1 for any other format.
int32_t WidenRow(const plat::TPcmFormat& f) {
  if ((f.channels != 1 && f.channels != 2) || (f.rate != 22050 && f.rate != 44100) || (f.bits != 8 && f.bits != 16)) {
    return -1;
  }
  return (f.channels - 1) * 4 + (f.rate == 44100 ? 2 : 0) + (f.bits == 16 ? 1 : 0);
}

// Widens the input frames `begin` .. `end` of `buffer` in place, from the last backwards, to
// 44100 Hz 16-bit stereo. Each output frame lies at or past the input frame it comes from, so no
// input is overwritten before it is read.
template <int kChannels, int kRepeat, int kBits>
void WidenFrames(int16_t* buffer, size_t begin, size_t end) {
  const auto* in = reinterpret_cast<const uint8_t*>(buffer);
  constexpr size_t kAlign = size_t(kChannels) * (kBits / 8);
  for (size_t i = end; i-- > begin;) {
    int16_t v[2];
    for (int c = 0; c < kChannels; ++c) {
      if constexpr (kBits == 8) {
        v[c] = int16_t((int32_t(in[i * kAlign + c]) - 128) * 256);
      } else {
        std::memcpy(&v[c], in + i * kAlign + size_t(c) * 2, 2);
      }
    }
    if constexpr (kChannels == 1) v[1] = v[0];
    int16_t* out = buffer + i * kRepeat * 2;
    for (int r = 0; r < kRepeat; ++r) {
      out[r * 2] = v[0];
      out[r * 2 + 1] = v[1];
    }
  }
}

#if defined(__SSE2__)
// The wide form of WidenFrames for the first `values` input values (whole chunks of 16 bytes),
// from the last chunk backwards: each chunk is loaded before its output is stored, and its output
// lies past every chunk before it.
template <int kChannels, int kRepeat, int kBits>
void WidenChunks(int16_t* buffer, size_t values) {
  constexpr size_t kPerChunk = 16 / (kBits / 8);  // input values in 16 bytes
  constexpr size_t kFactor = size_t(kRepeat) * (kChannels == 1 ? 2 : 1);  // output values per input value
  auto* bytes = reinterpret_cast<uint8_t*>(buffer);
  const size_t chunks = values / kPerChunk;
  const __m128i sign = _mm_set1_epi8(char(0x80));
  const __m128i zero = _mm_setzero_si128();
  const auto emit = [](int16_t* out, __m128i w) {
    if constexpr (kFactor == 1) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), w);
    } else if constexpr (kChannels == 1 && kRepeat == 1) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(w, w));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi16(w, w));
    } else if constexpr (kChannels == 2) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi32(w, w));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi32(w, w));
    } else {
      const __m128i a = _mm_unpacklo_epi16(w, w), b = _mm_unpackhi_epi16(w, w);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi32(a, a));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi32(a, a));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpacklo_epi32(b, b));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm_unpackhi_epi32(b, b));
    }
  };
  for (size_t c = chunks; c-- > 0;) {
    const size_t first = c * kPerChunk;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + first * (kBits / 8)));
    int16_t* out = buffer + first * kFactor;
    if constexpr (kBits == 8) {
      // (byte - 128) x 256: the byte with its top bit flipped, as the high byte of a value.
      const __m128i x = _mm_xor_si128(v, sign);
      const __m128i lo = _mm_unpacklo_epi8(zero, x), hi = _mm_unpackhi_epi8(zero, x);
      emit(out, lo);
      emit(out + 8 * kFactor, hi);
    } else {
      emit(out, v);
    }
  }
}
#endif

// Widens a whole read: the frames past the last whole chunk one by one, then the chunks. The
// frames' output lies past every chunk's, and the chunks' output covers only bytes read already.
template <int kChannels, int kRepeat, int kBits>
size_t WidenRead(int16_t* buffer, size_t frames) {
#if defined(__SSE2__)
  constexpr size_t kPerChunk = 16 / (kBits / 8);
  const size_t wide = frames * kChannels / kPerChunk * kPerChunk / kChannels;
  WidenFrames<kChannels, kRepeat, kBits>(buffer, wide, frames);
  WidenChunks<kChannels, kRepeat, kBits>(buffer, wide * kChannels);
#else
  WidenFrames<kChannels, kRepeat, kBits>(buffer, 0, frames);
#endif
  return frames * kRepeat * 2;
}

// Widens by row; returns the number of 16-bit output values.
size_t Widen(int32_t row, int16_t* buffer, size_t frames) {
  switch (row) {
    case 0: return WidenRead<1, 2, 8>(buffer, frames);
    case 1: return WidenRead<1, 2, 16>(buffer, frames);
    case 2: return WidenRead<1, 1, 8>(buffer, frames);
    case 3: return WidenRead<1, 1, 16>(buffer, frames);
    case 4: return WidenRead<2, 2, 8>(buffer, frames);
    case 5: return WidenRead<2, 2, 16>(buffer, frames);
    case 6: return WidenRead<2, 1, 8>(buffer, frames);
    case 7: return frames * 2;  // the output format itself
    default: return 0;
  }
}

// Adds `count` values of `from` into `into`, saturating to -32768 .. 32767.
void AddSaturated(int16_t* into, const int16_t* from, size_t count) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= count; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(into + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i), _mm_adds_epi16(a, b));
  }
#endif
  for (; i < count; ++i) into[i] = int16_t(std::clamp(int32_t(into[i]) + int32_t(from[i]), -32768, 32767));
}

// Adds `count` values of `from`, each scaled to (v x level) >> 8, into `into` with saturation.
// `level` lies within 0 .. 254.
void AddLevelled(int16_t* into, const int16_t* from, size_t count, int32_t level) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i factor = _mm_set1_epi16(int16_t(level));
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
    const __m128i lo = _mm_mullo_epi16(v, factor);
    const __m128i hi = _mm_mulhi_epi16(v, factor);
    const __m128i p0 = _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 8);
    const __m128i p1 = _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 8);
    const __m128i scaled = _mm_packs_epi32(p0, p1);  // within 16 bits: |v x level / 256| <= |v|
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(into + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(into + i), _mm_adds_epi16(a, scaled));
  }
#endif
  for (; i < count; ++i) {
    const int32_t scaled = int16_t((int32_t(from[i]) * level) >> 8);
    into[i] = int16_t(std::clamp(int32_t(into[i]) + scaled, -32768, 32767));
  }
}

}  // namespace

// ---- the wave-out device over the bus

TBusWaveOut::TBusWaveOut(TAudioBus& bus) : bus_(bus) {}

TBusWaveOut::~TBusWaveOut() { Close(); }

bool TBusWaveOut::Open() {
  {
    std::lock_guard lock(mutex_);
    if (open_) return false;
    open_ = true;
  }
  bus_.Attach(*this);
  return true;
}

void TBusWaveOut::Write(TWaveBlock& block) {
  std::lock_guard lock(mutex_);
  if (!open_ || block.samples.empty()) {
    block.done = true;
    return;
  }
  queue_.push_back(&block);
}

void TBusWaveOut::Reset() {
  std::lock_guard lock(mutex_);
  for (TWaveBlock* block : queue_) block->done = true;
  queue_.clear();
  played_ = 0;
}

void TBusWaveOut::Close() {
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    open_ = false;
  }
  bus_.Detach(*this);  // outside the lock: a pull holds the bus's lock and then takes ours
  Reset();
}

void TBusWaveOut::MixInto(std::span<int16_t> samples, bool /*wait*/) {
  std::lock_guard lock(mutex_);
  size_t at = 0;
  while (at < samples.size() && !queue_.empty()) {
    TWaveBlock& block = *queue_.front();
    const size_t n = std::min(samples.size() - at, block.samples.size() - played_);
    AddSaturated(samples.data() + at, block.samples.data() + played_, n);
    at += n;
    played_ += n;
    if (played_ == block.samples.size()) {
      block.done = true;
      queue_.erase(queue_.begin());
      played_ = 0;
    }
  }
}

// ---- one source

TWavBuffer::TWavBuffer(TWavOut& owner, const plat::TPcmFormat& format, TStream& stream)
    : owner_(owner), format_(format), stream_(stream), widen_(WidenRow(format)),
      scratch_(size_t(owner.BlockSize()) / 2) {
  silent_ = widen_ < 0;
  exhausted_ = widen_ < 0;
  last_mix_ = owner.Now();
}

void TWavBuffer::Play() {
  std::lock_guard lock(owner_.mutex_);
  if (!owner_.open_) return;
  playing_ = true;
  paused_ = false;
  if (widen_ >= 0) exhausted_ = false;
  if (std::find(owner_.active_.begin(), owner_.active_.end(), this) == owner_.active_.end()) {
    owner_.active_.push_back(this);
  }
}

void TWavBuffer::Pause() {
  std::lock_guard lock(owner_.mutex_);
  if (!owner_.open_) return;
  paused_ = true;
  std::erase(owner_.active_, this);
}

void TWavBuffer::SetPosition(int32_t bytes) {
  std::lock_guard lock(owner_.mutex_);
  const int32_t align = std::max(format_.BlockAlign(), 1);
  position_ = std::max(bytes, 0) / align * align;
}

void TWavBuffer::SetLevel(int32_t level) {
  std::lock_guard lock(owner_.mutex_);
  level_ = std::clamp(level, 0, 256);
}

bool TWavBuffer::Loop() const {
  std::lock_guard lock(owner_.mutex_);
  return loop_;
}

void TWavBuffer::SetLoop(bool loop) {
  std::lock_guard lock(owner_.mutex_);
  loop_ = loop;
}

bool TWavBuffer::Playing() const {
  std::lock_guard lock(owner_.mutex_);
  return playing_;
}

bool TWavBuffer::Paused() const {
  std::lock_guard lock(owner_.mutex_);
  return paused_;
}

bool TWavBuffer::IsEnd() const {
  if (!owner_.open_) return true;
  if (silent_) return true;
  if (!exhausted_) return false;
  const int32_t since = int32_t(owner_.Now() - last_mix_.load());
  return since > 2 * owner_.delay_time_ + 10;
}

int32_t TWavBuffer::GetPosition() const {
  std::lock_guard lock(owner_.mutex_);
  const int64_t since = std::max<int64_t>(int32_t(owner_.Now() - last_mix_.load()), 0);
  if (since > 2 * int64_t(owner_.delay_time_)) return position_;
  const double per_ms = double(format_.bits) * format_.channels * format_.rate / 8000.0;
  const int64_t queued = std::llround(owner_.delay_time_ * per_ms);
  const int64_t played = std::llround(double(since) * per_ms);
  int64_t size = 0;
  try {
    size = stream_.GetSize();
  } catch (...) {
    size = 0;
  }
  return int32_t(std::clamp<int64_t>(position_ - queued + played, 0, std::clamp<int64_t>(size, 0, INT32_MAX)));
}

void TWavBuffer::Replay() {
  std::lock_guard lock(owner_.mutex_);
  if (widen_ >= 0) exhausted_ = false;
}

// ---- the mixer

TWavOut::TWavOut(IWaveOutDevice& device, std::function<uint32_t()> clock_ms, int32_t delay_time, bool own_thread)
    : device_(device), clock_ms_(std::move(clock_ms)), delay_time_(HeldDelay(delay_time)),
      block_size_(delay_time_ * kOutBytesPerSecond / 1000 / 8 * 8), own_thread_(own_thread) {}

TWavOut::~TWavOut() { Close(); }

bool TWavOut::Open() {
  if (open_) return false;
  if (!device_.Open()) return false;
  {
    std::lock_guard lock(mutex_);
    while (pool_.size() < size_t(kPoolSize)) {
      auto entry = std::make_unique<TPoolEntry>();
      entry->block.samples.resize(size_t(block_size_) / 2);
      pool_.push_back(std::move(entry));
    }
    open_ = true;
  }
  if (own_thread_) {
    const auto interval = std::chrono::milliseconds(delay_time_ / 4);
    pump_ = std::make_unique<TPumpWorker>([this, interval](TPumpWorker::TQueue& commands) {
      std::vector<TPumpWake> woken;
      while (commands.Wait(woken, interval)) {
        if (woken.empty()) Pump();
        woken.clear();
      }
    });
  }
  return true;
}

void TWavOut::Close() {
  if (!open_) return;
  {
    std::lock_guard lock(mutex_);
    device_.Reset();
    open_ = false;
  }
  pump_.reset();  // stops and joins the pump thread
  std::lock_guard lock(mutex_);
  active_.clear();
  sources_.clear();
  // Reset made every written block done; a device slower to let go is waited for a while.
  for (int tries = 0; tries < 100; ++tries) {
    ReclaimDone();
    if (queued_.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  device_.Close();
  for (TPoolEntry* entry : queued_) GiveBack(*entry);
  queued_.clear();
}

bool TWavOut::IsOpen() const { return open_; }

int32_t TWavOut::BlockSize() const { return block_size_; }

TWavBuffer* TWavOut::AddBuffer(const plat::TPcmFormat& format, TStream& stream) {
  std::lock_guard lock(mutex_);
  sources_.push_back(std::unique_ptr<TWavBuffer>(new TWavBuffer(*this, format, stream)));
  return sources_.back().get();
}

void TWavOut::RemoveBuffer(TWavBuffer* source) {
  std::unique_ptr<TWavBuffer> removed;
  std::lock_guard lock(mutex_);
  std::erase(active_, source);
  const auto it = std::find_if(sources_.begin(), sources_.end(), [&](const auto& s) { return s.get() == source; });
  if (it == sources_.end()) return;
  removed = std::move(*it);
  sources_.erase(it);
}

TWavOut::TPoolEntry& TWavOut::TakeEntry() {
  for (auto& entry : pool_) {
    if (!entry->owned) {
      entry->owned = true;
      return *entry;
    }
  }
  auto entry = std::make_unique<TPoolEntry>();
  entry->block.samples.resize(size_t(block_size_) / 2);
  entry->owned = true;
  pool_.push_back(std::move(entry));
  return *pool_.back();
}

void TWavOut::GiveBack(TPoolEntry& entry) {
  entry.owned = false;
  entry.block.done = false;
}

void TWavOut::ReclaimDone() {
  for (size_t i = queued_.size(); i-- > 0;) {
    if (queued_[i]->block.done) {
      GiveBack(*queued_[i]);
      queued_.erase(queued_.begin() + ptrdiff_t(i));
    }
  }
}

void TWavOut::Pump() {
  std::lock_guard lock(mutex_);
  ReclaimDone();
  for (int round = 0; round < 2; ++round) {
    if (!open_ || queued_.size() >= kMaxQueued || active_.empty()) break;
    TPoolEntry& entry = TakeEntry();
    std::span<int16_t> block(entry.block.samples);
    std::fill(block.begin(), block.end(), int16_t(0));
    bool contributed = false;
    for (auto& source : sources_) contributed |= MixSource(*source, block);
    if (!contributed) {
      GiveBack(entry);
      continue;
    }
    queued_.push_back(&entry);
    device_.Write(entry.block);
  }
}

// Under the lock: reads the source's next block of bytes (from byte 0 again at the end of a
// looping source), widens it and adds it into `block`. Whether anything was added.
bool TWavOut::MixSource(TWavBuffer& s, std::span<int16_t> block) {
  if (!open_ || !s.playing_ || s.paused_ || s.exhausted_ || s.widen_ < 0) return false;
  auto* bytes = reinterpret_cast<uint8_t*>(s.scratch_.data());
  const int32_t align = s.format_.BlockAlign();
  const int32_t repeat = 44100 / s.format_.rate;
  // Each input frame gives `repeat` output frames of 4 bytes.
  const int64_t wanted = int64_t(block_size_) / 4 / repeat * align;
  int64_t got = 0;
  try {
    const int64_t size = s.stream_.GetSize();
    if (size <= 0) {
      s.silent_ = true;
      s.exhausted_ = true;
      return false;
    }
    s.stream_.SetPosition(s.position_);
    while (got < wanted) {
      if (s.stream_.GetPosition() >= size) {
        if (!s.loop_) break;
        s.stream_.SetPosition(0);
      }
      const int64_t n = s.stream_.Read(bytes + got, wanted - got);
      if (n <= 0) break;
      got += n;
    }
    s.position_ = int32_t(std::min<int64_t>(s.stream_.GetPosition(), INT32_MAX));
    // A looping source goes on from byte 0 at the next mix.
    s.exhausted_ = !s.loop_ && size <= s.position_;
    if (s.loop_ && s.position_ >= size) s.position_ = 0;
  } catch (...) {
    // A stream that fails ends its source.
    s.exhausted_ = true;
    return false;
  }
  const size_t values = Widen(s.widen_, s.scratch_.data(), size_t(got / align));
  if (values == 0) return false;
  const size_t count = std::min(values, block.size());
  if (s.level_ < 255) {
    AddLevelled(block.data(), s.scratch_.data(), count, s.level_);
  } else {
    AddSaturated(block.data(), s.scratch_.data(), count);
  }
  s.last_mix_ = Now();
  return true;
}

}  // namespace kova
