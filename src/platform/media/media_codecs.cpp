#include "platform/media/media_codecs.h"

extern "C" {
#include <libavutil/log.h>
}

#include "platform/media/media_decoders.h"

namespace kova::plat {

std::unique_ptr<IPcmDecoder> TMediaCodecs::OpenOgg(std::unique_ptr<IByteSource> source) {
  if (!source) return nullptr;
  return OpenVorbisDecoder(std::move(source));
}

std::unique_ptr<IPcmDecoder> TMediaCodecs::OpenWma(std::vector<uint8_t> bytes) {
  return OpenAsfDecoder(std::move(bytes));
}

std::unique_ptr<IPcmDecoder> TMediaCodecs::Convert(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format) {
  if (!decoder) return nullptr;
  return OpenPcmConverter(std::move(decoder), format);
}

void QuietMediaLibraryLog() { av_log_set_level(AV_LOG_QUIET); }

}  // namespace kova::plat
