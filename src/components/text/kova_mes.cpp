#include "components/text/kova_mes.h"

#include <algorithm>

#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "components/text/kova_read_marks.h"
#include "components/text/message_build.h"
#include "core/array_string.h"
#include "core/errors.h"
#include "core/record_io.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/string_list.h"
#include "core/utils.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "text/store_text_port.h"
#include "text/text_limits.h"

namespace kova {
namespace {

// The first and the last glyph of a page that stand for text.
TWdGlyph* FirstTextGlyph(const TWdPage& page) {
  for (int r = 0; r < page.RowCount(); ++r) {
    for (TWdGlyph* g : page.Row(r)->Children()) {
      if (g->IsTextPos()) return g;
    }
  }
  return nullptr;
}

TWdGlyph* LastTextGlyph(const TWdPage& page) {
  for (int r = page.RowCount(); r-- > 0;) {
    const auto& children = page.Row(r)->Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if ((*it)->IsTextPos()) return *it;
    }
  }
  return nullptr;
}

}  // namespace

TKovaMes::TKovaMes(TKovaObject* owner) : TKovaControl(owner), mes_data_(std::make_unique<TKovaNewMesData>()) {
  word_.Quality = 3;
  word_.Paging = 1;
  word_.TextDelay = text_delay_;
  word_.EventHook = [this](TXrWord&, const std::string& value) { NotifyText(value); };
}

TKovaMes::~TKovaMes() {
  Invalidate();
  pages_.clear();
}

TWdPage* TKovaMes::CurrentPage() const {
  return index_ >= 0 && index_ < int32_t(pages_.size()) ? pages_[size_t(index_)].get() : nullptr;
}

// The document reaches the scene's glyph cache, variables and pictures through the root container.
void TKovaMes::Connect() {
  TKovaBaseList* root = Root();
  if (!root) return;
  word_.GlyphCache = root->GlyphCache();
  word_.Images = root->TextPictures();
  word_.ScreenBits = root->SceneHost().ScreenBitCount();
  if (root->Store() && !script_) script_ = std::make_unique<TStoreTextPort>(*root->Store());
  word_.Script = script_.get();
}

void TKovaMes::FreePages() {
  pages_.clear();
}

// ---- Text ----

std::string TKovaMes::GetText() const {
  const TWdPage* page = CurrentPage();
  return page ? page->CharText() : std::string();
}

void TKovaMes::SetText(const std::string& v) {
  // A text longer than a document may hold is refused before the window changes.
  CheckTextBytes(v.size(), kMaxTextBytes);
  Connect();
  Invalidate();
  mes_data_->Segments.Clear();
  text_ = v;
  CommitHistory();
  start_offset_ = 0;
  FreePages();
  index_ = 0;
  scroll_ = 0;
  TStringList lines;
  lines.SetText(v);
  word_.Parse(lines);
  word_.ExpandVars(0, -1);
  word_.Layout(pages_, 0, -1);
  if (!pages_.empty()) {
    render_needed_ = full_render_ = true;
    RaisePlayStart();
  }
}

void TKovaMes::InsertText(bool start_event) {
  Connect();
  Invalidate();
  text_.clear();
  CommitHistory();
  FreePages();
  index_ = -1;
  mes_data_->Build(word_, pages_, history_flag_ != 0, start_offset_);
  if (!pages_.empty()) {
    if (start_event) RaisePlayStart();
    render_needed_ = full_render_ = true;
  }
}

void TKovaMes::SetSource(bool record, const std::string& page_file, int32_t command_index) {
  history_flag_ = 0;
  if (record) {
    record_mode_ = 1;
    page_file_ = page_file;
    command_index_ = command_index;
  } else {
    record_mode_ = 0;
  }
}

void TKovaMes::SetIndex(int32_t i) {
  if (i < 0 || i >= int32_t(pages_.size()) || i == index_) return;
  if (index_ >= 0) CommitHistory();
  index_ = i;
  scroll_ = 0;
  RaisePlayStart();
  TWdPage& page = *pages_[size_t(i)];
  if (record_mode_ == 1 && !page_file_.empty()) {
    page.StoreVarValues();
    if (TKovaBaseList* root = Root()) {
      const TWdGlyph* last = LastTextGlyph(page);
      const TWdGlyph* first = FirstTextGlyph(page);
      if (TKovaNewHistory* history = root->History()) {
        history->Note(*this, page_file_, page.VarSnapshot, i, last ? word_.CharPos(last) : -1,
                      first ? word_.CharPos(first) : 0, command_index_);
      }
      if (TKovaReadList* marks = root->ReadMarks()) marks->Note(GetName(), page_file_, i, command_index_);
    }
  }
  page.Rewind();
  render_needed_ = full_render_ = true;
  Invalidate();
}

