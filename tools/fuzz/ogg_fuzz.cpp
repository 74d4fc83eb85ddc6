// libFuzzer target for Ogg Vorbis data: any input is opened by the Ogg decoder over our byte
// source, read through, sought and read again, then read as the mixer's PCM stream. No input
// may crash or hang; data that is no sound gives the system's error.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/ogg:
//   build-fuzz/bin/kova_ogg_fuzz corpus -max_len=16384
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/errors.h"
#include "core/stream.h"
#include "media/ogg_stream.h"
#include "media/sound_decoders.h"
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
  static const bool quiet = (plat::QuietMediaLibraryLog(), true);
  (void)quiet;
  static plat::TMediaCodecs codecs;
  const std::span<const uint8_t> bytes(data, size);
  auto source = std::make_unique<TStreamByteSource>(std::make_unique<TSpanStream>(bytes));
  if (auto decoder = codecs.OpenOgg(std::move(source))) {
    Drain(*decoder);
    decoder->SeekFrame(decoder->TotalFrames() / 3);
    Drain(*decoder);
  }
  try {
    TOggStream stream(codecs, std::make_unique<TSpanStream>(bytes), true);
    uint8_t buffer[4096];
    stream.Seek(-int64_t(sizeof buffer), TSeekOrigin::End);
    for (int i = 0; i < 64 && stream.Read(buffer, sizeof buffer) > 0; ++i) {
    }
    (void)stream.LengthMs();
  } catch (const EKovaError&) {
  }
  return 0;
}
