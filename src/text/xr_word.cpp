#include "text/xr_word.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "core/record_io.h"
#include "core/stream_records.h"
#include "graphics/dibx.h"
#include "text/text_errors.h"
#include "text/text_limits.h"

namespace kova {

TXrWord::TXrWord() : FontName(kDefaultFontName) {}

TXrWord::~TXrWord() {
  DropFromPages(nullptr);
  for (TWdPage* page : pages_) page->detached_ = true;
  decorations_.Dropping = true;
  glyphs_.clear();
}

void TXrWord::DropFromPages(const std::unordered_set<const TWdGlyph*>* gone) {
  for (TWdPage* page : pages_) page->DropGlyphs(gone);
}

void TXrWord::Renumber() const {
  for (size_t i = 0; i < glyphs_.size(); ++i) glyphs_[i]->doc_index_ = i;
  index_current_ = true;
}

int TXrWord::IndexOf(const TWdGlyph* g) const {
  if (!g) return -1;
  if (!index_current_) Renumber();
  const size_t i = g->doc_index_;
  return i < glyphs_.size() && glyphs_[i].get() == g ? static_cast<int>(i) : -1;
}

void TXrWord::Insert(int index, std::unique_ptr<TWdGlyph> g) {
  std::vector<std::unique_ptr<TWdGlyph>> one;
  one.push_back(std::move(g));
  InsertGlyphs(index, std::move(one));
}

void TXrWord::InsertGlyphs(int index, std::vector<std::unique_ptr<TWdGlyph>> glyphs) {
  index = std::clamp(index, 0, GlyphCount());
  if (index == GlyphCount() && index_current_) {
    for (auto& g : glyphs) {
      g->doc_index_ = glyphs_.size();
      glyphs_.push_back(std::move(g));
    }
    return;
  }
  glyphs_.insert(glyphs_.begin() + index, std::make_move_iterator(glyphs.begin()),
                 std::make_move_iterator(glyphs.end()));
  index_current_ = false;
}

TWdGlyph* TXrWord::Append(std::unique_ptr<TWdGlyph> g) {
  TWdGlyph* raw = g.get();
  if (index_current_) raw->doc_index_ = glyphs_.size();
  glyphs_.push_back(std::move(g));
  return raw;
}

void TXrWord::Delete(int index) {
  if (index < 0 || index >= GlyphCount()) return;
  std::unique_ptr<TWdGlyph> gone = std::move(glyphs_[size_t(index)]);
  glyphs_.erase(glyphs_.begin() + index);
  if (!pages_.empty()) {
    const std::unordered_set<const TWdGlyph*> one{gone.get()};
    DropFromPages(&one);
  }
  index_current_ = false;
}

void TXrWord::RemoveGlyphs(const std::vector<TWdGlyph*>& glyphs) {
  if (glyphs.empty()) return;
  const std::unordered_set<const TWdGlyph*> gone(glyphs.begin(), glyphs.end());
  DropFromPages(&gone);
  std::vector<std::unique_ptr<TWdGlyph>> freed;
  size_t out = 0;
  for (size_t i = 0; i < glyphs_.size(); ++i) {
    if (gone.count(glyphs_[i].get())) {
      freed.push_back(std::move(glyphs_[i]));
      continue;
    }
    if (out != i) glyphs_[out] = std::move(glyphs_[i]);
    ++out;
  }
  glyphs_.resize(out);
  index_current_ = false;
}

void TXrWord::Clear() {
  DropFromPages(nullptr);
  decorations_.Dropping = true;
  glyphs_.clear();
  decorations_.Dropping = false;
  decorations_.Clear();
  DecorateBase = 0;
  VarValues.Clear();
  index_current_ = true;
}

std::unique_ptr<TWdGlyph> TXrWord::CreateGlyph(int kind) {
  switch (kind & 0x7F) {
    case WK_CHAR: return std::make_unique<TWdChar>(this);
    case WK_ALIGN: return std::make_unique<TWdOpeAlign>(this);
    case WK_RETURN: return std::make_unique<TWdOpeReturn>(this);
    case WK_INDENT: return std::make_unique<TWdOpeIndent>(this);
    case WK_UNDENT: return std::make_unique<TWdOpeUndent>(this);
    case WK_EVENT: return std::make_unique<TWdOpeEvent>(this);
    case WK_VAR: return std::make_unique<TWdOpeVar>(this);
    case WK_IMG: return std::make_unique<TWdImg>(this);
    default: return nullptr;
  }
}

void TXrWord::CopyGlyphs(const TXrWord& source, int first, int last) {
  if (last < 0 || last >= source.GlyphCount()) last = source.GlyphCount() - 1;
  first = std::max(first, 0);
  if (last >= first) CheckTextGlyphs(glyphs_.size() + size_t(last - first + 1));
  for (int i = first; i <= last; ++i) {
    const TWdGlyph* from = source.Glyphs(i);
    auto g = CreateGlyph(from->Kind());
    if (!g) continue;
    g->Assign(*from);
    Append(std::move(g));
  }
}

int TXrWord::CharPos(const TWdGlyph* g) const {
  const int at = IndexOf(g);
  if (at < 0) return 0;
  int p = 0;
  for (int i = 0; i < at; ++i) p += glyphs_[size_t(i)]->IsTextPos();
  return p;
}

int TXrWord::GlyphIndexAtTextPos(int p) const {
  if (p < 0) p = 0;
  for (int i = 0; i < GlyphCount(); ++i) {
    if (!glyphs_[size_t(i)]->IsTextPos()) continue;
    if (p == 0) return i;
    --p;
  }
  return -1;
}

TWdGlyph* TXrWord::PrevGlyph(const TWdGlyph* g) const {
  TWdGlyph* p = Glyphs(IndexOf(g) - 1);
  return p && p->Kind() == WK_RETURN ? nullptr : p;
}

TWdGlyph* TXrWord::NextGlyph(const TWdGlyph* g) const {
  const int i = IndexOf(g);
  if (i < 0 || g->Kind() == WK_RETURN) return nullptr;
  return Glyphs(i + 1);
}

void TXrWord::RangeOf(int& first, int& last) const {
  if (last < 0 || last >= GlyphCount()) last = GlyphCount() - 1;
  first = std::max(first, 0);
}

void TXrWord::ExpandVars(int first, int last) {
  RangeOf(first, last);
  if (first > last) return;
  std::vector<TWdOpeVar*> vars;
  size_t replaced = 0;
  for (int i = last; i >= first; --i) {
    auto* v = dynamic_cast<TWdOpeVar*>(glyphs_[size_t(i)].get());
    if (!v) continue;
    vars.push_back(v);
    replaced += v->Expanded.size();
  }
  if (vars.empty()) return;
  // Every new expansion is made before the document changes: one that would take the document
  // past its glyph bound raises the error and leaves the document as it was.
  size_t room = kMaxTextGlyphs - std::min(kMaxTextGlyphs, glyphs_.size() - replaced);
  std::unordered_map<const TWdGlyph*, std::vector<std::unique_ptr<TWdGlyph>>> made;
  for (TWdOpeVar* v : vars) made[v] = v->MakeExpansion(room);
  std::vector<TWdGlyph*> old;
  for (TWdOpeVar* v : vars) {
    old.insert(old.end(), v->Expanded.begin(), v->Expanded.end());
    v->Expanded.clear();
  }
  // One pass: old expansions leave, new ones follow their VAR glyphs.
  const std::unordered_set<const TWdGlyph*> gone(old.begin(), old.end());
  if (!gone.empty()) DropFromPages(&gone);
  std::vector<std::unique_ptr<TWdGlyph>> rebuilt, freed;
  rebuilt.reserve(glyphs_.size());
  for (auto& g : glyphs_) {
    if (gone.count(g.get())) {
      freed.push_back(std::move(g));
      continue;
    }
    TWdGlyph* raw = g.get();
    rebuilt.push_back(std::move(g));
    auto it = made.find(raw);
    if (it == made.end()) continue;
    auto* v = static_cast<TWdOpeVar*>(raw);
    for (auto& e : it->second) {
      v->Expanded.push_back(e.get());
      rebuilt.push_back(std::move(e));
    }
  }
  glyphs_.swap(rebuilt);
  index_current_ = false;
}

void TXrWord::CollapseVars(int first, int last) {
  RangeOf(first, last);
  std::vector<TWdGlyph*> gone;
  for (int i = last; i >= first; --i) {
    auto* v = dynamic_cast<TWdOpeVar*>(glyphs_[size_t(i)].get());
    if (!v) continue;
    gone.insert(gone.end(), v->Expanded.begin(), v->Expanded.end());
    v->Expanded.clear();
  }
  RemoveGlyphs(gone);
}

void TXrWord::SuspendImages() {
  for (auto& g : glyphs_) g->SuspendImages();
}

void TXrWord::ResumeImages() {
  for (auto& g : glyphs_) g->ResumeImages();
}

std::optional<std::string> TXrWord::VariableText(std::string_view name) {
  if (!VarValues.Empty()) {
    std::string v = VarValues.Values(name);
    std::replace(v.begin(), v.end(), '\x01', '\r');
    return v;
  }
  if (!Script) return std::nullopt;
  return Script->VariableText(name);
}

int32_t TXrWord::ScriptTextDelay() const { return Script ? Script->TextDelay() : 50; }

void TXrWord::AddDirty(const TRect& r) {
  if (r.Right > r.Left && r.Bottom > r.Top) DirtyRects.push_back(r);
}

// ---- Settings block ----

namespace {

// The settings block; the border colour is held from version 110, the border and shadow widths
// from 111.
template <class IO, class D>
void TransferSettings(IO& io, D& d) {
  io.Int(d.OriginX);
  io.Int(d.OriginY);
  io.Int(d.FontSize);
  io.Str(d.FontName);
  io.Int(d.TextColor);
  io.Int(d.PageHeight);
  io.Int(d.WrapWidth);
  io.Int(d.Quality);
  io.Int(d.LineSpace);
  io.Byte(d.Paging);
  io.Int(d.LinkColor);
  io.Int(d.HoverColor);
  io.Int(d.FadeTime);
  io.Int(d.ShadowColor);
  io.Int(d.Alpha);
  io.Byte(d.Paused);
  io.Int(d.Caret.X);
  io.Int(d.Caret.Y);
  io.Int(d.TextDelay);
  io.Byte(d.EventsOn);
  if (io.Since(110)) io.Int(d.BorderColor);
  if (io.Since(111)) {
    io.Int(d.BorderWidth);
    io.Int(d.ShadowWidth);
  }
}

}  // namespace

void TXrWord::SaveSettings(TStream& s) const {
  TRecordSaver io(s);
  TransferSettings(io, *this);
}

void TXrWord::LoadSettings(TStream& s, int32_t version) {
  TRecordLoader io(s, version);
  TransferSettings(io, *this);
}

// ---- Stored glyph lists ----

namespace {

[[noreturn]] void Corrupt() { throw ETextError(MsgText(TMsg::TextGlyphListCorrupt)); }

// The smallest decoration record of a version, to check a count against the bytes left.
int64_t MinDecorateRecord(int32_t version) { return version >= 100 ? 38 : 27; }

// A decoration: its use count (4; loading ignores it, uses are counted from the glyphs), colour,
// border colour, size (4 each), style, no-break (1 each), border (a flag (1) before version 100,
// then 4), font name, ruby; from 100 the shadow and its colour (4 each), 0 before.
template <class IO, class V>
void TransferDecorate(IO& io, int32_t& uses, V& v) {
  io.Int(uses);
  io.Int(v.Color);
  io.Int(v.BColor);
  io.Int(v.Size);
  io.Byte(v.Style);
  io.Byte(v.NoBreak);
  if (io.Since(100)) {
    io.Int(v.Border);
  } else {
    uint8_t border = v.Border ? 1 : 0;
    io.Byte(border);
    if constexpr (IO::kLoading) v.Border = border ? 1 : 0;
  }
  io.Str(v.FontName);
  io.Str(v.Ruby);
  if (io.Since(100)) {
    io.Int(v.Shadow);
    io.Int(v.SColor);
  } else if constexpr (IO::kLoading) {
    v.Shadow = 0;
    v.SColor = 0;
  }
}

}  // namespace

void TXrWord::LoadFromStream(TStream& stream) {
  const int first_glyph = GlyphCount();
  const int base = decorations_.Count();
  int count = 0;
  try {
    const int64_t start = stream.GetPosition();
    char head[9] = {};
    const int64_t got = stream.Read(head, 9);
    int32_t version = 0;
    if (got == 9 && std::string_view(head, 6) == "XrWord") {
      for (int i = 6; i < 9; ++i) {
        if (head[i] < '0' || head[i] > '9') Corrupt();
        version = version * 10 + (head[i] - '0');
      }
    } else {
      stream.SetPosition(start);
    }
    TRecordLoader io(stream, version);
    int32_t d_count = 0;
    io.Count(d_count, MinDecorateRecord(version));
    for (int32_t i = 0; i < d_count; ++i) {
      TDecorateValues v;
      int32_t uses = 0;
      TransferDecorate(io, uses, v);
      // One use held while the glyphs load, so that none is freed before they refer to it.
      decorations_.Append(v, 1);
      ++count;
    }
    DecorateBase = base;
    const TGlyphRecordContext context{version, base, d_count};
    // Each glyph takes at least its kind byte.
    int32_t g_count = 0;
    io.Count(g_count, 1);
    for (int32_t i = 0; i < g_count; ++i) {
      uint8_t kind = 0;
      io.Byte(kind);
      auto g = CreateGlyph(kind);
      if (!g) continue;
      g->LoadRecord(stream, context);
      Append(std::move(g));
    }
  } catch (const EKovaError&) {
    // The glyphs read so far release their uses; the list's decorations still hold one each, so
    // none of them goes before it is cut off as a whole.
    if (!pages_.empty()) {
      std::unordered_set<const TWdGlyph*> gone;
      for (size_t k = size_t(first_glyph); k < glyphs_.size(); ++k) gone.insert(glyphs_[k].get());
      DropFromPages(&gone);
    }
    glyphs_.resize(size_t(first_glyph));
    decorations_.Truncate(base);
    throw ETextError(MsgText(TMsg::TextGlyphListCorrupt));
  }
  for (int i = base; i < base + count; ++i) --decorations_.Items(i)->UseCount;
  decorations_.RemoveUnused(base);
}

void TXrWord::SaveToStream(TStream& stream) const {
  stream.WriteBuffer("XrWord", 6);
  const std::string version = Format("%03d", kGlyphListVersion);
  stream.WriteBuffer(version.data(), 3);
  std::vector<int32_t> uses(size_t(decorations_.Count()), 0);
  int32_t stored = 0;
  for (const auto& g : glyphs_) {
    if (g->IsVarMade() || g->Kind() == WK_NONE) continue;
    ++stored;
    const TDecorate* d = nullptr;
    if (auto* c = dynamic_cast<const TWdChar*>(g.get())) d = c->Decoration;
    if (auto* v = dynamic_cast<const TWdOpeVar*>(g.get())) d = v->Decoration;
    if (d) ++uses[size_t(decorations_.IndexOf(d))];
  }
  TRecordSaver io(stream, kGlyphListVersion);
  io.Count(decorations_.Count(), MinDecorateRecord(kGlyphListVersion));
  for (int i = 0; i < decorations_.Count(); ++i) TransferDecorate(io, uses[size_t(i)], decorations_.Items(i)->Values);
  io.Count(stored, 1);
  for (const auto& g : glyphs_) {
    if (g->IsVarMade() || g->Kind() == WK_NONE) continue;
    io.Byte(uint8_t(g->Kind()));
    g->SaveRecord(stream);
  }
}

}  // namespace kova
