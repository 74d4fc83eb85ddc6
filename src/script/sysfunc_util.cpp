#include "script/sysfunc_util.h"

#include <algorithm>

#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_errors.h"

namespace kova::sysfunc {

void CheckBuiltSize(int32_t id, uint64_t size) {
  if (size > kMaxBuiltString) {
    Raise<EScriptError>(TMsg::SysFuncStringTooLong, std::string(SysFuncNames().Name(id)).c_str());
  }
}

bool IsCharStart(std::string_view s, size_t p) {
  size_t q = p;
  while (q > 0 && IsSjisLeadByte(s[q - 1])) --q;
  return ((p - q) & 1) == 0;
}

size_t LastSingleByteOf(std::string_view s, std::string_view chars) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsSjisLeadByte(s[i])) {
      ++i;
    } else if (chars.find(s[i]) != std::string_view::npos) {
      found = i;
    }
  }
  return found;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, brk - pos));
    pos = brk + 1;
    if (text[brk] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  return lines;
}

std::vector<std::string> SplitAtChars(std::string_view text, std::string_view delims) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (delims.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  // The delimiter characters: single bytes in a table, double-byte ones as codes.
  bool single[256] = {};
  std::vector<uint16_t> doubles;
  for (size_t i = 0; i < delims.size(); ++i) {
    const auto c = static_cast<uint8_t>(delims[i]);
    if (IsSjisLeadByte(c) && i + 1 < delims.size()) {
      doubles.push_back(static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(delims[++i])));
    } else {
      single[c] = true;
    }
  }
  size_t begin = 0;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    size_t width = 1;
    bool cut;
    if (IsSjisLeadByte(c) && i + 1 < text.size()) {
      width = 2;
      const auto code = static_cast<uint16_t>(c << 8 | static_cast<uint8_t>(text[i + 1]));
      cut = std::find(doubles.begin(), doubles.end(), code) != doubles.end();
    } else {
      cut = single[c];
    }
    if (cut) {
      pieces.emplace_back(text.substr(begin, i - begin));
      begin = i + width;
    }
    i += width;
  }
  if (begin < text.size()) pieces.emplace_back(text.substr(begin));
  return pieces;
}

void StoreStrings(TCustomParam& v, std::vector<std::string>&& items) {
  const int32_t size[] = {static_cast<int32_t>(std::min<size_t>(items.size(), INT32_MAX))};
  v.SetDims(size);
  if (auto* typed = dynamic_cast<TParamStr*>(Underlying(v))) {
    std::move(items.begin(), items.end(), typed->Items().begin());
    return;
  }
  for (size_t i = 0; i < items.size(); ++i) v.SetStrAt(static_cast<int32_t>(i), items[i]);
}

TCustomParam* Underlying(TCustomParam& value) {
  TCustomParam* v = &value;
  for (int depth = 0; depth < 64; ++depth) {
    TParamVar* ref = v->AsVar();
    if (!ref) return v;
    if (!ref->BoundItem()) return nullptr;
    v = &ref->BoundItem()->Value();
  }
  return nullptr;
}

const TCustomParam* Underlying(const TCustomParam& value) { return Underlying(const_cast<TCustomParam&>(value)); }

}  // namespace kova::sysfunc
