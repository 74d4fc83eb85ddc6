// Drawing a document: a page renders its characters into the document's two work surfaces (colour
// and coverage, the page's size), and composing blends them onto the owner's target, row by row
// where rows meet the update rectangle. Pictures draw straight onto the target when composed.
#include <algorithm>
#include <cmath>

#include "core/sjis.h"
#include "graphics/dibx.h"
#include "text/font_pixel.h"
#include "text/glyph.h"
#include "text/page.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// The largest side and area of the work surfaces (a taller page is cut).
constexpr int32_t kMaxWorkSide = 8192;
constexpr int64_t kMaxWorkArea = int64_t(1) << 24;

TRect Union(const TRect& a, const TRect& b) {
  if (a.Left >= a.Right || a.Top >= a.Bottom) return b;
  if (b.Left >= b.Right || b.Top >= b.Bottom) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

bool SameEdges(const TWdChar& a, const TWdGlyph* b) {
  const auto* c = dynamic_cast<const TWdChar*>(b);
  return c && c->GetBorder() == a.GetBorder() && c->GetShadow() == a.GetShadow() &&
         c->BorderColorRef() == a.BorderColorRef() && c->ShadowColorRef() == a.ShadowColorRef();
}

const TWdChar* AsChar(const TWdGlyph* g) { return g && g->Kind() == WK_CHAR ? static_cast<const TWdChar*>(g) : nullptr; }

}  // namespace

// ---- The document's surfaces ----

TDIBX& TXrWord::ColorSurface() {
  if (!color_surface_) color_surface_ = std::make_unique<TDIBX>();
  return *color_surface_;
}

TDIBX& TXrWord::CoverSurface() {
  if (!cover_surface_) cover_surface_ = std::make_unique<TDIBX>();
  return *cover_surface_;
}

TRect TXrWord::VisibleRect() const {
  return TRect{OriginX, OriginY, int32_t(std::min<int64_t>(int64_t(OriginX) + WrapWidth, INT32_MAX)),
               int32_t(std::min<int64_t>(int64_t(OriginY) + PageHeight, INT32_MAX))};
}

// ---- Page ----

void TWdPage::Render(bool hide) {
  TXrWord& doc = *Owner;
  TDIBX& color = doc.ColorSurface();
  TDIBX& cover = doc.CoverSurface();
  const int32_t w = std::clamp(Width(), 0, kMaxWorkSide);
  int32_t h = std::clamp(std::max(doc.PageHeight, H), 0, kMaxWorkSide);
  if (w > 0 && int64_t(w) * h > kMaxWorkArea) h = int32_t(kMaxWorkArea / w);
  const int32_t bits = doc.ScreenBits == 16 || doc.ScreenBits == 32 ? doc.ScreenBits : 15;
  if (color.Width() != w || color.Height() != h || color.BitCount() != bits) {
    color.SetSize(w, h, bits);
    cover.SetSize(w, h, 8);
  }
  if (color.IsEmpty()) return;
  color.Fill(0);
  cover.Fill(0);
  TWdComposite::Render(hide);
}

// ---- Characters ----

int32_t TWdChar::TextColorRef() const {
  if (HoverByte) return Owner->HoverColor;
  if (Decoration->Values.Color != -1) return Decoration->Values.Color;
  if (!Link.empty()) return Owner->LinkColor;
  return Owner->TextColor;
}

int32_t TWdChar::BorderColorRef() const {
  return Decoration->Values.BColor != -1 ? Decoration->Values.BColor : Owner->BorderColor;
}

int32_t TWdChar::ShadowColorRef() const {
  return Decoration->Values.SColor != -1 ? Decoration->Values.SColor : Owner->ShadowColor;
}

