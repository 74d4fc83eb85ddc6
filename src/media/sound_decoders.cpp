#include "media/sound_decoders.h"

#include <algorithm>
#include <utility>

#include "core/errors.h"
#include "core/stream.h"
#include "media/wav_reader.h"

namespace kova {

TStreamByteSource::TStreamByteSource(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {}
TStreamByteSource::~TStreamByteSource() = default;

// The decoders call these from inside the codec libraries: a stream's error is an end, never an
// exception.
int64_t TStreamByteSource::Size() {
  try {
    return std::max<int64_t>(stream_->GetSize(), 0);
  } catch (const EKovaError&) {
    return 0;
  }
}

int64_t TStreamByteSource::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  try {
    return std::max<int64_t>(stream_->Read(buffer, count), 0);
  } catch (const EKovaError&) {
    return 0;
  }
}

int64_t TStreamByteSource::Position() {
  try {
    return stream_->Seek(0, TSeekOrigin::Current);
  } catch (const EKovaError&) {
    return 0;
  }
}

int64_t TStreamByteSource::SetPosition(int64_t position) {
  try {
    return stream_->Seek(std::clamp<int64_t>(position, 0, Size()), TSeekOrigin::Beginning);
  } catch (const EKovaError&) {
    return Position();
  }
}

namespace {

constexpr plat::TPcmFormat kBusFormat{2, 44100, 16};

std::unique_ptr<plat::IPcmDecoder> OpenDecoder(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source,
                                               bool is_ogg) {
  if (!source) return nullptr;
  auto bytes = std::make_unique<TStreamByteSource>(std::move(source));
  return is_ogg ? codecs.OpenOgg(std::move(bytes)) : OpenWavDecoder(std::move(bytes));
}

std::unique_ptr<plat::IPcmDecoder> ToFormat(plat::ISoundCodecs& codecs, std::unique_ptr<plat::IPcmDecoder> decoder,
                                            plat::TPcmFormat format) {
  if (!decoder) return nullptr;
  if (decoder->Format() == format) return decoder;
  return codecs.Convert(std::move(decoder), format);
}

bool MixerWidens(const plat::TPcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) && (f.rate == 22050 || f.rate == 44100) && (f.bits == 8 || f.bits == 16);
}

}  // namespace

std::unique_ptr<plat::IPcmDecoder> OpenMixerDecoder(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source,
                                                    bool is_ogg) {
  auto decoder = OpenDecoder(codecs, std::move(source), is_ogg);
  if (!decoder || MixerWidens(decoder->Format())) return decoder;
  const int32_t channels = std::min(decoder->Format().channels, 2);
  return ToFormat(codecs, std::move(decoder), {channels, 44100, 16});
}

std::unique_ptr<plat::IPcmDecoder> OpenBusDecoder(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source,
                                                  bool is_ogg) {
  return ToFormat(codecs, OpenDecoder(codecs, std::move(source), is_ogg), kBusFormat);
}

std::unique_ptr<plat::IPcmDecoder> OpenWmaBusDecoder(plat::ISoundCodecs& codecs, std::vector<uint8_t> bytes) {
  return ToFormat(codecs, codecs.OpenWma(std::move(bytes)), kBusFormat);
}

}  // namespace kova
