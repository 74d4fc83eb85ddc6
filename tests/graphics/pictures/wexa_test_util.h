// Helpers of the layered-picture tests: loading fixture bytes, reading a frame's pixels back, and
// small pixel patterns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/stream.h"
#include "graphics/graphics_errors.h"
#include "graphics/pictures/wexa_frame_list.h"
#include "support/wexa_writer.h"

namespace kova::test {

inline void LoadBytes(TWexaFrameList& list, const std::vector<uint8_t>& bytes, bool first_only = false) {
  TMemoryStream stream{std::span<const uint8_t>(bytes)};
  list.LoadFromStream(stream, first_only);
}

// Raw pixel values of a bitmap, top row first.
inline std::vector<uint32_t> PixelsOf(const TDIB& dib) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x) out.push_back(dib.GetPixel(x, y));
  return out;
}

// A w x h pattern of distinct values below `limit` (limit 0: 24-bit colours).
inline std::vector<uint32_t> Pattern(int32_t w, int32_t h, uint32_t limit = 0, uint32_t salt = 0) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = (uint32_t(x) * 2654435761u) ^ (uint32_t(y) * 40503u) ^ (salt * 0x9E3779B9u);
      out.push_back(limit ? v % limit : v & 0xFFFFFF);
    }
  }
  return out;
}

inline std::vector<uint8_t> AlphaPattern(int32_t w, int32_t h) {
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < w * h; ++i) out.push_back(uint8_t(i * 37 + 11));
  return out;
}

// A single-frame, single-layer file of the given pixels.
inline WexaFileDesc OneLayer(int32_t version, int32_t w, int32_t h, int32_t bits, std::vector<uint32_t> pixels) {
  WexaFileDesc desc;
  desc.version = version;
  WexaFrameDesc frame;
  frame.width = w;
  frame.height = h;
  frame.bit_count = bits;
  WexaLayerDesc layer;
  layer.pixels = std::move(pixels);
  frame.layers.push_back(layer);
  desc.frames.push_back(frame);
  return desc;
}

}  // namespace kova::test
