// Layout: groups a range of the document's glyphs into rows and pages within the wrap width and
// the page height.
#include "text/layout.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "text/xr_word.h"

namespace kova {
namespace {

// Characters no row may start with: 。、｣」』)）､｡!?！？】
constexpr uint16_t kNoLineStart[] = {0x8142, 0x8141, 0xA3, 0x8176, 0x8178, 0x29, 0x816A,
                                     0xA4,   0xA1,   0x21, 0x3F,   0x8149, 0x8148, 0x817A};
// Characters no row may end with: ｢「『（([<【
constexpr uint16_t kNoLineEnd[] = {0xA2, 0x8175, 0x8177, 0x8169, 0x28, 0x5B, 0x3C, 0x8179};

template <size_t N>
bool In(const uint16_t (&set)[N], uint16_t code) {
  return std::find(std::begin(set), std::end(set), code) != std::end(set);
}

int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The float regions of a page: rectangles of floating pictures and which side each floats on.
class TWdClipList {
 public:
  explicit TWdClipList(int32_t available) : available_(available) {}
  void Clear() { items_.clear(); }
  void Add(const TRect& r, bool left) { items_.push_back({r, left}); }
  // The horizontal room at y.
  void Bounds(int32_t y, int32_t& left, int32_t& right) const {
    left = 0;
    right = available_;
    for (const auto& [r, is_left] : items_) {
      if (r.Top <= y && y < r.Bottom) {
        if (is_left) {
          left = std::max(left, r.Right);
        } else {
          right = std::min(right, r.Left);
        }
      }
    }
  }

