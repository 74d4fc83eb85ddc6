// The decoders of compressed sound and the rate converter, as the media layer reaches them: the
// backends over libvorbisfile and FFmpeg (platform/media, TMediaCodecs) implement this, and the
// session hands them to its media subsystem. TNoSoundCodecs decodes nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"

namespace kova::plat {

class ISoundCodecs {
 public:
  virtual ~ISoundCodecs() = default;
  // Ogg Vorbis read from `source` (owned from now on), 16-bit; nullptr when the data is not Ogg
  // Vorbis it can decode.
  virtual std::unique_ptr<IPcmDecoder> OpenOgg(std::unique_ptr<IByteSource> source) = 0;
  // WMA/ASF sound from its whole bytes, in 44100 Hz 16-bit stereo; nullptr when it cannot be
  // decoded.
  virtual std::unique_ptr<IPcmDecoder> OpenWma(std::vector<uint8_t> bytes) = 0;
  // `decoder`'s sound converted to `format` (rate, channels, 16 bits); nullptr when it cannot be.
  virtual std::unique_ptr<IPcmDecoder> Convert(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format) = 0;
};

class TNoSoundCodecs : public ISoundCodecs {
 public:
  std::unique_ptr<IPcmDecoder> OpenOgg(std::unique_ptr<IByteSource>) override { return nullptr; }
  std::unique_ptr<IPcmDecoder> OpenWma(std::vector<uint8_t>) override { return nullptr; }
  std::unique_ptr<IPcmDecoder> Convert(std::unique_ptr<IPcmDecoder>, TPcmFormat) override { return nullptr; }
};

}  // namespace kova::plat
