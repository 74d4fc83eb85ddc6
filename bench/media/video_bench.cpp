// A 1280 x 720 clip of 30 MPEG-4 pictures held in memory, of plain colour fields (argument 0) or
// with a fine moving pattern that costs its decoder about what real footage does (argument 1):
// our decoder's pictures (the byte
// source, the decode, the conversion to XRGB8888) each copied row by row into a 32-bit surface,
// as the video component shows them, against a bare decode and sws_scale loop to the same pixels
// over plain memory callbacks. Both open the clip anew on each iteration; the figure to compare
// is the time a picture.
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/stream.h"
#include "graphics/dibx.h"
#include "media/sound_decoders.h"
#include "platform/media/media_codecs.h"
#include "platform/media/video_decoder.h"
#include "support/video_writer.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

std::vector<uint8_t> MakeClip(bool textured) {
  kova::test::VideoSpec wanted;
  wanted.width = kWidth;
  wanted.height = kHeight;
  wanted.fps = 30;
  wanted.colours = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x000000, 0x808080, 0xffff00, 0x00ffff, 0xff00ff, 0x204060};
  wanted.pictures_per_colour = 3;
  wanted.sound = false;
  wanted.container = "avi";
  if (textured) wanted.pattern = "texture";
  return kova::test::VideoBytes(wanted);
}

const std::vector<uint8_t>& Clip(int64_t textured) {
  static const std::vector<uint8_t> plain = MakeClip(false);
  static const std::vector<uint8_t> patterned = MakeClip(true);
  return textured ? patterned : plain;
}

void PerPicture(benchmark::State& state, int64_t pictures) {
  state.SetItemsProcessed(pictures);
  state.counters["per_picture"] = benchmark::Counter(double(pictures), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_VideoDecoderPictureCopy(benchmark::State& state) {
  const std::vector<uint8_t>& clip = Clip(state.range(0));
  if (clip.empty()) {
    state.SkipWithError("no MPEG-4 encoder");
    return;
  }
  kova::plat::QuietMediaLibraryLog();
  kova::plat::TMediaVideoCodecs codecs;
  kova::TDIBX surface;
  surface.SetSize(kWidth, kHeight, 32);
  kova::plat::TVideoPicture picture;
  int64_t pictures = 0;
  for (auto _ : state) {
    auto source = std::make_unique<kova::TStreamByteSource>(std::make_unique<kova::TSpanStream>(clip));
    auto video = codecs.OpenVideo(std::move(source), int64_t(kWidth) * kHeight);
    if (!video) {
      state.SkipWithError("the clip does not open");
      return;
    }
    while (video->ReadPicture(picture)) {
      const size_t row = size_t(picture.width) * 4;
      for (int32_t y = 0; y < picture.height; ++y) {
        std::memcpy(surface.PixelAddress(0, y), picture.pixels.data() + size_t(y) * size_t(picture.width), row);
      }
      ++pictures;
    }
    benchmark::DoNotOptimize(surface.PixelAddress(0, 0));
  }
  PerPicture(state, pictures);
}
BENCHMARK(BM_VideoDecoderPictureCopy)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

struct Memory {
  const std::vector<uint8_t>* bytes;
  int64_t at = 0;
};

int MemRead(void* opaque, uint8_t* buffer, int size) {
  auto* m = static_cast<Memory*>(opaque);
  const int64_t n = std::min<int64_t>(size, int64_t(m->bytes->size()) - m->at);
  if (n <= 0) return AVERROR_EOF;
  std::memcpy(buffer, m->bytes->data() + m->at, size_t(n));
  m->at += n;
  return int(n);
}

int64_t MemSeek(void* opaque, int64_t offset, int whence) {
  auto* m = static_cast<Memory*>(opaque);
  const int64_t size = int64_t(m->bytes->size());
  if (whence & AVSEEK_SIZE) return size;
  const int64_t base = (whence & ~AVSEEK_FORCE) == SEEK_SET ? 0 : (whence & ~AVSEEK_FORCE) == SEEK_CUR ? m->at : size;
  if (base + offset < 0 || base + offset > size) return -1;
  m->at = base + offset;
  return m->at;
}

void BM_BareDecodeScale(benchmark::State& state) {
  const std::vector<uint8_t>& clip = Clip(state.range(0));
  if (clip.empty()) {
    state.SkipWithError("no MPEG-4 encoder");
    return;
  }
  av_log_set_level(AV_LOG_QUIET);
  std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
  int64_t pictures = 0;
  for (auto _ : state) {
    Memory memory{&clip};
    constexpr int kBuffer = 1 << 15;
    AVIOContext* avio = avio_alloc_context(static_cast<uint8_t*>(av_malloc(kBuffer)), kBuffer, 0, &memory, MemRead,
                                           nullptr, MemSeek);
    AVFormatContext* format = avformat_alloc_context();
    format->pb = avio;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    avformat_open_input(&format, nullptr, nullptr, nullptr);
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(ctx, format->streams[stream]->codecpar);
    ctx->thread_count = 1;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {kWidth * 4, 0, 0, 0};
    auto drain = [&] {
      while (avcodec_receive_frame(ctx, frame) == 0) {
        sws = sws_getCachedContext(sws, frame->width, frame->height, AVPixelFormat(frame->format), kWidth, kHeight,
                                   AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
        sws_scale(sws, frame->data, frame->linesize, 0, frame->height, planes, strides);
        av_frame_unref(frame);
        ++pictures;
      }
    };
    while (av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == stream) avcodec_send_packet(ctx, packet);
      av_packet_unref(packet);
      drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    benchmark::DoNotOptimize(pixels.data());
    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
    avformat_close_input(&format);
    av_freep(&avio->buffer);
    avio_context_free(&avio);
  }
  PerPicture(state, pictures);
}
BENCHMARK(BM_BareDecodeScale)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
