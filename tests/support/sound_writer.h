// Sound fixtures made from generated samples: RIFF WAVE bytes in any of the mixer's formats (and
// any rate), Ogg Vorbis bytes encoded with libvorbisenc, and WMA-in-ASF bytes encoded with the
// media library's own WMA encoder into its ASF muxer, all in memory.
#pragma once

#include <cstdint>
#include <vector>

namespace kova::test {

struct ToneSpec {
  int channels = 2;
  int rate = 44100;
  int64_t frames = 44100;
  double frequency = 440.0;  // Hz
  double amplitude = 0.5;    // of full scale
};

// Interleaved 16-bit samples of a sine (the same on every channel, or the right channel in
// opposite phase when `right_inverted`).
std::vector<int16_t> ToneSamples(const ToneSpec& tone, bool right_inverted = false);

struct WavLayout {
  int bits = 16;            // 8 (unsigned) or 16
  bool extensible = false;  // the extensible format tag with the PCM sub-format
};

// A RIFF WAVE file of `samples` (interleaved 16-bit; 8-bit files keep the top byte, unsigned).
std::vector<uint8_t> WavBytes(const std::vector<int16_t>& samples, int channels, int rate, WavLayout layout = {});
std::vector<uint8_t> WavTone(const ToneSpec& tone, WavLayout layout = {});

// An Ogg Vorbis file of the tone (quality 0.4 VBR; the same bytes on every run).
std::vector<uint8_t> OggTone(const ToneSpec& tone);
// An Ogg Vorbis file of interleaved 16-bit `samples` (the same encoder settings).
std::vector<uint8_t> OggBytes(const std::vector<int16_t>& samples, int channels, int rate);

// A WMA (version 2) sound in an ASF file of the tone; empty when the media library has no such
// encoder or muxer.
std::vector<uint8_t> WmaTone(const ToneSpec& tone);

}  // namespace kova::test
