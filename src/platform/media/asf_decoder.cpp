// Sound in a container over FFmpeg: WMA/ASF sound files and the sound tracks of videos. The
// demuxer reads through the byte source, the stream's decoder decodes its first audio stream and
// libswresample turns what it gives into 44100 Hz 16-bit stereo. A sound file seeks by decoding
// again from the start to the frame asked (the container's index is coarse; a decode is exact); a
// video's sound track seeks in the container, then decodes forward from the timestamp it lands on
// (decoding a long video's sound from the start would take too long).
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
#include "platform/media/source_io.h"

namespace kova::plat {
namespace {

constexpr int kOutRate = 44100;
constexpr int kOutChannels = 2;
constexpr int kMaxChannels = 8;
// A container seek is worth it only this far from where the decoder is.
constexpr int64_t kSeekAheadFrames = 2 * kOutRate;
// A container seek lands this far before the frame asked, so the decoder settles (its first
// piece after a seek lacks what the one before would have overlapped) before the frame.
constexpr int64_t kSettleFrames = kOutRate / 4;
// A decoder that gives nothing for this many packets in a row has nothing to give.
constexpr int kMaxSilentPackets = 4096;

class TContainerSound : public IPcmDecoder {
 public:
  // `format` forces the container (nullptr: probed); `container_seek` seeks through the container.
  TContainerSound(std::unique_ptr<IByteSource> source, const AVInputFormat* format, bool container_seek)
      : demuxer_(std::move(source)), input_format_(format), container_seek_(container_seek) {}
  ~TContainerSound() override { Close(); }
  TContainerSound(const TContainerSound&) = delete;
  TContainerSound& operator=(const TContainerSound&) = delete;

  bool Open() {
    if (!demuxer_.Open(input_format_)) return false;
    format_ctx_ = demuxer_.Format();
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
    if (container_seek_ && (frame < position_ || frame - position_ > kSeekAheadFrames)) {
      if (!SeekContainer(frame)) return false;
    } else if (frame < position_) {
      if (!Rewind()) return false;
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
    format_ctx_ = nullptr;
    demuxer_.Close();
  }

  // Seeks the container to a packet at or before `frame` and decodes the first piece there,
  // taking the position from its timestamp; back at the start (to be decoded forward) when the
  // container cannot seek or lands past the frame. False when not even that can be done.
  bool SeekContainer(int64_t frame) {
    if (first_ts_ == AV_NOPTS_VALUE && position_ == 0 && pending_.empty()) DecodeMore();
    const int64_t lead = frame - kSettleFrames;
    if (first_ts_ == AV_NOPTS_VALUE || lead <= 0) return Rewind();
    const AVStream* stream = format_ctx_->streams[stream_];
    const int64_t ts = first_ts_ + av_rescale_q_rnd(lead, AVRational{1, kOutRate}, stream->time_base, AV_ROUND_DOWN);
    if (av_seek_frame(format_ctx_, stream_, ts, AVSEEK_FLAG_BACKWARD) < 0) return Rewind();
    avcodec_flush_buffers(codec_ctx_);
    swr_free(&swr_);
    if (!MakeResampler()) return Rewind();
    pending_.clear();
    pending_at_ = 0;
    ended_ = false;
    draining_ = false;
    resync_ = true;
    if (!DecodeMore() || resync_ || position_ > frame) return Rewind();
    return true;
  }

  // Back to the start by opening again; false when that fails (the sound then has ended).
  bool Rewind() {
    Close();
    pending_.clear();
    pending_at_ = 0;
    position_ = 0;
    ended_ = false;
    draining_ = false;
    resync_ = false;
    if (Open()) return true;
    ended_ = true;
    return false;
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
        if (resync_) {
          const int64_t at = frame_->best_effort_timestamp;
          if (at == AV_NOPTS_VALUE) {
            av_frame_unref(frame_);
            return End();
          }
          const AVStream* stream = format_ctx_->streams[stream_];
          position_ = std::max<int64_t>(0, av_rescale_q(at - first_ts_, stream->time_base, AVRational{1, kOutRate}));
          resync_ = false;
        } else if (first_ts_ == AV_NOPTS_VALUE && position_ == 0) {
          first_ts_ = frame_->best_effort_timestamp;
        }
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

  TSourceDemuxer demuxer_;
  const AVInputFormat* input_format_ = nullptr;
  bool container_seek_ = false;
  AVFormatContext* format_ctx_ = nullptr;  // the demuxer's
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
  bool resync_ = false;  // the position comes from the next decoded piece's timestamp
  // The timestamp of the first piece decoded from the start: where frame 0 stands. Decoders may
  // stamp what they give with a later packet's time, and do so again after a seek.
  int64_t first_ts_ = AV_NOPTS_VALUE;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenAsfDecoder(std::vector<uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  const AVInputFormat* asf = av_find_input_format("asf");
  if (!asf) return nullptr;
  auto decoder = std::make_unique<TContainerSound>(std::make_unique<TBytesSource>(std::move(bytes)), asf, false);
  if (!decoder->Open()) return nullptr;
  return decoder;
}

std::unique_ptr<IPcmDecoder> OpenContainerSound(std::unique_ptr<IByteSource> source) {
  if (!source) return nullptr;
  auto decoder = std::make_unique<TContainerSound>(std::move(source), nullptr, true);
  if (!decoder->Open()) return nullptr;
  return decoder;
}

}  // namespace kova::plat
