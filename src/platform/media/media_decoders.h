// The three decoders behind TMediaCodecs, one file each.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"

namespace kova::plat {

std::unique_ptr<IPcmDecoder> OpenVorbisDecoder(std::unique_ptr<IByteSource> source);
std::unique_ptr<IPcmDecoder> OpenAsfDecoder(std::vector<uint8_t> bytes);
std::unique_ptr<IPcmDecoder> OpenPcmConverter(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format);

}  // namespace kova::plat
