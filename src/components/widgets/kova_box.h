// The box: a control that fills its rectangle with its colour (PR_COLOR; below 0 no fill), draws
// a border of a width and colour, or both, at an opacity or additive level. A motion file named
// by its source animates it; film box tracks drive it too. It tells the clip manager which
// rectangles it covers, so that what lies wholly under an opaque box need not be drawn.
#pragma once

#include <cstdint>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"

namespace kova {

class TKovaBox : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  // Its area is redrawn.
  ~TKovaBox() override;

  uint8_t GetCompoType() const override { return KT_BOX; }

  // Below 1: no border.
  int32_t GetBorderWidth() const override { return border_width_; }
  void SetBorderWidth(int32_t v) override;
  // Below 0: no border.
  int32_t GetBorderColor() const override { return border_color_; }
  void SetBorderColor(int32_t v) override;
  // 1..254 blend, 255 opaque, 256..511 add with the level alpha - 256; 0 and 512 or more draw
  // nothing.
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  // A ".kmt" name (any case) loads that motion file; any other name is only kept.
  std::string GetSource() const override { return source_; }
  void SetSource(const std::string& v) override;
  bool GetRepeat() const override { return repeat_; }
  // Setting it restarts a motion that has ended.
  void SetRepeat(bool v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  std::string GetOnPlayEnd() const override { return on_play_end_; }
  void SetOnPlayEnd(const std::string& v) override { on_play_end_ = v; }
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }

  void Draw() override;
  // Adds what the box covers to `clip`: every rectangle it draws to Rects1, and those it covers
  // opaquely (alpha 255) also to Rects2.
  void BuildFillRects(TClipData& clip) override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  int32_t border_width_ = 0;
  int32_t border_color_ = 0;
  int32_t alpha_ = 255;
  std::string on_idle_;
  std::string source_;
  bool repeat_ = false;
  bool auto_scrap_ = false;
  std::string on_play_end_;
  bool paused_ = false;
};

}  // namespace kova
