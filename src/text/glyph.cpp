#include "text/glyph.h"

#include <algorithm>

#include "core/sjis.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/string_list.h"
#include "script/parser.h"
#include "text/page.h"
#include "text/text_errors.h"
#include "text/text_limits.h"
#include "text/text_ports.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// The decoration a new character or VAR glyph starts with.
TDecorateValues NewGlyphDecoration() {
  TDecorateValues v;
  v.Color = -1;
  v.BColor = -1;
  v.SColor = -1;
  v.Border = 0;
  v.Shadow = 0;
  return v;
}

bool IsAlignedImage(const TWdGlyph* g) {
  if (g->Kind() != WK_IMG) return false;
  const uint8_t a = g->GetAlign();
  return a == WA_CENTER || a == WA_TOP || a == WA_BOTTOM;
}

void AppendCode(std::string& out, uint16_t code) {
  if (code == 0) return;
  if (code < 256) {
    out += char(code);
  } else {
    out += char(code >> 8);
    out += char(code & 0xFF);
  }
}

// The decoration of a record's index, checked against the stream's decorations.
TDecorate* RecordDecoration(TXrWord& doc, int32_t index, const TGlyphRecordContext& context) {
  if (index < 0 || index >= context.DecorateCount) throw ETextError(MsgText(TMsg::TextGlyphListCorrupt));
  TDecorate* d = doc.Decorations().Items(context.DecorateBase + index);
  if (!d) throw ETextError(MsgText(TMsg::TextGlyphListCorrupt));
  return d;
}

// The glyph records. Each runs one description both ways over the glyph list's stream: saving in
// the list's version, loading in the version of the list read (`context`). A record that ends
// early raises EReadError, which the list's loader turns into its own error.

// The decoration a glyph uses, as its index among the list's decorations; loading takes a use of
// the one it names and releases the glyph's old one.
template <class IO, class D>
void TransferDecoration(IO& io, D& decoration, TXrWord& owner, const TGlyphRecordContext* context) {
  int32_t index = 0;
  if constexpr (!IO::kLoading) index = owner.Decorations().IndexOf(decoration);
  io.Int(index);
  if constexpr (IO::kLoading) {
    TDecorate* d = RecordDecoration(owner, index, *context);
    ++d->UseCount;
    owner.Decorations().Release(decoration);
    decoration = d;
  }
}

// Link, delay (4), the character code (2 bytes, low first), the decoration.
template <class IO, class C>
void TransferChar(IO& io, C& c, const TGlyphRecordContext* context) {
  io.Str(c.Link);
  io.Int(c.DelayValue);
  uint8_t code[2] = {uint8_t(c.Code), uint8_t(c.Code >> 8)};
  io.Raw(code, 2);
  if constexpr (IO::kLoading) c.Code = uint16_t(code[0] | code[1] << 8);
  TransferDecoration(io, c.Decoration, *c.Owner, context);
}

// Link, delay (4), source, alignment (1).
template <class IO, class G>
void TransferImg(IO& io, G& g) {
  io.Str(g.Link);
  io.Int(g.DelayValue);
  io.Str(g.Source);
  io.Byte(g.AlignByte);
}

// The event's value, led by the byte 01 for an event that ends the text.
template <class IO, class G>
void TransferEvent(IO& io, G& g) {
  std::string stored;
  if constexpr (!IO::kLoading) stored = g.End ? "\x01" + g.EventValue : g.EventValue;
  io.Str(stored);
  if constexpr (IO::kLoading) {
    g.End = 0;
    if (!stored.empty() && stored[0] == '\x01') {
      stored.erase(0, 1);
      g.End = 1;
    }
    g.EventValue = std::move(stored);
  }
}

// The decoration; from version 101 the delay (4) and the link; from 102 the variable's name (held
// trimmed), before 102 the expression whose value the VAR shows.
template <class IO, class G>
void TransferVar(IO& io, G& g, const TGlyphRecordContext* context) {
  TransferDecoration(io, g.Decoration, *g.Owner, context);
  if (io.Since(101)) {
    io.Int(g.DelayValue);
    io.Str(g.Link);
  }
  if (io.Since(102)) {
    if constexpr (IO::kLoading) {
      io.Str(g.Name);
    } else {
      io.Str(SjisTrim(g.Name));
    }
  } else {
    if constexpr (IO::kLoading) g.Expression = std::make_unique<TKovaParser>();
    io.Object(*g.Expression);
  }
}

