#include "text/page.h"

#include <algorithm>
#include <limits>

#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/tab_strings.h"
#include "text/xr_word.h"

namespace kova {

TWdPage::TWdPage(TXrWord* owner) : TWdComposite(owner) { owner->pages_.push_back(this); }

TWdPage::~TWdPage() {
  for (TWdGlyph* row : children_) {
    for (TWdGlyph* g : static_cast<TWdRow*>(row)->Children()) {
      if (g->Parent == row) g->Parent = nullptr;
    }
  }
  if (!detached_) std::erase(Owner->pages_, this);
}

void TWdPage::DropGlyphs(const std::unordered_set<const TWdGlyph*>* gone) {
  const auto out = [gone](const TWdGlyph* g) { return !gone || gone->count(g) != 0; };
  for (TWdGlyph* row : children_) static_cast<TWdRow*>(row)->DropChildren(out);
  std::erase_if(Fading, out);
  std::erase_if(AnimatedList, out);
  if (Hovered && out(Hovered)) Hovered = nullptr;
}

int32_t TWdPage::Width() const { return Owner->WrapWidth; }
int32_t TWdPage::AbsX() const { return Owner->OriginX; }
int32_t TWdPage::AbsY() const { return Owner->OriginY - (Owner->Paging ? 0 : ScrollTop); }

TWdRow* TWdPage::AddRow() {
  auto row = std::make_unique<TWdRow>(Owner);
  TWdRow* raw = row.get();
  raw->Parent = this;
  children_.push_back(raw);
  owned_.push_back(std::move(row));
  return raw;
}

void TWdPage::RemoveLastRow() {
  if (children_.empty()) return;
  TWdGlyph* row = children_.back();
  children_.pop_back();
  Disown(row);
}

void TWdPage::Clear() {
  for (TWdGlyph* row : children_) {
    for (TWdGlyph* g : static_cast<TWdRow*>(row)->Children()) {
      if (g->Parent == row) g->Parent = nullptr;
    }
  }
  children_.clear();
  owned_.clear();
  Hovered = nullptr;
  FinishedFlag = 0;
  Rewind();
  Owner->Caret = TPoint{};
}

void TWdPage::Arrange() {
  int32_t bottom = 0;
  for (TWdGlyph* r : children_) {
    auto* row = static_cast<TWdRow*>(r);
    row->Arrange();
    bottom = std::max(bottom, row->Y + row->H);
    for (TWdGlyph* g : row->Children()) {
      if (g->IsFloat()) bottom = std::max(bottom, row->Y + g->Y + g->H);
    }
  }
  H = bottom;
}

TWdGlyph* TWdPage::GlyphAt(int32_t x, int32_t y) {
  x -= Owner->OriginX;
  y -= Owner->OriginY;
  if (x < 0 || x >= Width() || y < 0 || y >= Owner->PageHeight) return nullptr;
  y += ScrollTop;
  for (TWdGlyph* r : children_) {
    if (r->Y <= y && y < r->Y + r->H) {
      if (TWdGlyph* g = r->GlyphAt(x - r->X, y - r->Y)) return g;
      break;
    }
  }
  for (TWdGlyph* r : children_) {
    for (TWdGlyph* g : static_cast<TWdRow*>(r)->Children()) {
      if (g->GetAlign() == 0) continue;
      const int32_t gx = r->X + g->X, gy = r->Y + g->Y;
      if (x >= gx && x < gx + g->Width() && y >= gy && y < gy + g->Height()) return g;
    }
  }
  return nullptr;
}

// ---- Reveal ----

TWdGlyph* TWdPage::NextToReveal() const {
  const TWdRow* row = Row(RowIndex);
  return row ? row->Items(GlyphIndex) : nullptr;
}

bool TWdPage::IsFinished() const { return RowIndex >= RowCount() && Fading.empty(); }

bool TWdPage::IsPlaying() const {
  const bool rows_remain = RowIndex < RowCount();
  if (Owner->Paging) return (rows_remain && !Owner->Paused) || !Fading.empty();
  if (!Fading.empty()) return true;
  if (!rows_remain) return false;
  const TWdRow* next = Row(RowIndex);
  return int64_t(next->H) + (int64_t(next->Y) - ScrollTop) <= Owner->PageHeight;
}

void TWdPage::ResetTimer() {
  Budget = 0;
  FadeAccumulator = 0;
  StartWait = Owner->FadeTime >= 1 ? 1 : 0;
}

void TWdPage::Rewind() {
  RowIndex = GlyphIndex = 0;
  Budget = 0;
  FadeAccumulator = 0;
  ResetTimer();
  FinishedFlag = 0;
  Fading.clear();
  AnimatedList.clear();
}

void TWdPage::Progress(int32_t elapsed, bool& finished, std::string& text) {
  TXrWord& doc = *Owner;
  finished = !FinishedFlag && IsFinished();
  if (finished) FinishedFlag = 1;
  text.clear();
  doc.DirtyRects.clear();
  if (StartWait >= 1) {
    --StartWait;
    return;
  }
  int64_t e = elapsed;
  if (RowIndex < RowCount() && !doc.Paused && EventText.empty()) {
    if (RowIndex == 0 && GlyphIndex == 0) {
      Budget = 0;
      FadeAccumulator = 0;
      e = 0;
    } else if (EventsHanded) {
      EventsHanded = 0;
      e = 0;
    }
    int64_t budget = int64_t(Budget) - e;
    while (RowIndex < RowCount() && budget <= 0) {
      TWdRow* r = Row(RowIndex);
      if (int64_t(r->Y) - ScrollTop > doc.PageHeight) break;
      TWdGlyph* g = r->Items(GlyphIndex);
      if (++GlyphIndex >= r->Count()) {
        GlyphIndex = 0;
        ++RowIndex;
      }
      if (!g) continue;
      g->SetAlpha(0);
      // Delay x text delay / 256; a negative product costs nothing.
      const int64_t cost = (int64_t(g->GetDelay()) * doc.TextDelay) >> 8;
      budget = std::min<int64_t>(budget + std::max<int64_t>(cost, 0), std::numeric_limits<int32_t>::max());
      // Every revealed glyph joins the fading list, operators too (they leave it at the next fade
      // step): an event at the very start of a page is handed out only once a fade step has run.
      Fading.push_back(g);
      if (g->IsAnimated()) AnimatedList.push_back(g);
      const TWdGlyph* next = NextToReveal();
      if (!next) {
        doc.Caret = TPoint{g->AbsX() - doc.OriginX + g->Width(), r->AbsY() - doc.OriginY};
      } else {
        doc.Caret = TPoint{next->AbsX() - doc.OriginX, next->AbsY() - doc.OriginY};
      }
      if (g->Kind() == WK_CHAR) {
        text += g->GetText();
      } else if (g->Kind() == WK_IMG) {
        text += '*';
      }
      if (g->Kind() == WK_EVENT && doc.EventsOn) {
        if (!EventText.empty()) EventText += '\t';
        EventText += g->GetValue();
        EventsHanded = 1;
        if (g->GetDelay() > 0 || !next || next->Kind() != WK_EVENT) break;
      }
    }
    Budget = int32_t(std::max<int64_t>(budget, std::numeric_limits<int32_t>::min()));
  }
  // Fade in.
  FadeAccumulator += e * 256;
  const int64_t fade = doc.FadeTime;
  const int64_t step = fade > 0 ? FadeAccumulator / fade : 255;
  if (step > 0) {
    FadeAccumulator %= std::max<int64_t>(fade, 1);
    const int32_t add = int32_t(std::min<int64_t>(step, 255));
    for (size_t k = Fading.size(); k-- > 0;) {
      TWdGlyph* g = Fading[k];
      g->SetAlpha(g->GetAlpha() + add);
      g->Invalidate();
    }
    std::erase_if(Fading, [](const TWdGlyph* g) { return g->GetAlpha() >= 255; });
  }
  for (TWdGlyph* g : AnimatedList) g->Animate(int32_t(e));
  if (!EventText.empty() && Fading.empty()) {
    TTabStrings values;
    values.SetDelimitedText(EventText);
    EventText.clear();
    if (doc.EventHook) {
      for (int k = 0; k < values.Count(); ++k) doc.EventHook(doc, values[k]);
    }
  }
}

// ---- Links ----

void TWdPage::SetRunHover(TWdGlyph* first, uint8_t hover) {
  TXrWord& doc = *Owner;
  const std::string link = first->GetHref();
  TWdGlyph* g = first;
  while (g && !link.empty() && g->GetHref() == link) {
    g->SetHover(hover);
    g->Erase();
    g->Render(false);
    g->Invalidate();
    g = doc.NextGlyph(g);
  }
  // The glyph after the run is drawn again: its border may overlap the run.
  if (g) {
    g->Erase();
    g->Render(false);
  }
}

void TWdPage::LinkAt(int32_t x, int32_t y) {
  TXrWord& doc = *Owner;
  TWdGlyph* g = (x >= 0 && y >= 0) ? GlyphAt(x, y) : nullptr;
  if (g && !g->GetHref().empty()) {
    const std::string link = g->GetHref();
    for (TWdGlyph* p = doc.PrevGlyph(g); p && p->GetHref() == link; p = doc.PrevGlyph(p)) g = p;
  } else {
    g = nullptr;
  }
  if (g == Hovered) return;
  if (Hovered) SetRunHover(Hovered, 0);
  Hovered = g;
  if (Hovered) SetRunHover(Hovered, 1);
}

std::string TWdPage::GetLinkText() const {
  std::string s;
  if (!Hovered) return s;
  const std::string link = Hovered->GetHref();
  for (const TWdGlyph* g = Hovered; g && g->GetHref() == link; g = Owner->NextGlyph(g)) s += g->CharText();
  return s;
}

void TWdPage::StoreVarValues() {
  TStringList list;
  CollectVars(list);
  VarSnapshot = list.Empty() ? std::string() : list.Text();
}

// ---- State ----

namespace {

// The page's own state: scroll (4), the next row and glyph to reveal (4 each), the finished flag
// (1), the events waiting; the states of its glyphs follow.
template <class IO, class I, class B, class S>
void TransferPageState(IO& io, I& scroll, I& row, I& glyph, B& finished, S& events) {
  io.Int(scroll);
  io.Int(row);
  io.Int(glyph);
  io.Byte(finished);
  io.Str(events);
}

}  // namespace

void TWdPage::SaveState(TStream& stream) const {
  TRecordSaver io(stream);
  TransferPageState(io, ScrollTop, RowIndex, GlyphIndex, FinishedFlag, EventText);
  TWdComposite::SaveState(stream);
}

void TWdPage::LoadState(TStream& stream) {
  try {
    TRecordLoader io(stream);
    int32_t scroll = 0;
    int32_t row = 0;
    int32_t glyph = 0;
    uint8_t finished = 0;
    std::string events;
    TransferPageState(io, scroll, row, glyph, finished, events);
    TWdComposite::LoadState(stream);
    const bool fits = row >= 0 && row <= RowCount() && glyph >= 0 &&
                      (row == RowCount() ? glyph == 0 : glyph < Row(row)->Count());
    Rewind();
    if (!fits) return;
    ScrollTop = scroll;
    RowIndex = row;
    GlyphIndex = glyph;
    FinishedFlag = finished;
    EventText = std::move(events);
    for (TWdGlyph* r : children_) {
      for (TWdGlyph* g : static_cast<TWdRow*>(r)->Children()) {
        if (g->GetAlpha() > 0 && g->IsAnimated()) AnimatedList.push_back(g);
      }
    }
  } catch (...) {
    Rewind();
    throw;
  }
}

}  // namespace kova
