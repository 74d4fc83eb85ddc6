// The backend's real decoders, in a file of their own: a program (or a test) that gives the
// backend decoders of its own links none of the codecs through this.
#include "core/stream.h"
#include "media/media_backend.h"
#include "media/sound_decoders.h"

namespace kova {

TVoiceDecoders BusVoiceDecoders(plat::ISoundCodecs& codecs) {
  TVoiceDecoders d;
  d.stream = [&codecs](std::unique_ptr<TStream> source, bool is_ogg) {
    return OpenBusDecoder(codecs, std::move(source), is_ogg);
  };
  d.wma = [&codecs](std::vector<uint8_t> bytes) { return OpenWmaBusDecoder(codecs, std::move(bytes)); };
  return d;
}

}  // namespace kova
