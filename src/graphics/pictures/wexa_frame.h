// One frame of a loaded picture: its composited bitmap with an optional 8-bit alpha plane, the
// colour key, the display duration and two lists of rectangles, plus the copies into drawing
// surfaces and the trimming to the visible area that the image cache asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/types.h"
#include "graphics/dib_surface.h"

namespace kova {

class TCustomDIBX;
class TDIBX;
class TWexaFrameList;

// One layer while its frame is read: a full-size picture drawn over the frame.
struct TWexaLayer {
  TDIBSurface Surface;  // the frame's size and depth; may carry an alpha plane
  bool Visible = true;
  int32_t TransparentColor = -1;  // raw pixel value of the frame's format; below 0 none
  int32_t Opacity = 255;
  bool UseAlpha = false;
};

class TWexaFrame {
 public:
  explicit TWexaFrame(TWexaFrameList* owner) : owner_(owner) {}
  TWexaFrame(const TWexaFrame&) = delete;
  TWexaFrame& operator=(const TWexaFrame&) = delete;

  TWexaFrameList* Owner() const { return owner_; }

  int32_t Duration = 0;
  // The composited picture and, when present, its alpha plane.
  TDIBSurface Surface;
  // The raw pixel value that is the colour key (a palette index at 8 bits or fewer); below 0 none.
  int32_t TransparentIndex = -1;
  // The colour reference ($00BBGGRR) that TransparentIndex shows; -1 when no colour key.
  int32_t TransparentColor = -1;
  std::vector<TRect> Rects1;
  std::vector<TRect> Rects2;

  bool HasAlpha() const { return Surface.Alpha() != nullptr; }
  // Without an alpha plane: makes one of 255s, with 0 wherever the pixel equals TransparentIndex.
  void MakeMask();
  // Resizes `target` to the frame (keeping its depth), copies the picture converted to that depth
  // and hands over Rects1 and Rects2.
  void CopyToDIBX(TCustomDIBX& target) const;
  // With an alpha plane: `target` becomes an 8-bit copy of it; otherwise nothing.
  void CopyAlphaToDIBX(TDIBX& target) const;
  void CopyAlphaToSurface(TDIBSurface& target) const;
  // Crops the frame to the rectangle enclosing its visible pixels (by alpha, else by colour key)
  // and returns that rectangle in the former coordinates; Rects1 and Rects2 are cut and shifted.
  // A frame with neither alpha nor key answers its bounds and stays as it is.
  TRect GetOpaqueRect();

  // The layers read so far (kept while the picture loads when tiles may refer to them).
  const std::vector<std::unique_ptr<TWexaLayer>>& Layers() const { return layers_; }
  void AddLayer(std::unique_ptr<TWexaLayer> layer) { layers_.push_back(std::move(layer)); }
  void FreeLayers() { layers_.clear(); }

 private:
  TWexaFrameList* owner_;
  std::vector<std::unique_ptr<TWexaLayer>> layers_;
};

}  // namespace kova
