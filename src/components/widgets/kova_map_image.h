// The map image: a clickable picture divided into named regions by a map file. A hover picture
// shows only inside the region under the pointer (or chosen with the arrow keys), the base picture
// everywhere else. Moving between regions queues map-out and map-in events; a click, Enter or
// space selects the region (the selection variables and the select event), after which the
// component can remove itself; a right click or Escape can cancel it. It keeps no zoom, turn or
// mirroring of its own: its record holds the control's fields and its own.
//
// The pictures' frames belong to the shared cache and are never changed: the region is cut out
// of (or kept in) a mask of the component's own, made from the frame's mask once per frame and
// hovered region.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/widgets/kova_custom_image.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/map_regions.h"
#include "core/array_string.h"

namespace kova {

// Makes `out` (an 8-bit surface of the frame's size) the frame's mask (`frame_mask`, nullptr:
// every pixel opaque) with `region`'s pixels cleared (`inside` false) or with only them kept
// (`inside` true).
void MaskRegion(TDIBX& out, TDIBX* frame_mask, const TMapRegion& region, bool inside);

class TKovaMapImage : public TKovaCustomImage {
 public:
  explicit TKovaMapImage(TKovaObject* owner);
  ~TKovaMapImage() override;

  uint8_t GetCompoType() const override;

  // ---- Properties ----
  std::string GetSource() const override { return base_.source; }
  // A different name loads the picture's frames (frame 0 shown) and sizes the component to it.
  void SetSource(const std::string& v) override;
  std::string GetHoverSource() const override { return hover_.source; }
  void SetHoverSource(const std::string& v) override;
  std::string GetMapSource() const override { return map_source_; }
  // A different name drops the regions and the hover and reads the map file when it exists; a
  // damaged map file raises EReadError and leaves no region.
  void SetMapSource(const std::string& v) override;
  int32_t GetBrightness() const override { return brightness_; }
  // A signed shift of every colour channel of both pictures.
  void SetBrightness(int32_t v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  bool GetRClickScrap() const override { return rclick_scrap_; }
  void SetRClickScrap(bool v) override { rclick_scrap_ = v; }
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  std::string GetOnMapIn() const override { return on_map_in_; }
  void SetOnMapIn(const std::string& v) override { on_map_in_ = v; }
  std::string GetOnMapOut() const override { return on_map_out_; }
  void SetOnMapOut(const std::string& v) override { on_map_out_ = v; }
  std::string GetOnSelect() const override { return on_select_; }
  void SetOnSelect(const std::string& v) override { on_select_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  bool GetRepeat() const override { return true; }
  bool GetEventLock() const override { return event_lock_; }
  int32_t GetOrigWidth() const override;
  int32_t GetOrigHeight() const override;
  // The map image has no zoom, turn, mirroring or mask capture: these properties change nothing.
  void SetZoomX(int32_t) override {}
  void SetZoomY(int32_t) override {}
  void SetAngle(int32_t) override {}
  void SetFlipH(bool) override {}
  void SetFlipV(bool) override {}
  void SetCaptureMask(bool) override {}
  bool GetReanchor() const override { return false; }

  // ---- State ----
  int32_t RegionCount() const { return int32_t(regions_.size()); }
  const TMapEntry& Region(int32_t i) const { return regions_.at(size_t(i)); }
  // The region under the pointer or chosen by the keys; -1 none.
  int32_t Hovered() const { return hovered_; }
  // 0, or 100 and then 101 while the component removes itself.
  int32_t Closing() const { return closing_; }
  const TKovaImageList& BaseImages() const { return base_.frames; }
  const TKovaImageList& HoverImages() const { return hover_.frames; }

  // ---- Behaviour ----
  // Map-out of the old region, the hover moved, map-in of the new (nothing when `i` is hovered).
  void SetHovered(int32_t i);
  // The hovered region becomes the selection ("@SelStr", "@SelIndex"), its select event is queued
  // once, and with auto-scrap the component starts closing.
  void Select();
  // Clears the selection variables and starts closing.
  void Cancel();

  void MouseMove() override;
  void MouseOut(TKovaControl* next) override;
  void MouseLDown() override;
  void KeyRepeat(int32_t key) override;
  // The root container's right-click offer: taken (and the map cancelled) unless closing.
  bool ItemHitTest(TPoint point) override;
  bool Update() override;
  void Invalidate() override;
  void Draw() override;
  void FreeDIB() override;
  void RecreateDIB() override;
  // After the control's record: source, hover source, map source, alpha, brightness, map-in and
  // map-out handlers, auto-scrap, right-click scrap, idle handler, paused, select handler (the
  // last three from data version 104), closing (from 115).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // A picture with, per frame, the mask made for a hovered region and the region it was made for.
  struct TMapPicture {
    std::string source;
    TKovaImageList frames;
    std::vector<std::unique_ptr<TDIBX>> masks;
    std::vector<int32_t> masked_for;
  };
  void LoadPicture(TMapPicture& picture, const std::string& v);
  // The current frame's mask for the hovered region (cut out of the base, kept in the hover).
  TDIBX* RegionMask(TMapPicture& picture, bool inside);
  void DrawFrame(TMapPicture& picture, bool inside);
  // Adds the hovered region's box on the screen to the dirty rectangles.
  void InvalidateRegion();
  TArrayString RegionParams(int32_t i) const;

  TMapPicture base_, hover_;
  std::string map_source_;
  std::vector<TMapEntry> regions_;
  int32_t brightness_ = 0;
  bool auto_scrap_ = false, rclick_scrap_ = false, paused_ = false;
  std::string on_map_in_, on_map_out_, on_select_, on_idle_;
  int32_t hovered_ = -1;
  int32_t closing_ = 0;
  bool event_lock_ = false;
};

}  // namespace kova
