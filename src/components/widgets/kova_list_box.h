// The list box: lines of text shown as selectable items inside a frame of nine tiled border
// pictures, with a scroll column (up and down buttons, two tracks and a thumb from one picture of
// seven cells side by side) when the items do not fit, and optional check marks (a picture of two
// cells: normal and hovered). Items are drawn through two label caches with the same texts, one
// with the normal and one with the hover font settings. The user picks an item with the mouse or
// the keys; the pick sets the script's selection variables and queues the select event.
//
// Scripts never create a list box itself: the menu (kova_menu.h) is the kind they create.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "components/scene/kova_control.h"
#include "components/widgets/kova_images.h"
#include "text/label_list.h"

namespace kova {

class TWexaItem;

class TKovaCustomListBox : public TKovaControl {
 public:
  // What the mouse is doing with the control.
  enum : int32_t {
    kIdle = -1,
    kDragThumb = 0,
    kHoldUp = 1,
    kHoldDown = 2,
    kHoldPageUp = 3,
    kHoldPageDown = 4,
    kPressItems = 5,
  };

  explicit TKovaCustomListBox(TKovaObject* owner);
  ~TKovaCustomListBox() override;

  uint8_t GetCompoType() const override { return 0; }

  // ---- Properties ----
  std::string GetText() const override { return text_; }
  // Replaces the items: control characters at both ends are dropped, the rest is split into lines.
  void SetText(const std::string& v) override;
  std::string GetFontName() const override { return normal_.FontName; }
  void SetFontName(const std::string& v) override;
  int32_t GetFontHeight() const override { return normal_.FontHeight; }
  void SetFontHeight(int32_t v) override;
  TFontStyles GetFontStyle() const override { return TFontStyles{normal_.Style}; }
  void SetFontStyle(TFontStyles v) override;
  int32_t GetFontColor() const override { return normal_.Color; }
  void SetFontColor(int32_t v) override;
  int32_t GetFontBorderColor() const override { return normal_.BorderColor; }
  void SetFontBorderColor(int32_t v) override;
  int32_t GetFontShadowColor() const override { return normal_.ShadowColor; }
  void SetFontShadowColor(int32_t v) override;
  int32_t GetFontBorder() const override { return normal_.BorderWidth; }
  void SetFontBorder(int32_t v) override;
  int32_t GetFontShadow() const override { return normal_.ShadowWidth; }
  void SetFontShadow(int32_t v) override;
  int32_t GetFontHoverBorder() const override { return hover_.BorderWidth; }
  void SetFontHoverBorder(int32_t v) override;
  int32_t GetFontHoverShadow() const override { return hover_.ShadowWidth; }
  void SetFontHoverShadow(int32_t v) override;
  int32_t GetFontHoverBorderColor() const override { return hover_.BorderColor; }
  void SetFontHoverBorderColor(int32_t v) override;
  int32_t GetFontHoverShadowColor() const override { return hover_.ShadowColor; }
  void SetFontHoverShadowColor(int32_t v) override;
  bool GetAntialias() const override { return normal_.Quality > 0; }
  void SetAntialias(bool v) override;
  int32_t GetAlpha() const override { return alpha_; }
  void SetAlpha(int32_t v) override;
  int32_t GetLineSpace() const override { return line_space_; }
  void SetLineSpace(int32_t v) override;
  int32_t GetMarginX() const override { return margin_x_; }
  void SetMarginX(int32_t v) override;
  int32_t GetMarginY() const override { return margin_y_; }
  void SetMarginY(int32_t v) override;
  int32_t GetBorderWidth() const override { return border_width_; }
  void SetBorderWidth(int32_t v) override;
  int32_t GetRowCount() const override { return row_count_; }
  void SetRowCount(int32_t v) override;
  int32_t GetBorderColor() const override { return border_color_; }
  void SetBorderColor(int32_t v) override;
  uint8_t GetHAlign() const override { return h_align_; }
  void SetHAlign(uint8_t v) override;
  // Cells 0..8: top row left to right, then the centre row, then the bottom row.
  uint8_t GetBorderHAlign(int32_t cell) const override;
  void SetBorderHAlign(int32_t cell, uint8_t v) override;
  uint8_t GetBorderVAlign(int32_t cell) const override;
  void SetBorderVAlign(int32_t cell, uint8_t v) override;
  std::string GetBorderSource(int32_t cell) const override;
  // Loads the cell's picture when the file exists, else empties the cell.
  void SetBorderSource(int32_t cell, const std::string& v) override;
  std::string GetScrollSource() const override { return scroll_source_; }
  void SetScrollSource(const std::string& v) override;
  std::string GetCheckSource() const override { return check_source_; }
  void SetCheckSource(const std::string& v) override;
  int32_t GetTopIndex() const override { return top_index_; }
  // Clamped to 0 .. Count - RowCount (0 when the items fit).
  void SetTopIndex(int32_t v) override;
  int32_t GetCount() const override { return normal_.Count(); }
  int32_t GetIndex() const override { return index_; }
  void SetIndex(int32_t v) override { index_ = v; }
  bool GetPaused() const override { return paused_; }
  // Pausing takes the key focus away; resuming lets the focus search run when nobody has it.
  void SetPaused(bool v) override;
  std::string GetOnSelect() const override { return on_select_; }
  void SetOnSelect(const std::string& v) override { on_select_ = v; }
  // Items outside 0 .. Count - 1 read false and ignore writes.
  bool GetItemChecked(int32_t i) const override;
  void SetItemChecked(int32_t i, bool v) override;

