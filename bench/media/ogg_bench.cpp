// Ogg Vorbis decoding of a 10 s stereo tone held in memory: through our decoder (the byte
// source's four calls over a stream, the whole-frame reads) against a bare ov_read loop over the
// same bytes with plain memory callbacks. Both open the file anew on each iteration.
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "core/stream.h"
#include "media/sound_decoders.h"
#include "platform/media/media_codecs.h"
#include "support/sound_writer.h"

namespace {

const std::vector<uint8_t>& TenSeconds() {
  static const std::vector<uint8_t> ogg = kova::test::OggTone({2, 44100, 441000, 440.0, 0.5});
  return ogg;
}

constexpr int kBuffer = 1 << 16;

void BM_OggThroughOurDecoder(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = TenSeconds();
  kova::plat::TMediaCodecs codecs;
  std::vector<uint8_t> buffer(kBuffer);
  int64_t bytes = 0;
  for (auto _ : state) {
    auto source = std::make_unique<kova::TStreamByteSource>(std::make_unique<kova::TSpanStream>(ogg));
    auto decoder = codecs.OpenOgg(std::move(source));
    int64_t got = 0;
    while ((got = decoder->Read(buffer.data(), kBuffer)) > 0) bytes += got;
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_OggThroughOurDecoder)->Unit(benchmark::kMillisecond);

struct Memory {
  const std::vector<uint8_t>* bytes;
  size_t at = 0;
};

size_t MemRead(void* ptr, size_t size, size_t count, void* data) {
  auto* m = static_cast<Memory*>(data);
  const size_t n = std::min(size * count, m->bytes->size() - m->at) / size;
  std::memcpy(ptr, m->bytes->data() + m->at, n * size);
  m->at += n * size;
  return n;
}

int MemSeek(void* data, ogg_int64_t offset, int whence) {
  auto* m = static_cast<Memory*>(data);
  const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(m->at) : int64_t(m->bytes->size());
  if (base + offset < 0 || base + offset > int64_t(m->bytes->size())) return -1;
  m->at = size_t(base + offset);
  return 0;
}

long MemTell(void* data) { return long(static_cast<Memory*>(data)->at); }

void BM_OggBareOvRead(benchmark::State& state) {
  const std::vector<uint8_t>& ogg = TenSeconds();
  std::vector<char> buffer(kBuffer);
  int64_t bytes = 0;
  for (auto _ : state) {
    Memory memory{&ogg};
    OggVorbis_File file;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, ov_callbacks{MemRead, MemSeek, nullptr, MemTell}) < 0) {
      state.SkipWithError("ov_open_callbacks failed");
      return;
    }
    int link = 0;
    long got = 0;
    while ((got = ov_read(&file, buffer.data(), kBuffer, 0, 2, 1, &link)) > 0) bytes += got;
    ov_clear(&file);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_OggBareOvRead)->Unit(benchmark::kMillisecond);

}  // namespace
