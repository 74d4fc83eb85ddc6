// Searching, sorting and loading tab-separated text into tables.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/tab_strings.h"
#include "core/utils.h"
#include "script/db_table.h"
#include "script/params.h"
#include "script/value_text.h"

namespace kova {
namespace {

// ASCII letters upper-cased into `out` (its memory reused), never the second byte of a
// double-byte character.
void AsciiUpperInto(std::string_view s, std::string& out) {
  out.assign(s);
  SjisAsciiUpperCaseInPlace(out);
}

// ---- Search ----

// How a pair compares: the common cases read the cell's bytes directly, the others convert.
enum class TPairMode { Convert, IntCell, StrCellExact, Never };

// One compared pair of a search: the cell's column and the value, read in the values' type.
struct TSelectPair {
  const TDBField* field = nullptr;
  int32_t offset = 0;
  TPairMode mode = TPairMode::Convert;
  uint64_t head = 0;  // the first eight bytes of a string value (StrCellExact)
  int32_t int_value = 0;
  long double float_value = 0;
  bool flag_value = false;
  std::string str_value;  // upper-cased for a search without case
};

class TSelectMatcher {
 public:
  TSelectMatcher(int32_t type, bool nocase, bool partial) : type_(type), nocase_(nocase), partial_(partial) {}

  bool Matches(const uint8_t* record, const TSelectPair& p) {
    const uint8_t* cell = record + p.offset;
    switch (p.mode) {
      case TPairMode::IntCell: {
        int32_t v;
        std::memcpy(&v, cell, 4);
        return v == p.int_value;
      }
      case TPairMode::StrCellExact: {
        // The text equals the value when the value's bytes start the cell and the text ends there.
        const size_t n = p.str_value.size();
        const char* v = p.str_value.data();
        if (n >= 8) {
          // Most cells differ in their first eight bytes: one word decides.
          uint64_t head;
          std::memcpy(&head, cell, 8);
          if (head != p.head || std::memcmp(cell + 8, v + 8, n - 8) != 0) return false;
        } else {
          for (size_t i = 0; i < n; ++i) {
            if (cell[i] != static_cast<uint8_t>(v[i])) return false;
          }
        }
        return n == static_cast<size_t>(p.field->Size - 1) || cell[n] == 0;
      }
      case TPairMode::Never: return false;
      case TPairMode::Convert: break;
    }
    switch (type_) {
      case PT_INT: return dbcell::GetInt(cell, *p.field) == p.int_value;
      case PT_FLOAT: return dbcell::GetFloat(cell, *p.field) == p.float_value;
      case PT_BOOL: return dbcell::GetBool(cell, *p.field) == p.flag_value;
      case PT_STR: return MatchesText(cell, p);
      default: return true;
    }
  }

 private:
  bool MatchesText(const uint8_t* cell, const TSelectPair& p) {
    std::string_view text;
    if (p.field->Type == kDBStr) {
      text = dbcell::StrView(cell, *p.field);
    } else {
      scratch_ = dbcell::GetStr(cell, *p.field);
      text = scratch_;
    }
    if (!partial_) {
      if (!nocase_) return text == p.str_value;
      return DBSameName(text, p.str_value);
    }
    if (nocase_) {
      AsciiUpperInto(text, folded_);
      text = folded_;
    }
    // The cell's text must occur within the value, at a character boundary; an empty text occurs
    // nowhere (as in the Pos function).
    return SjisPos(text, p.str_value) > 0;
  }

  int32_t type_;
  bool nocase_;
  bool partial_;
  std::string scratch_;
  std::string folded_;
};

// ---- Sort ----

struct TSortKey {
  const TDBField* field;
  int32_t offset;
  bool descending;
};

// Three-way comparison of one cell pair: integers, floats (not-a-number after every number) and
// flags by value, strings by their bytes.
int CompareCells(const uint8_t* a, const uint8_t* b, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: {
      int32_t x, y;
      std::memcpy(&x, a, 4);
      std::memcpy(&y, b, 4);
      return (x > y) - (x < y);
    }
    case kDBFloat: {
      const long double x = BytesToExtended(a), y = BytesToExtended(b);
      if (std::isnan(x)) return std::isnan(y) ? 0 : 1;
      if (std::isnan(y)) return -1;
      return (x > y) - (x < y);
    }
    case kDBBool: return int(a[0] != 0) - int(b[0] != 0);
    default:
      // Texts end at their first zero byte or at the declared length; they hold no zero byte, so
      // the shorter of two texts where one begins the other compares first, as in byte order.
      return std::strncmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b),
                          static_cast<size_t>(field.Size - 1));
  }
}

