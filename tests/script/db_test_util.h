// Small helpers shared by the database tests: script values holding lists, and a table built
// from a column list.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "script/db_table.h"
#include "script/params.h"

namespace kova::test {

// A one-dimensional value of the given elements (one element: a scalar).
template <class P, class T>
std::unique_ptr<TCustomParam> ListOf(std::initializer_list<T> items) {
  auto p = std::make_unique<P>();
  if (items.size() > 1) {
    const int32_t dims[] = {static_cast<int32_t>(items.size())};
    p->SetDims(dims);
  }
  int32_t i = 0;
  for (const T& item : items) {
    if constexpr (std::is_same_v<P, TParamInt>) p->SetIntAt(i++, item);
    else if constexpr (std::is_same_v<P, TParamFloat>) p->SetFloatAt(i++, item);
    else if constexpr (std::is_same_v<P, TParamFlag>) p->SetFlagAt(i++, item);
    else p->SetStrAt(i++, item);
  }
  return p;
}
inline std::unique_ptr<TCustomParam> Strs(std::initializer_list<const char*> items) {
  return ListOf<TParamStr, const char*>(items);
}
inline std::unique_ptr<TCustomParam> Ints(std::initializer_list<int32_t> items) {
  return ListOf<TParamInt, int32_t>(items);
}
inline std::unique_ptr<TCustomParam> Floats(std::initializer_list<long double> items) {
  return ListOf<TParamFloat, long double>(items);
}
inline std::unique_ptr<TCustomParam> Flags(std::initializer_list<bool> items) {
  return ListOf<TParamFlag, bool>(items);
}

struct ColumnSpec {
  const char* name;
  int32_t type;
  int32_t length = 0;
};

inline void AddColumns(TDBCustomTable& t, std::initializer_list<ColumnSpec> columns) {
  for (const ColumnSpec& c : columns) t.Fields().AddField(c.name, c.type, c.length);
}

// The text of every record's cell in column `col`.
inline std::vector<std::string> ColumnTexts(const TDBCustomTable& t, int32_t col) {
  std::vector<std::string> out;
  for (int32_t r = 0; r < t.RecordCount(); ++r) {
    std::string s;
    t.GetStrAt(r, col, s);
    out.push_back(s);
  }
  return out;
}

}  // namespace kova::test
