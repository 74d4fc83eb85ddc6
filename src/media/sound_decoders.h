// Opening a game's sound file for decoding: Ogg Vorbis and WMA/ASF through the platform's codecs
// (platform/sound_codecs.h), RIFF WAVE by our own reader (wav_reader.h), each read through a byte
// source over the item's stream; formats the player does not play as they are go through the
// codecs' converter. Nothing here raises: data that is not such a sound gives no decoder, and the
// caller reports it ("サウンドデータが不正です").
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"
#include "platform/sound_codecs.h"

namespace kova {

class TStream;

// The four stream calls over a stream of the game (a range stream, a memory stream), owned.
class TStreamByteSource : public plat::IByteSource {
 public:
  explicit TStreamByteSource(std::unique_ptr<TStream> stream);
  ~TStreamByteSource() override;
  int64_t Size() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Position() override;
  int64_t SetPosition(int64_t position) override;

 private:
  std::unique_ptr<TStream> stream_;
};

// Ogg Vorbis when `is_ogg`, else RIFF WAVE, in a format the wave-out mixer widens: 8 or 16 bits,
// 1 or 2 channels, 22050 or 44100 Hz (any other rate is converted to 44100 Hz, more than two
// channels are mixed down to two). nullptr when the data is not such a sound.
std::unique_ptr<plat::IPcmDecoder> OpenMixerDecoder(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source,
                                                    bool is_ogg);

// The same in the bus's own format (44100 Hz, 16-bit, stereo), for the backend's voices.
std::unique_ptr<plat::IPcmDecoder> OpenBusDecoder(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source,
                                                  bool is_ogg);

// A WMA/ASF sound from its whole bytes, in the bus's format; nullptr when it cannot be decoded.
std::unique_ptr<plat::IPcmDecoder> OpenWmaBusDecoder(plat::ISoundCodecs& codecs, std::vector<uint8_t> bytes);

}  // namespace kova
