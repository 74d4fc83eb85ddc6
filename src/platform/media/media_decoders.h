// The decoders behind TMediaCodecs, one file each, and the sound tracks of videos.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"

namespace kova::plat {

std::unique_ptr<IPcmDecoder> OpenVorbisDecoder(std::unique_ptr<IByteSource> source);
std::unique_ptr<IPcmDecoder> OpenAsfDecoder(std::vector<uint8_t> bytes);
// The first audio stream of any container the media library reads (probed), seeking through the
// container's own index.
std::unique_ptr<IPcmDecoder> OpenContainerSound(std::unique_ptr<IByteSource> source);
std::unique_ptr<IPcmDecoder> OpenPcmConverter(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format);

}  // namespace kova::plat
