#include "script/params.h"

#include <algorithm>
#include <type_traits>
#include <typeinfo>

#include "core/sjis.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/value_text.h"

namespace kova {
namespace {

// ---- conversions by stored element type ----

inline int32_t ToInt(int32_t v) { return v; }
inline int32_t ToInt(long double v) { return FloatToScriptInt(v); }
inline int32_t ToInt(uint8_t v) { return v ? 1 : 0; }
inline int32_t ToInt(const std::string& v) { return ParseScriptInt(v); }

inline long double ToFloat(int32_t v) { return v; }
inline long double ToFloat(long double v) { return v; }
inline long double ToFloat(uint8_t v) { return v ? 1.0L : 0.0L; }
inline long double ToFloat(const std::string& v) { return ParseScriptFloat(v); }

inline bool ToFlag(int32_t v) { return v != 0; }
inline bool ToFlag(long double v) { return v != 0.0L; }
inline bool ToFlag(uint8_t v) { return v != 0; }
inline bool ToFlag(const std::string& v) { return ScriptStrToFlag(v); }

inline std::string ToStr(int32_t v) { return IntToScriptStr(v); }
inline std::string ToStr(long double v) { return FloatToScriptStr(v); }
inline std::string ToStr(uint8_t v) { return std::string(FlagToScriptStr(v != 0)); }
inline std::string ToStr(const std::string& v) { return v; }

template <class T> struct From;
template <> struct From<int32_t> {
  static int32_t Int(int32_t v) { return v; }
  static int32_t Float(long double v) { return FloatToScriptInt(v); }
  static int32_t Flag(bool v) { return v ? 1 : 0; }
  static int32_t Str(std::string_view v) { return ParseScriptInt(v); }
};
template <> struct From<long double> {
  static long double Int(int32_t v) { return v; }
  static long double Float(long double v) { return v; }
  static long double Flag(bool v) { return v ? 1.0L : 0.0L; }
  static long double Str(std::string_view v) { return ParseScriptFloat(v); }
};
template <> struct From<uint8_t> {
  static uint8_t Int(int32_t v) { return v != 0; }
  static uint8_t Float(long double v) { return v != 0.0L; }
  static uint8_t Flag(bool v) { return v; }
  static uint8_t Str(std::string_view v) { return ScriptStrToFlag(v); }
};
template <> struct From<std::string> {
  static std::string Int(int32_t v) { return IntToScriptStr(v); }
  static std::string Float(long double v) { return FloatToScriptStr(v); }
  static std::string Flag(bool v) { return std::string(FlagToScriptStr(v)); }
  static std::string Str(std::string_view v) { return std::string(v); }
};

// Stores text converted to the element type; a string element takes the bytes into the storage
// it already has (the text may be that element itself).
template <class T>
inline void StoreStr(T& dst, std::string_view v) {
  dst = From<T>::Str(v);
}
inline void StoreStr(std::string& dst, std::string_view v) { dst.assign(v.data(), v.size()); }

// ---- stream forms ----

// One element in its type's form.
template <class IO, class T>
void TransferElement(IO& io, T& v) {
  using E = std::remove_const_t<T>;
  if constexpr (std::is_same_v<E, int32_t>) {
    io.Int(v);
  } else if constexpr (std::is_same_v<E, long double>) {
    io.Ext(v);
  } else if constexpr (std::is_same_v<E, uint8_t>) {
    io.Byte(v);
  } else {
    io.Str(v);
  }
}

// The dimension list: D (4), then D sizes (4 each).
template <class IO, class D>
void TransferDims(IO& io, D& dims) {
  io.List(dims, 4, TMsg::ParamDataError, [&](auto& size) { io.Int(size); });
}

template <class T> constexpr int64_t kMinItemBytes = 4;
template <> constexpr int64_t kMinItemBytes<long double> = 10;
template <> constexpr int64_t kMinItemBytes<uint8_t> = 1;

[[noreturn]] void RaiseDataError() { Raise<EReadError>(TMsg::ParamDataError); }

// A typed value: the dimension list, N (4), N elements. A loaded form must be consistent: N
// equals the product of the sizes (`product` checks them) when sizes are held, every size is at
// least 1, and the elements fit in the bytes left. N = 0 without sizes loads one default element
// (a value is never left without element 0).
template <class IO, class D, class V, class Product>
void TransferValues(IO& io, D& dims, V& items, Product product) {
  using T = typename std::remove_const_t<V>::value_type;
  TransferDims(io, dims);
  [[maybe_unused]] int32_t expected = 1;
  if constexpr (IO::kLoading) {
    try {
      expected = product(dims);
    } catch (const EScriptError&) {
      RaiseDataError();
    }
  }
  int32_t n = static_cast<int32_t>(items.size());
  io.Int(n);
  if constexpr (IO::kLoading) {
    if (n < 0 || n > kMaxParamElements || n * kMinItemBytes<T> > io.Stream().Remaining()) RaiseDataError();
    if (!dims.empty() && n != expected) RaiseDataError();
    items.resize(static_cast<size_t>(n));
  }
  for (auto& v : items) TransferElement(io, v);
  if constexpr (IO::kLoading) {
    if (items.empty()) items.resize(1);
  }
}

// An element reference: the dimension list, the variable's name, the bound variable's name, the
// reference flag (1), the element index (4).
template <class IO, class D, class S, class B, class I>
void TransferReference(IO& io, D& dims, S& var_name, S& bound_name, B& ref_flag, I& element) {
  TransferDims(io, dims);
  io.Str(var_name);
  io.Str(bound_name);
  io.Byte(ref_flag);
  io.Int(element);
}

// The first occurrence of sub in s that begins where a character begins.
bool ContainsAtCharStart(std::string_view s, std::string_view sub) {
  return sub.empty() || SjisPos(sub, s) != 0;
}

}  // namespace

// ---- TForwardGuard ----

TForwardGuard::TForwardGuard() {
  if (++depth_ > 64) {
    --depth_;
    Raise<EScriptError>(TMsg::ParamReferenceLoop);
  }
}

// ---- TCustomParam ----

void TCustomParam::CheckIndex(int32_t i) const {
  if (i < 0 || i >= Count()) Raise<EScriptError>(TMsg::ParamIndexError);
}

void TCustomParam::SetCount(int32_t n) {
  if (n < 1 || n > kMaxParamElements) Raise<EScriptError>(TMsg::ParamSizeError);
}

int32_t TCustomParam::GetIntAt(int32_t i) const { CheckIndex(i); return GetInt(); }
void TCustomParam::SetIntAt(int32_t i, int32_t) { CheckIndex(i); }
long double TCustomParam::GetFloatAt(int32_t i) const { CheckIndex(i); return GetFloat(); }
void TCustomParam::SetFloatAt(int32_t i, long double) { CheckIndex(i); }
bool TCustomParam::GetFlagAt(int32_t i) const { CheckIndex(i); return GetFlag(); }
void TCustomParam::SetFlagAt(int32_t i, bool) { CheckIndex(i); }
std::string TCustomParam::GetStrAt(int32_t i) const { CheckIndex(i); return GetStr(); }
void TCustomParam::SetStrAt(int32_t i, std::string_view) { CheckIndex(i); }

int32_t TCustomParam::DimCount() const { return dims_.empty() ? 1 : static_cast<int32_t>(dims_.size()); }

int32_t TCustomParam::Dim(int32_t i) const {
  return (i >= 0 && static_cast<size_t>(i) < dims_.size()) ? dims_[static_cast<size_t>(i)] : 1;
}

void TCustomParam::Assign(const TCustomParam& source) { dims_ = source.dims_; }

int32_t TCustomParam::CheckedProduct(std::span<const int32_t> sizes) {
  int64_t product = 1;
  for (int32_t d : sizes) {
    if (d < 1) Raise<EScriptError>(TMsg::ParamSizeError);
    product *= d;
    if (product > kMaxParamElements) Raise<EScriptError>(TMsg::ParamSizeError);
  }
  return static_cast<int32_t>(product);
}

void TCustomParam::SetDims(std::span<const int32_t> sizes) {
  const int32_t product = CheckedProduct(sizes);
  std::vector<int32_t> dims(sizes.begin(), sizes.end());
  SetCount(product);
  dims_.swap(dims);
}

void TCustomParam::CopyMem(const TCustomParam& source) {
  if (typeid(source) != typeid(*this)) Raise<EScriptError>(TMsg::ParamCopyMemTypeError);
  std::vector<int32_t> dims(static_cast<size_t>(source.DimCount()));
  for (size_t k = 0; k < dims.size(); ++k) dims[k] = source.Dim(static_cast<int32_t>(k));
  SetCount(source.Count());
  dims_.swap(dims);
}

void TCustomParam::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferDims(io, dims_);
}

