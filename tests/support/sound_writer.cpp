#include "support/sound_writer.h"

#include <vorbis/vorbisenc.h>

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

#include "support/memory_avio.h"

namespace kova::test {

std::vector<int16_t> ToneSamples(const ToneSpec& tone, bool right_inverted) {
  std::vector<int16_t> out(size_t(tone.frames * tone.channels));
  for (int64_t i = 0; i < tone.frames; ++i) {
    const double phase = 2.0 * std::numbers::pi * tone.frequency * double(i) / tone.rate;
    const double v = tone.amplitude * 32767.0 * std::sin(phase);
    for (int c = 0; c < tone.channels; ++c) {
      const double s = (right_inverted && c == 1) ? -v : v;
      out[size_t(i * tone.channels + c)] = int16_t(std::lround(std::clamp(s, -32768.0, 32767.0)));
    }
  }
  return out;
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> WavBytes(const std::vector<int16_t>& samples, int channels, int rate, WavLayout layout) {
  const uint32_t block = uint32_t(channels * layout.bits / 8);
  const uint32_t data = uint32_t(samples.size()) * uint32_t(layout.bits / 8);
  const uint32_t fmt_size = layout.extensible ? 40 : 16;
  std::vector<uint8_t> out;
  PutTag(out, "RIFF");
  Put32(out, 4 + 8 + fmt_size + 8 + data + (data & 1));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, fmt_size);
  Put16(out, layout.extensible ? 0xFFFE : 1);
  Put16(out, uint32_t(channels));
  Put32(out, uint32_t(rate));
  Put32(out, uint32_t(rate) * block);
  Put16(out, block);
  Put16(out, uint32_t(layout.bits));
  if (layout.extensible) {
    Put16(out, 22);
    Put16(out, uint32_t(layout.bits));
    Put32(out, channels == 1 ? 0x4 : 0x3);
    static const uint8_t kPcm[16] = {0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    out.insert(out.end(), kPcm, kPcm + 16);
  }
  PutTag(out, "data");
  Put32(out, data);
  for (int16_t s : samples) {
    if (layout.bits == 8) {
      out.push_back(uint8_t((uint16_t(s) >> 8) ^ 0x80));
    } else {
      Put16(out, uint16_t(s));
    }
  }
  if (data & 1) out.push_back(0);
  return out;
}

std::vector<uint8_t> WavTone(const ToneSpec& tone, WavLayout layout) {
  return WavBytes(ToneSamples(tone), tone.channels, tone.rate, layout);
}

std::vector<uint8_t> OggTone(const ToneSpec& tone) { return OggBytes(ToneSamples(tone), tone.channels, tone.rate); }

std::vector<uint8_t> OggBytes(const std::vector<int16_t>& samples, int channels, int rate) {
  const int64_t frames = channels > 0 ? int64_t(samples.size()) / channels : 0;
  std::vector<uint8_t> out;
  auto put_page = [&out](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0) {
    vorbis_info_clear(&info);
    return out;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 0x4B6F7661);
  ogg_packet header, header_comment, header_code;
  vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &header_comment);
  ogg_stream_packetin(&stream, &header_code);
  ogg_page page;
  while (ogg_stream_flush(&stream, &page) != 0) put_page(page);

  constexpr int64_t kChunk = 1024;
  bool eos = false;
  for (int64_t at = 0; !eos;) {
    const int64_t n = std::min(kChunk, frames - at);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, int(n));
      for (int64_t i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c) {
          buffer[c][i] = float(samples[size_t((at + i) * channels + c)]) / 32768.0f;
        }
      }
      vorbis_analysis_wrote(&dsp, int(n));
      at += n;
    } else {
      vorbis_analysis_wrote(&dsp, 0);
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_pageout(&stream, &page) != 0) {
          put_page(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    if (n <= 0) {
      while (ogg_stream_flush(&stream, &page) != 0) put_page(page);
      eos = true;
    }
  }
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return out;
}

namespace {

// Owns what the encoding makes and frees it at the end, whichever way it ends.
struct WmaEncoding {
  AVCodecContext* codec = nullptr;
  AVFormatContext* format = nullptr;
  AVIOContext* avio = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~WmaEncoding() {
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    if (format) avformat_free_context(format);
    if (avio) {
      av_freep(&avio->buffer);
      avio_context_free(&avio);
    }
  }
  bool Drain(AVStream* stream) {
    while (true) {
      const int got = avcodec_receive_packet(codec, packet);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
      if (got < 0) return false;
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(format, packet) < 0) return false;
    }
  }
};

}  // namespace

std::vector<uint8_t> WmaTone(const ToneSpec& tone) {
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  const AVOutputFormat* asf = av_guess_format("asf", nullptr, nullptr);
  if (!encoder || !asf) return {};
  MemoryOut out;
  WmaEncoding e;
  e.codec = avcodec_alloc_context3(encoder);
  e.codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  e.codec->sample_rate = tone.rate;
  av_channel_layout_default(&e.codec->ch_layout, tone.channels);
  e.codec->bit_rate = 128000;
  e.codec->time_base = AVRational{1, tone.rate};
  e.codec->flags |= AV_CODEC_FLAG_BITEXACT;
  if (avformat_alloc_output_context2(&e.format, asf, nullptr, nullptr) < 0) return {};
  e.format->flags |= AVFMT_FLAG_BITEXACT;
  if (e.format->oformat->flags & AVFMT_GLOBALHEADER) e.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(e.codec, encoder, nullptr) < 0) return {};
  AVStream* stream = avformat_new_stream(e.format, nullptr);
  if (!stream || avcodec_parameters_from_context(stream->codecpar, e.codec) < 0) return {};
  stream->time_base = e.codec->time_base;
  constexpr int kBuffer = 1 << 15;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
  e.avio = avio_alloc_context(buffer, kBuffer, 1, &out, nullptr, MemoryOut::Write, MemoryOut::Seek);
  e.format->pb = e.avio;
  e.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_write_header(e.format, nullptr) < 0) return {};

  const std::vector<int16_t> samples = ToneSamples(tone);
  e.frame = av_frame_alloc();
  e.packet = av_packet_alloc();
  const int frame_size = e.codec->frame_size > 0 ? e.codec->frame_size : 2048;
  for (int64_t at = 0; at < tone.frames; at += frame_size) {
    const int n = int(std::min<int64_t>(frame_size, tone.frames - at));
    av_frame_unref(e.frame);
    e.frame->format = e.codec->sample_fmt;
    e.frame->sample_rate = tone.rate;
    e.frame->nb_samples = frame_size;  // the last frame is padded with silence
    if (av_channel_layout_copy(&e.frame->ch_layout, &e.codec->ch_layout) < 0) return {};
    if (av_frame_get_buffer(e.frame, 0) < 0) return {};
    for (int c = 0; c < tone.channels; ++c) {
      auto* plane = reinterpret_cast<float*>(e.frame->extended_data[c]);
      for (int i = 0; i < frame_size; ++i) {
        plane[i] = i < n ? float(samples[size_t((at + i) * tone.channels + c)]) / 32768.0f : 0.0f;
      }
    }
    e.frame->pts = at;
    if (avcodec_send_frame(e.codec, e.frame) < 0 || !e.Drain(stream)) return {};
  }
  if (avcodec_send_frame(e.codec, nullptr) < 0 || !e.Drain(stream)) return {};
  if (av_write_trailer(e.format) < 0) return {};
  avio_flush(e.avio);
  return out.bytes;
}

}  // namespace kova::test
