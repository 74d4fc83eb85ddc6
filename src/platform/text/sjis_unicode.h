// The Unicode character of every code page 932 character code, as the font layer draws it. The
// table is built once, through iconv, by the object that owns it.
#pragma once

#include <cstdint>
#include <memory>

namespace kova::plat {

class TSjisUnicodeTable {
 public:
  // Builds the table (about 11,000 conversions; a few milliseconds).
  TSjisUnicodeTable();

  // The character of a code (a single byte, or lead * 256 + trail); 0 when the code is no
  // character of the code page, or a control code. 0x5C is the yen sign U+00A5, as the Japanese
  // system fonts draw it.
  char32_t operator()(uint16_t code) const { return table_[code]; }

 private:
  std::unique_ptr<char16_t[]> table_;
};

}  // namespace kova::plat
