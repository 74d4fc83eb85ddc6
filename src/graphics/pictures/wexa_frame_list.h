// A loaded picture as a list of frames: the engine's layered picture format (tag "Wexa" and a
// three-digit version, or untagged version 0), PNG files and BMP files, told apart by their
// leading bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "graphics/pictures/wexa_frame.h"

namespace kova {

class TWexaFrameList {
 public:
  // `seed` orders the scrambled rows and tile tables of the layered format; it comes with the game.
  explicit TWexaFrameList(uint32_t seed = 0) : seed_(seed) {}
  TWexaFrameList(const TWexaFrameList&) = delete;
  TWexaFrameList& operator=(const TWexaFrameList&) = delete;

  // Colour reference every layered frame is filled with before its layers; 0 when not given.
  int32_t BackgroundColor = 0;
  // The version of the layered tag; 0 without a tag (and for PNG and BMP files).
  int32_t Version = 0;
  // When above 0, layered frames with an alpha plane or without colour key are converted to this
  // depth (1, 4, 8, 15, 16, 24 or 32) as they load.
  int32_t TargetBitCount = 0;
  // The layered header's flag (versions 105 and later): the first visible layer is drawn opaque.
  bool FirstLayerOpaque = false;

  uint32_t Seed() const { return seed_; }
  int32_t Count() const { return int32_t(frames_.size()); }
  // Raises EListError outside 0..Count()-1.
  TWexaFrame& GetFrame(int32_t index);
  const TWexaFrame& GetFrame(int32_t index) const;
  void Clear() { frames_.clear(); }

  // Reads the host file whole and loads it as LoadFromStream does; the file is always closed.
  void LoadFromFile(const std::string& host_path, bool first_only);
  // Reads a picture from the stream's position: a PNG file, a BMP file, else the layered format.
  // Malformed input raises the system's errors (EKovaError family); frames completely read before
  // the failure stay in the list.
  void LoadFromStream(TStream& stream, bool first_only);
  // The layered format alone, from the stream's position.
  void LoadLayered(TStream& stream, bool first_only);
  // One frame from a PNG or BMP file at the stream's position.
  void LoadPng(TStream& stream);
  void LoadBmp(TStream& stream);

  // MakeMask on every frame.
  void MakeMasks();
  // Reads a layered tag and header from the stream's position: true only for version 103 or later
  // stored without compression. The stream is left after what was read.
  static bool IsUncompressed(TStream& stream);

  // The plane coding of the last layered picture read: 0 zlib, 1 none, 2 JPEG colour planes.
  uint8_t Compression() const { return compression_; }

 private:
  friend class TWexaReader;

  uint32_t seed_;
  uint8_t compression_ = 1;
  std::vector<std::unique_ptr<TWexaFrame>> frames_;
};

}  // namespace kova
