#include "text/label_list.h"

#include <algorithm>
#include <unordered_map>

#include "core/sjis.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "text/font_pixel.h"

namespace kova {
namespace {

// The widest and tallest label surface (pixels).
constexpr int32_t kMaxLabelSide = 16384;

// The characters of a code-page 932 text as codes.
template <class F>
void ForEachCode(const std::string& text, F f) {
  for (size_t i = 0; i < text.size();) {
    uint16_t code = uint8_t(text[i]);
    if (IsSjisLeadByte(text[i]) && i + 1 < text.size()) {
      code = uint16_t(code << 8 | uint8_t(text[i + 1]));
      i += 2;
    } else {
      ++i;
    }
    f(code);
  }
}

// The widths of one measuring pass by character code.
using TTagValList = std::unordered_map<uint16_t, int32_t>;

void MeasureWith(TXrLabelList& list, TXrLabelDIB& label, TTagValList& widths) {
  label.CharWidths.clear();
  label.Width = 0;
  label.Height = 0;
  TFontPixelManager* glyphs = list.Glyphs();
  if (!glyphs) return;
  glyphs->SelectFont(list.FontName, list.FontHeight, list.Style);
  TTextFont& font = glyphs->Font();
  const TTextFontMetrics& m = font.Metrics();
  const int32_t b = std::clamp(list.BorderWidth, 0, kMaxGlyphEdge);
  label.Height = m.Height + 2 * b;
  size_t n = 0;
  ForEachCode(label.Text, [&](uint16_t) { ++n; });
  size_t k = 0;
  int64_t total = 0;
  ForEachCode(label.Text, [&](uint16_t code) {
    ++k;
    int32_t& cached = widths[code];
    int32_t w = cached;
    if (w == 0 || k == n) {
      const TAbcWidths abc = font.AbcWidths(code);
      w = cached = abc.A + abc.B + abc.C + m.Overhang + 2 * b;
      // The last character also covers its right overhang (not kept in the pass's widths, so a
      // character measures the same in every label).
      if (k == n && abc.C < 0) w -= abc.C;
    }
    label.CharWidths.push_back(w);
    total += w;
  });
  label.Width = int32_t(std::clamp<int64_t>(total, 0, kMaxLabelSide));
}

}  // namespace

// ---- TXrLabelDIB ----

void TXrLabelDIB::SetText(const std::string& text) {
  if (text == Text) return;
  Text = text;
  Dirty = 1;
}

void TXrLabelDIB::Render() {
  TFontPixelManager* glyphs = owner_.Glyphs();
  size_t n = 0;
  ForEachCode(Text, [&](uint16_t) { ++n; });
  if (CharWidths.size() != n) owner_.MeasureLabel(*this);
  // The surfaces take the shadow too, so that it is never cut.
  const int32_t s = std::clamp(owner_.ShadowWidth, 0, kMaxGlyphEdge);
  const int32_t w = Width > 0 ? std::min(Width + s, kMaxLabelSide) : 0;
  const int32_t h = Height > 0 && Width > 0 ? std::min(Height + s, kMaxLabelSide) : 0;
  const int32_t bits = owner_.Target ? owner_.Target->BitCount() : 32;
  if (ColorSurface.Width() != w || ColorSurface.Height() != h || ColorSurface.BitCount() != bits) {
    ColorSurface.SetSize(w, h, bits);
    CoverSurface.SetSize(w, h, 8);
  }
  if (w > 0 && h > 0 && glyphs) {
    ColorSurface.Fill(0);
    CoverSurface.Fill(0);
    glyphs->SetQuality(owner_.Quality);
    TGlyphDrawArgs args;
    args.Colors.Text = uint32_t(ColorSurface.ColorToPixel(owner_.Color));
    args.Colors.Border = uint32_t(ColorSurface.ColorToPixel(owner_.BorderColor));
    args.Colors.Shadow = uint32_t(ColorSurface.ColorToPixel(owner_.ShadowColor));
    args.Border = owner_.BorderWidth;
    args.Shadow = owner_.ShadowWidth;
    size_t k = 0;
    int32_t x = 0;
    ForEachCode(Text, [&](uint16_t code) {
      const int32_t cw = CharWidths[k];
      args.LeftDiffers = k == 0;
      args.RightDiffers = k + 1 == n;
      args.Cell = TRect{x, 0, x + cw, Height};
      TFontPixelRef g = glyphs->GetGlyph(code, owner_.FontName, owner_.FontHeight, owner_.Style);
      g->Draw(ColorSurface, CoverSurface, args);
      x += cw;
      ++k;
    });
  }
  Dirty = 0;
}

void TXrLabelDIB::Draw(int32_t x, int32_t y) {
  TCustomDIBX* target = owner_.Target;
  if (!target) return;
  if (Dirty || ColorSurface.BitCount() != target->BitCount()) Render();
  if (ColorSurface.IsEmpty()) return;
  const int32_t level = std::min(owner_.Alpha, 255);
  if (level <= 0) return;
  const TRect src = ColorSurface.BoundsRect();
  if (owner_.BorderWidth == 0 && owner_.ShadowWidth == 0) {
    target->FillMask(x, y, CoverSurface, src, false, false, uint32_t(target->ColorToPixel(owner_.Color)), level);
  } else if (level < 255) {
    target->DrawMaskAlpha(x, y, ColorSurface, src, false, false, CoverSurface, level);
  } else {
    target->DrawMask(x, y, ColorSurface, src, false, false, CoverSurface);
  }
}

// ---- TXrLabelList ----

TXrLabelDIB* TXrLabelList::Add() {
  labels_.push_back(std::make_unique<TXrLabelDIB>(*this));
  return labels_.back().get();
}

TXrLabelDIB* TXrLabelList::Items(int i) const { return i >= 0 && i < Count() ? labels_[size_t(i)].get() : nullptr; }

int32_t TXrLabelList::MaxWidth() const {
  int32_t w = 0;
  for (const auto& l : labels_) w = std::max(w, l->Width);
  return w;
}

void TXrLabelList::SetFontHeight(int32_t height) {
  FontHeight = height;
  Invalidate();
}

void TXrLabelList::Invalidate() {
  for (auto& l : labels_) l->Dirty = 1;
}

void TXrLabelList::Measure() {
  TTagValList widths;
  for (auto& l : labels_) MeasureWith(*this, *l, widths);
  if (glyphs_) Metrics = glyphs_->OutlineRecord();
}

void TXrLabelList::MeasureLabel(TXrLabelDIB& label) {
  TTagValList widths;
  MeasureWith(*this, label, widths);
  if (glyphs_) Metrics = glyphs_->OutlineRecord();
}

namespace {

// The stored settings: quality (4; before version 109 the values 0 and 1 stand for 0 and the
// others for 3), border width, alpha, font height (4 each), font name, colour, border colour
// (4 each), style (1), the outline metrics (their fixed size), and from 122 the shadow width and
// colour (4 each).
template <class IO, class L>
void TransferLabelList(IO& io, L& l) {
  io.Int(l.Quality);
  if constexpr (IO::kLoading) {
    if (!io.Since(109)) l.Quality = l.Quality < 2 ? 0 : 3;
  }
  io.Int(l.BorderWidth);
  io.Int(l.Alpha);
  io.Int(l.FontHeight);
  io.Str(l.FontName);
  io.Int(l.Color);
  io.Int(l.BorderColor);
  io.Byte(l.Style);
  io.Raw(l.Metrics.data(), int64_t(l.Metrics.size()));
  if (io.Since(122)) {
    io.Int(l.ShadowWidth);
    io.Int(l.ShadowColor);
  }
}

}  // namespace

void TXrLabelList::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferLabelList(io, *this);
}

void TXrLabelList::LoadFromStream(TStream& stream, int32_t version) {
  TRecordLoader io(stream, version);
  TransferLabelList(io, *this);
  Invalidate();
}

}  // namespace kova