void TKovaMes::CommitHistory() {
  if (loading_) return;
  TKovaBaseList* root = Root();
  if (TKovaNewHistory* history = root ? root->History() : nullptr) history->Commit(GetName());
}

void TKovaMes::RaisePlayStart() {
  if (on_play_start_.empty()) return;
  bool read = false;
  if (record_mode_ == 1 && !page_file_.empty()) {
    TKovaBaseList* root = Root();
    if (TKovaReadList* marks = root ? root->ReadMarks() : nullptr) read = marks->IsRead(page_file_, command_index_, index_);
  }
  TArrayString params;
  params.Add(read ? "1" : "0");
  QueueEvent(on_play_start_, PR_ONPLAYSTART, &params);
  start_wait_ = 1;
}

void TKovaMes::NotifyText(const std::string& text) {
  if (on_notify_.empty()) return;
  TStringList lines;
  lines.SetText(text);
  TArrayString params;
  for (int i = 0; i < lines.Count(); ++i) params.Add(lines[i]);
  QueueEvent(on_notify_, PR_ONNOTIFY, &params);
}

// ---- Style ----

void TKovaMes::StyleChanged(bool invalidate_first) {
  if (invalidate_first) Invalidate();
  render_needed_ = true;
  Invalidate();
}

#define KOVA_MES_SIZE_SETTER(Name, field)  \
  void TKovaMes::Set##Name(int32_t v) {    \
    if (v == word_.field) return;          \
    Invalidate();                          \
    word_.field = v;                       \
    StyleChanged();                        \
  }
KOVA_MES_SIZE_SETTER(FontHeight, FontSize)
KOVA_MES_SIZE_SETTER(LineSpace, LineSpace)
KOVA_MES_SIZE_SETTER(FontBorder, BorderWidth)
KOVA_MES_SIZE_SETTER(FontShadow, ShadowWidth)
#undef KOVA_MES_SIZE_SETTER

#define KOVA_MES_COLOR_SETTER(Name, field) \
  void TKovaMes::Set##Name(int32_t v) {    \
    if (v == word_.field) return;          \
    word_.field = v;                       \
    StyleChanged();                        \
  }
KOVA_MES_COLOR_SETTER(FontColor, TextColor)
KOVA_MES_COLOR_SETTER(FontLinkColor, LinkColor)
KOVA_MES_COLOR_SETTER(FontHoverColor, HoverColor)
KOVA_MES_COLOR_SETTER(FontBorderColor, BorderColor)
KOVA_MES_COLOR_SETTER(FontShadowColor, ShadowColor)
#undef KOVA_MES_COLOR_SETTER

void TKovaMes::SetFontName(const std::string& v) {
  word_.FontName = v;
  if (CurrentPage()) StyleChanged();
}

void TKovaMes::SetAntialias(bool v) {
  const int32_t quality = v ? 3 : 0;
  if (quality == word_.Quality) return;
  word_.Quality = quality;
  if (CurrentPage()) render_needed_ = true;
  Invalidate();
}

void TKovaMes::SetAlpha(int32_t v) {
  word_.Alpha = v;
  Invalidate();
}

void TKovaMes::SetDelay(int32_t v) { word_.SetFadeTime(std::max(0, v)); }

void TKovaMes::SetTextDelay(int32_t v) {
  text_delay_ = v;
  word_.TextDelay = v;
}

void TKovaMes::ApplyPauseFlags() {
  word_.Paused = paused_ || text_paused_;
  if (!word_.Paused) {
    if (TWdPage* page = CurrentPage()) page->ResetTimer();
  }
}

void TKovaMes::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  ApplyPauseFlags();
}

void TKovaMes::SetTextPaused(bool v) {
  if (v == text_paused_) return;
  text_paused_ = v;
  ApplyPauseFlags();
}

void TKovaMes::SetScrollY(int32_t v) {
  if (v == scroll_) return;
  scroll_ = v;
  if (TWdPage* page = CurrentPage()) {
    page->ScrollTop = v;
    page->ResetTimer();
  }
  Invalidate();
}

void TKovaMes::SetWidth(int32_t v) {
  if (v == GetWidth()) return;
  TKovaControl::SetWidth(v);
  word_.WrapWidth = v;
}

void TKovaMes::SetHeight(int32_t v) {
  if (v == GetHeight()) return;
  TKovaControl::SetHeight(v);
  word_.PageHeight = v;
}

void TKovaMes::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TKovaControl::SetBounds(left, top, width, height);
  word_.WrapWidth = GetWidth();
  word_.PageHeight = GetHeight();
}

