#include "text/tag.h"

#include <array>
#include <cctype>
#include <limits>

#include "core/sjis.h"

namespace kova {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

// True when `t` at `i` begins with `marker` (ASCII, without regard to case).
bool StartsAt(std::string_view t, size_t i, std::string_view marker) {
  if (t.size() - i < marker.size()) return false;
  for (size_t k = 0; k < marker.size(); ++k) {
    if (Upper(t[i + k]) != marker[k]) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) { return StartsAt(s, 0, prefix); }

constexpr std::array<std::string_view, 3> kBlockOpen = {"<!--", "<SCRIPT", "<STYLE"};
constexpr std::array<std::string_view, 3> kBlockClose = {"-->", "</SCRIPT>", "</STYLE>"};

size_t MarkerAt(std::string_view t, size_t i, const std::array<std::string_view, 3>& markers) {
  for (std::string_view m : markers) {
    if (StartsAt(t, i, m)) return m.size();
  }
  return 0;
}

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<TTextToken> NormalizeText(std::string_view t) {
  std::vector<TTextToken> out;
  std::string token;
  int tag_depth = 0, block_depth = 0;
  bool in_quote = false, in_pre = false, in_textarea = false;
  const auto emit = [&](TTokenKind kind) {
    if (token.empty()) return;
    out.push_back(TTextToken{std::move(token), kind});
    token.clear();
  };
  const size_t n = t.size();
  size_t i = 0;
  while (i < n) {
    const char c = t[i];
    // A double-byte character is one unit wherever it stands.
    const size_t unit = (IsSjisLeadByte(c) && i + 1 < n) ? 2 : 1;
    if (in_quote) {
      if (c == '"') in_quote = false;
      if (c != '\r' && c != '\n' && c != '\t') token.append(t.substr(i, unit));
      i += unit;
      continue;
    }
    if (size_t m = MarkerAt(t, i, kBlockOpen)) {
      if (block_depth == 0) emit(TTokenKind::Text);
      token.append(t.substr(i, m));
      ++block_depth;
      i += m;
      continue;
    }
    if (size_t m = MarkerAt(t, i, kBlockClose)) {
      if (block_depth > 0) --block_depth;
      token.append(t.substr(i, m));
      if (block_depth == 0) {
        const bool block = MarkerAt(token, 0, kBlockOpen) != 0;
        emit(block ? TTokenKind::Block : TTokenKind::Text);
      }
      i += m;
      continue;
    }
    if (block_depth > 0) {
      token.append(t.substr(i, unit));
      if (c == '\r') token += '\n';
      i += unit;
      continue;
    }
    const bool pre = in_pre || in_textarea;
    switch (c) {
      case '<':
        if (tag_depth == 0) emit(TTokenKind::Text);
        token += '<';
        ++tag_depth;
        break;
      case '>':
        if (tag_depth < 1) {
          token += '>';
          break;
        }
        if (--tag_depth > 0 || token.empty()) break;
        token += '>';
        {
          const std::string tag = token;
          emit(TTokenKind::Tag);
          if (!in_textarea && StartsWithNoCase(tag, "<PRE")) {
            in_pre = true;
            if (i + 1 < n && t[i + 1] == '\r') ++i;
          } else if (!in_textarea && StartsWithNoCase(tag, "</PRE")) {
            in_pre = false;
            if (out.size() >= 2 && out[out.size() - 2].Text == "<BR>") out.erase(out.end() - 2);
          } else if (!in_pre && StartsWithNoCase(tag, "<TEXTAREA")) {
            in_textarea = true;
            if (i + 1 < n && t[i + 1] == '\r') ++i;
          } else if (!in_pre && StartsWithNoCase(tag, "</TEXTAREA")) {
            in_textarea = false;
            if (out.size() >= 2 && out[out.size() - 2].Text == "<BR>") out.erase(out.end() - 2);
          }
        }
        break;
      case '\\':
        if (i + 1 < n) {
          const char next = t[i + 1];
          if (next == '\\' || next == '{' || next == '}' || next == '%' || next == '<' || next == '>') {
            token += next;
            ++i;
          }
          // Any other backslash is dropped; the character after it stays.
        } else {
          token += c;
        }
        break;
      case '\r':
        if (tag_depth == 0 && pre) {
          emit(TTokenKind::Text);
          if (in_pre) out.push_back(TTextToken{"<BR>", TTokenKind::Tag});
        } else if (!token.empty() && i != 0 && t[i - 1] != ' ') {
          token += ' ';
        }
        break;
      case '\t':
        if (pre) token.append(8, ' ');
        break;
      case ' ':
        if (pre || token.empty() || token.back() != ' ') token += ' ';
        break;
      case '"':
        in_quote = true;
        token += c;
        break;
      default:
        token.append(t.substr(i, unit));
        i += unit;
        continue;
    }
    ++i;
  }
  emit(TTokenKind::Text);
  return out;
}

// ---- Tags ----

int TagCode(std::string_view name) {
  static constexpr std::array<std::string_view, 27> kNames = {
      "A", "/A", "B", "/B", "FONT", "/FONT", "I", "/I", "S", "/S", "U", "/U", "NOBR", "/NOBR",
      "RUBY", "/RUBY", "DIV", "/DIV", "INDENT", "UNDENT", "BR", "CLEAR", "EVENT", "WAIT", "/WAIT",
      "VAR", "IMG"};
  for (size_t k = 0; k < kNames.size(); ++k) {
    if (name.size() == kNames[k].size() && StartsWithNoCase(name, kNames[k])) return TG_A + int(k);
  }
  return TG_UNKNOWN;
}

bool ParseTagInt(std::string_view v, int32_t& n) {
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
  if (i == v.size()) return false;
  int64_t x = 0;
  for (; i < v.size(); ++i) {
    if (v[i] < '0' || v[i] > '9') return false;
    x = x * 10 + (v[i] - '0');
    if (x > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (negative) x = -x;
  if (x > std::numeric_limits<int32_t>::max() || x < std::numeric_limits<int32_t>::min()) return false;
  n = int32_t(x);
  return true;
}

bool ParseTagColor(std::string_view v, int32_t& color) {
  if (v.size() != 7 || v[0] != '#') return false;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const char c = Upper(v[i]);
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      return false;
    }
    rgb = rgb << 4 | uint32_t(d);
  }
  color = int32_t((rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF));
  return true;
}

TTag::TTag(const TTextToken& token) {
  const std::string& s = token.Text;
  if (token.Kind == TTokenKind::Block) {
    code_ = TG_UNKNOWN;  // a complete comment, SCRIPT or STYLE block
    return;
  }
  if (token.Kind != TTokenKind::Tag || s.size() < 3 || s.front() != '<' || s.back() != '>') {
    text_ = s;
    return;
  }
  std::string_view in(s.data() + 1, s.size() - 2);
  size_t p = 0;
  const auto skip_blanks = [&] {
    while (p < in.size() && IsBlankByte(in[p])) ++p;
  };
  const auto run_to = [&](auto stop) {
    const size_t from = p;
    while (p < in.size() && !stop(in[p])) ++p;
    return std::string(in.substr(from, p - from));
  };
  skip_blanks();
  while (p < in.size()) {
    Item item;
    item.Name = run_to([](char c) { return c == ' ' || c == '='; });
    const size_t after_name = p;
    skip_blanks();
    if (p < in.size() && in[p] == '=') {
      ++p;
      skip_blanks();
      item.HasValue = true;
      if (p < in.size() && (in[p] == '"' || in[p] == '\'')) {
        const char q = in[p++];
        const size_t close = in.find(q, p);
        if (close != std::string_view::npos) {
          item.Value = std::string(in.substr(p, close - p));
          p = close + 1;
        } else {
          item.Value = run_to([](char c) { return c == ' '; });
        }
      } else {
        item.Value = run_to([](char c) { return c == ' '; });
      }
    } else {
      p = after_name;
    }
    if (!item.Name.empty() || item.HasValue) items_.push_back(std::move(item));
    skip_blanks();
  }
  if (items_.empty()) {
    code_ = TG_UNKNOWN;
    return;
  }
  name_ = items_.front().Name;
  code_ = TagCode(name_);
}

std::string TTag::Text() const { return code_ == TG_TEXT ? text_ : "<" + name_ + ">"; }

const TTag::Item* TTag::Find(std::string_view attribute) const {
  for (size_t k = 1; k < items_.size(); ++k) {
    const Item& it = items_[k];
    if (it.Name.size() == attribute.size() && SjisSameText(it.Name, attribute)) return &it;
  }
  return nullptr;
}

std::string TTag::Value(std::string_view attribute, std::string_view fallback) const {
  const Item* it = Find(attribute);
  return it ? it->Value : std::string(fallback);
}

int32_t TTag::Int(std::string_view attribute, int32_t fallback) const {
  const Item* it = Find(attribute);
  int32_t n;
  return it && ParseTagInt(it->Value, n) ? n : fallback;
}

}  // namespace kova