// The largest number of glyphs one VAR expands to.
constexpr size_t kMaxVarGlyphs = 65536;

}  // namespace

// ---- TWdGlyph ----

TWdPage* TWdGlyph::GetPage() { return Parent ? Parent->GetPage() : nullptr; }

int32_t TWdGlyph::AbsX() const { return Parent ? Parent->AbsX() + X : X; }
int32_t TWdGlyph::AbsY() const { return Parent ? Parent->AbsY() + Y : Y; }
int32_t TWdGlyph::PageY() const { return Parent ? Parent->PageY() + Y : Y; }

std::string TWdGlyph::CharText() const {
  std::string s;
  AppendCode(s, GetChar());
  return s;
}

void TWdGlyph::Invalidate() {
  const int32_t w = Width(), h = Height();
  if (w <= 0 || h <= 0) return;
  const int32_t x = AbsX(), y = AbsY();
  Owner->AddDirty(TRect{x, y, x + w, y + h});
}

void TWdGlyph::Assign(const TWdGlyph& source) { SetBounds(source.X, source.Y, source.W, source.H); }

bool TWdGlyph::IsFloat() const {
  if (Kind() != WK_IMG) return false;
  const uint8_t a = GetAlign();
  return a == WA_LEFT || a == WA_RIGHT;
}

// ---- TWdComposite ----

std::string TWdComposite::CharText() const {
  std::string s;
  for (const TWdGlyph* g : children_) s += g->CharText();
  return s;
}

std::string TWdComposite::GetText() const {
  std::string s;
  if (children_.empty() || children_[0]->GetAlpha() == 0) return s;
  for (const TWdGlyph* g : children_) {
    if (g->GetAlpha() < 1) break;
    s += g->GetText();
  }
  return s;
}

int TWdComposite::IndexOf(const TWdGlyph* g) const {
  auto it = std::find(children_.begin(), children_.end(), g);
  return it == children_.end() ? -1 : static_cast<int>(it - children_.begin());
}

std::unique_ptr<TWdGlyph> TWdComposite::Disown(TWdGlyph* g) {
  for (auto it = owned_.begin(); it != owned_.end(); ++it) {
    if (it->get() == g) {
      std::unique_ptr<TWdGlyph> out = std::move(*it);
      owned_.erase(it);
      return out;
    }
  }
  return nullptr;
}

void TWdComposite::Delete(int i) {
  if (i >= 0 && i < Count()) children_.erase(children_.begin() + i);
}

void TWdComposite::Render(bool hide) {
  for (TWdGlyph* g : children_) g->Render(hide);
}
void TWdComposite::Compose() {
  for (TWdGlyph* g : children_) g->Compose();
}
void TWdComposite::SetAlphaAll(int32_t a) {
  for (TWdGlyph* g : children_) g->SetAlphaAll(a);
}
void TWdComposite::Hide() {
  for (TWdGlyph* g : children_) g->Hide();
}
void TWdComposite::SaveState(TStream& stream) const {
  for (const TWdGlyph* g : children_) g->SaveState(stream);
}
void TWdComposite::LoadState(TStream& stream) {
  for (TWdGlyph* g : children_) g->LoadState(stream);
}
void TWdComposite::SuspendImages() {
  for (TWdGlyph* g : children_) g->SuspendImages();
}
void TWdComposite::ResumeImages() {
  for (TWdGlyph* g : children_) g->ResumeImages();
}
TWdGlyph* TWdComposite::FirstTextGlyph() {
  for (TWdGlyph* g : children_) {
    if (TWdGlyph* t = g->FirstTextGlyph()) return t;
  }
  return nullptr;
}
TWdGlyph* TWdComposite::LastTextGlyph() {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (TWdGlyph* t = (*it)->LastTextGlyph()) return t;
  }
  return nullptr;
}
void TWdComposite::CollectVars(TStringList& list) const {
  for (const TWdGlyph* g : children_) g->CollectVars(list);
}