void TWdChar::Render(bool hide) {
  TWdReal::Render(hide);
  DrawnRect = {};
  TXrWord& doc = *Owner;
  TFontPixelManager* cache = doc.GlyphCache;
  const TWdPage* page = GetPage();
  if (!cache || !page) return;
  TDIBX& color = doc.ColorSurface();
  TDIBX& cover = doc.CoverSurface();
  if (color.IsEmpty()) return;

  const TDecorateValues& d = Decoration->Values;
  std::string font = !d.FontName.empty() ? d.FontName : !doc.FontName.empty() ? doc.FontName : kDefaultFontName;
  const uint8_t style = uint8_t(d.Style | (Link.empty() ? 0 : kStyleUnderline));
  const int32_t size = d.Size > 0 ? d.Size : std::max(0, doc.FontSize);
  cache->SetQuality(doc.Quality);

  const int32_t x = AbsX() - page->AbsX();
  const int32_t y = PageY();
  TGlyphDrawArgs args;
  args.Colors.Text = uint32_t(color.ColorToPixel(TextColorRef()));
  args.Colors.Border = uint32_t(color.ColorToPixel(BorderColorRef()));
  args.Colors.Shadow = uint32_t(color.ColorToPixel(ShadowColorRef()));
  args.Border = GetBorder();
  args.Shadow = GetShadow();

  const auto* row = dynamic_cast<const TWdRow*>(Parent);
  const int at = row ? row->IndexOf(this) : -1;
  const TWdGlyph* before = at > 0 ? row->Items(at - 1) : nullptr;
  const TWdGlyph* after = at >= 0 ? row->Items(at + 1) : nullptr;

  // Ruby over the run of adjacent characters with the same ruby text, drawn by its first.
  int32_t ruby_band = 0;
  if (!d.Ruby.empty()) {
    const int32_t ruby_size = std::max(1, size / 2);
    ruby_band = ruby_size;
    const TWdChar* prev = AsChar(before);
    if (!prev || prev->GetRuby() != d.Ruby) {
      int64_t run_width = 0;
      for (int i = at; row && i < row->Count(); ++i) {
        const TWdChar* c = AsChar(row->Items(i));
        if (!c || c->GetRuby() != d.Ruby) break;
        run_width += c->Width();
      }
      if (!row) run_width = Width();
      const std::string& ruby = d.Ruby;
      const int n = std::max(1, SjisLength(ruby));
      const double step = double(run_width) / double(n) / 2.0;
      const uint8_t ruby_style = style & (kStyleBold | kStyleItalic);
      size_t k = 1;
      for (size_t i = 0; i < ruby.size(); ++k) {
        uint16_t code = uint8_t(ruby[i]);
        const bool dbl = IsSjisLeadByte(ruby[i]) && i + 1 < ruby.size();
        if (dbl) code = uint16_t(code << 8 | uint8_t(ruby[i + 1]));
        i += dbl ? 2 : 1;
        const int32_t rx = x + int32_t(std::nearbyint(double(2 * k - 1) * step)) - (dbl ? ruby_size / 2 : ruby_size / 4);
        TFontPixelRef g = cache->GetGlyph(code, font, ruby_size, ruby_style);
        TGlyphDrawArgs r = args;
        r.Cell = TRect{rx, y, rx + ruby_size, y + ruby_size};
        DrawnRect = Union(DrawnRect, g->Draw(color, cover, r));
      }
    }
  }

  args.LeftDiffers = !SameEdges(*this, before);
  args.RightDiffers = !SameEdges(*this, after);
  args.Cell = TRect{x, y + ruby_band, x + Width(), y + Height()};
  TFontPixelRef g = cache->GetGlyph(Code, font, size, style);
  DrawnRect = Union(DrawnRect, g->Draw(color, cover, args));
}

void TWdChar::Erase() {
  if (DrawnRect.Left >= DrawnRect.Right || DrawnRect.Top >= DrawnRect.Bottom) return;
  Owner->ColorSurface().FillRect(DrawnRect, 0);
  Owner->CoverSurface().FillRect(DrawnRect, 0);
  DrawnRect = {};
}

void TWdChar::Compose() {
  TXrWord& doc = *Owner;
  if (AlphaValue <= 0 || DrawnRect.Left >= DrawnRect.Right || DrawnRect.Top >= DrawnRect.Bottom) return;
  TCustomDIBX* target = doc.Target;
  const TWdPage* page = const_cast<TWdChar*>(this)->GetPage();
  if (!target || !page) return;
  const int32_t dx = page->AbsX(), dy = page->AbsY();
  // The drawn rectangle on the target, cut to the visible area.
  const TRect vis = doc.VisibleRect();
  const int64_t l = std::max<int64_t>(int64_t(DrawnRect.Left) + dx, vis.Left);
  const int64_t t = std::max<int64_t>(int64_t(DrawnRect.Top) + dy, vis.Top);
  const int64_t r = std::min<int64_t>(int64_t(DrawnRect.Right) + dx, vis.Right);
  const int64_t b = std::min<int64_t>(int64_t(DrawnRect.Bottom) + dy, vis.Bottom);
  if (l >= r || t >= b) return;
  const TRect src{int32_t(l - dx), int32_t(t - dy), int32_t(r - dx), int32_t(b - dy)};
  TDIBX& cover = doc.CoverSurface();
  if (GetBorder() == 0 && GetShadow() == 0) {
    target->FillMask(int32_t(l), int32_t(t), cover, src, false, false, uint32_t(target->ColorToPixel(TextColorRef())),
                     AlphaValue);
  } else if (AlphaValue < 255) {
    target->DrawMaskAlpha(int32_t(l), int32_t(t), doc.ColorSurface(), src, false, false, cover, AlphaValue);
  } else {
    target->DrawMask(int32_t(l), int32_t(t), doc.ColorSurface(), src, false, false, cover);
  }
}

// ---- Pictures ----

int32_t TWdImg::ComposeLevel() const {
  const int32_t doc_alpha = Owner->Alpha;
  if (doc_alpha == 255) return AlphaValue;
  if (doc_alpha < 256) return (AlphaValue * std::max(0, doc_alpha)) >> 8;
  return ((AlphaValue * (std::min(doc_alpha, 511) - 256)) >> 8) + 256;
}

void TWdImg::Compose() {
  if (!Pictures || !Owner->Target) return;
  const int32_t level = ComposeLevel();
  if (level == 0 || level == 256) return;
  Pictures->Draw(*Owner->Target, AbsX(), AbsY(), level);
}

}  // namespace kova
