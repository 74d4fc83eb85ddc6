#include "video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "memory_avio.h"

namespace kova::test {
namespace {

constexpr int kSoundRate = 44100;
constexpr double kToneAmplitude = 0.5;

// A colour in studio-range YUV (the common standard-definition matrix).
struct Yuv {
  uint8_t y, u, v;
};

Yuv ToYuv(uint32_t rgb) {
  const double r = (rgb >> 16) & 0xff, g = (rgb >> 8) & 0xff, b = rgb & 0xff;
  auto clamp = [](double x) { return uint8_t(std::clamp(std::lround(x), 0L, 255L)); };
  return {clamp(16 + 0.257 * r + 0.504 * g + 0.098 * b), clamp(128 - 0.148 * r - 0.291 * g + 0.439 * b),
          clamp(128 + 0.439 * r - 0.368 * g - 0.071 * b)};
}

struct Encoder {
  AVCodecContext* codec = nullptr;
  AVStream* stream = nullptr;
};

// Owns what the encoding makes and frees it at the end, whichever way it ends.
struct Encoding {
  AVFormatContext* format = nullptr;
  AVIOContext* avio = nullptr;
  Encoder video, sound;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~Encoding() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&video.codec);
    avcodec_free_context(&sound.codec);
    if (format) avformat_free_context(format);
    if (avio) {
      av_freep(&avio->buffer);
      avio_context_free(&avio);
    }
  }

