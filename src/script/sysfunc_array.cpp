// Array and variable system functions. Elements are counted over the whole flat element array;
// the functions that change a one-dimensional array read their source before they change the
// destination, so a variable given as both stays consistent.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "core/sjis.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/sysfunc_procs.h"
#include "script/sysfunc_util.h"

namespace kova::sysfunc {
namespace {

// Element types by type code; flags are held as bytes 0 / 1.
template <class T> struct TypedOf;
template <> struct TypedOf<int32_t> { using type = TParamInt; };
template <> struct TypedOf<long double> { using type = TParamFloat; };
template <> struct TypedOf<uint8_t> { using type = TParamFlag; };
template <> struct TypedOf<std::string> { using type = TParamStr; };

// Calls fn with a value of the element type of a type code (strings for any other code).
template <class Fn>
void ByType(int32_t type, Fn&& fn) {
  switch (type) {
    case PT_INT: fn(int32_t{}); break;
    case PT_FLOAT: fn(static_cast<long double>(0)); break;
    case PT_BOOL: fn(uint8_t{}); break;
    default: fn(std::string{}); break;
  }
}

template <class T>
T GetAt(const TCustomParam& v, int32_t i) {
  if constexpr (std::is_same_v<T, int32_t>) return v.GetIntAt(i);
  else if constexpr (std::is_same_v<T, long double>) return v.GetFloatAt(i);
  else if constexpr (std::is_same_v<T, uint8_t>) return v.GetFlagAt(i) ? 1 : 0;
  else return v.GetStrAt(i);
}

template <class T>
void SetAt(TCustomParam& v, int32_t i, const T& x) {
  if constexpr (std::is_same_v<T, int32_t>) v.SetIntAt(i, x);
  else if constexpr (std::is_same_v<T, long double>) v.SetFloatAt(i, x);
  else if constexpr (std::is_same_v<T, uint8_t>) v.SetFlagAt(i, x != 0);
  else v.SetStrAt(i, x);
}

// The element array behind v when it is held as T, else nullptr.
template <class T>
std::vector<T>* ItemsOf(TCustomParam& v) {
  auto* typed = dynamic_cast<typename TypedOf<T>::type*>(Underlying(v));
  return typed ? &typed->Items() : nullptr;
}

template <class T>
const std::vector<T>* ItemsOf(const TCustomParam& v) {
  auto* typed = dynamic_cast<const typename TypedOf<T>::type*>(Underlying(v));
  return typed ? &typed->Items() : nullptr;
}

// Elements first .. first + count - 1 of v, read as T.
template <class T>
std::vector<T> ReadRange(const TCustomParam& v, int32_t first, int32_t count) {
  if (const std::vector<T>* items = ItemsOf<T>(v)) {
    return std::vector<T>(items->begin() + first, items->begin() + first + count);
  }
  std::vector<T> out;
  out.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) out.push_back(GetAt<T>(v, first + k));
  return out;
}

// Stores values into elements first, first + 1, ... of v (converted to v's own type).
template <class T>
void WriteRange(TCustomParam& v, int32_t first, std::vector<T>&& values) {
  if (std::vector<T>* items = ItemsOf<T>(v)) {
    std::move(values.begin(), values.end(), items->begin() + first);
    return;
  }
  for (size_t k = 0; k < values.size(); ++k) SetAt<T>(v, first + static_cast<int32_t>(k), values[k]);
}

// Moves elements from .. from + count - 1 of v to start at `to` (the ranges may overlap).
template <class T>
void MoveWithin(TCustomParam& v, int32_t from, int32_t to, int32_t count) {
  if (count <= 0 || from == to) return;
  if (std::vector<T>* items = ItemsOf<T>(v)) {
    auto first = items->begin() + from, last = first + count;
    if (to > from) {
      std::move_backward(first, last, items->begin() + to + count);
    } else {
      std::move(first, last, items->begin() + to);
    }
    return;
  }
  if (to > from) {
    for (int32_t k = count - 1; k >= 0; --k) SetAt<T>(v, to + k, GetAt<T>(v, from + k));
  } else {
    for (int32_t k = 0; k < count; ++k) SetAt<T>(v, to + k, GetAt<T>(v, from + k));
  }
}

// Makes v one-dimensional with n elements (the dimension error for n below 1 or too large).
void SetLength(TCustomParam& v, int64_t n) {
  const int32_t size[] = {static_cast<int32_t>(std::clamp<int64_t>(n, 0, INT32_MAX))};
  v.SetDims(size);
}

bool IsMultiDim(const TCustomParam& v) { return v.DimCount() > 1; }

}  // namespace