// An unsigned number whose order agrees with the cell's order whenever two numbers differ: the
// sort compares these first and the whole keys only when they are equal.
uint64_t SortPrefix(const uint8_t* cell, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: {
      uint32_t x;
      std::memcpy(&x, cell, 4);
      return x ^ 0x80000000u;
    }
    case kDBFloat: {
      const long double x = BytesToExtended(cell);
      if (std::isnan(x)) return UINT64_MAX;
      double d = static_cast<double>(x);  // rounding keeps the order (ties included)
      if (d == 0) d = 0.0;
      uint64_t bits;
      std::memcpy(&bits, &d, 8);
      return (bits >> 63) ? ~bits : bits | 0x8000000000000000ull;
    }
    case kDBBool: return cell[0] != 0 ? 1 : 0;
    default: {
      const std::string_view s = dbcell::StrView(cell, field);
      uint64_t v = 0;
      for (size_t i = 0; i < 8; ++i) v = (v << 8) | (i < s.size() ? static_cast<uint8_t>(s[i]) : 0u);
      return v;
    }
  }
}

// Bytes of value 32 or less removed at both ends.
std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<uint8_t>(s[b]) <= 32) ++b;
  while (e > b && static_cast<uint8_t>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

// Cuts s at its first blank into a head and the rest, both trimmed.
void CutAtBlank(std::string_view s, std::string_view& head, std::string_view& rest) {
  const size_t p = s.find(' ');
  head = TrimBlanks(s.substr(0, p));
  rest = p == std::string_view::npos ? std::string_view() : TrimBlanks(s.substr(p + 1));
}

}  // namespace

void TDBTable::Select(std::vector<int32_t>& list, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                      bool partial) const {
  const int32_t count = RecordCount();
  if (!columns || !values) {
    list.reserve(list.size() + static_cast<size_t>(count));
    for (int32_t r = 0; r < count; ++r) list.push_back(r);
    return;
  }
  if (count == 0) return;
  // Every record looks up the same columns, so a missing one stops the search before the first
  // record can match all pairs: it adds nothing.
  const int32_t type = values->TypeCode();
  const int32_t pair_count = std::min(columns->Count(), values->Count());
  std::vector<TSelectPair> pairs;
  pairs.reserve(static_cast<size_t>(pair_count));
  for (int32_t k = 0; k < pair_count; ++k) {
    const int32_t col = fields_.IndexOf(columns->GetStrAt(k));
    if (col < 0) return;
    TSelectPair& p = pairs.emplace_back();
    p.field = &fields_.Items(col);
    p.offset = fields_.FieldOffset(col);
    switch (type) {
      case PT_INT: p.int_value = values->GetIntAt(k); break;
      case PT_FLOAT: p.float_value = values->GetFloatAt(k); break;
      case PT_BOOL: p.flag_value = values->GetFlagAt(k); break;
      case PT_STR:
        if (partial && nocase) {
          AsciiUpperInto(values->GetStrAt(k), p.str_value);
        } else {
          p.str_value = values->GetStrAt(k);
        }
        break;
      default: break;
    }
    if (type == PT_INT && p.field->Type == kDBInt) p.mode = TPairMode::IntCell;
    if (type == PT_STR && p.field->Type == kDBStr && !nocase && !partial) {
      // A cell holds at most its declared length and never a zero byte.
      const bool possible = p.str_value.size() < static_cast<size_t>(p.field->Size) &&
                            p.str_value.find('\0') == std::string::npos;
      p.mode = possible ? TPairMode::StrCellExact : TPairMode::Never;
      if (p.str_value.size() >= 8) std::memcpy(&p.head, p.str_value.data(), 8);
    }
  }
  TSelectMatcher matcher(type, nocase, partial);
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* record = records_[static_cast<size_t>(r)].get();
    bool all = true;
    for (const TSelectPair& p : pairs) {
      if (!matcher.Matches(record, p)) {
        all = false;
        break;
      }
    }
    if (all) list.push_back(r);
  }
}

