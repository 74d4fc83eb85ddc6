// libFuzzer target for RIFF WAVE files: any input is opened by our WAVE reader, read through,
// sought to a few frames and read again, then opened once more for the mixer (other rates
// converted). No input may crash, hang or read outside its bytes.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/wav:
//   build-fuzz/bin/kova_wav_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/stream.h"
#include "media/sound_decoders.h"
#include "media/wav_reader.h"
#include "platform/media/media_codecs.h"

namespace {

void Drain(kova::plat::IPcmDecoder& decoder) {
  uint8_t buffer[4096];
  for (int i = 0; i < 4096 && decoder.Read(buffer, sizeof buffer) > 0; ++i) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  const std::span<const uint8_t> bytes(data, size);
  auto source = std::make_unique<TStreamByteSource>(std::make_unique<TSpanStream>(bytes));
  if (auto decoder = OpenWavDecoder(std::move(source))) {
    Drain(*decoder);
    for (int64_t frame : {int64_t(0), decoder->TotalFrames() / 2, decoder->TotalFrames() + 1}) {
      decoder->SeekFrame(frame);
      Drain(*decoder);
    }
  }
  static plat::TMediaCodecs codecs;
  if (auto mixer = OpenMixerDecoder(codecs, std::make_unique<TSpanStream>(bytes), false)) Drain(*mixer);
  return 0;
}