void TCustomParam::LoadFromStream(TStream& stream) {
  TRecordLoader io(stream);
  TransferDims(io, dims_);
}

void TCustomParam::ResetDims() {
  if (dims_.empty()) return;
  dims_.clear();
  SetCount(1);
}

// Partial: an element matches when it contains s; without case both are lower-cased first.
// Exact with case: byte equality; exact without case: equality ignoring the case of ASCII
// letters. The fold and the search never treat a trail byte as a character of its own.
int32_t TCustomParam::IndexOfStr(std::string_view s, bool case_sensitive, bool partial) const {
  const int32_t n = Count();
  const std::string needle = case_sensitive ? std::string(s) : SjisAsciiLowerCase(s);
  for (int32_t i = 0; i < n; ++i) {
    std::string e = GetStrAt(i);
    if (!case_sensitive) e = SjisAsciiLowerCase(e);
    if (partial ? ContainsAtCharStart(e, needle) : e == needle) return i;
  }
  return -1;
}

void TCustomParam::AssignConverted(const TCustomParam& source) {
  if (&source == this) return;
  std::vector<int32_t> sizes(static_cast<size_t>(source.DimCount()));
  for (size_t k = 0; k < sizes.size(); ++k) sizes[k] = source.Dim(static_cast<int32_t>(k));
  SetDims(sizes);
  const int32_t n = std::min(source.Count(), Count());
  switch (TypeCode()) {
    case PT_INT: for (int32_t i = 0; i < n; ++i) SetIntAt(i, source.GetIntAt(i)); break;
    case PT_FLOAT: for (int32_t i = 0; i < n; ++i) SetFloatAt(i, source.GetFloatAt(i)); break;
    case PT_BOOL: for (int32_t i = 0; i < n; ++i) SetFlagAt(i, source.GetFlagAt(i)); break;
    case PT_STR: for (int32_t i = 0; i < n; ++i) SetStrAt(i, source.GetStrAt(i)); break;
    default: break;
  }
}