// ---- TWdRow ----

void TWdRow::Add(TWdGlyph* g) {
  children_.push_back(g);
  if (g->IsFloat()) return;
  const int32_t h = g->Height();
  if (IsAlignedImage(g)) {
    switch (g->GetAlign()) {
      case WA_CENTER: {
        const int32_t d = (h - TextHeight + 1) / 2;
        Above = std::max(Above, d);
        Below = std::max(Below, d);
        break;
      }
      case WA_TOP: Below = std::max(Below, h - TextHeight); break;
      default: Above = std::max(Above, h - TextHeight); break;
    }
  } else {
    TextHeight = std::max(TextHeight, h);
  }
  H = Above + TextHeight + Below;
}

void TWdRow::Arrange() {
  int32_t x0 = RowLeft;
  if (AlignByte == WA_RIGHT) x0 = RowRight - ContentWidth;
  if (AlignByte == WA_CENTER) x0 = RowLeft + (RowRight - RowLeft - ContentWidth) / 2;
  W = ContentWidth + x0;
  int32_t x = x0;
  TextHeight = 0;
  for (TWdGlyph* g : children_) {
    if (g->IsFloat()) continue;
    g->X = x;
    x += g->Width();
    if (!IsAlignedImage(g)) TextHeight = std::max(TextHeight, g->Height());
  }
  Above = Below = 0;
  for (TWdGlyph* g : children_) {
    if (!IsAlignedImage(g)) continue;
    const int32_t h = g->Height();
    switch (g->GetAlign()) {
      case WA_CENTER: {
        const int32_t d = (h - TextHeight + 1) / 2;
        Above = std::max(Above, d);
        Below = std::max(Below, d);
        break;
      }
      case WA_TOP: Below = std::max(Below, h - TextHeight); break;
      default: Above = std::max(Above, h - TextHeight); break;
    }
  }
  H = Above + TextHeight + Below;
  for (TWdGlyph* g : children_) {
    const int32_t h = g->Height();
    if (g->IsFloat()) {
      g->Y = 0;
    } else if (h == 0) {
      g->Y = Above;
    } else if (IsAlignedImage(g) && g->GetAlign() == WA_CENTER) {
      g->Y = (TextHeight - h) / 2 + Above;
    } else if (IsAlignedImage(g) && g->GetAlign() == WA_TOP) {
      g->Y = Above;
    } else {
      g->Y = H - Below - h;
    }
  }
}

TWdGlyph* TWdRow::GlyphAt(int32_t x, int32_t y) {
  for (TWdGlyph* g : children_) {
    if (g->GetAlpha() == 255 && x >= g->X && x < g->X + g->Width() && y >= g->Y && y < g->Y + g->Height()) return g;
  }
  return nullptr;
}

void TWdRow::Compose() {
  const TRect& u = Owner->UpdateRect;
  const int32_t x = AbsX(), y = AbsY();
  if (x < u.Right && x + W > u.Left && y < u.Bottom && y + H > u.Top) TWdComposite::Compose();
}

bool TWdRow::HoldsReal() const {
  return std::any_of(children_.begin(), children_.end(),
                     [](const TWdGlyph* g) { return g->Kind() == WK_CHAR || g->Kind() == WK_IMG; });
}

bool TWdRow::HoldsInline() const {
  return std::any_of(children_.begin(), children_.end(),
                     [](const TWdGlyph* g) { return g->Kind() != WK_NONE && !g->IsFloat(); });
}

TWdGlyph* TWdRow::FirstLaidGlyph() const {
  for (TWdGlyph* g : children_) {
    if (g->Kind() != WK_NONE) return g;
  }
  return nullptr;
}

// ---- TWdReal ----

