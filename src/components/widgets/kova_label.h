// The label: plain text (no tags) in one font, colour and style, line by line, sized to its text.
// It renders its text once into a pair of surfaces (colour and 8-bit coverage) through the scene's
// glyph cache and then draws that pair every frame: unzoomed line by line through the coverage,
// zoomed as a stretch, rotated about its draw origin, flipped and blended as its properties ask.
// A label may carry a motion film that moves it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "components/scene/kova_control.h"
#include "core/string_list.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {

class TFontPixel;
class TFontPixelManager;

// The glyphs of one line of label text (Shift-JIS) in the glyph cache's current quality, appended
// to `glyphs`, and the line's width: the sum of the glyphs' cells. Labels and film label tracks
// measure with it, so that both agree on a text's size.
int64_t LabelLineGlyphs(TFontPixelManager& cache, const std::string& face, int32_t height, uint8_t style,
                        std::string_view line, std::vector<std::shared_ptr<const TFontPixel>>& glyphs);

class TKovaLabel : public TKovaControl {
 public:
  explicit TKovaLabel(TKovaObject* owner);
  ~TKovaLabel() override;

  uint8_t GetCompoType() const override { return KT_LABEL; }

  // ---- Properties ----
  std::string GetText() const override;
  void SetText(const std::string& v) override;
  std::string GetFontName() const override { return font_name_; }
  void SetFontName(const std::string& v) override;
  int32_t GetFontHeight() const override { return font_height_; }
  void SetFontHeight(int32_t v) override;
  int32_t GetLineSpace() const override { return line_space_; }
  void SetLineSpace(int32_t v) override;
  TFontStyles GetFontStyle() const override { return TFontStyles{font_style_}; }
  void SetFontStyle(TFontStyles v) override;
  uint8_t GetHAlign() const override { return h_align_; }
  void SetHAlign(uint8_t v) override;
  bool GetAntialias() const override { return antialias_; }
  void SetAntialias(bool v) override;
  int32_t GetFontColor() const override { return font_color_; }
  void SetFontColor(int32_t v) override;
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  bool GetFlipH() const override { return flip_h_; }
  void SetFlipH(bool v) override;
  bool GetFlipV() const override { return flip_v_; }
  void SetFlipV(bool v) override;
  int32_t GetAngle() const override { return angle_; }
  void SetAngle(int32_t v) override;
  int32_t GetZoomX() const override { return zoom_x_; }
  void SetZoomX(int32_t v) override;
  int32_t GetZoomY() const override { return zoom_y_; }
  void SetZoomY(int32_t v) override;
  std::string GetSource() const override { return source_; }
  void SetSource(const std::string& v) override;
  bool GetRepeat() const override { return repeat_; }
  void SetRepeat(bool v) override;
  bool GetAutoScrap() const override { return auto_scrap_; }
  void SetAutoScrap(bool v) override { auto_scrap_ = v; }
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  std::string GetOnPlayEnd() const override { return on_play_end_; }
  void SetOnPlayEnd(const std::string& v) override { on_play_end_ = v; }

  // ---- Behaviour ----
  TRect GetBoundsRect() const override;
  TPoint GetDrawOrigin() const override;
  TKovaControl* HitTest(TPoint point, uint32_t mask) override;
  void Draw() override;
  void RecreateDIB() override { Render(); }
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // Renders the text into the surfaces and sizes the label to it.
  void Render();

  // What Render made (for tests and the tracks that draw labels).
  int32_t NaturalWidth() const { return natural_width_; }
  int32_t NaturalHeight() const { return natural_height_; }
  const std::vector<TRect>& LineRects() const { return line_rects_; }
  const TStringList& Lines() const { return lines_; }
  TDIBX& TextSurface() { return text_surface_; }
  TDIBX& MaskSurface() { return mask_surface_; }

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // The point the rotation centre lands on (the anchor) and the centre in the surfaces.
  void DrawOrigin(TPoint& anchor, TPoint& centre) const;
  // Sets the size from the natural size and the zoom.
  void ApplyZoomedSize();

  TStringList lines_;
  std::string font_name_;
  int32_t font_height_ = 12;
  int32_t line_space_ = 0;
  uint8_t font_style_ = 0;
  TDIBX text_surface_;
  TDIBX mask_surface_;
  int32_t alpha_ = 255;
  int32_t font_color_ = 0;
  uint8_t h_align_ = 0;  // 0 left, 1 centre, 2 right
  bool antialias_ = false;
  bool flip_h_ = false;
  bool flip_v_ = false;
  int32_t angle_ = 0;
  int32_t natural_width_ = 0;
  int32_t natural_height_ = 0;
  int32_t zoom_x_ = 256;
  int32_t zoom_y_ = 256;
  std::string on_idle_;
  std::string source_;
  bool repeat_ = false;
  bool auto_scrap_ = false;
  std::string on_play_end_;
  bool paused_ = false;
  std::vector<TRect> line_rects_;
};

}  // namespace kova