// ---- TTypedParam ----

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetCount(int32_t n) {
  TCustomParam::SetCount(n);
  items_.resize(static_cast<size_t>(n));
}

template <class T, int32_t kCode> bool TTypedParam<T, kCode>::GetFlag() const { return ToFlag(items_[0]); }
template <class T, int32_t kCode> long double TTypedParam<T, kCode>::GetFloat() const { return ToFloat(items_[0]); }
template <class T, int32_t kCode> int32_t TTypedParam<T, kCode>::GetInt() const { return ToInt(items_[0]); }
template <class T, int32_t kCode> std::string TTypedParam<T, kCode>::GetStr() const { return ToStr(items_[0]); }

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetFlag(bool v) { ResetDims(); items_[0] = From<T>::Flag(v); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetFloat(long double v) { ResetDims(); items_[0] = From<T>::Float(v); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetInt(int32_t v) { ResetDims(); items_[0] = From<T>::Int(v); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetStr(std::string_view v) {
  if constexpr (std::is_same_v<T, std::string>) {
    // The text may be one of this value's own elements, which dropping the dimensions frees.
    if (!dims_.empty()) {
      std::string copy(v);
      ResetDims();
      items_[0] = std::move(copy);
      return;
    }
  }
  ResetDims();
  StoreStr(items_[0], v);
}

#define KOVA_AT(i) items_[static_cast<size_t>(i)]
template <class T, int32_t kCode>
int32_t TTypedParam<T, kCode>::GetIntAt(int32_t i) const { CheckIndex(i); return ToInt(KOVA_AT(i)); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetIntAt(int32_t i, int32_t v) { CheckIndex(i); KOVA_AT(i) = From<T>::Int(v); }
template <class T, int32_t kCode>
long double TTypedParam<T, kCode>::GetFloatAt(int32_t i) const { CheckIndex(i); return ToFloat(KOVA_AT(i)); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetFloatAt(int32_t i, long double v) { CheckIndex(i); KOVA_AT(i) = From<T>::Float(v); }
template <class T, int32_t kCode>
bool TTypedParam<T, kCode>::GetFlagAt(int32_t i) const { CheckIndex(i); return ToFlag(KOVA_AT(i)); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetFlagAt(int32_t i, bool v) { CheckIndex(i); KOVA_AT(i) = From<T>::Flag(v); }
template <class T, int32_t kCode>
std::string TTypedParam<T, kCode>::GetStrAt(int32_t i) const { CheckIndex(i); return ToStr(KOVA_AT(i)); }
template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SetStrAt(int32_t i, std::string_view v) { CheckIndex(i); StoreStr(KOVA_AT(i), v); }
#undef KOVA_AT

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::Assign(const TCustomParam& source) {
  if (&source == this) return;
  if (typeid(source) == typeid(*this)) {
    const auto& same = static_cast<const TTypedParam&>(source);
    items_ = same.items_;  // reuses the storage already held
    dims_ = same.dims_;
  } else {
    AssignConverted(source);
  }
}

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::CopyMem(const TCustomParam& source) {
  if (&source == this) return;
  auto* same = dynamic_cast<const TTypedParam*>(&source);
  if (!same) Raise<EScriptError>(TMsg::ParamCopyMemTypeError);
  std::vector<T> items = same->items_;
  std::vector<int32_t> dims(static_cast<size_t>(same->DimCount()));
  for (size_t k = 0; k < dims.size(); ++k) dims[k] = same->Dim(static_cast<int32_t>(k));
  items_.swap(items);
  dims_.swap(dims);
}

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferValues(io, dims_, items_, [](const auto&) { return 0; });
}

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::LoadFromStream(TStream& stream) {
  TRecordLoader io(stream);
  std::vector<int32_t> dims;
  std::vector<T> items;
  TransferValues(io, dims, items, [](const std::vector<int32_t>& d) { return CheckedProduct(d); });
  items_.swap(items);
  dims_.swap(dims);
}

template <class T, int32_t kCode>
void TTypedParam<T, kCode>::ResetDims() {
  if (dims_.empty()) return;
  dims_.clear();
  items_.resize(1);
}

template class TTypedParam<int32_t, PT_INT>;
template class TTypedParam<long double, PT_FLOAT>;
template class TTypedParam<uint8_t, PT_BOOL>;
template class TTypedParam<std::string, PT_STR>;

void TParamInt::FillInt(int32_t v) { std::fill(items_.begin(), items_.end(), v); }
void TParamFloat::FillFloat(long double v) { std::fill(items_.begin(), items_.end(), v); }
void TParamFlag::FillFlag(bool v) { std::fill(items_.begin(), items_.end(), uint8_t(v ? 1 : 0)); }
void TParamStr::FillStr(std::string_view v) {
  for (std::string& s : items_) s.assign(v);
}

// ---- TParamVar ----

void TParamVar::Bind(TParamCollectionItem* item) {
  if (item == bound_) return;
  Unbind();
  if (!item) return;
  bound_ = item;
  next_ref_ = item->refs_;
  if (next_ref_) next_ref_->prev_ref_ = this;
  item->refs_ = this;
}

void TParamVar::Unbind() noexcept {
  if (!bound_) return;
  if (prev_ref_) {
    prev_ref_->next_ref_ = next_ref_;
  } else {
    bound_->refs_ = next_ref_;
  }
  if (next_ref_) next_ref_->prev_ref_ = prev_ref_;
  prev_ref_ = next_ref_ = nullptr;
  bound_ = nullptr;
}

void TParamVar::Rebind(const TParamCollection& store) {
  Bind(loaded_bound_name_.empty() ? nullptr : store.FindParam(loaded_bound_name_));
}

TCustomParam* TParamVar::Target() const { return bound_ ? &bound_->Value() : nullptr; }

#define KOVA_FWD(expr, otherwise)   \
  if (TCustomParam* t = Target()) { \
    TForwardGuard guard;            \
    return expr;                    \
  }                                 \
  return otherwise

int32_t TParamVar::Count() const { KOVA_FWD(t->Count(), 1); }
void TParamVar::SetCount(int32_t n) { KOVA_FWD(t->SetCount(n), void()); }
int32_t TParamVar::TypeCode() const { KOVA_FWD(t->TypeCode(), PT_NONE); }
bool TParamVar::GetFlag() const { KOVA_FWD(t->GetFlagAt(ElementIndex), false); }
long double TParamVar::GetFloat() const { KOVA_FWD(t->GetFloatAt(ElementIndex), 0.0L); }
int32_t TParamVar::GetInt() const { KOVA_FWD(t->GetIntAt(ElementIndex), 0); }
std::string TParamVar::GetStr() const { KOVA_FWD(t->GetStrAt(ElementIndex), std::string()); }
void TParamVar::SetFlag(bool v) { KOVA_FWD(t->SetFlagAt(ElementIndex, v), void()); }
void TParamVar::SetFloat(long double v) { KOVA_FWD(t->SetFloatAt(ElementIndex, v), void()); }
void TParamVar::SetInt(int32_t v) { KOVA_FWD(t->SetIntAt(ElementIndex, v), void()); }
void TParamVar::SetStr(std::string_view v) { KOVA_FWD(t->SetStrAt(ElementIndex, v), void()); }
int32_t TParamVar::GetIntAt(int32_t i) const { KOVA_FWD(t->GetIntAt(i), 0); }
void TParamVar::SetIntAt(int32_t i, int32_t v) { KOVA_FWD(t->SetIntAt(i, v), void()); }
long double TParamVar::GetFloatAt(int32_t i) const { KOVA_FWD(t->GetFloatAt(i), 0.0L); }
void TParamVar::SetFloatAt(int32_t i, long double v) { KOVA_FWD(t->SetFloatAt(i, v), void()); }
bool TParamVar::GetFlagAt(int32_t i) const { KOVA_FWD(t->GetFlagAt(i), false); }
void TParamVar::SetFlagAt(int32_t i, bool v) { KOVA_FWD(t->SetFlagAt(i, v), void()); }
std::string TParamVar::GetStrAt(int32_t i) const { KOVA_FWD(t->GetStrAt(i), std::string()); }
void TParamVar::SetStrAt(int32_t i, std::string_view v) { KOVA_FWD(t->SetStrAt(i, v), void()); }
int32_t TParamVar::DimCount() const { KOVA_FWD(t->DimCount(), TCustomParam::DimCount()); }
int32_t TParamVar::Dim(int32_t i) const { KOVA_FWD(t->Dim(i), TCustomParam::Dim(i)); }
void TParamVar::Assign(const TCustomParam& source) { KOVA_FWD(t->Assign(source), void()); }
void TParamVar::SetDims(std::span<const int32_t> sizes) { KOVA_FWD(t->SetDims(sizes), void()); }
void TParamVar::FillInt(int32_t v) { KOVA_FWD(t->FillInt(v), void()); }
void TParamVar::FillFloat(long double v) { KOVA_FWD(t->FillFloat(v), void()); }
void TParamVar::FillFlag(bool v) { KOVA_FWD(t->FillFlag(v), void()); }
void TParamVar::FillStr(std::string_view v) { KOVA_FWD(t->FillStr(v), void()); }
void TParamVar::ResetDims() { KOVA_FWD(t->ResetDims(), void()); }
int32_t TParamVar::IndexOfStr(std::string_view s, bool case_sensitive, bool partial) const {
  KOVA_FWD(t->IndexOfStr(s, case_sensitive, partial), -1);
}

const std::string* TParamVar::StrRef() const { KOVA_FWD(t->StrRefAt(ElementIndex), nullptr); }
const std::string* TParamVar::StrRefAt(int32_t i) const { KOVA_FWD(t->StrRefAt(i), nullptr); }

void TParamVar::CopyMem(const TCustomParam& source) {
  // A reference as source stands for its variable's value.
  const TCustomParam* src = &source;
  if (const TParamVar* ref = source.AsVar()) src = ref->Target();
  if (!src) Raise<EScriptError>(TMsg::ParamCopyMemTypeError);
  KOVA_FWD(t->CopyMem(*src), void());
}
#undef KOVA_FWD

void TParamVar::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  const std::string bound_name = bound_ ? bound_->Name() : std::string();
  TransferReference(io, dims_, VarName, bound_name, RefFlag, ElementIndex);
}

// Reads the reference's form; binding to the named variable is the caller's step (Rebind), made
// once the store holds the variables that were saved with it.
void TParamVar::LoadFromStream(TStream& stream) {
  TRecordLoader io(stream);
  std::vector<int32_t> dims;
  std::string name;
  std::string bound_name;
  uint8_t ref_flag = 0;
  int32_t element = 0;
  TransferReference(io, dims, name, bound_name, ref_flag, element);
  Unbind();
  dims_.swap(dims);
  VarName.swap(name);
  loaded_bound_name_.swap(bound_name);
  RefFlag = ref_flag;
  ElementIndex = element;
}

// ---- factories ----

std::unique_ptr<TCustomParam> CreateParamByType(int32_t code) {
  switch (code & 127) {
    case PT_NONE: return std::make_unique<TParamVar>();
    case PT_INT: return std::make_unique<TParamInt>();
    case PT_FLOAT: return std::make_unique<TParamFloat>();
    case PT_BOOL: return std::make_unique<TParamFlag>();
    case PT_STR: return std::make_unique<TParamStr>();
    default: return nullptr;
  }
}

std::unique_ptr<TCustomParam> CloneParamValue(const TCustomParam& source) {
  const int32_t type = source.TypeCode();
  if (type < PT_INT || type > PT_STR) return nullptr;
  std::unique_ptr<TCustomParam> copy = CreateParamByType(type);
  copy->Assign(source);
  return copy;
}

int64_t FlatIndex(std::span<const int32_t> sizes, std::span<const int32_t> indices) {
  // Both the stride and the running index are held within +-2^40, far beyond any element count,
  // so that no product can overflow; a clamped result is out of range either way.
  constexpr int64_t kLimit = int64_t(1) << 40;
  int64_t index = 0, stride = 1;
  for (size_t k = indices.size(); k-- > 0;) {
    index += int64_t(indices[k]) * stride;
    index = std::clamp(index, -kLimit, kLimit);
    stride = std::min(stride * (k < sizes.size() ? std::max<int64_t>(sizes[k], 1) : 1), int64_t(1) << 31);
  }
  return index;
}

}  // namespace kova
