// The tile: one picture (or the frames of an animated one) repeated over the control's rectangle,
// scrolled, optionally zoomed, mirrored, blended or added, and optionally with the copies spaced
// apart. A tile is sized by its own width and height, never by its picture, and its animation
// always loops. Film tile tracks create and drive tiles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/widgets/kova_images.h"

namespace kova {

class TKovaTile : public TKovaCustomImages {
 public:
  explicit TKovaTile(TKovaObject* owner);
  ~TKovaTile() override;

  uint8_t GetCompoType() const override;
  TKovaImageList* GetStateImage() const override { return list_.get(); }
  // The size is the control's own: the picture never resizes a tile.
  bool HasNoMotion() const override { return false; }

  std::string GetSource() const override { return source_; }
  // ".wxa" loads the picture set, ".kmt" a motion; other names load nothing.
  void SetSource(const std::string& v) override;
  int32_t GetScrollX() const override { return scroll_x_; }
  int32_t GetScrollY() const override { return scroll_y_; }
  void SetScrollX(int32_t v) override;
  void SetScrollY(int32_t v) override;
  // The pitch between copies; it counts only from half the picture's size on.
  int32_t GetDistanceX() const override { return distance_x_; }
  int32_t GetDistanceY() const override { return distance_y_; }
  void SetDistanceX(int32_t v) override;
  void SetDistanceY(int32_t v) override;
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  // An animated tile always loops.
  bool GetRepeat() const override { return true; }

  // The parent's client origin plus the position (and a running motion's offset); the drawing
  // offset of the control does not move a tile.
  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  int32_t GetDrawLeft() const override;
  int32_t GetDrawTop() const override;
  // A tile is never turned: its rectangle is the control's.
  TRect GetBoundsRect() const override { return TKovaControl::GetBoundsRect(); }
  // Hit by its rectangle, as drawn (never turned).
  TKovaControl* HitTest(TPoint point, uint32_t mask) override { return TKovaControl::HitTest(point, mask); }

  // What a film's tile track sets for one frame.
  struct TTrackFrame {
    int32_t width = 0, height = 0;
    TKovaControl* parent = nullptr;
    TCustomDIBX* surface = nullptr;
    TCustomDIBX* mask = nullptr;
    int32_t transparent_color = -1;
    int32_t zoom_x = 256, zoom_y = 256, priority = 0;
    int32_t distance_x = 0, distance_y = 0;
    bool flip_h = false, flip_v = false;
    int32_t offset_x = 0, offset_y = 0, left = 0, top = 0, alpha = 255;
    int32_t scroll_x = 0, scroll_y = 0;
    TRect clip;
  };
  void SetupFromTrack(const TTrackFrame& f);

  void Render() override;
  void FreeDIB() override;
  void RecreateDIB() override;
  // After the image set's record: scroll X, scroll Y, source, idle handler, distance X, distance Y.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  std::unique_ptr<TKovaImageList> list_;
  std::string source_;
  int32_t scroll_x_ = 0, scroll_y_ = 0;
  std::string on_idle_;
  int32_t distance_x_ = 0, distance_y_ = 0;
};

}  // namespace kova
