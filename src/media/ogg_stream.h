// The read-only stream of decoded PCM that the wave-out mixer reads an Ogg or WAV item from: the
// bytes of the decoder's output, seekable by byte (held to whole frames), in the decoder's format.
#pragma once

#include <cstdint>
#include <memory>

#include "core/stream.h"
#include "platform/pcm_decoder.h"
#include "platform/sound_codecs.h"

namespace kova {

class TOggStream : public TStream {
 public:
  // Raises EKovaError "サウンドデータが不正です" when the data is not a sound it can decode.
  TOggStream(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source, bool is_ogg);
  ~TOggStream() override;

  const plat::TPcmFormat& Format() const { return format_; }
  // The length in milliseconds.
  int32_t LengthMs() const;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;

 private:
  std::unique_ptr<plat::IPcmDecoder> decoder_;
  plat::TPcmFormat format_;
};

}  // namespace kova