// A shown glyph's state: its alpha (4); one still fading in is saved as fully shown.
void TWdReal::SaveState(TStream& stream) const {
  const TWdPage* page = const_cast<TWdReal*>(this)->GetPage();
  const bool fading = page && std::find(page->Fading.begin(), page->Fading.end(), this) != page->Fading.end();
  TRecordSaver(stream).Int(fading ? 255 : AlphaValue);
}

void TWdReal::LoadState(TStream& stream) {
  int32_t alpha = 0;
  TRecordLoader(stream).Int(alpha);
  SetAlpha(alpha);
}

void TWdReal::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  Link = source.GetHref();
  HoverByte = source.GetHover();
  SetAlpha(source.GetAlpha());
  DelayValue = source.GetDelay();
}

// ---- TWdChar ----

TWdChar::TWdChar(TXrWord* owner, TDecorate* adopted) : TWdReal(owner) {
  Decoration = adopted ? adopted : owner->Decorations().FindOrAdd(NewGlyphDecoration());
}

TWdChar::~TWdChar() { Owner->Decorations().Release(Decoration); }

void TWdChar::SetDecoration(const TDecorateValues& values) { Owner->Decorations().Change(Decoration, values); }

#define KOVA_DECO_SETTER(Class, Name, Type, Field) \
  void Class::Set##Name(Type v) {                  \
    TDecorateValues d = Decoration->Values;        \
    d.Field = v;                                   \
    SetDecoration(d);                              \
  }
KOVA_DECO_SETTER(TWdChar, FontName, const std::string&, FontName)
KOVA_DECO_SETTER(TWdChar, Size, int32_t, Size)
KOVA_DECO_SETTER(TWdChar, Style, uint8_t, Style)
KOVA_DECO_SETTER(TWdChar, Color, int32_t, Color)
KOVA_DECO_SETTER(TWdChar, BColor, int32_t, BColor)
KOVA_DECO_SETTER(TWdChar, Border, int32_t, Border)
KOVA_DECO_SETTER(TWdChar, NoBreak, uint8_t, NoBreak)
KOVA_DECO_SETTER(TWdChar, Ruby, const std::string&, Ruby)
KOVA_DECO_SETTER(TWdChar, Shadow, int32_t, Shadow)
KOVA_DECO_SETTER(TWdChar, SColor, int32_t, SColor)
KOVA_DECO_SETTER(TWdOpeVar, FontName, const std::string&, FontName)
KOVA_DECO_SETTER(TWdOpeVar, Size, int32_t, Size)
KOVA_DECO_SETTER(TWdOpeVar, Style, uint8_t, Style)
KOVA_DECO_SETTER(TWdOpeVar, Color, int32_t, Color)
KOVA_DECO_SETTER(TWdOpeVar, BColor, int32_t, BColor)
KOVA_DECO_SETTER(TWdOpeVar, Border, int32_t, Border)
KOVA_DECO_SETTER(TWdOpeVar, NoBreak, uint8_t, NoBreak)
KOVA_DECO_SETTER(TWdOpeVar, Ruby, const std::string&, Ruby)
KOVA_DECO_SETTER(TWdOpeVar, Shadow, int32_t, Shadow)
KOVA_DECO_SETTER(TWdOpeVar, SColor, int32_t, SColor)
#undef KOVA_DECO_SETTER

int32_t TWdChar::GetBorder() const {
  const int32_t b = Decoration->Values.Border;
  return b < 0 ? Owner->BorderWidth : b;
}

int32_t TWdChar::GetShadow() const {
  const int32_t s = Decoration->Values.Shadow;
  return s < 0 ? Owner->ShadowWidth : s;
}

void TWdChar::Reset() {
  // Every character takes a square cell of its size; italics, ruby, border and shadow add room.
  constexpr int32_t kMaxCell = 4096, kMaxEdge = 256;
  int32_t size = Decoration->Values.Size;
  if (size <= 0) size = Owner->FontSize;
  size = std::clamp(size, 0, kMaxCell);
  int32_t w = size, h = size;
  if (Decoration->Values.Style & 2) w += size / 5;
  if (!Decoration->Values.Ruby.empty()) h += std::max(1, size / 2);
  const int32_t border = std::clamp(GetBorder(), 0, kMaxEdge);
  const int32_t shadow = std::clamp(GetShadow(), 0, kMaxEdge);
  w += 2 * border + shadow;
  h += 2 * border + shadow;
  W = w;
  H = h;
}

