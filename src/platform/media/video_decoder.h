// The video decoders over FFmpeg: libavformat reading through the byte source (an in-memory
// reader over the game's bytes, never a file name), libavcodec decoding the first video stream,
// libswscale converting each picture to XRGB8888, and the sound track through libswresample in
// the bus's format. A video whose pictures exceed the caller's pixel budget is refused before any
// picture is decoded.
#pragma once

#include <memory>

#include "platform/video_codecs.h"

namespace kova::plat {

class TMediaVideoCodecs : public IVideoCodecs {
 public:
  std::unique_ptr<IVideoDecoder> OpenVideo(std::unique_ptr<IByteSource> source, int64_t max_pixels) override;
  std::unique_ptr<IPcmDecoder> OpenVideoSound(std::unique_ptr<IByteSource> source) override;
};

}  // namespace kova::plat