void TKovaMes::SetOnNotify(const std::string& v) {
  on_notify_ = v;
  word_.EventsOn = v.empty() ? 0 : 1;
}

bool TKovaMes::GetPlaying() const {
  const TWdPage* page = CurrentPage();
  return page && (index_ + 1 < int32_t(pages_.size()) || page->IsPlaying());
}

int32_t TKovaMes::GetPlayState() const {
  const TWdPage* page = CurrentPage();
  return page && page->IsPlaying() ? 0 : 2;
}

// ---- The frame ----

void TKovaMes::RenderIfNeeded(TWdPage* page) {
  if (!render_needed_) return;
  Connect();
  if (page) page->Render(full_render_);
  render_needed_ = full_render_ = false;
}

bool TKovaMes::Update() {
  TKovaControl::Update();
  if (start_wait_ >= 1) {
    --start_wait_;
    return false;
  }
  if (EventQueued(PR_ONPLAYSTART)) return false;
  word_.OriginX = GetScreenLeft();
  word_.OriginY = GetScreenTop();
  TWdPage* page = CurrentPage();
  RenderIfNeeded(page);
  if (!page) return false;
  TKovaBaseList* root = Root();
  bool finished = false;
  std::string text;
  page->Progress(root ? root->FrameDelta() : 0, finished, text);
  // The page may be gone: a notify handler does not run here, but the hook queues only.
  if (!text.empty() && !on_playing_.empty()) {
    TArrayString params;
    params.Add(text);
    QueueEvent(on_playing_, PR_ONPLAYING, &params);
  }
  if (finished) {
    if (TKovaReadList* marks = root ? root->ReadMarks() : nullptr) marks->Commit(GetName());
    if (!on_play_end_.empty()) QueueEvent(on_play_end_, PR_ONPLAYEND);
  }
  FlushDirty();
  return false;
}

void TKovaMes::FlushDirty() {
  if (!GetVisible()) {
    word_.DirtyRects.clear();
    return;
  }
  TKovaBase* base = GetBase();
  if (base) {
    for (const TRect& r : word_.DirtyRects) base->InvalidateRect(r);
  }
  word_.DirtyRects.clear();
}

void TKovaMes::Draw() {
  if (!GetVisible()) return;
  TCustomDIBX* target = GetTargetDIB();
  TWdPage* page = CurrentPage();
  if (target && GetBase() && page) {
    RenderIfNeeded(page);
    word_.Target = target;
    word_.OriginX = GetScreenLeft();
    word_.OriginY = GetScreenTop();
    word_.UpdateRect = IntersectRects(target->GetClipRect(), target->BoundsRect());
    page->Compose();
    word_.Target = nullptr;
  }
  DrawChildren();
}

// ---- Mouse ----

TPoint TKovaMes::HoverPoint() {
  TWdPage* page = CurrentPage();
  if (paused_ || text_paused_ || !page || page->IsPlaying()) return TPoint{-1, -1};
  return GetBase()->MousePos();
}

void TKovaMes::HoverLinkUnderPointer(TWdPage& page) {
  word_.OriginX = GetScreenLeft();
  word_.OriginY = GetScreenTop();
  const TPoint p = HoverPoint();
  word_.DirtyRects.clear();
  page.LinkAt(p.X, p.Y);
  FlushDirty();
}

void TKovaMes::MouseMove() {
  TKovaBase* base = GetBase();
  TWdPage* page = CurrentPage();
  if (!GetVisible() || !base || !page) {
    TKovaControl::MouseMove();
    return;
  }
  HoverLinkUnderPointer(*page);
  TKovaControl::MouseMove();
}

void TKovaMes::MouseOut(TKovaControl* next) {
  TWdPage* page = CurrentPage();
  if (GetVisible() && GetBase() && page) {
    word_.DirtyRects.clear();
    page->LinkAt(-1, -1);
    FlushDirty();
  }
  TKovaControl::MouseOut(next);
}

void TKovaMes::MouseLDown() {
  TWdPage* page = CurrentPage();
  // The link under the pointer now counts, whether or not a move was seen before the press.
  if (page && GetVisible() && GetBase()) HoverLinkUnderPointer(*page);
  if (!on_link_.empty() && page && page->Hovered && !EventQueued(PR_ONLINK)) {
    TArrayString params;
    params.Add(page->GetLinkText());
    TStringList lines;
    lines.SetText(page->Hovered->GetHref());
    for (int i = 0; i < lines.Count(); ++i) params.Add(lines[i]);
    QueueEvent(on_link_, PR_ONLINK, &params);
    if (TKovaBase* base = GetBase()) base->LeftClick = false;
    return;
  }
  TKovaControl::MouseLDown();
}

