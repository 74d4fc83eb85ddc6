// Converts a PCM decoder's sound (8-bit unsigned or 16-bit signed, any channels and rate) to
// 16-bit sound of the channels and rate asked, through libswresample. Mono widens to full level
// on both sides and stereo narrows to the mean of its sides, as the mixer does; more channels
// are mixed down by the library's own rules.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "platform/media/media_decoders.h"

namespace kova::plat {
namespace {

constexpr int kMaxChannels = 8;
constexpr int kMaxRate = 384000;
// Frames read from the source decoder at a time.
constexpr int kChunkFrames = 4096;

class TPcmConverter : public IPcmDecoder {
 public:
  TPcmConverter(std::unique_ptr<IPcmDecoder> source, TPcmFormat out)
      : source_(std::move(source)), in_(source_->Format()), out_(out) {
    const int64_t in_total = source_->TotalFrames();
    total_ = in_total >= 0 ? av_rescale_rnd(in_total, out_.rate, in_.rate, AV_ROUND_UP) : -1;
  }
  ~TPcmConverter() override { swr_free(&swr_); }
  TPcmConverter(const TPcmConverter&) = delete;
  TPcmConverter& operator=(const TPcmConverter&) = delete;

  bool Open() {
    swr_free(&swr_);
    AVChannelLayout in_layout{}, out_layout{};
    av_channel_layout_default(&in_layout, in_.channels);
    av_channel_layout_default(&out_layout, out_.channels);
    const AVSampleFormat in_format = in_.bits == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    const int made = swr_alloc_set_opts2(&swr_, &out_layout, AV_SAMPLE_FMT_S16, out_.rate, &in_layout, in_format,
                                         in_.rate, 0, nullptr);
    av_channel_layout_uninit(&in_layout);
    av_channel_layout_uninit(&out_layout);
    if (made < 0 || !swr_) return false;
    if (in_.channels == 1 && out_.channels == 2) {
      const double matrix[2] = {1.0, 1.0};
      if (swr_set_matrix(swr_, matrix, 1) < 0) return false;
    } else if (in_.channels == 2 && out_.channels == 1) {
      const double matrix[2] = {0.5, 0.5};
      if (swr_set_matrix(swr_, matrix, 2) < 0) return false;
    }
    if (swr_init(swr_) < 0) return false;
    pending_.clear();
    pending_at_ = 0;
    flushed_ = false;
    return true;
  }

  TPcmFormat Format() const override { return out_; }
  int64_t TotalFrames() const override { return total_; }
  int64_t FramePosition() const override { return position_; }

  int64_t Read(void* buffer, int64_t bytes) override {
    const int64_t block = out_.BlockAlign();
    int64_t want = bytes / block;
    if (total_ >= 0) want = std::min(want, std::max<int64_t>(total_ - position_, 0));
    auto* out = static_cast<int16_t*>(buffer);
    int64_t done = 0;
    while (done < want) {
      const size_t have = pending_.size() / size_t(out_.channels) - pending_at_;
      if (have == 0) {
        pending_.clear();
        pending_at_ = 0;
        if (!ConvertMore()) break;
        continue;
      }
      const int64_t n = std::min<int64_t>(want - done, int64_t(have));
      std::memcpy(out + done * out_.channels, pending_.data() + pending_at_ * size_t(out_.channels),
                  size_t(n * block));
      pending_at_ += size_t(n);
      done += n;
    }
    position_ += done;
    return done * block;
  }

  bool SeekFrame(int64_t frame) override {
    frame = std::max<int64_t>(frame, 0);
    if (total_ >= 0) frame = std::min(frame, total_);
    if (frame == position_) return true;
    const int64_t in_frame = av_rescale_rnd(frame, in_.rate, out_.rate, AV_ROUND_DOWN);
    if (!source_->SeekFrame(in_frame) || !Open()) return false;
    position_ = frame;
    return true;
  }

 private:
  // Converts the next chunk of the source into pending_; false when nothing more comes.
  bool ConvertMore() {
    if (flushed_) return false;
    const int in_block = in_.BlockAlign();
    input_.resize(size_t(kChunkFrames) * size_t(in_block));
    const int64_t got = source_->Read(input_.data(), int64_t(input_.size()));
    const int in_count = int(got / in_block);
    const uint8_t* in = input_.data();
    if (in_count == 0) flushed_ = true;  // the end: what the resampler still holds
    const int room = swr_get_out_samples(swr_, in_count);
    if (room < 0) {
      flushed_ = true;
      return false;
    }
    pending_.resize(size_t(room) * size_t(out_.channels));
    auto* dest = reinterpret_cast<uint8_t*>(pending_.data());
    const int made = room == 0 ? 0 : swr_convert(swr_, &dest, room, in_count ? &in : nullptr, in_count);
    if (made < 0) {
      flushed_ = true;
      pending_.clear();
      return false;
    }
    pending_.resize(size_t(made) * size_t(out_.channels));
    return !flushed_ || made > 0;
  }

  std::unique_ptr<IPcmDecoder> source_;
  TPcmFormat in_, out_;
  SwrContext* swr_ = nullptr;
  std::vector<uint8_t> input_;
  std::vector<int16_t> pending_;
  size_t pending_at_ = 0;
  int64_t total_ = -1;
  int64_t position_ = 0;
  bool flushed_ = false;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenPcmConverter(std::unique_ptr<IPcmDecoder> decoder, TPcmFormat format) {
  const TPcmFormat in = decoder->Format();
  const auto usable = [](const TPcmFormat& f) {
    return f.Valid() && f.channels <= kMaxChannels && f.rate <= kMaxRate;
  };
  if (!usable(in) || !usable(format) || format.bits != 16) return nullptr;
  if (in == format) return decoder;
  auto converter = std::make_unique<TPcmConverter>(std::move(decoder), format);
  if (!converter->Open()) return nullptr;
  return converter;
}

}  // namespace kova::plat
