// Pictures for the component tests: a picture source over named byte blobs that counts the reads
// of each name (to prove a picture is read once), and short builders of layered pictures and PNG
// files made with the test writers. Header-only: only programs that link the engine include it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "components/scene/image_cache.h"
#include "core/sjis.h"
#include "support/png_writer.h"
#include "support/wexa_writer.h"

namespace kova::test {

class MemoryPictures : public IPictureSource {
 public:
  void Add(const std::string& name, std::vector<uint8_t> bytes) { files_[SjisLowerCase(name)] = std::move(bytes); }
  void Remove(const std::string& name) { files_.erase(SjisLowerCase(name)); }
  int Reads(const std::string& name) const {
    auto it = reads_.find(SjisLowerCase(name));
    return it == reads_.end() ? 0 : it->second;
  }

  bool PictureExists(std::string_view name) override { return files_.count(SjisLowerCase(name)) != 0; }
  void LoadPicture(TStream& dest, std::string_view name) override {
    const std::vector<uint8_t>& bytes = files_.at(SjisLowerCase(name));
    ++reads_[SjisLowerCase(name)];
    dest.Write(bytes.data(), int64_t(bytes.size()));
  }
  uint32_t PictureSeed() override { return seed; }

  uint32_t seed = 0;

 private:
  std::map<std::string, std::vector<uint8_t>> files_;
  std::map<std::string, int> reads_;
};

// One frame of a 24-bit layered picture: $RRGGBB pixels, top row first.
struct FrameSpec {
  FrameSpec(std::vector<uint32_t> px, int32_t time = 0, int32_t key = -1)
      : pixels(std::move(px)), duration(time), transparent(key) {}
  std::vector<uint32_t> pixels;
  int32_t duration = 0;
  int32_t transparent = -1;  // the key's $RRGGBB value; below 0 none
  std::vector<std::array<int32_t, 4>> rects;
};

inline std::vector<uint8_t> LayeredPicture(int32_t w, int32_t h, const std::vector<FrameSpec>& frames) {
  WexaFileDesc desc;
  desc.version = 106;
  for (const FrameSpec& f : frames) {
    WexaFrameDesc frame;
    frame.width = w;
    frame.height = h;
    frame.bit_count = 24;
    frame.duration = f.duration;
    frame.transparent_index = f.transparent;
    frame.rects1 = f.rects;
    WexaLayerDesc layer;
    layer.pixels = f.pixels;
    frame.layers.push_back(layer);
    desc.frames.push_back(frame);
  }
  return BuildWexa(desc);
}

// A w x h picture of one colour.
inline std::vector<uint32_t> Solid(int32_t w, int32_t h, uint32_t rgb) { return std::vector<uint32_t>(size_t(w * h), rgb); }

// An RGBA PNG: $RRGGBB pixels with one alpha value each.
inline std::vector<uint8_t> RgbaPng(int32_t w, int32_t h, const std::vector<uint32_t>& rgb, const std::vector<uint8_t>& alpha) {
  PngDesc png;
  png.width = w;
  png.height = h;
  png.color_type = 6;
  for (size_t i = 0; i < rgb.size(); ++i) {
    png.samples.push_back(uint16_t(rgb[i] >> 16 & 255));
    png.samples.push_back(uint16_t(rgb[i] >> 8 & 255));
    png.samples.push_back(uint16_t(rgb[i] & 255));
    png.samples.push_back(alpha[i]);
  }
  return BuildPng(png);
}

// An RGB PNG without alpha.
inline std::vector<uint8_t> RgbPng(int32_t w, int32_t h, const std::vector<uint32_t>& rgb) {
  PngDesc png;
  png.width = w;
  png.height = h;
  png.color_type = 2;
  for (uint32_t v : rgb) {
    png.samples.push_back(uint16_t(v >> 16 & 255));
    png.samples.push_back(uint16_t(v >> 8 & 255));
    png.samples.push_back(uint16_t(v & 255));
  }
  return BuildPng(png);
}

}  // namespace kova::test
