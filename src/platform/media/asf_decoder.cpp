// WMA/ASF sound over FFmpeg: the ASF demuxer reads our copy of the bytes through an in-memory
// reader, the stream's decoder decodes its first audio stream and libswresample turns what it
// gives into 44100 Hz 16-bit stereo. Seeks decode again from the start to the frame asked (the
// container's index is coarse; a decode is exact).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "platform/media/media_decoders.h"

namespace kova::plat {
namespace {

constexpr int kOutRate = 44100;
constexpr int kOutChannels = 2;
constexpr int kAvioBuffer = 1 << 15;
constexpr int kMaxChannels = 8;
// A decoder that gives nothing for this many packets in a row has nothing to give.
constexpr int kMaxSilentPackets = 4096;

struct TMemoryReader {
  const std::vector<uint8_t>* bytes = nullptr;
  int64_t position = 0;
};

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* r = static_cast<TMemoryReader*>(opaque);
  const int64_t left = int64_t(r->bytes->size()) - r->position;
  if (left <= 0 || size <= 0) return AVERROR_EOF;
  const int n = int(std::min<int64_t>(left, size));
  std::memcpy(buffer, r->bytes->data() + r->position, size_t(n));
  r->position += n;
  return n;
}

int64_t SeekReader(void* opaque, int64_t offset, int whence) {
  auto* r = static_cast<TMemoryReader*>(opaque);
  const int64_t size = int64_t(r->bytes->size());
  if (whence & AVSEEK_SIZE) return size;
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = r->position; break;
    case SEEK_END: base = size; break;
    default: return -1;
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0 || base + offset > size) return -1;
  r->position = base + offset;
  return r->position;
}

class TAsfDecoder : public IPcmDecoder {
 public:
  explicit TAsfDecoder(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) { reader_.bytes = &bytes_; }
  ~TAsfDecoder() override { Close(); }
  TAsfDecoder(const TAsfDecoder&) = delete;
  TAsfDecoder& operator=(const TAsfDecoder&) = delete;

