// The tag parser: walks the normalised tokens with a stack-based attribute state and appends one
// glyph per character or operator tag.
#include <algorithm>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "core/utils.h"
#include "text/tag.h"
#include "text/text_errors.h"
#include "text/text_limits.h"
#include "text/xr_word.h"

namespace kova {
namespace {

// A stack whose top is its base value while it is empty; popping an empty stack does nothing.
template <class T>
class TValStack {
 public:
  explicit TValStack(T base) : base_(std::move(base)) {}
  void Push(T v) { items_.push_back(std::move(v)); }
  void Pop() {
    if (!items_.empty()) items_.pop_back();
  }
  const T& Top() const { return items_.empty() ? base_ : items_.back(); }

 private:
  T base_;
  std::vector<T> items_;
};

// The parser's attribute state.
struct TTagValList {
  explicit TTagValList(int32_t wait_base) : Wait(wait_base) {}
  TValStack<int32_t> Size{0};
  TValStack<int32_t> Color{-1};
  TValStack<int32_t> BColor{-1};
  TValStack<int32_t> SColor{-1};
  TValStack<std::string> FontName{std::string()};
  uint8_t Style = 0;
  uint8_t NoBreak = 0;
  std::string Ruby;
  TValStack<uint8_t> Align{WA_LEFT};
  std::string Link;
  TValStack<int32_t> Wait;
  TValStack<int32_t> Border{-1};
  TValStack<int32_t> Shadow{-1};

  TDecorateValues Decoration() const {
    TDecorateValues v;
    v.Size = Size.Top();
    v.Color = Color.Top();
    v.BColor = BColor.Top();
    v.SColor = SColor.Top();
    v.FontName = FontName.Top();
    v.Style = Style;
    v.NoBreak = NoBreak;
    v.Ruby = Ruby;
    v.Border = Border.Top();
    v.Shadow = Shadow.Top();
    return v;
  }
};

int32_t TagColor(const TTag& tag, std::string_view name, int32_t fallback) {
  int32_t c;
  return tag.Has(name) && ParseTagColor(tag.Value(name), c) ? c : fallback;
}

// BORDER and SHADOW of FONT: absent keeps the current value; present is a width, 1 when not a
// number, never below 0.
int32_t TagWidth(const TTag& tag, std::string_view name, int32_t current) {
  if (!tag.Has(name)) return current;
  return std::max(tag.Int(name, 1), 0);
}

// The align word of a tag: LEFT 1, RIGHT 2, CENTER 3, TOP 4, BOTTOM 5, when `allowed` holds it.
uint8_t TagAlign(const TTag& tag, std::initializer_list<uint8_t> allowed, uint8_t fallback) {
  static constexpr std::string_view kWords[] = {"LEFT", "RIGHT", "CENTER", "TOP", "BOTTOM"};
  const std::string v = tag.Value("ALIGN");
  for (uint8_t a : allowed) {
    if (SjisSameText(v, kWords[a - 1])) return a;
  }
  return fallback;
}

std::string JoinLines(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (i + 1 < text.size()) s += '\r';  // a final line break adds no line
      continue;
    }
    s += c;
  }
  return s;
}

}  // namespace

void TXrWord::Parse(const TStringList& lines) {
  size_t bytes = 0;
  for (int i = 0; i < lines.Count(); ++i) bytes += lines[i].size() + (i ? 1 : 0);
  CheckTextBytes(bytes, kMaxTextBytes);
  std::string joined;
  for (int i = 0; i < lines.Count(); ++i) {
    if (i) joined += '\r';
    joined += lines[i];
  }
  Parse(joined.empty() ? std::string_view() : std::string_view(joined));
}

