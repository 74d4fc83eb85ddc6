#include "media/ogg_stream.h"

#include <algorithm>

#include "core/errors.h"
#include "media/sound_decoders.h"

namespace kova {

TOggStream::TOggStream(plat::ISoundCodecs& codecs, std::unique_ptr<TStream> source, bool is_ogg)
    : decoder_(OpenMixerDecoder(codecs, std::move(source), is_ogg)) {
  if (!decoder_) Raise<EKovaError>(TMsg::SoundDataInvalid);
  format_ = decoder_->Format();
}

TOggStream::~TOggStream() = default;

int32_t TOggStream::LengthMs() const {
  const int64_t frames = std::max<int64_t>(decoder_->TotalFrames(), 0);
  return int32_t(std::min<int64_t>((frames * 1000 + format_.rate / 2) / format_.rate, INT32_MAX));
}

int64_t TOggStream::Read(void* buffer, int64_t count) {
  if (count < 1) return 0;
  return decoder_->Read(buffer, count);
}

int64_t TOggStream::GetSize() { return std::max<int64_t>(decoder_->TotalFrames(), 0) * format_.BlockAlign(); }

int64_t TOggStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t block = format_.BlockAlign();
  const int64_t size = GetSize();
  const int64_t position = decoder_->FramePosition() * block;
  int64_t base = 0;
  if (origin == TSeekOrigin::Current) base = position;
  if (origin == TSeekOrigin::End) base = size;
  // Offsets come from scripts: held within the sound before they are added.
  const int64_t target = std::clamp<int64_t>(base + std::clamp<int64_t>(offset, -size, size), 0, size) / block;
  if (target != decoder_->FramePosition()) decoder_->SeekFrame(target);
  return decoder_->FramePosition() * block;
}

}  // namespace kova