TKovaControl* TKovaMes::HitTest(TPoint point, uint32_t mask) {
  if (!GetVisible() || !PointInRect(point, GetBoundsRect())) return nullptr;
  for (auto it = Controls().rbegin(); it != Controls().rend(); ++it) {
    if (TKovaControl* hit = (*it)->HitTest(point, mask)) return hit;
  }
  const uint8_t ignore = GetIgnoreMouse();
  if (ignore >= 32 || !((mask >> ignore) & 1u)) return nullptr;
  if (capture_link_) {
    TWdPage* page = CurrentPage();
    if (!page) return nullptr;
    word_.OriginX = GetScreenLeft();
    word_.OriginY = GetScreenTop();
    const TWdGlyph* g = page->GlyphAt(point.X, point.Y);
    if (!g || g->GetHref().empty()) return nullptr;
  }
  return this;
}

// ---- Surfaces ----

void TKovaMes::FreeDIB() { word_.SuspendImages(); }

void TKovaMes::RecreateDIB() {
  word_.ResumeImages();
  Connect();
  if (TWdPage* page = CurrentPage()) page->Render(false);
  Invalidate();
}

// ---- Save form ----

template <class IO, class R>
void TKovaMes::Transfer(IO& io, R& r) {
  if constexpr (IO::kLoading) {
    r.word_.LoadSettings(io.Stream(), io.Version());
    r.word_.WrapWidth = r.GetWidth();
    r.word_.PageHeight = r.GetHeight();
  } else {
    r.word_.SaveSettings(io.Stream());
    if (TWdPage* page = r.CurrentPage()) {
      page->StoreVarValues();
      // A text of one command takes the page's snapshot; recalled segments keep their own.
      if (r.mes_data_->Segments.Count() == 1) r.mes_data_->Segments.VarText[0] = page->VarSnapshot;
    }
  }
  io.Versioned(*r.mes_data_);
  io.Byte(r.history_flag_);
  if (io.Since(113)) io.Int(r.start_offset_);
  io.Str(r.text_, [&](auto v) { r.RebuildLoaded(v); });
  // Events of the rebuild (none: the handler names are read below) and its index are replaced.
  io.Int(r.index_);
  io.Int(r.scroll_);
  io.Int(r.spare_int_);
  for (auto& s : r.spare_text_) io.Str(s);
  io.Str(r.on_playing_);
  io.Str(r.on_play_start_);
  io.Str(r.on_play_end_);
  io.Str(r.on_link_);
  io.Str(r.on_notify_, [&](auto v) { r.SetOnNotify(v); });
  io.Bool(r.paused_);
  io.Bool(r.text_paused_);
  if constexpr (IO::kLoading) r.word_.Paused = r.paused_ || r.text_paused_;
  io.Int(r.text_delay_, [&](auto v) { r.SetTextDelay(v); });
  io.Byte(r.record_mode_);
  io.Str(r.page_file_);
  io.Int(r.command_index_);
  if constexpr (IO::kLoading) {
    if (TWdPage* page = r.CurrentPage()) {
      page->ScrollTop = r.scroll_;
      page->Rewind();
      r.Connect();
      page->Render(false);
    }
  }
  if (io.Since(104)) io.Str(r.on_idle_);
  if (io.Since(120)) io.Bool(r.capture_link_);
  // The pages' states, as one block: its size (4), then the bytes.
  if constexpr (IO::kLoading) {
    int32_t n = 0;
    io.Count(n, 1);
    TMemoryStream states;
    states.SetSize(n);
    if (n > 0) io.Stream().ReadBuffer(states.Memory(), n);
    states.SetPosition(0);
    for (auto& page : r.pages_) {
      if (states.Remaining() == 0) break;
      page->LoadState(states);
    }
  } else {
    TMemoryStream states;
    for (const auto& page : r.pages_) page->SaveState(states);
    io.Count(int32_t(states.Size()), 1);
    if (states.Size() > 0) io.Stream().WriteBuffer(states.Memory(), states.Size());
  }
}

void TKovaMes::RebuildLoaded(const std::string& text) {
  // The rebuild must not touch the message history: the history section of the same save
  // holds what was pending.
  loading_ = true;
  try {
    if (mes_data_->Empty()) {
      SetText(text);
    } else {
      InsertText(false);
    }
  } catch (...) {
    loading_ = false;
    throw;
  }
  loading_ = false;
}

void TKovaMes::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaMes::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  if (TWdPage* page = CurrentPage()) page->Render(false);
  render_needed_ = full_render_ = false;
  start_wait_ = 0;
}

}  // namespace kova