void TDBTable::Sort(const TCustomParam* columns, const TCustomParam* descending) {
  if (!columns || !descending || records_.size() < 2) return;
  std::vector<TSortKey> keys;
  const int32_t key_count = std::min(columns->Count(), descending->Count());
  for (int32_t k = 0; k < key_count; ++k) {
    const int32_t col = fields_.IndexOf(columns->GetStrAt(k));
    if (col >= 0) keys.push_back({&fields_.Items(col), fields_.FieldOffset(col), descending->GetFlagAt(k)});
  }
  if (keys.empty()) return;

  // Each record carries the prefixes of its first two keys. A prefix of an integer or flag key
  // decides that key whole; the second prefix is only used after an exact first one.
  auto exact = [](const TSortKey& key) { return key.field->Type == kDBInt || key.field->Type == kDBBool; };
  auto prefix_of = [](const uint8_t* record, const TSortKey& key) {
    const uint64_t p = SortPrefix(record + key.offset, *key.field);
    return key.descending ? ~p : p;
  };
  struct TItem {
    uint64_t prefix;
    uint64_t prefix2;
    const uint8_t* record;
    size_t index;
  };
  const bool two_prefixes = keys.size() > 1 && exact(keys[0]);
  // The first key compared whole when the prefixes are equal.
  std::ptrdiff_t full_from = 0;
  if (exact(keys[0])) full_from = (two_prefixes && exact(keys[1])) ? 2 : 1;
  std::vector<TItem> items(records_.size());
  for (size_t i = 0; i < records_.size(); ++i) {
    const uint8_t* record = records_[i].get();
    items[i] = {prefix_of(record, keys[0]), two_prefixes ? prefix_of(record, keys[1]) : 0, record, i};
  }
  // A total order (not-a-number after every number), so the sort never leaves its range; equal
  // records keep their order.
  std::stable_sort(items.begin(), items.end(), [&keys, full_from](const TItem& a, const TItem& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.prefix2 != b.prefix2) return a.prefix2 < b.prefix2;
    for (auto key = keys.begin() + full_from; key != keys.end(); ++key) {
      const int c = CompareCells(a.record + key->offset, b.record + key->offset, *key->field);
      if (c != 0) return key->descending ? c > 0 : c < 0;
    }
    return false;
  });
  std::vector<TRecord> sorted;
  sorted.reserve(records_.size());
  for (const TItem& item : items) sorted.push_back(std::move(records_[item.index]));
  records_ = std::move(sorted);
}

bool TDBTable::LoadTsv(std::string_view text) {
  ClearAll();
  const char* p = text.data();
  const char* const end = p + text.size();
  // Lines end at CR LF, LF or CR.
  auto skip_break = [&p, end] {
    if (p < end) {
      if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
      ++p;
    }
  };
  if (p == end) return false;

  // The header: one column per cell, "name [type [length]]".
  const char* header_end = p;
  while (header_end < end && *header_end != '\r' && *header_end != '\n') ++header_end;
  TTabStrings header;
  header.SetDelimitedText(std::string_view(p, static_cast<size_t>(header_end - p)));
  p = header_end;
  skip_break();
  for (int32_t c = 0; c < header.Count(); ++c) {
    std::string_view name, rest, type_word, length_text;
    CutAtBlank(header[c], name, rest);
    if (name.empty()) {
      fields_.Clear();
      return false;
    }
    CutAtBlank(rest, type_word, length_text);
    const int32_t type = type_word == "int" ? kDBInt : type_word == "float" ? kDBFloat : type_word == "bool" ? kDBBool : kDBStr;
    int32_t length = kDBDefaultStrLength;
    if (!TryParseScriptInt(length_text, length) || length < 0) length = kDBDefaultStrLength;
    length = std::min(length, kDBMaxStrLength);
    // A header whose records would grow too large keeps the columns that fit.
    if (fields_.AddField(name, type, length) < 0) break;
  }

  // Every later line that is not empty is one record. A line without a backslash is split in the
  // same pass that finds its end (as TTabStrings splits: a tab right after a lead byte belongs to
  // that character); a line with one is unescaped first.
  const size_t columns = static_cast<size_t>(fields_.Count());
  const int64_t record_cost = int64_t(fields_.RecordSize()) + kDBRecordOverhead;
  const int64_t budget = kDBTsvSlack + kDBTsvBytesPerByte * static_cast<int64_t>(text.size());
  int64_t spent = 0;
  std::vector<std::string_view> cells;
  std::string unescaped;
  while (p < end) {
    const char* line = p;
    const char* field = p;
    bool escaped = false;
    cells.clear();
    while (p < end) {
      const char c = *p;
      if (c == '\t') {
        cells.emplace_back(field, static_cast<size_t>(p - field));
        field = ++p;
        continue;
      }
      if (c == '\r' || c == '\n') break;
      escaped |= c == '\\';
      p += (IsSjisLeadByte(c) && p + 1 < end && p[1] != '\r' && p[1] != '\n') ? 2 : 1;
    }
    const char* line_end = p;
    skip_break();
    if (line_end == line) continue;
    // A record past what the text's size can honestly describe ends the load.
    if (record_cost > budget - spent) break;
    spent += record_cost;
    if (escaped) {
      unescaped = UnescapeText(std::string_view(line, static_cast<size_t>(line_end - line)));
      const std::string_view u = unescaped;
      cells.clear();
      ForEachDelimitedField(u, '\t',
                            [&](size_t from, size_t to) { cells.push_back(u.substr(from, to - from)); });
    } else if (field < line_end) {
      cells.emplace_back(field, static_cast<size_t>(line_end - field));
    }
    Append();
    uint8_t* record = records_.back().get();
    const size_t n = std::min(cells.size(), columns);
    for (size_t c = 0; c < n; ++c) {
      const int32_t col = static_cast<int32_t>(c);
      dbcell::SetStr(record + fields_.FieldOffset(col), fields_.Items(col), cells[c]);
    }
  }
  return false;
}

}  // namespace kova
