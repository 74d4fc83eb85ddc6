// libFuzzer target for the PNG reader: any input is loaded as a picture held in memory, then each
// frame goes through the image cache's steps.
//
// libpng refuses a chunk whose CRC does not match before our code sees anything of it, and almost
// every mutation breaks a CRC; so the target first writes the right CRC into every whole chunk of
// the input (as if the check were off), and the mutations reach the decoder and our reader.
//
// Build (clang only) and run with the seed corpus:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_png_fuzz
//   mkdir -p corpus && cp tests/graphics/corpus/* corpus/
//   build-fuzz/bin/kova_png_fuzz corpus -max_len=65536 -rss_limit_mb=4096
#include <zlib.h>

#include <vector>

#include "picture_fuzz_common.h"

namespace {

// Chunks follow the 8-byte signature: length (big-endian), type, data, CRC over type and data.
void FixChunkCrcs(std::vector<uint8_t>& png) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
    if (length > png.size() - at - 12) break;
    const uint32_t crc = uint32_t(crc32(0, png.data() + at + 4, uInt(length) + 4));
    uint8_t* out = png.data() + at + 8 + length;
    out[0] = uint8_t(crc >> 24);
    out[1] = uint8_t(crc >> 16);
    out[2] = uint8_t(crc >> 8);
    out[3] = uint8_t(crc);
    at += size_t(length) + 12;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> png(data, data + size);
  FixChunkCrcs(png);
  kova::fuzz::FuzzPictureLoader(png.data(), png.size(),
                                [](kova::TWexaFrameList& list, kova::TStream& stream) { list.LoadPng(stream); });
  return 0;
}
