// libFuzzer target for BMP pictures read as frames (the bitmap reader and the 32-bit alpha rule): any input is loaded as a
// picture held in memory, then each frame goes through the image cache's steps.
//
// Build (clang only) and run with the seed corpus:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_bmp_fuzz
//   mkdir -p corpus && cp tests/graphics/corpus/* corpus/
//   build-fuzz/bin/kova_bmp_fuzz corpus -max_len=65536 -rss_limit_mb=4096
#include "picture_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::fuzz::FuzzPictureLoader(data, size, [](kova::TWexaFrameList& list, kova::TStream& stream) { list.LoadBmp(stream); });
  return 0;
}