void TXrWord::Parse(std::string_view text) {
  CheckTextBytes(text.size(), kMaxTextBytes);
  Clear();
  const std::vector<TTextToken> tokens = NormalizeText(JoinLines(text));
  TTagValList st(ScriptTextDelay());
  // A text of more glyphs than a document may hold leaves the document empty.
  const auto make_room = [this] {
    if (glyphs_.size() < kMaxTextGlyphs) return;
    Clear();
    CheckTextGlyphs(kMaxTextGlyphs + 1);
  };
  const auto add_op = [&](std::unique_ptr<TWdGlyph> g) {
    make_room();
    Append(std::move(g));
  };
  for (const TTextToken& token : tokens) {
    const TTag tag(token);
    switch (tag.Code()) {
      case TG_TEXT: {
        const std::string& s = token.Text;
        TDecorate* d = nullptr;
        for (size_t i = 0; i < s.size();) {
          make_room();
          uint16_t code = uint8_t(s[i]);
          if (IsSjisLeadByte(s[i]) && i + 1 < s.size()) {
            code = uint16_t(code << 8 | uint8_t(s[i + 1]));
            i += 2;
          } else {
            ++i;
          }
          if (d) {
            ++d->UseCount;
          } else {
            d = decorations_.FindOrAdd(st.Decoration());
          }
          auto c = std::make_unique<TWdChar>(this, d);
          c->Code = code;
          c->Link = st.Link;
          c->DelayValue = st.Wait.Top();
          Append(std::move(c));
        }
        break;
      }
      case TG_A: {
        const std::string href = tag.Value("HREF");
        if (href.empty()) throw ETextError(MsgText(TMsg::TextAnchorWithoutHref));
        st.Link = UnescapeText(href);
        break;
      }
      case TG_A_END: st.Link.clear(); break;
      case TG_B: st.Style |= 1; break;
      case TG_B_END: st.Style &= uint8_t(~1); break;
      case TG_I: st.Style |= 2; break;
      case TG_I_END: st.Style &= uint8_t(~2); break;
      case TG_S: st.Style |= 8; break;
      case TG_S_END: st.Style &= uint8_t(~8); break;
      case TG_U: st.Style |= 4; break;
      case TG_U_END: st.Style &= uint8_t(~4); break;
      case TG_FONT:
        // A size below 0 counts as 0: the document's font size.
        st.Size.Push(std::max(tag.Int("SIZE", st.Size.Top()), 0));
        st.Color.Push(TagColor(tag, "COLOR", st.Color.Top()));
        st.BColor.Push(TagColor(tag, "BCOLOR", st.BColor.Top()));
        st.SColor.Push(TagColor(tag, "SCOLOR", st.SColor.Top()));
        st.FontName.Push(tag.Has("NAME") ? tag.Value("NAME") : st.FontName.Top());
        st.Border.Push(TagWidth(tag, "BORDER", st.Border.Top()));
        st.Shadow.Push(TagWidth(tag, "SHADOW", st.Shadow.Top()));
        break;
      case TG_FONT_END:
        st.Size.Pop();
        st.Color.Pop();
        st.BColor.Pop();
        st.SColor.Pop();
        st.FontName.Pop();
        st.Border.Pop();
        st.Shadow.Pop();
        break;
      case TG_NOBR: st.NoBreak = 1; break;
      case TG_NOBR_END: st.NoBreak = 0; break;
      case TG_RUBY: st.Ruby = tag.Value("VALUE"); break;
      case TG_RUBY_END: st.Ruby.clear(); break;
      case TG_DIV:
      case TG_DIV_END: {
        if (tag.Code() == TG_DIV) {
          st.Align.Push(TagAlign(tag, {WA_LEFT, WA_RIGHT, WA_CENTER}, WA_LEFT));
        } else {
          st.Align.Pop();
        }
        auto g = std::make_unique<TWdOpeAlign>(this);
        g->AlignByte = st.Align.Top();
        add_op(std::move(g));
        break;
      }
      case TG_INDENT: add_op(std::make_unique<TWdOpeIndent>(this)); break;
      case TG_UNDENT: add_op(std::make_unique<TWdOpeUndent>(this)); break;
      case TG_BR:
      case TG_CLEAR: {
        auto g = std::make_unique<TWdOpeReturn>(this);
        g->ClearByte = (tag.Code() == TG_CLEAR || tag.Has("CLEAR")) ? 1 : 0;
        add_op(std::move(g));
        break;
      }
      case TG_EVENT: {
        auto g = std::make_unique<TWdOpeEvent>(this);
        g->EventValue = UnescapeText(tag.Value("VALUE"));
        if (tag.Has("END")) g->EventValue.insert(0, 1, '\x01');
        add_op(std::move(g));
        break;
      }
      case TG_WAIT: st.Wait.Push(tag.Int("VALUE", st.Wait.Top())); break;
      case TG_WAIT_END: st.Wait.Pop(); break;
      case TG_VAR: {
        const std::string name = tag.Value("NAME");
        if (name.empty()) break;
        auto g = std::make_unique<TWdOpeVar>(this, decorations_.FindOrAdd(st.Decoration()));
        g->Name = name;
        g->Link = st.Link;
        g->DelayValue = st.Wait.Top();
        add_op(std::move(g));
        break;
      }
      case TG_IMG: {
        const std::string src = tag.Value("SRC");
        if (src.empty()) break;
        auto g = std::make_unique<TWdImg>(this);
        g->Source = src;
        g->AlignByte = TagAlign(tag, {WA_CENTER, WA_TOP, WA_BOTTOM}, WA_BOTTOM);
        g->Link = st.Link;
        g->DelayValue = st.Wait.Top();
        add_op(std::move(g));
        break;
      }
      default: break;  // unknown tags and complete comment blocks
    }
  }
}

}  // namespace kova
