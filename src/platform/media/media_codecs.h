// The decoders of compressed sound and the rate converter over the media libraries: Ogg Vorbis
// over libvorbisfile (read through the byte source's four calls), WMA/ASF sound over FFmpeg
// (libavformat over our in-memory copy of the bytes, libavcodec, libswresample to the bus's
// format), and any 8/16-bit PCM decoder converted to another rate or channel count by
// libswresample. Every decoder keeps its loops bounded by the bytes it was given: damaged or
// truncated data ends the decode early, it never hangs or raises.
#pragma once

#include <memory>
#include <vector>

#include "platform/sound_codecs.h"

namespace kova::plat {

class TMediaCodecs : public ISoundCodecs {
 public:
  std::unique_ptr<IPcmDecoder> OpenOgg(std::unique_ptr<IByteSource> source) override;
  std::unique_ptr<IPcmDecoder> OpenWma(std::vector<uint8_t> bytes) override;
  std::unique_ptr<IPcmDecoder> Convert(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format) override;
};

// FFmpeg writes its own diagnostics to standard error by default; damaged sound data would fill
// it. This silences them (process-wide state of the library: a program calls it once at start,
// before any decoder runs; nothing else here depends on it).
void QuietMediaLibraryLog();

}  // namespace kova::plat
