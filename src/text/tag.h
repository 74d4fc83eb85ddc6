// The message markup: the normaliser that splits a text into tokens (one per tag, text run or
// comment block) and the reading of one tag with its attributes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

// Tag codes.
enum : int {
  TG_TEXT = 0,
  TG_UNKNOWN = 1,
  TG_A = 2, TG_A_END, TG_B, TG_B_END, TG_FONT, TG_FONT_END, TG_I, TG_I_END, TG_S, TG_S_END, TG_U, TG_U_END,
  TG_NOBR, TG_NOBR_END, TG_RUBY, TG_RUBY_END, TG_DIV, TG_DIV_END, TG_INDENT, TG_UNDENT, TG_BR, TG_CLEAR,
  TG_EVENT, TG_WAIT, TG_WAIT_END, TG_VAR, TG_IMG,
};

enum class TTokenKind : uint8_t { Text, Tag, Block };

// One token of a normalised text.
struct TTextToken {
  std::string Text;
  TTokenKind Kind = TTokenKind::Text;
  friend bool operator==(const TTextToken&, const TTextToken&) = default;
};

// Splits a text (lines joined by single CRs) into tokens: comments and SCRIPT/STYLE blocks, tags,
// and text runs with their white space folded (kept inside PRE and TEXTAREA), backslash escapes
// resolved and double-quoted runs kept whole. Double-byte characters are single units: a trail
// byte is never an escape or a marker. Linear in the text's length.
std::vector<TTextToken> NormalizeText(std::string_view text);

// One parsed tag: its code and attributes.
class TTag {
 public:
  explicit TTag(const TTextToken& token);

  int Code() const { return code_; }
  const std::string& Name() const { return name_; }
  // The token's text for a text token; "<" + name + ">" for a tag.
  std::string Text() const;
  bool Has(std::string_view attribute) const { return Find(attribute) != nullptr; }
  // The value of the first attribute of that name (without regard to case), else `fallback`.
  std::string Value(std::string_view attribute, std::string_view fallback = {}) const;
  // A decimal integer value; `fallback` when absent or not a number.
  int32_t Int(std::string_view attribute, int32_t fallback) const;

 private:
  struct Item {
    std::string Name;
    std::string Value;
    bool HasValue = false;
  };
  const Item* Find(std::string_view attribute) const;

  int code_ = TG_TEXT;
  std::string name_;
  std::string text_;
  std::vector<Item> items_;
};

// The tag code of a name (without regard to case); TG_UNKNOWN when the table does not hold it.
int TagCode(std::string_view name);
// "#RRGGBB" as a colour reference (red in the low byte); false for any other form.
bool ParseTagColor(std::string_view value, int32_t& color);
// A decimal integer with an optional sign; false for anything else or a value outside Int32.
bool ParseTagInt(std::string_view value, int32_t& n);

}  // namespace kova
