// A disc image of audio tracks the tests make: the raw sectors in a .bin file (2352 bytes each,
// 16-bit little-endian stereo) and its .cue sheet, one track after the other. Track t's frame f
// plays Left(t, f) on the left and its negation on the right, or a sine tone of 220 * t Hz.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/game_tree.h"

namespace kova::test {

struct CdImageTrack {
  int32_t sectors = 0;
  bool tone = false;  // a sine tone rather than the counting pattern
};

class CdImageWriter {
 public:
  static int16_t Left(int32_t track, int64_t frame) { return int16_t(track * 2000 + frame % 1000); }
  static int16_t Tone(int32_t track, int64_t frame) {
    return int16_t(std::lround(8000.0 * std::sin(2 * M_PI * 220.0 * track * double(frame) / 44100.0)));
  }

  // The samples of `track` (1 first), interleaved left, right.
  static std::vector<int16_t> Samples(int32_t track, const CdImageTrack& t) {
    std::vector<int16_t> out;
    const int64_t frames = int64_t(t.sectors) * 588;
    out.reserve(size_t(frames) * 2);
    for (int64_t f = 0; f < frames; ++f) {
      const int16_t v = t.tone ? Tone(track, f) : Left(track, f);
      out.push_back(v);
      out.push_back(int16_t(-v));
    }
    return out;
  }

  // Writes `name`.bin and `name`.cue into `tree`; returns the .cue's host path.
  static std::string Write(const GameTree& tree, const std::string& name, const std::vector<CdImageTrack>& tracks) {
    std::vector<uint8_t> bin;
    std::string cue = "FILE \"" + name + ".bin\" BINARY\n";
    int64_t at = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
      char line[96];
      std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", int(i + 1),
                    int(at / 75 / 60), int(at / 75 % 60), int(at % 75));
      cue += line;
      for (int16_t s : Samples(int32_t(i + 1), tracks[i])) {
        bin.push_back(uint8_t(uint16_t(s) & 0xff));
        bin.push_back(uint8_t(uint16_t(s) >> 8));
      }
      at += tracks[i].sectors;
    }
    tree.WriteFile(name + ".bin", bin);
    return tree.WriteFile(name + ".cue", cue);
  }
};

}  // namespace kova::test
