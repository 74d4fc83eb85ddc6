// The picture-font label: text drawn from a picture of glyphs instead of a font. The picture is a
// grid of equal cells and the map text names, row by row, the character of each cell; each
// character of the text is looked up in the map (Shift-JIS characters, double-byte ones whole) and
// its cell drawn. A character missing from the map leaves a gap of one cell. The label sizes itself
// to its text; lines are aligned left, centred or right within the widest. The picture may be
// animated: its frames step as an image set's do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/scene/kova_control.h"
#include "components/widgets/kova_images.h"
#include "core/vocabulary.h"

namespace kova {

class TKovaCGLabel : public TKovaControl {
 public:
  explicit TKovaCGLabel(TKovaObject* owner);
  ~TKovaCGLabel() override;

  uint8_t GetCompoType() const override { return KT_CGLABEL; }

  // ---- Properties ----
  std::string GetSource() const override { return source_; }
  // Loads the glyph picture from the image cache (an empty name: none).
  void SetSource(const std::string& v) override;
  std::string GetText() const override { return text_; }
  void SetText(const std::string& v) override;
  std::string GetMapText() const override { return map_text_; }
  void SetMapText(const std::string& v) override;
  // The cell size; values below 1 are stored as 1.
  int32_t GetGlyphWidth() const override { return glyph_width_; }
  int32_t GetGlyphHeight() const override { return glyph_height_; }
  void SetGlyphWidth(int32_t v) override;
  void SetGlyphHeight(int32_t v) override;
  int32_t GetLineSpace() const override { return line_space_; }
  void SetLineSpace(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override { paused_ = v; }
  // 0 left, 1 centre, any other value right.
  uint8_t GetHAlign() const override { return h_align_; }
  void SetHAlign(uint8_t v) override;
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  std::string GetOnIdle() const override { return on_idle_; }
  void SetOnIdle(const std::string& v) override { on_idle_ = v; }
  bool GetPlaying() const override { return !paused_ && !GetAniPaused(); }
  // The current picture frame's size; 0 without one.
  int32_t GetOrigWidth() const override;
  int32_t GetOrigHeight() const override;

  // Per line, the cell of each character (-1 when the map lacks it).
  const std::vector<std::vector<int32_t>>& Rows() const { return rows_; }
  TKovaImageList& Images() { return images_; }

  // ---- Behaviour ----
  void Draw() override;
  bool Update() override;
  void FreeDIB() override { images_.FreeDIBs(); }
  void RecreateDIB() override { images_.RecreateDIBs(); }
  // After the control's record: source, text, map text, glyph width and height, line space,
  // Paused, HAlign, Alpha, the idle handler (read from data version 125).
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void RebuildRows();
  // Sizes the label to its rows.
  void Layout();
  TKovaImageData* CurrentFrame() const { return images_.GetItem(images_.Index()); }

  std::string source_;
  std::string text_;
  std::string map_text_;
  int32_t glyph_width_ = 1, glyph_height_ = 1;
  int32_t line_space_ = 0;
  bool paused_ = false;
  uint8_t h_align_ = 0;
  int32_t alpha_ = 255;
  TKovaImageList images_;
  std::vector<std::vector<int32_t>> rows_;
  std::string on_idle_;
};

}  // namespace kova