  // ---- Behaviour ----
  bool Update() override;
  void Draw() override;
  void MouseLDown() override;
  void MouseLUp() override;
  void MouseMove() override;
  void MouseOut(TKovaControl* next) override;
  // The hold step, run every frame while the left button holds the control captured.
  void MouseCancel() override;
  void KeyRepeat(int32_t key) override;
  void FreeDIB() override;
  void RecreateDIB() override;
  // After the control's record: both label lists' settings, the text, the sizes, the border
  // cells, the scroll and check pictures, the scroll position, the alignment, the check flags,
  // the select handler, the pause flag, the index and the menu state.
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // Takes the hovered item: Index, the selection variables and the select event (once while one
  // waits). Nothing when no existing item is hovered.
  virtual void SelectItem();

  // ---- Geometry (screen coordinates) ----
  // Sizes the control to its items, borders and margins.
  void Layout();
  bool NeedsLayout() const { return needs_layout_; }
  // The rectangle of border cell `cell` inside `r`.
  TRect PartRect(int32_t cell, const TRect& r) const;
  // The item at the point: -1 outside the item area; may be Count or more below the last item.
  int32_t ItemAt(TPoint p) const;
  // The top of the scroll thumb.
  int32_t ThumbTop() const;
  // The scroll position a thumb centred at y gives (the current one when the column is too short).
  int32_t TopIndexAt(int32_t y) const;
  // True when the items do not fit the rows (the scroll column shows).
  bool Scrolls() const { return GetCount() > row_count_; }

  // ---- State ----
  int32_t HoverIndex() const { return hover_index_; }
  // A change also clears Index and redraws.
  void SetHoverIndex(int32_t v);
  int32_t MouseState() const { return mouse_state_; }
  bool ButtonLit() const { return button_lit_; }
  bool PageLit() const { return page_lit_; }
  int32_t MenuState() const { return menu_state_; }
  TXrLabelList& NormalLabels() { return normal_; }
  TXrLabelList& HoverLabels() { return hover_; }
  TPoint ScrollCell() const { return scroll_cell_; }
  TPoint CheckCell() const { return check_cell_; }
  TPoint BorderCellSize(int32_t cell) const;

 protected:
  // The fill colour of the hovered row; -1 none (the menu's hover colour).
  virtual int32_t HoverFillColor() const { return -1; }
  // True when the hovered item exists.
  bool HoverIsItem() const { return hover_index_ >= 0 && hover_index_ < GetCount(); }
  // The script's selection variables ("@SelStr", "@SelIndex").
  void SetSelection(const std::string& text, int32_t index);
  // Marks the control for layout and redraws it.
  void Relayout();

  TXrLabelList normal_;
  TXrLabelList hover_;
  int32_t menu_state_ = 0;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  struct TScrollRects {
    TRect Up, Down, TrackAbove, TrackBelow, Thumb;
  };
  TScrollRects ScrollRects() const;
  // Widest left and right column cells, tallest top and bottom row cells.
  int32_t LeftWidth() const;
  int32_t RightWidth() const;
  int32_t TopHeight() const;
  int32_t BottomHeight() const;
  void LoadSizedImage(const std::string& name, TWexaItem*& item, TPoint& cell, int32_t cells);
  void HoldStep();
  void StartHold(int32_t state);
  void MoveTop(int32_t v);
  void DrawBorderCells(TCustomDIBX& target, const TRect& inner, int32_t level);
  void DrawScrollColumn(TCustomDIBX& target, int32_t level);
  void DrawRows(TCustomDIBX& target, const TRect& inner, int32_t level);
  void UseGlyphCache();
  // The margins, spacing, frame width, row count and font height as the geometry uses them.
  int32_t Mx() const;
  int32_t My() const;
  int32_t Ls() const;
  int32_t Bw() const;
  int32_t Rows() const;
  int32_t Fh() const;

  std::string text_;
  int32_t line_space_ = 0;
  int32_t alpha_ = 255;
  bool needs_layout_ = true;
  int32_t margin_x_ = 0, margin_y_ = 0;
  int32_t border_width_ = 0;
  int32_t border_color_ = -1;
  int32_t row_count_ = 0;
  std::array<std::string, 9> border_source_;
  std::array<TKovaImageList, 9> border_images_;
  std::array<TPoint, 9> border_cell_{};
  std::array<uint8_t, 9> border_halign_{};
  std::array<uint8_t, 9> border_valign_{};
  std::string scroll_source_, check_source_;
  TWexaItem* scroll_item_ = nullptr;
  TWexaItem* check_item_ = nullptr;
  TPoint scroll_cell_{};
  TPoint check_cell_{};
  int32_t top_index_ = 0;
  uint8_t h_align_ = 0;
  int32_t hover_index_ = -1;
  int32_t mouse_state_ = kIdle;
  int32_t drag_offset_ = 0;
  int32_t repeat_clock_ = 0;
  int32_t repeat_left_ = 0;
  bool button_lit_ = false, page_lit_ = false;
  std::vector<uint8_t> check_flags_;
  std::string on_select_;
  bool paused_ = false;
  int32_t index_ = 0;
};

}  // namespace kova