// SetArray(var! v, d1 [, d2, ...]): the dimension list and the matching element count.
void SetArray(TSysCall& call) {
  TParamCollectionItem& v = call.BoundVar(0);
  std::vector<int32_t> sizes;
  for (int32_t i = 1; i < call.ArgCount(); ++i) sizes.push_back(call.Int(i));
  v.SetDims(sizes);
}

// FillMem(var! v, x): every element := x read as v's type.
void FillMem(TSysCall& call) {
  TParamCollectionItem& v = call.BoundVar(0);
  switch (v.TypeCode()) {
    case PT_INT: v.FillInt(call.Int(1)); break;
    case PT_FLOAT: v.FillFloat(call.Float(1)); break;
    case PT_BOOL: v.FillFlag(call.Flag(1)); break;
    default: v.FillStr(call.Str(1)); break;
  }
}

// CopyMem(var! dest, var! src): dimensions and elements of a value of the same type.
void CopyMem(TSysCall& call) {
  TParamCollectionItem& dest = call.BoundVar(0);
  TParamCollectionItem& src = call.BoundVar(1);
  dest.CopyMem(src.Value());
}

// ArrayToString(v [, delim]): the elements' string forms joined by delim (CR LF by default).
void ArrayToString(TSysCall& call) {
  const TCustomParam& v = call.Arg(0);
  const std::string delim = call.Has(1) ? call.Str(1) : std::string("\r\n");
  const int32_t n = v.Count();
  std::string out;
  for (int32_t i = 0; i < n; ++i) {
    if (i > 0) out += delim;
    if (const std::string* ref = v.StrRefAt(i)) {
      out += *ref;
    } else {
      out += v.GetStrAt(i);
    }
    CheckBuiltSize(call.Id(), out.size());
  }
  call.Dest().SetStr(out);
}

// StringToArray(s, var v [, delim]): v becomes one-dimensional with one string element per
// piece. CR LF (the default) splits at line breaks (CR LF, LF or CR); any other delim cuts at
// each of its characters. Empty text gives no piece, which is the dimension error.
void StringToArray(TSysCall& call) {
  const std::string s = call.Str(0);
  const std::string delim = call.Has(2) ? call.Str(2) : std::string("\r\n");
  std::vector<std::string> pieces = delim == "\r\n" ? SplitLines(s) : SplitAtChars(s, delim);
  StoreStrings(call.Var(1), std::move(pieces));
}

// IndexOfStr(v, s [, case [, partial]]): case defaults to True, partial to False.
void IndexOfStr(TSysCall& call) {
  const bool case_sensitive = call.Has(2) ? call.Flag(2) : true;
  const bool partial = call.Has(3) && call.Flag(3);
  call.Dest().SetInt(call.Arg(0).IndexOfStr(call.Str(1), case_sensitive, partial));
}

// SortStr(var v): the elements in ascending order of their string forms under the code page's
// case fold, compared byte by byte (a prefix first); equal keys keep their order. The dimension
// list stays.
void SortStr(TSysCall& call) {
  TCustomParam& v = call.Var(0);
  std::vector<std::string> copy;
  std::vector<std::string>* items = ItemsOf<std::string>(v);
  if (!items) {
    copy = ReadRange<std::string>(v, 0, v.Count());
    items = &copy;
  }
  // Sort keys: the folded texts in one buffer, each led by its first 8 bytes as a big-endian
  // number, so that most comparisons touch no text at all; the index breaks ties.
  struct TKey {
    uint64_t head;
    size_t offset;
    uint32_t length;
    uint32_t index;
  };
  std::string folded;
  std::vector<TKey> keys;
  keys.reserve(items->size());
  for (size_t i = 0; i < items->size(); ++i) {
    const size_t offset = folded.size();
    folded += SjisLowerCase((*items)[i]);
    const size_t length = folded.size() - offset;
    uint64_t head = 0;
    for (size_t k = 0; k < 8; ++k) {
      head = head << 8 | (k < length ? static_cast<uint8_t>(folded[offset + k]) : 0u);
    }
    keys.push_back({head, offset, static_cast<uint32_t>(length), static_cast<uint32_t>(i)});
  }
  const char* text = folded.data();
  std::sort(keys.begin(), keys.end(), [text](const TKey& a, const TKey& b) {
    if (a.head != b.head) return a.head < b.head;
    const uint32_t common = std::min(a.length, b.length);
    if (common > 8) {
      const int c = std::memcmp(text + a.offset + 8, text + b.offset + 8, common - 8);
      if (c != 0) return c < 0;
    }
    if (a.length != b.length) return a.length < b.length;
    return a.index < b.index;
  });
  std::vector<std::string> sorted;
  sorted.reserve(items->size());
  for (const TKey& k : keys) sorted.push_back(std::move((*items)[k.index]));
  if (items == &copy) {
    WriteRange<std::string>(v, 0, std::move(sorted));
  } else {
    *items = std::move(sorted);
  }
}

