// One laid-out page of a document and its reveal state: each frame the elapsed time buys glyphs in
// reading order, each costing its delay scaled by the document's text delay; revealed glyphs then
// fade in over the document's fade time. EVENT glyphs met on the way go to the document's event
// hook once the fades have ended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "text/glyph.h"

namespace kova {

class TWdPage : public TWdComposite {
 public:
  // Pages register with their document, which takes its glyphs out of them when it frees them.
  explicit TWdPage(TXrWord* owner);
  ~TWdPage() override;

  // Reveal state.
  int32_t ScrollTop = 0;          // pixels a non-paging page has scrolled up
  TWdGlyph* Hovered = nullptr;    // first glyph of the link run under the mouse
  std::vector<TWdGlyph*> Fading;  // revealed glyphs whose alpha is still below 255
  int32_t Budget = 0;             // milliseconds; a glyph is revealed while it is <= 0
  int32_t RowIndex = 0;           // the next glyph to reveal
  int32_t GlyphIndex = 0;
  int32_t StartWait = 1;          // frames to wait before revealing
  std::string EventText;          // EVENT values joined by tabs, waiting to be handed out
  int64_t FadeAccumulator = 0;    // elapsed milliseconds x 256 not yet spent
  uint8_t FinishedFlag = 0;       // latched once Progress reported the end
  std::vector<TWdGlyph*> AnimatedList;
  uint8_t EventsHanded = 0;
  std::string VarSnapshot;        // the VAR values this page showed (StoreVarValues)

  TWdPage* GetPage() override { return this; }
  int32_t Width() const override;
  int32_t AbsX() const override;
  int32_t AbsY() const override;
  int32_t PageY() const override { return 0; }
  void Clear() override;
  void Arrange() override;
  // Sizes the document's work surfaces to the page, clears them and draws every glyph into them
  // (with `hide`, every glyph's alpha is reset first).
  void Render(bool hide) override;
  TWdGlyph* GlyphAt(int32_t x, int32_t y) override;
  void SaveState(TStream& stream) const override;
  // Restores a saved state; a state that does not fit this page's rows rewinds it instead.
  // Raises EReadError when the stream ends early (the page is rewound).
  void LoadState(TStream& stream) override;

  int RowCount() const { return Count(); }
  TWdRow* Row(int i) const { return static_cast<TWdRow*>(Items(i)); }
  // Appends a row the page owns.
  TWdRow* AddRow();
  // Removes and frees the last row.
  void RemoveLastRow();

  // One frame of reveal, `elapsed` milliseconds after the last (the frame delta). `finished` is
  // true exactly once, in the first call that finds the page finished; `text` receives the plain
  // text revealed in this call ("*" for a picture).
  void Progress(int32_t elapsed, bool& finished, std::string& text);
  bool IsPlaying() const;
  // All rows revealed and nothing fading.
  bool IsFinished() const;
  void Rewind();
  void ResetTimer();
  // Hover update for the mouse at (x, y) on the target surface.
  void LinkAt(int32_t x, int32_t y);
  std::string GetLinkText() const;
  // Collects the VAR values shown on this page into VarSnapshot.
  void StoreVarValues();

 private:
  friend class TXrWord;
  // Takes glyphs the document frees out of the rows and the reveal lists (all when `gone` is null).
  void DropGlyphs(const std::unordered_set<const TWdGlyph*>* gone);

  TWdGlyph* NextToReveal() const;
  void SetRunHover(TWdGlyph* first, uint8_t hover);

  bool detached_ = false;  // the document is gone
};

using TPageList = std::vector<std::unique_ptr<TWdPage>>;

}  // namespace kova