  bool AddStream(Encoder& e, const AVCodec* codec) {
    if (format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    e.codec->flags |= AV_CODEC_FLAG_BITEXACT;
    if (avcodec_open2(e.codec, codec, nullptr) < 0) return false;
    e.stream = avformat_new_stream(format, nullptr);
    if (!e.stream || avcodec_parameters_from_context(e.stream->codecpar, e.codec) < 0) return false;
    e.stream->time_base = e.codec->time_base;
    return true;
  }

  // Sends `f` (nullptr: the end) and writes what comes out.
  bool Encode(Encoder& e, const AVFrame* f) {
    if (avcodec_send_frame(e.codec, f) < 0) return false;
    while (true) {
      const int got = avcodec_receive_packet(e.codec, packet);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
      if (got < 0) return false;
      av_packet_rescale_ts(packet, e.codec->time_base, e.stream->time_base);
      packet->stream_index = e.stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

// The pattern's light on the picture's luma plane.
void DrawPattern(AVFrame* f, const std::string& pattern, int64_t index, uint8_t luma) {
  const int width = f->width, height = f->height;
  if (pattern == "bar") {
    const int bar = std::max(2, width / 10);
    const int left = int(index * bar % std::max(width, 1));
    for (int row = height * 3 / 4; row < height; ++row) {
      uint8_t* line = f->data[0] + row * f->linesize[0];
      for (int col = left; col < std::min(width, left + bar); ++col) line[col] = 235;
    }
  } else if (pattern == "texture") {
    const int t = int(index);
    for (int row = 0; row < height; ++row) {
      uint8_t* line = f->data[0] + row * f->linesize[0];
      for (int col = 0; col < width; ++col) {
        const int v = luma + ((col * 3 + row * 5 + t * 11) & 31) - 16 + (((col ^ row) + t) & 15) - 8;
        line[col] = uint8_t(std::clamp(v, 16, 235));
      }
    }
  }
}

bool WritePicture(Encoding& x, uint32_t colour, int64_t index, const std::string& pattern) {
  AVFrame* f = x.frame;
  const int width = x.video.codec->width, height = x.video.codec->height;
  av_frame_unref(f);
  f->format = AV_PIX_FMT_YUV420P;
  f->width = width;
  f->height = height;
  if (av_frame_get_buffer(f, 0) < 0) return false;
  const Yuv c = ToYuv(colour);
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;
  for (int row = 0; row < height; ++row) std::memset(f->data[0] + row * f->linesize[0], c.y, size_t(width));
  for (int row = 0; row < ch; ++row) {
    std::memset(f->data[1] + row * f->linesize[1], c.u, size_t(cw));
    std::memset(f->data[2] + row * f->linesize[2], c.v, size_t(cw));
  }
  DrawPattern(f, pattern, index, c.y);
  f->pts = index;
  return x.Encode(x.video, f);
}

// Sound frames [at, at + count) of the tone, in the sound encoder's sample format.
bool WriteSound(Encoding& x, const VideoSpec& clip, int64_t at, int count, int frame_size) {
  AVFrame* f = x.frame;
  AVCodecContext* codec = x.sound.codec;
  av_frame_unref(f);
  f->format = codec->sample_fmt;
  f->sample_rate = kSoundRate;
  f->nb_samples = frame_size;  // a short last frame is padded with silence
  if (av_channel_layout_copy(&f->ch_layout, &codec->ch_layout) < 0) return false;
  if (av_frame_get_buffer(f, 0) < 0) return false;
  const double step = 2.0 * std::numbers::pi * clip.frequency / kSoundRate;
  for (int i = 0; i < frame_size; ++i) {
    const double value = i < count ? kToneAmplitude * std::sin(step * double(at + i)) : 0.0;
    if (codec->sample_fmt == AV_SAMPLE_FMT_FLTP) {
      for (int c = 0; c < 2; ++c) reinterpret_cast<float*>(f->extended_data[c])[i] = float(value);
    } else {  // interleaved 16-bit
      const auto s = int16_t(std::lround(value * 32767.0));
      auto* out = reinterpret_cast<int16_t*>(f->data[0]);
      out[2 * i] = s;
      out[2 * i + 1] = s;
    }
  }
  f->pts = at;
  return x.Encode(x.sound, f);
}

}  // namespace

std::vector<uint8_t> VideoBytes(const VideoSpec& clip) {
  const bool asf = clip.container == "asf";
  if (!asf && clip.container != "avi") return {};
  if (clip.width <= 0 || clip.height <= 0 || clip.fps <= 0 || clip.pictures_per_colour <= 0) return {};
  const AVCodec* video_codec = avcodec_find_encoder(asf ? AV_CODEC_ID_WMV2 : AV_CODEC_ID_MPEG4);
  const AVCodec* sound_codec = avcodec_find_encoder(asf ? AV_CODEC_ID_WMAV2 : AV_CODEC_ID_PCM_S16LE);
  const AVOutputFormat* muxer = av_guess_format(clip.container.c_str(), nullptr, nullptr);
  if (!video_codec || !sound_codec || !muxer) return {};

  MemoryOut out;
  Encoding x;
  if (avformat_alloc_output_context2(&x.format, muxer, nullptr, nullptr) < 0) return {};
  x.format->flags |= AVFMT_FLAG_BITEXACT;

  // The picture encoder at a size (opened by AddStream, or on its own for a resize).
  auto make_video = [&](int width, int height) {
    AVCodecContext* v = avcodec_alloc_context3(video_codec);
    if (!v) return v;
    v->width = width;
    v->height = height;
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->time_base = AVRational{1, clip.fps};
    v->framerate = AVRational{clip.fps, 1};
    v->gop_size = 4;  // key frames every few pictures, so a seek has some to find and some to decode forward
    v->max_b_frames = 0;
    v->flags |= AV_CODEC_FLAG_QSCALE;
    v->global_quality = FF_QP2LAMBDA * 2;
    v->qmin = v->qmax = 2;
    v->thread_count = 1;
    return v;
  };
  x.video.codec = make_video(clip.width, clip.height);
  if (!x.video.codec || !x.AddStream(x.video, video_codec)) return {};

  int sound_frame_size = 1024;
  if (clip.sound) {
    x.sound.codec = avcodec_alloc_context3(sound_codec);
    if (!x.sound.codec) return {};
    AVCodecContext* s = x.sound.codec;
    s->sample_fmt = asf ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
    s->sample_rate = kSoundRate;
    av_channel_layout_default(&s->ch_layout, 2);
    s->bit_rate = 128000;
    s->time_base = AVRational{1, kSoundRate};
    if (!x.AddStream(x.sound, sound_codec)) return {};
    if (s->frame_size > 0) sound_frame_size = s->frame_size;
  }

  constexpr int kBuffer = 1 << 15;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
  if (!buffer) return {};
  x.avio = avio_alloc_context(buffer, kBuffer, 1, &out, nullptr, MemoryOut::Write, MemoryOut::Seek);
  if (!x.avio) {
    av_free(buffer);
    return {};
  }
  x.format->pb = x.avio;
  x.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_write_header(x.format, nullptr) < 0) return {};
  x.frame = av_frame_alloc();
  x.packet = av_packet_alloc();
  if (!x.frame || !x.packet) return {};

  // Pictures and sound in step, each sound frame written once the pictures reach its time.
  const int64_t pictures = int64_t(clip.colours.size()) * clip.pictures_per_colour;
  const int64_t sound_frames = pictures * kSoundRate / clip.fps;
  int64_t sound_at = 0;
  for (int64_t i = 0; i < pictures; ++i) {
    if (i == clip.resize_at) {
      if (clip.resized_width <= 0 || clip.resized_height <= 0 || !x.Encode(x.video, nullptr)) return {};
      avcodec_free_context(&x.video.codec);
      x.video.codec = make_video(clip.resized_width, clip.resized_height);
      if (!x.video.codec) return {};
      x.video.codec->flags |= AV_CODEC_FLAG_BITEXACT;
      if (avcodec_open2(x.video.codec, video_codec, nullptr) < 0) return {};
    }
    if (!WritePicture(x, clip.colours[size_t(i / clip.pictures_per_colour)], i, clip.pattern)) return {};
    const int64_t until = std::min(sound_frames, (i + 1) * kSoundRate / clip.fps);
    while (clip.sound && sound_at < until) {
      const int n = int(std::min<int64_t>(sound_frame_size, sound_frames - sound_at));
      if (!WriteSound(x, clip, sound_at, n, asf ? sound_frame_size : n)) return {};
      sound_at += n;
    }
  }
  if (!x.Encode(x.video, nullptr)) return {};
  if (clip.sound && !x.Encode(x.sound, nullptr)) return {};
  if (av_write_trailer(x.format) < 0) return {};
  avio_flush(x.avio);
  return out.bytes;
}

}  // namespace kova::test
