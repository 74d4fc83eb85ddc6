// The message window: a control that shows rich text page by page, reveals each page glyph by
// glyph over the game clock, lets the player click links, turns EVENT tags into script events and
// feeds the message history and the read marks.
//
// Text arrives as markup (PR_TEXT: parsed, VAR tags expanded, laid out into pages) or by reference
// to compiled texts of page files (the text-insert command and the history recall fill the message
// data; InsertText rebuilds the document from it). A page becomes current through SetText, SetIndex
// or the caller's SetIndex after InsertText; Update reveals it, Draw composes it onto the layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/kova_control.h"
#include "components/text/kova_mes_data.h"
#include "core/vocabulary.h"
#include "text/page.h"
#include "text/xr_word.h"

namespace kova {

class TStoreTextPort;

class TKovaMes : public TKovaControl {
 public:
  explicit TKovaMes(TKovaObject* owner);
  ~TKovaMes() override;

  uint8_t GetCompoType() const override { return KT_MES; }

  // ---- Properties ----
  // The text of the current page; empty without one.
  std::string GetText() const override;
  // Parses the markup into pages and shows page 0 (see the file comment).
  void SetText(const std::string& v) override;
  void AddText(const std::string& s) override { SetText(s); }
  void ResetRecordMode() override { record_mode_ = 0; }
  int32_t GetIndex() const override { return index_; }
  void SetIndex(int32_t i) override;
  int32_t GetCount() const override { return int32_t(pages_.size()); }
  int32_t GetScrollY() const override { return scroll_; }
  void SetScrollY(int32_t v) override;
  int32_t GetDelay() const override { return word_.FadeTime; }
  void SetDelay(int32_t v) override;
  int32_t GetTextDelay() const override { return text_delay_; }
  void SetTextDelay(int32_t v) override;
  bool GetPaused() const override { return paused_; }
  void SetPaused(bool v) override;
  bool GetTextPaused() const override { return text_paused_; }
  void SetTextPaused(bool v) override;
  TPoint GetCaretPos() const override { return word_.Caret; }
  int32_t GetFontHeight() const override { return word_.FontSize; }
  void SetFontHeight(int32_t v) override;
  int32_t GetLineSpace() const override { return word_.LineSpace; }
  void SetLineSpace(int32_t v) override;
  int32_t GetFontBorder() const override { return word_.BorderWidth; }
  void SetFontBorder(int32_t v) override;
  int32_t GetFontShadow() const override { return word_.ShadowWidth; }
  void SetFontShadow(int32_t v) override;
  int32_t GetFontColor() const override { return word_.TextColor; }
  void SetFontColor(int32_t v) override;
  int32_t GetFontLinkColor() const override { return word_.LinkColor; }
  void SetFontLinkColor(int32_t v) override;
  int32_t GetFontHoverColor() const override { return word_.HoverColor; }
  void SetFontHoverColor(int32_t v) override;
  int32_t GetFontBorderColor() const override { return word_.BorderColor; }
  void SetFontBorderColor(int32_t v) override;
  int32_t GetFontShadowColor() const override { return word_.ShadowColor; }
  void SetFontShadowColor(int32_t v) override;
  std::string GetFontName() const override { return word_.FontName; }
  void SetFontName(const std::string& v) override;
  bool GetAntialias() const override { return word_.Quality > 0; }
  void SetAntialias(bool v) override;
  int32_t GetAlpha() const override { return word_.Alpha; }
  void SetAlpha(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  bool GetPlaying() const override;
  // 0 while the current page is revealing, else 2.
  int32_t GetPlayState() const override;
  bool GetCaptureLink() const override { return capture_link_; }
  void SetCaptureLink(bool v) override { capture_link_ = v; }
#define KOVA_MES_HANDLER(N, field)                               \
  std::string Get##N() const override { return field; }         \
  void Set##N(const std::string& v) override { field = v; }
  KOVA_MES_HANDLER(OnPlaying, on_playing_)
  KOVA_MES_HANDLER(OnPlayStart, on_play_start_)
  KOVA_MES_HANDLER(OnPlayEnd, on_play_end_)
  KOVA_MES_HANDLER(OnLink, on_link_)
  KOVA_MES_HANDLER(OnIdle, on_idle_)
#undef KOVA_MES_HANDLER
  std::string GetOnNotify() const override { return on_notify_; }
  void SetOnNotify(const std::string& v) override;

  // ---- Behaviour ----
  bool Update() override;
  void Draw() override;
  void MouseMove() override;
  void MouseOut(TKovaControl* next) override;
  void MouseLDown() override;
  TKovaControl* HitTest(TPoint point, uint32_t mask) override;
  void FreeDIB() override;
  void RecreateDIB() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  // ---- Text by reference (the text-insert command, the history recall, loading) ----
  // Rebuilds the pages from the message data; Index becomes -1 and the caller selects a page.
  // With `start_event` the start event of the first page is raised.
  void InsertText(bool start_event);
  TKovaNewMesData& MesData() { return *mes_data_; }
  // Index -1, then page 0 becomes current (the recall's last step).
  void ShowFirstPage() {
    index_ = -1;
    SetIndex(0);
  }
  // The text-insert command's marks: record mode 1 with the page file and the command's index
  // when `record`, else record mode 0; the history flag is cleared.
  void SetSource(bool record, const std::string& page_file, int32_t command_index);
  uint8_t RecordMode() const { return record_mode_; }
  void SetRecordMode(uint8_t mode) { record_mode_ = mode; }
  uint8_t HistoryFlag() const { return history_flag_; }
  void SetHistoryFlag(uint8_t flag) { history_flag_ = flag; }
  int32_t StartOffset() const { return start_offset_; }
  void SetStartOffset(int32_t v) { start_offset_ = v; }
  const std::string& PageFile() const { return page_file_; }
  int32_t CommandIndex() const { return command_index_; }

  // The document and its pages (drawing, tests).
  TXrWord& Word() { return word_; }
  TPageList& Pages() { return pages_; }
  TWdPage* CurrentPage() const;

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);
  // Builds the pages of a loaded text (the message data's when it holds some).
  void RebuildLoaded(const std::string& text);