void TWdChar::SaveRecord(TStream& stream) const {
  TRecordSaver io(stream, kGlyphListVersion);
  TransferChar(io, *this, nullptr);
}

void TWdChar::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader io(stream, context.Version);
  TransferChar(io, *this, &context);
}

void TWdChar::Assign(const TWdGlyph& source) {
  TWdReal::Assign(source);
  Code = source.GetChar();
  if (auto* c = dynamic_cast<const TWdChar*>(&source)) SetDecoration(c->Decoration->Values);
}

// ---- TWdImg ----

TWdImg::TWdImg(TXrWord* owner) : TWdReal(owner) {}
TWdImg::~TWdImg() = default;

void TWdImg::Reset() {
  if (!Pictures && Owner->Images && !Source.empty()) Pictures = Owner->Images->Load(Source);
  if (!Pictures) {
    W = H = 0;
    return;
  }
  constexpr int32_t kMaxSide = 32767;
  W = std::clamp(Pictures->Width(), 0, kMaxSide);
  H = std::clamp(Pictures->Height(), 0, kMaxSide);
}

bool TWdImg::IsAnimated() const { return Pictures != nullptr; }

void TWdImg::Animate(int32_t elapsed) {
  if (Pictures && Pictures->Step(elapsed)) Invalidate();
}

void TWdImg::SuspendImages() {
  if (Pictures) Pictures->Suspend();
}

void TWdImg::ResumeImages() {
  if (Pictures) Pictures->Resume();
}

void TWdImg::SaveRecord(TStream& stream) const {
  TRecordSaver io(stream, kGlyphListVersion);
  TransferImg(io, *this);
}

void TWdImg::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader io(stream, context.Version);
  TransferImg(io, *this);
}

void TWdImg::Assign(const TWdGlyph& source) {
  TWdReal::Assign(source);
  Source = source.GetValue();
  AlignByte = source.GetAlign();
  Pictures.reset();
}

// ---- Operators ----

int32_t TWdOpeReturn::Height() const {
  // An empty line is as tall as the document's font (an indent before it does not count).
  const auto* row = dynamic_cast<const TWdRow*>(Parent);
  if (!row) return H;
  for (const TWdGlyph* g : row->Children()) {
    if (g != this && g->Kind() != WK_NONE) return 0;
  }
  return Owner->FontSize;
}

// The clear byte (1).
void TWdOpeReturn::SaveRecord(TStream& stream) const { TRecordSaver(stream, kGlyphListVersion).Byte(ClearByte); }
void TWdOpeReturn::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader(stream, context.Version).Byte(ClearByte);
}
void TWdOpeReturn::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  ClearByte = source.GetClear();
}

// The alignment byte (1).
void TWdOpeAlign::SaveRecord(TStream& stream) const { TRecordSaver(stream, kGlyphListVersion).Byte(AlignByte); }
void TWdOpeAlign::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader(stream, context.Version).Byte(AlignByte);
}
void TWdOpeAlign::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  AlignByte = source.GetAlign();
}

void TWdOpeEvent::SaveRecord(TStream& stream) const {
  TRecordSaver io(stream, kGlyphListVersion);
  TransferEvent(io, *this);
}

void TWdOpeEvent::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader io(stream, context.Version);
  TransferEvent(io, *this);
}

void TWdOpeEvent::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  EventValue = source.GetValue();
  End = source.GetDelay() > 0 ? 1 : 0;
}

// ---- TWdOpeVar ----

TWdOpeVar::TWdOpeVar(TXrWord* owner, TDecorate* adopted) : TWdGlyph(owner) {
  Decoration = adopted ? adopted : owner->Decorations().FindOrAdd(NewGlyphDecoration());
}

TWdOpeVar::~TWdOpeVar() { Owner->Decorations().Release(Decoration); }