void VarExists(TSysCall& call) {
  const std::string name = call.Str(0);
  call.Dest().SetFlag(!name.empty() && call.Store().FindParam(name) != nullptr);
}

// AddArray(var dest, src): src's elements appended to a one-dimensional dest; the new count.
void AddArray(TSysCall& call) {
  TCustomParam& dest = call.Var(0);
  const TCustomParam& src = call.Arg(1);
  const int32_t c1 = dest.Count(), c2 = src.Count();
  if (IsMultiDim(dest) || IsMultiDim(src)) {
    call.Dest().SetInt(c1);
    return;
  }
  ByType(dest.TypeCode(), [&](auto tag) {
    using T = decltype(tag);
    std::vector<T> added = ReadRange<T>(src, 0, c2);
    SetLength(dest, int64_t(c1) + c2);
    WriteRange<T>(dest, c1, std::move(added));
  });
  call.Dest().SetInt(c1 + c2);
}

// InsertArray(var dest, i, src): src's elements inserted before index i (clamped to 0 .. count).
void InsertArray(TSysCall& call) {
  TCustomParam& dest = call.Var(0);
  const TCustomParam& src = call.Arg(2);
  const int32_t c1 = dest.Count(), c2 = src.Count();
  if (IsMultiDim(dest) || IsMultiDim(src)) {
    call.Dest().SetInt(c1);
    return;
  }
  const int32_t i = std::clamp(call.Int(1), 0, c1);
  ByType(dest.TypeCode(), [&](auto tag) {
    using T = decltype(tag);
    std::vector<T> inserted = ReadRange<T>(src, 0, c2);
    SetLength(dest, int64_t(c1) + c2);
    MoveWithin<T>(dest, i, i + c2, c1 - i);
    WriteRange<T>(dest, i, std::move(inserted));
  });
  call.Dest().SetInt(c1 + c2);
}

// DeleteArray(var v, i, n): n elements from index i (clamped to 0 .. count - 1, n cut at the
// end); n of 0 or less deletes nothing. Deleting every element is the dimension error, raised
// before anything changes.
void DeleteArray(TSysCall& call) {
  TCustomParam& v = call.Var(0);
  const int32_t c = v.Count();
  const int32_t i = std::clamp(call.Int(1), 0, c - 1);
  int32_t n = call.Int(2);
  if (IsMultiDim(v) || n <= 0) {
    call.Dest().SetInt(c);
    return;
  }
  n = std::min(n, c - i);
  if (c - n < 1) Raise<EScriptError>(TMsg::ParamSizeError);
  ByType(v.TypeCode(), [&](auto tag) {
    using T = decltype(tag);
    MoveWithin<T>(v, i + n, i, c - i - n);
  });
  SetLength(v, c - n);
  call.Dest().SetInt(c - n);
}

// CopyArray(var dest, src): src's dimension list and elements, converted to dest's type; True.
void CopyArray(TSysCall& call) {
  TCustomParam& dest = call.Var(0);
  const TCustomParam& src = call.Arg(1);
  std::vector<int32_t> sizes(static_cast<size_t>(src.DimCount()));
  for (size_t k = 0; k < sizes.size(); ++k) sizes[k] = src.Dim(static_cast<int32_t>(k));
  ByType(dest.TypeCode(), [&](auto tag) {
    using T = decltype(tag);
    std::vector<T> values = ReadRange<T>(src, 0, src.Count());
    dest.SetDims(sizes);
    values.resize(std::min(values.size(), static_cast<size_t>(dest.Count())));
    WriteRange<T>(dest, 0, std::move(values));
  });
  call.Dest().SetFlag(true);
}

}  // namespace kova::sysfunc
