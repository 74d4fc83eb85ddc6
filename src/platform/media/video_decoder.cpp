#include "platform/media/video_decoder.h"

namespace kova::plat {

std::unique_ptr<IVideoDecoder> TMediaVideoCodecs::OpenVideo(std::unique_ptr<IByteSource>, int64_t) { return nullptr; }

std::unique_ptr<IPcmDecoder> TMediaVideoCodecs::OpenVideoSound(std::unique_ptr<IByteSource>) { return nullptr; }

}  // namespace kova::plat
