#include "platform/media/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <limits>

#include "platform/media/media_decoders.h"
#include "platform/media/source_io.h"

namespace kova::plat {
namespace {

constexpr int32_t kMaxSide = 32767;
// A decoder that gives no picture for this many of its packets in a row has none to give.
constexpr int kMaxBarrenPackets = 1024;

int64_t StartOf(const AVStream* stream) { return stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0; }

class TFfVideoDecoder : public IVideoDecoder {
 public:
  explicit TFfVideoDecoder(std::unique_ptr<IByteSource> source) : demuxer_(std::move(source)) {}
  ~TFfVideoDecoder() override { Close(); }
  TFfVideoDecoder(const TFfVideoDecoder&) = delete;
  TFfVideoDecoder& operator=(const TFfVideoDecoder&) = delete;

  // Opens the container and the first video stream's decoder; false when there is none that can
  // be decoded or its pictures would break the limits. Nothing is decoded yet.
  bool Open(int64_t max_pixels) {
    Close();
    if (!demuxer_.Open(nullptr)) return false;
    format_ = demuxer_.Format();
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream_ < 0 || !codec) return false;
    const AVStream* stream = format_->streams[stream_];
    const int w = stream->codecpar->width;
    const int h = stream->codecpar->height;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || int64_t(w) * h > max_pixels) return false;
    if (width_ == 0) {
      width_ = w;
      height_ = h;
    }
    codec_ = avcodec_alloc_context3(codec);
    if (!codec_ || avcodec_parameters_to_context(codec_, stream->codecpar) < 0) return false;
    codec_->thread_count = 1;  // the video's worker decodes; no threads of the library's own
    // A damaged stream that claims a larger picture later is refused by the decoder itself.
    codec_->max_pixels = max_pixels;
    if (avcodec_open2(codec_, codec, nullptr) < 0) return false;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    for (AVFrame*& queued : queue_) queued = av_frame_alloc();
    max_pixels_ = max_pixels;
    ended_ = false;
    draining_ = false;
    return packet_ && frame_ && queue_[0] && queue_[1];
  }

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }

  int64_t DurationMs() const override {
    if (!format_) return 0;
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
      return av_rescale(format_->duration, 1000, AV_TIME_BASE);
    }
    const AVStream* stream = format_->streams[stream_];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
      return av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    }
    return 0;
  }

  bool ReadPicture(TVideoPicture& picture) override {
    if (queued_ > 0) {
      const bool converted = Convert(queue_[0], picture);
      av_frame_unref(queue_[0]);
      std::swap(queue_[0], queue_[1]);
      --queued_;
      return converted || End();
    }
    if (!Decode(frame_)) return false;
    const bool converted = Convert(frame_, picture);
    av_frame_unref(frame_);
    return converted || End();
  }

  bool Seek(int64_t ms) override {
    if (!format_) return false;
    ms = std::max<int64_t>(ms, 0);
    ClearQueue();
    const AVStream* stream = format_->streams[stream_];
    const int64_t ts =
        StartOf(stream) + av_rescale_q_rnd(ms, AVRational{1, 1000}, stream->time_base, AV_ROUND_DOWN);
    if (av_seek_frame(format_, stream_, ts, AVSEEK_FLAG_BACKWARD) >= 0) {
      avcodec_flush_buffers(codec_);
      ended_ = false;
      draining_ = false;
    } else if (!Open(max_pixels_)) {  // no seek in this container: decode from the start
      return End();
    }
    // queue_[0] holds the last picture at or before `ms`, queue_[1] the one after it.
    bool first = true;
    while (Decode(frame_)) {
      const int64_t at = TimeOf(frame_);
      if (first || at <= ms) {
        av_frame_unref(queue_[0]);
        av_frame_move_ref(queue_[0], frame_);
        queued_ = 1;
        first = false;
        // A seek that landed after `ms` (no key frame before it) gives what it found.
        if (at <= ms) continue;
      } else {
        av_frame_move_ref(queue_[1], frame_);
        queued_ = 2;
      }
      break;
    }
    return queued_ > 0;
  }

 private:
  void Close() {
    ClearQueue();
    for (AVFrame*& queued : queue_) av_frame_free(&queued);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    sws_freeContext(sws_);
    sws_ = nullptr;
    format_ = nullptr;
    demuxer_.Close();
  }

  void ClearQueue() {
    for (AVFrame* queued : queue_) {
      if (queued) av_frame_unref(queued);
    }
    queued_ = 0;
  }

  bool End() {
    ended_ = true;
    return false;
  }

  // When `frame` is shown, in ms from the video's start.
  int64_t TimeOf(const AVFrame* frame) {
    const AVStream* stream = format_->streams[stream_];
    const int64_t at = frame->best_effort_timestamp;
    if (at == AV_NOPTS_VALUE) return last_time_ms_;
    last_time_ms_ = av_rescale_q(at - StartOf(stream), stream->time_base, AVRational{1, 1000});
    return last_time_ms_;
  }

  // The next picture in the order shown into `frame`; false at the end or on data from which
  // nothing more can be decoded. Every packet read moves through the bytes, so this ends.
  bool Decode(AVFrame* frame) {
    if (ended_) return false;
    int barren = 0;
    while (true) {
      const int got = avcodec_receive_frame(codec_, frame);
      if (got == 0) return true;
      if (got != AVERROR(EAGAIN)) return End();  // the end of the stream, or a broken decoder
      if (draining_) return End();
      const int read = av_read_frame(format_, packet_);
      if (read < 0) {
        draining_ = true;
        if (avcodec_send_packet(codec_, nullptr) < 0) return End();
        continue;
      }
      if (packet_->stream_index != stream_) {
        av_packet_unref(packet_);
        continue;
      }
      if (++barren > kMaxBarrenPackets) {
        av_packet_unref(packet_);
        return End();
      }
      // A damaged packet is passed over; the pictures that follow may still decode.
      const int sent = avcodec_send_packet(codec_, packet_);
      av_packet_unref(packet_);
      if (sent < 0 && sent != AVERROR_INVALIDDATA) return End();
    }
  }

  // `frame` scaled to the video's size in XRGB8888 into `picture`.
  bool Convert(AVFrame* frame, TVideoPicture& picture) {
    if (frame->width <= 0 || frame->height <= 0 || frame->format < 0) return false;
    sws_ = sws_getCachedContext(sws_, frame->width, frame->height, AVPixelFormat(frame->format), width_, height_,
                                AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws_) return false;
    picture.width = width_;
    picture.height = height_;
    picture.time_ms = TimeOf(frame);
    picture.pixels.resize(size_t(width_) * size_t(height_));
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(picture.pixels.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {width_ * 4, 0, 0, 0};
    const int rows = sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return rows == height_;
  }

  TSourceDemuxer demuxer_;
  AVFormatContext* format_ = nullptr;  // the demuxer's
  AVCodecContext* codec_ = nullptr;
  SwsContext* sws_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVFrame* queue_[2] = {nullptr, nullptr};  // pictures a seek decoded, to be read first
  int queued_ = 0;
  int stream_ = -1;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int64_t max_pixels_ = 0;
  int64_t last_time_ms_ = 0;
  bool ended_ = false;
  bool draining_ = false;
};

}  // namespace

std::unique_ptr<IVideoDecoder> TMediaVideoCodecs::OpenVideo(std::unique_ptr<IByteSource> source, int64_t max_pixels) {
  if (!source || max_pixels <= 0) return nullptr;
  auto decoder = std::make_unique<TFfVideoDecoder>(std::move(source));
  if (!decoder->Open(max_pixels)) return nullptr;
  return decoder;
}

std::unique_ptr<IPcmDecoder> TMediaVideoCodecs::OpenVideoSound(std::unique_ptr<IByteSource> source) {
  return OpenContainerSound(std::move(source));
}

}  // namespace kova::plat
