// Our companion media backend: the voices that play WMA/ASF sound and Ogg/WAV sound "through
// DirectSound" on the session's audio bus. Each voice has a decoder thread of its own (a TWorker)
// that owns the voice's stream and decoder and fills the voice's buffer; the bus's pull reads the
// buffer. Everything else (volume, pan, repeat, position, the end) is answered on the main thread
// from the voice's shared state. Handles are the backend's own numbers, never 0.
//
// Volume and pan are hundredths of a decibel: gain = 10^(volume / 2000) (0 full, -10000 and below
// silent); a pan below 0 lowers the right channel by |pan| / 100 dB, above 0 the left.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"
#include "platform/sound_codecs.h"

namespace kova {

class TAudioBus;
class TStream;

using TVoiceHandle = int32_t;

class IMediaBackend {
 public:
  virtual ~IMediaBackend() = default;
  // A WMA/ASF sound from its whole bytes (the backend keeps them); 0 when they cannot be decoded.
  virtual TVoiceHandle WmpAdd(std::vector<uint8_t> bytes) = 0;
  // An Ogg Vorbis (`is_ogg`) or RIFF WAVE sound read from `source`, which the voice owns from now
  // on and reads on its own thread; 0 when the data cannot be decoded.
  virtual TVoiceHandle OggAdd(std::unique_ptr<TStream> source, bool is_ogg) = 0;
  // A voice over `decoder` (in the bus's format), which the voice owns from now on and reads on
  // its own thread; 0 when there is none or it is in another format. The base plays nothing.
  virtual TVoiceHandle PcmAdd(std::unique_ptr<plat::IPcmDecoder>) { return 0; }
  // Stops the voice and its thread and frees its stream; when it returns nothing reads it any more.
  virtual void Del(TVoiceHandle voice) = 0;

  virtual bool GetAutoRepeat(TVoiceHandle voice) = 0;
  virtual void SetAutoRepeat(TVoiceHandle voice, bool repeat) = 0;
  virtual int32_t GetPan(TVoiceHandle voice) = 0;
  virtual int32_t GetVol(TVoiceHandle voice) = 0;
  virtual void SetPan(TVoiceHandle voice, int32_t pan) = 0;
  virtual void SetVol(TVoiceHandle voice, int32_t volume) = 0;
  // The position played, in ms.
  virtual int32_t GetPosition(TVoiceHandle voice) = 0;
  // Seeks to `ms` (0 and above).
  virtual void SetPosition(TVoiceHandle voice, int32_t ms) = 0;
  virtual int32_t GetLen(TVoiceHandle voice) = 0;
  // A voice that does not repeat has played its last sample.
  virtual bool IsEnd(TVoiceHandle voice) = 0;
  virtual bool IsPlaying(TVoiceHandle voice) = 0;
  virtual bool IsPaused(TVoiceHandle voice) = 0;
  virtual void Play(TVoiceHandle voice) = 0;
  virtual void Pause(TVoiceHandle voice) = 0;
  // The sound device was opened anew.
  virtual void Restore() = 0;
};

// How the backend opens its decoders (the real ones by default; tests give their own).
struct TVoiceDecoders {
  std::function<std::unique_ptr<plat::IPcmDecoder>(std::unique_ptr<TStream> source, bool is_ogg)> stream;
  std::function<std::unique_ptr<plat::IPcmDecoder>(std::vector<uint8_t> bytes)> wma;
};

// The real decoders (sound_decoders.h) over `codecs` (which outlives their use), in the bus's
// format.
TVoiceDecoders BusVoiceDecoders(plat::ISoundCodecs& codecs);

class TMediaBackend : public IMediaBackend {
 public:
  // The most voices that live at once (each has a thread of its own): one more is refused with
  // "メモリが不足しています", as is one whose thread the system cannot start.
  static constexpr size_t kMaxVoices = 128;

  // `bus` must outlive the backend. Every decoder must give the bus's format.
  TMediaBackend(TAudioBus& bus, TVoiceDecoders decoders);
  ~TMediaBackend() override;  // every voice is deleted first

  TVoiceHandle WmpAdd(std::vector<uint8_t> bytes) override;
  TVoiceHandle OggAdd(std::unique_ptr<TStream> source, bool is_ogg) override;
  TVoiceHandle PcmAdd(std::unique_ptr<plat::IPcmDecoder> decoder) override { return Add(std::move(decoder)); }
  void Del(TVoiceHandle voice) override;
  bool GetAutoRepeat(TVoiceHandle voice) override;
  void SetAutoRepeat(TVoiceHandle voice, bool repeat) override;
  int32_t GetPan(TVoiceHandle voice) override;
  int32_t GetVol(TVoiceHandle voice) override;
  void SetPan(TVoiceHandle voice, int32_t pan) override;
  void SetVol(TVoiceHandle voice, int32_t volume) override;
  int32_t GetPosition(TVoiceHandle voice) override;
  void SetPosition(TVoiceHandle voice, int32_t ms) override;
  int32_t GetLen(TVoiceHandle voice) override;
  bool IsEnd(TVoiceHandle voice) override;
  bool IsPlaying(TVoiceHandle voice) override;
  bool IsPaused(TVoiceHandle voice) override;
  void Play(TVoiceHandle voice) override;
  void Pause(TVoiceHandle voice) override;
  void Restore() override;

 private:
  class TVoice;
  TVoice* Find(TVoiceHandle voice) const;
  // A voice over `decoder` (0 when there is none or it is not in the bus's format).
  TVoiceHandle Add(std::unique_ptr<plat::IPcmDecoder> decoder);

  TAudioBus& bus_;
  TVoiceDecoders decoders_;
  std::vector<std::unique_ptr<TVoice>> voices_;
  TVoiceHandle next_ = 1;
};

}  // namespace kova