  bool Open() {
    reader_.position = 0;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kAvioBuffer));
    if (!buffer) return false;
    avio_ = avio_alloc_context(buffer, kAvioBuffer, 0, &reader_, ReadPacket, nullptr, SeekReader);
    if (!avio_) {
      av_free(buffer);
      return false;
    }
    format_ctx_ = avformat_alloc_context();
    if (!format_ctx_) return false;
    format_ctx_->pb = avio_;
    format_ctx_->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* asf = av_find_input_format("asf");
    if (!asf) return false;
    if (avformat_open_input(&format_ctx_, nullptr, asf, nullptr) < 0) {
      format_ctx_ = nullptr;  // freed by the failed open
      return false;
    }
    if (avformat_find_stream_info(format_ctx_, nullptr) < 0) return false;
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_ctx_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) return false;
    const AVStream* stream = format_ctx_->streams[stream_];
    codec_ctx_ = avcodec_alloc_context3(codec);
    if (!codec_ctx_ || avcodec_parameters_to_context(codec_ctx_, stream->codecpar) < 0) return false;
    codec_ctx_->thread_count = 1;  // no threads of the library's own: the voice's worker decodes
    if (avcodec_open2(codec_ctx_, codec, nullptr) < 0) return false;
    const int channels = codec_ctx_->ch_layout.nb_channels;
    if (channels < 1 || channels > kMaxChannels || codec_ctx_->sample_rate < 1) return false;
    in_rate_ = codec_ctx_->sample_rate;
    in_format_ = codec_ctx_->sample_fmt;
    in_channels_ = channels;
    if (!MakeResampler()) return false;
    if (total_ == -1) total_ = ContainerFrames();
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    return packet_ && frame_;
  }

  TPcmFormat Format() const override { return {kOutChannels, kOutRate, 16}; }
  int64_t TotalFrames() const override { return total_; }
  int64_t FramePosition() const override { return position_; }

  int64_t Read(void* buffer, int64_t bytes) override {
    constexpr int64_t block = kOutChannels * 2;
    const int64_t want = bytes / block;
    auto* out = static_cast<int16_t*>(buffer);
    int64_t done = 0;
    while (done < want) {
      if (pending_at_ == pending_.size() / kOutChannels) {
        pending_.clear();
        pending_at_ = 0;
        if (!DecodeMore()) break;
        continue;
      }
      const int64_t n = std::min<int64_t>(want - done, int64_t(pending_.size() / kOutChannels - pending_at_));
      std::memcpy(out + done * kOutChannels, pending_.data() + pending_at_ * kOutChannels, size_t(n * block));
      pending_at_ += size_t(n);
      done += n;
    }
    position_ += done;
    return done * block;
  }

  bool SeekFrame(int64_t frame) override {
    frame = std::max<int64_t>(frame, 0);
    if (total_ >= 0) frame = std::min(frame, total_);
    if (frame < position_) {
      Close();
      pending_.clear();
      pending_at_ = 0;
      position_ = 0;
      ended_ = false;
      draining_ = false;
      if (!Open()) {
        ended_ = true;
        return false;
      }
    }
    int16_t scratch[4096 * kOutChannels];
    while (position_ < frame) {
      const int64_t n = std::min<int64_t>(frame - position_, 4096);
      if (Read(scratch, n * kOutChannels * 2) == 0) break;
    }
    return true;
  }

 private:
  void Close() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_ctx_);
    if (format_ctx_) avformat_close_input(&format_ctx_);
    if (avio_) {
      av_freep(&avio_->buffer);
      avio_context_free(&avio_);
    }
  }

  bool MakeResampler() {
    AVChannelLayout in_layout{};
    if (codec_ctx_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&in_layout, in_channels_);
    } else if (av_channel_layout_copy(&in_layout, &codec_ctx_->ch_layout) < 0) {
      return false;
    }
    AVChannelLayout out_layout = AV_CHANNEL_LAYOUT_STEREO;
    const int made = swr_alloc_set_opts2(&swr_, &out_layout, AV_SAMPLE_FMT_S16, kOutRate, &in_layout,
                                         in_format_, in_rate_, 0, nullptr);
    av_channel_layout_uninit(&in_layout);
    if (made < 0 || !swr_) return false;
    if (in_channels_ == 1) {
      // Mono sounds at full level on both sides, as the mixer widens mono.
      const double matrix[2] = {1.0, 1.0};
      if (swr_set_matrix(swr_, matrix, 1) < 0) return false;
    }
    return swr_init(swr_) >= 0;
  }

  int64_t ContainerFrames() const {
    const AVStream* stream = format_ctx_->streams[stream_];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, kOutRate});
    }
    if (format_ctx_->duration != AV_NOPTS_VALUE && format_ctx_->duration > 0) {
      return av_rescale(format_ctx_->duration, kOutRate, AV_TIME_BASE);
    }
    return -1;
  }

  // Decodes the next piece of sound into pending_; false at the end or when nothing more can be
  // decoded.
  bool DecodeMore() {
    if (ended_) return false;
    for (int silent = 0; silent < kMaxSilentPackets; ++silent) {
      const int got = avcodec_receive_frame(codec_ctx_, frame_);
      if (got == 0) {
        const bool converted = Convert(frame_);
        av_frame_unref(frame_);
        if (!converted) return End();
        if (!pending_.empty()) return true;
        continue;
      }
      if (got == AVERROR_EOF) {
        Convert(nullptr);  // what the resampler still holds
        ended_ = true;
        return !pending_.empty();
      }
      if (got != AVERROR(EAGAIN)) return End();
      if (draining_) return End();
      const int read = av_read_frame(format_ctx_, packet_);
      if (read < 0) {
        draining_ = true;
        if (avcodec_send_packet(codec_ctx_, nullptr) < 0) return End();
        continue;
      }
      if (packet_->stream_index != stream_) {
        av_packet_unref(packet_);
        --silent;  // the other streams' packets are bounded by the bytes, not counted
        continue;
      }
      const int sent = avcodec_send_packet(codec_ctx_, packet_);
      av_packet_unref(packet_);
      if (sent < 0) return End();
    }
    return End();
  }

  bool End() {
    ended_ = true;
    return false;
  }

  // Appends `frame` converted (nullptr: the resampler's tail) to pending_.
  bool Convert(const AVFrame* frame) {
    int in_count = 0;
    const uint8_t** in = nullptr;
    if (frame) {
      if (frame->sample_rate != in_rate_ || frame->format != in_format_ ||
          frame->ch_layout.nb_channels != in_channels_) {
        return false;  // a change of format mid-stream ends the sound
      }
      in_count = frame->nb_samples;
      in = const_cast<const uint8_t**>(frame->extended_data);
    }
    const int room = swr_get_out_samples(swr_, in_count);
    if (room < 0) return false;
    if (room == 0) return true;
    const size_t at = pending_.size();
    pending_.resize(at + size_t(room) * kOutChannels);
    auto* dest = reinterpret_cast<uint8_t*>(pending_.data() + at);
    const int made = swr_convert(swr_, &dest, room, in, in_count);
    if (made < 0) {
      pending_.resize(at);
      return false;
    }
    pending_.resize(at + size_t(made) * kOutChannels);
    return true;
  }

  std::vector<uint8_t> bytes_;
  TMemoryReader reader_;
  AVIOContext* avio_ = nullptr;
  AVFormatContext* format_ctx_ = nullptr;
  AVCodecContext* codec_ctx_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  int in_rate_ = 0;
  int in_channels_ = 0;
  AVSampleFormat in_format_ = AV_SAMPLE_FMT_NONE;
  std::vector<int16_t> pending_;
  size_t pending_at_ = 0;  // frames of pending_ already read
  int64_t total_ = -1;
  int64_t position_ = 0;
  bool ended_ = false;
  bool draining_ = false;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenAsfDecoder(std::vector<uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  auto decoder = std::make_unique<TAsfDecoder>(std::move(bytes));
  if (!decoder->Open()) return nullptr;
  return decoder;
}

}  // namespace kova::plat