  void Connect();
  void FreePages();
  void RaisePlayStart();
  void CommitHistory();
  void NotifyText(const std::string& text);
  void StyleChanged(bool invalidate_first = false);
  void ApplyPauseFlags();
  // Passes the rectangles the document collected as changed to the layer.
  void FlushDirty();
  // Renders the current page again when something asked for it (the whole page after a full-render request).
  void RenderIfNeeded(TWdPage* page);
  // The layer's mouse position, or (-1, -1) while paused or revealing.
  TPoint HoverPoint();
  // Hovers the page's link under the pointer (none while the page plays or the window is paused).
  void HoverLinkUnderPointer(TWdPage& page);

  TXrWord word_;
  TPageList pages_;
  int32_t index_ = 0;
  int32_t scroll_ = 0;
  int32_t spare_int_ = 0;
  std::string spare_text_[3];
  std::string on_playing_, on_play_start_, on_play_end_, on_link_, on_notify_;
  bool paused_ = false;
  bool text_paused_ = false;
  int32_t text_delay_ = 256;
  uint8_t record_mode_ = 0;
  int32_t command_index_ = 0;
  std::string page_file_;
  std::unique_ptr<TKovaNewMesData> mes_data_;
  std::string text_;
  int32_t start_wait_ = 0;
  std::string on_idle_;
  uint8_t history_flag_ = 0;
  bool render_needed_ = false;
  bool full_render_ = false;
  int32_t start_offset_ = 0;
  bool capture_link_ = false;
  bool loading_ = false;
  std::unique_ptr<TStoreTextPort> script_;
};

}  // namespace kova