void TWdOpeVar::SetDecoration(const TDecorateValues& values) { Owner->Decorations().Change(Decoration, values); }

void TWdOpeVar::SaveRecord(TStream& stream) const {
  TRecordSaver io(stream, kGlyphListVersion);
  TransferVar(io, *this, nullptr);
}

void TWdOpeVar::LoadRecord(TStream& stream, const TGlyphRecordContext& context) {
  TRecordLoader io(stream, context.Version);
  TransferVar(io, *this, &context);
}

std::vector<std::unique_ptr<TWdGlyph>> TWdOpeVar::MakeExpansion(size_t& room) {
  std::vector<std::unique_ptr<TWdGlyph>> out;
  std::optional<std::string> value;
  if (!Name.empty()) {
    value = Owner->VariableText(Name);
  } else if (Expression && Owner->Script) {
    value = Owner->Script->ExpressionText(*Expression);
  }
  if (!value) return out;
  const std::string& s = *value;
  for (size_t i = 0; i < s.size() && out.size() < kMaxVarGlyphs;) {
    uint16_t code = uint8_t(s[i]);
    if (IsSjisLeadByte(s[i]) && i + 1 < s.size()) {
      code = uint16_t(code << 8 | uint8_t(s[i + 1]));
      i += 2;
    } else {
      ++i;
    }
    if (code == '\r' || code == 0x01 || code >= 32) {
      if (room == 0) CheckTextGlyphs(kMaxTextGlyphs + 1);
      --room;
    }
    // Script strings separate lines with the byte 0x01.
    if (code == '\r' || code == 0x01) {
      out.push_back(std::make_unique<TWdVarReturn>(Owner));
    } else if (code >= 32) {
      ++Decoration->UseCount;
      auto c = std::make_unique<TWdVarChar>(Owner, Decoration);
      c->Code = code;
      c->Link = Link;
      c->DelayValue = DelayValue;
      out.push_back(std::move(c));
    }
  }
  return out;
}

void TWdOpeVar::Expand() {
  Collapse();
  const int at = Owner->IndexOf(this);
  if (at < 0) return;
  size_t room = kMaxTextGlyphs - std::min<size_t>(kMaxTextGlyphs, size_t(Owner->GlyphCount()));
  auto glyphs = MakeExpansion(room);
  Expanded.clear();
  for (auto& g : glyphs) Expanded.push_back(g.get());
  Owner->InsertGlyphs(at + 1, std::move(glyphs));
}

void TWdOpeVar::Collapse() {
  if (Expanded.empty()) return;
  std::vector<TWdGlyph*> gone;
  gone.swap(Expanded);
  Owner->RemoveGlyphs(gone);
}

// A VAR's state: the alpha (4) of its expansion, shown as a whole.
void TWdOpeVar::SaveState(TStream& stream) const {
  TRecordSaver(stream).Int(Expanded.empty() ? 0 : Expanded.front()->GetAlpha());
}

void TWdOpeVar::LoadState(TStream& stream) {
  int32_t a = 0;
  TRecordLoader(stream).Int(a);
  for (TWdGlyph* g : Expanded) g->SetAlpha(a);
}

void TWdOpeVar::Assign(const TWdGlyph& source) {
  TWdGlyph::Assign(source);
  if (auto* v = dynamic_cast<const TWdOpeVar*>(&source)) {
    SetDecoration(v->Decoration->Values);
    Name = v->Name;
    DelayValue = v->DelayValue;
    Link = v->Link;
    Expression.reset();
    if (v->Expression) {
      Expression = std::make_unique<TKovaParser>();
      Expression->Assign(*v->Expression);
    }
  }
}

std::string TWdOpeVar::ExpandedText() const {
  std::string s;
  for (const TWdGlyph* g : Expanded) {
    if (g->Kind() == WK_RETURN) {
      s += '\x01';
    } else {
      s += g->CharText();
    }
  }
  return s;
}

void TWdOpeVar::CollectVars(TStringList& list) const {
  if (Name.empty() || list.IndexOfName(Name) >= 0) return;
  list.Add(Name + "=" + ExpandedText());
}

}  // namespace kova
