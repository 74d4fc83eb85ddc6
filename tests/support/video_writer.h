// Video fixtures made from generated pictures and sound with the media library's own encoders, in
// memory: a few solid-colour pictures (each colour held for a given number of pictures) and an
// optional tone, in a container of the caller's choice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kova::test {

struct VideoSpec {
  int width = 16;
  int height = 16;
  int fps = 10;
  // One solid colour (0xRRGGBB) for each run of `pictures_per_colour` pictures, in order.
  std::vector<uint32_t> colours = {0xff0000, 0x00ff00, 0x0000ff};
  int pictures_per_colour = 2;
  bool sound = true;          // a sine tone over the whole length, 44100 Hz stereo
  double frequency = 440.0;
  // "asf" (WMV version 2 pictures, WMA version 2 sound: a ".wmv" file) or "avi" (MPEG-4 part 2
  // pictures, uncompressed 16-bit sound).
  std::string container = "asf";
  // From picture `resize_at` on (when >= 0), the pictures are `resized_width` x `resized_height`:
  // a second encoder's pictures go on in the same stream, as a damaged or spliced file has them.
  int resize_at = -1;
  int resized_width = 0;
  int resized_height = 0;
  // Over each picture's colour: "" nothing (every pixel the colour); "bar" a light bar that moves
  // across the picture's lowest quarter, a tenth of its width each picture; "texture" a fine
  // pattern over the whole picture that moves each picture, so that decoding it costs about what
  // real footage does.
  std::string pattern;
};

// The video's bytes; empty when the media library lacks an encoder or muxer it needs.
std::vector<uint8_t> VideoBytes(const VideoSpec& clip);

}  // namespace kova::test