 private:
  struct Item {
    TRect Rect;
    bool Left;
  };
  int32_t available_;
  std::vector<Item> items_;
};

}  // namespace

bool CanBreakBefore(const TWdGlyph& b, const TWdGlyph* a) {
  const uint16_t bc = b.GetChar();
  const uint16_t ac = a ? a->GetChar() : 0;
  if (a && a->GetNoBreak() && b.GetNoBreak()) return false;
  if (const std::string ruby = b.GetRuby(); !ruby.empty() && a && ruby == a->GetRuby()) return false;
  if (ac >= 33 && ac <= 255 && bc >= 33 && bc <= 255) return false;
  if (ac != 32 && bc == 32) return false;
  if (In(kNoLineStart, bc)) return false;
  return true;
}

bool CanBreakAfter(const TWdGlyph& a) { return !In(kNoLineEnd, a.GetChar()); }

TRunMeasure MeasureRun(const TXrWord& doc, int index, int last) {
  const TWdGlyph* g = doc.Glyphs(index);
  TRunMeasure run{g->Width(), 1};
  if (g->Kind() == WK_RETURN) return run;
  const TWdGlyph* p = g;
  int j = index + 1;
  const auto walk = [&] {
    for (; j <= last; ++j) {
      const TWdGlyph* n = doc.Glyphs(j);
      if (CanBreakBefore(*n, p)) break;
      run.Width = Clamp32(int64_t(run.Width) + n->Width());
      ++run.Count;
      p = n;
      if (n->Kind() == WK_RETURN) {
        ++j;
        return;
      }
    }
  };
  walk();
  if (run.Count == 1 && j <= last && !CanBreakAfter(*g) && doc.Glyphs(j)->Kind() != WK_RETURN) {
    const TWdGlyph* n = doc.Glyphs(j++);
    run.Width = Clamp32(int64_t(run.Width) + n->Width());
    ++run.Count;
    p = n;
    walk();
  }
  return run;
}

void TXrWord::Layout(TPageList& pages, int first, int last) {
  const int n = GlyphCount();
  if (last < 0 || last >= n) {
    last = n - 1;
  } else {
    const int at = GlyphIndexAtTextPos(last);
    last = at < 0 ? n - 1 : at;
  }
  first = std::max(first, 0);
  for (int i = first; i <= last; ++i) glyphs_[size_t(i)]->Reset();

  const bool auto_width = WrapWidth <= 0;
  const int32_t wrap = auto_width ? 0 : WrapWidth;
  const size_t pages_before = pages.size();
  int64_t y = 0;
  uint8_t align = WA_LEFT;
  int32_t indent = 0;
  TWdPage* page = nullptr;
  TWdRow* row = nullptr;
  TWdClipList floats(wrap);
  // A glyph sent back to be laid out again (a wrap, a page break) that comes back more than a few
  // times is placed where it stands, so that no input can keep layout from ending.
  int retry_index = -1, retries = 0;
  const auto close_row = [&](int64_t advance) {
    y += advance;
    row = nullptr;
  };

  int i = first;
  while (i <= last) {
    TWdGlyph* g = glyphs_[size_t(i)].get();
    const int kind = g->Kind();
    if (kind == WK_ALIGN) {
      align = g->GetAlign();
      if (row && !row->HoldsReal()) row->AlignByte = align;
      ++i;
      continue;
    }
    if (kind == WK_INDENT) {
      if (row) indent = row->ContentWidth;
      ++i;
      continue;
    }
    if (kind == WK_UNDENT) {
      indent = 0;
      ++i;
      continue;
    }
    if (i == retry_index) {
      ++retries;
    } else {
      retry_index = i;
      retries = 0;
    }
    const bool stuck = retries > 2;
    if (!row) {
      if (!page) {
        pages.push_back(std::make_unique<TWdPage>(this));
        page = pages.back().get();
        y = 0;
        floats.Clear();  // floats belong to the page they were placed on
      }
      row = page->AddRow();
      row->Y = Clamp32(y);
      row->AlignByte = align;
      row->ContentWidth = indent;
      floats.Bounds(row->Y, row->RowLeft, row->RowRight);
      if (indent > 0) {
        auto space = std::make_unique<TWdSpace>(this);
        space->W = indent;
        space->Parent = row;
        row->Add(space.get());
        row->Own(std::move(space));
      }
    }
    if (!g->IsFloat()) {
      const TRunMeasure run = MeasureRun(*this, i, last);
      // Only a row that holds inline glyphs wraps; a run too wide for an empty row overflows it.
      if (!stuck && wrap != 0 && row->ContentWidth != 0 && row->HoldsInline() &&
          int64_t(row->ContentWidth) + run.Width > int64_t(row->RowRight) - row->RowLeft) {
        close_row(int64_t(row->H) + LineSpace);
        continue;
      }
      bool paged = false;
      for (int k = 0; k < run.Count; ++k) {
        TWdGlyph* gk = glyphs_[size_t(i + k)].get();
        // The parent first: a line break's height depends on whether it stands alone in its row.
        gk->Parent = row;
        row->Add(gk);
        if (!stuck && page->RowCount() > 1 && Paging && int64_t(row->H) + y > PageHeight) {
          TWdGlyph* restart = row->FirstLaidGlyph();
          for (TWdGlyph* c : row->Children()) c->Parent = nullptr;
          page->RemoveLastRow();
          row = nullptr;
          page = nullptr;
          i = IndexOf(restart);
          paged = true;
          break;
        }
      }
      if (paged) continue;
      row->ContentWidth = Clamp32(int64_t(row->ContentWidth) + run.Width);
      const TWdGlyph* end = glyphs_[size_t(i + run.Count - 1)].get();
      if (end->Kind() == WK_RETURN) {
        close_row(int64_t(row->H) + LineSpace);
        if (end->GetClear()) page = nullptr;
      }
      i += run.Count;
      continue;
    }
    // A floating picture.
    if (!stuck && row->HoldsInline()) {
      close_row(row->H);
      continue;
    }
    if (!stuck && Paging && page->RowCount() > 1 && int64_t(g->Height()) + y > PageHeight) {
      page->RemoveLastRow();
      row = nullptr;
      page = nullptr;
      continue;
    }
    int32_t left, right;
    floats.Bounds(row->Y, left, right);
    const bool to_left = g->GetAlign() == WA_LEFT;
    const int32_t x = to_left ? left : Clamp32(int64_t(right) - g->Width());
    floats.Add(TRect{x, row->Y, Clamp32(int64_t(x) + g->Width()), Clamp32(int64_t(row->Y) + g->Height())}, to_left);
    g->X = x;
    g->Y = 0;
    g->Parent = row;
    row->Add(g);
    floats.Bounds(row->Y, row->RowLeft, row->RowRight);
    ++i;
  }

  // With no wrap width the text is as wide as its widest row: right and centred rows align to it.
  if (auto_width) {
    int32_t widest = 0;
    for (size_t p = pages_before; p < pages.size(); ++p) {
      for (int r = 0; r < pages[p]->RowCount(); ++r) widest = std::max(widest, pages[p]->Row(r)->ContentWidth);
    }
    for (size_t p = pages_before; p < pages.size(); ++p) {
      for (int r = 0; r < pages[p]->RowCount(); ++r) {
        TWdRow* row_r = pages[p]->Row(r);
        row_r->RowRight = std::max(row_r->RowRight, widest);
      }
    }
  }
  int32_t widest = 0;
  for (auto& p : pages) {
    p->Arrange();
    for (int r = 0; r < p->RowCount(); ++r) widest = std::max(widest, p->Row(r)->W);
  }
  if (auto_width) WrapWidth = widest;
}

}  // namespace kova
