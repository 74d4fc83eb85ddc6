// Our RIFF WAVE reader: PCM data (format tag 1, or the extensible tag with the PCM sub-format) of
// 8 or 16 bits, mono or stereo, at any rate. The chunks are walked within the file's bytes: a
// header whose sizes promise more than the file holds is bounded by what it holds.
#pragma once

#include <memory>

#include "platform/pcm_decoder.h"

namespace kova {

// nullptr when the bytes are not such a WAVE file.
std::unique_ptr<plat::IPcmDecoder> OpenWavDecoder(std::unique_ptr<plat::IByteSource> source);

}  // namespace kova
