// Script values: every value a script handles is a typed array (a scalar is an array of one) that
// converts itself on demand to the four script types. TParamInt, TParamFloat, TParamFlag and
// TParamStr hold elements; TParamVar refers to a variable of the store (or one element of it);
// TParamSystem (script/param_system.h) stands for a system variable.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "core/vocabulary.h"

namespace kova {

class TParamCollectionItem;
class TParamCollection;
class TParamVar;

// The most elements one value may hold; larger dimension products raise the dimension error.
inline constexpr int64_t kMaxParamElements = int64_t(1) << 24;

class TCustomParam {
 public:
  TCustomParam() = default;
  virtual ~TCustomParam() = default;
  TCustomParam(const TCustomParam&) = delete;
  TCustomParam& operator=(const TCustomParam&) = delete;

  // Element count; SetCount resizes the elements (new ones take the default value) and leaves the
  // dimension list alone. Counts below 1 or above kMaxParamElements raise the dimension error.
  virtual int32_t Count() const { return 1; }
  virtual void SetCount(int32_t n);
  // PT_INT .. PT_STR for typed values; a reference reports its variable's type, 0 when unbound.
  virtual int32_t TypeCode() const { return PT_INT; }

  // Scalars: element 0 (a reference: its element), converted.
  virtual bool GetFlag() const { return false; }
  virtual long double GetFloat() const { return 0.0L; }
  virtual int32_t GetInt() const { return 0; }
  virtual std::string GetStr() const { return {}; }
  // Scalar setters drop the dimension list first (ResetDims), then store element 0.
  virtual void SetFlag(bool) {}
  virtual void SetFloat(long double) {}
  virtual void SetInt(int32_t) {}
  virtual void SetStr(std::string_view) {}

  // Elements 0 .. Count() - 1; any other index raises "配列の添字が不正です".
  virtual int32_t GetIntAt(int32_t i) const;
  virtual void SetIntAt(int32_t i, int32_t v);
  virtual long double GetFloatAt(int32_t i) const;
  virtual void SetFloatAt(int32_t i, long double v);
  virtual bool GetFlagAt(int32_t i) const;
  virtual void SetFlagAt(int32_t i, bool v);
  virtual std::string GetStrAt(int32_t i) const;
  virtual void SetStrAt(int32_t i, std::string_view v);

  // Number of dimensions (1 without a list) and size i (1 outside the list).
  virtual int32_t DimCount() const;
  virtual int32_t Dim(int32_t i) const;
  // Copies dimension list and elements from a value of the same class (another class converts).
  virtual void Assign(const TCustomParam& source);
  // Sets the dimension list and resizes to the product. Every size is checked first: a size
  // below 1, or a product above kMaxParamElements, raises "配列の要素数が不正です" and changes
  // nothing.
  virtual void SetDims(std::span<const int32_t> sizes);
  // Each typed class fills only with its own type; other fills change nothing.
  virtual void FillInt(int32_t) {}
  virtual void FillFloat(long double) {}
  virtual void FillFlag(bool) {}
  virtual void FillStr(std::string_view) {}
  // Takes count, dimension sizes and elements of a value of the same class; another class raises
  // "CopyMem:変数の型があいません".
  virtual void CopyMem(const TCustomParam& source);
  virtual void SaveToStream(TStream& stream) const;
  // Raises EReadError for a truncated or inconsistent form; the value is then unchanged.
  virtual void LoadFromStream(TStream& stream);
  // Drops a dimension list and shrinks to element 0; nothing without a list.
  virtual void ResetDims();
  // The first element whose string form matches s, or -1 (see the .cpp for the fold).
  virtual int32_t IndexOfStr(std::string_view s, bool case_sensitive, bool partial) const;

  // Takes the source's sizes and stores each of its elements converted to this value's own type.
  void AssignConverted(const TCustomParam& source);

  // Fast paths of the expression engine: the value as a reference (nullptr for others), and the
  // string that GetStr / GetStrAt(i) would copy when it is stored as such (else nullptr).
  virtual TParamVar* AsVar() { return nullptr; }
  virtual const TParamVar* AsVar() const { return nullptr; }
  virtual const std::string* StrRef() const { return nullptr; }
  virtual const std::string* StrRefAt(int32_t) const { return nullptr; }
  // The type code (PT_INT .. PT_STR) of a value that holds its own elements (TParamInt,
  // TParamFloat, TParamFlag, TParamStr); 0 for references, system variables and the base class.
  // The expression engine reads and writes such values directly (TTypedParam::First, SetFirst).
  int32_t PlainType() const { return plain_type_; }

  bool HasDims() const { return !dims_.empty(); }
  const std::vector<int32_t>& DimList() const { return dims_; }

 protected:
  explicit TCustomParam(int32_t plain_type) : plain_type_(static_cast<uint8_t>(plain_type)) {}

  // Raises the index error unless 0 <= i < Count().
  void CheckIndex(int32_t i) const;
  // Validates sizes; returns their product.
  static int32_t CheckedProduct(std::span<const int32_t> sizes);

  std::vector<int32_t> dims_;

 private:
  uint8_t plain_type_ = 0;
};

// A typed array of element type T (int32_t, long double, uint8_t flags, std::string).
template <class T, int32_t kCode>
class TTypedParam : public TCustomParam {
 public:
  TTypedParam() : TCustomParam(kCode), items_(1) {}

  int32_t Count() const final { return static_cast<int32_t>(items_.size()); }
  void SetCount(int32_t n) final;
  int32_t TypeCode() const final { return kCode; }

  bool GetFlag() const final;
  long double GetFloat() const final;
  int32_t GetInt() const final;
  std::string GetStr() const final;
  void SetFlag(bool v) final;
  void SetFloat(long double v) final;
  void SetInt(int32_t v) final;
  void SetStr(std::string_view v) final;

  int32_t GetIntAt(int32_t i) const final;
  void SetIntAt(int32_t i, int32_t v) final;
  long double GetFloatAt(int32_t i) const final;
  void SetFloatAt(int32_t i, long double v) final;
  bool GetFlagAt(int32_t i) const final;
  void SetFlagAt(int32_t i, bool v) final;
  std::string GetStrAt(int32_t i) const final;
  void SetStrAt(int32_t i, std::string_view v) final;

  void Assign(const TCustomParam& source) final;
  void CopyMem(const TCustomParam& source) final;
  void SaveToStream(TStream& stream) const final;
  void LoadFromStream(TStream& stream) final;
  void ResetDims() final;

  // Direct element access for the engine's own fast paths.
  const std::vector<T>& Items() const { return items_; }
  std::vector<T>& Items() { return items_; }
  // Element 0 as stored: what the scalar getter of the own type reads.
  const T& First() const { return items_[0]; }
  // What the scalar setter of the own type does: drops the dimension list, then element 0 is
  // returned for the caller to store into.
  T& SetFirst() {
    if (!dims_.empty()) TTypedParam::ResetDims();
    return items_[0];
  }
  // True for a value of one element and no dimension list (a plain scalar).
  bool IsScalar() const { return dims_.empty() && items_.size() == 1; }

 protected:
  std::vector<T> items_;
};

extern template class TTypedParam<int32_t, PT_INT>;
extern template class TTypedParam<long double, PT_FLOAT>;
extern template class TTypedParam<uint8_t, PT_BOOL>;
extern template class TTypedParam<std::string, PT_STR>;

class TParamInt final : public TTypedParam<int32_t, PT_INT> {
 public:
  void FillInt(int32_t v) override;
};

class TParamFloat final : public TTypedParam<long double, PT_FLOAT> {
 public:
  void FillFloat(long double v) override;
};

class TParamFlag final : public TTypedParam<uint8_t, PT_BOOL> {
 public:
  void FillFlag(bool v) override;
};

class TParamStr final : public TTypedParam<std::string, PT_STR> {
 public:
  void FillStr(std::string_view v) override;
  const std::string* StrRef() const override { return &items_[0]; }
  const std::string* StrRefAt(int32_t i) const override {
    return (i >= 0 && static_cast<size_t>(i) < items_.size()) ? &items_[static_cast<size_t>(i)] : nullptr;
  }
};

// A reference to a variable of the store, or to one element of it. Scalar operations act on
// element ElementIndex of the bound variable; element and whole-variable operations (count,
// dimensions, fills, Assign, CopyMem) act on the bound variable itself. Unbound, it reads as the
// zero values, ignores writes and reports type 0. The binding is checked: when the bound item is
// destroyed, the reference becomes unbound instead of dangling.
class TParamVar final : public TCustomParam {
 public:
  TParamVar() = default;
  ~TParamVar() override { Unbind(); }

  std::string VarName;
  uint8_t RefFlag = 0;
  int32_t ElementIndex = 0;
  TParamCollectionItem* BoundItem() const { return bound_; }
  void Bind(TParamCollectionItem* item);
  void Unbind() noexcept;
  // The bound name read by the last LoadFromStream; Rebind looks it up in a store.
  const std::string& LoadedBoundName() const { return loaded_bound_name_; }
  void Rebind(const TParamCollection& store);

  int32_t Count() const override;
  void SetCount(int32_t n) override;
  int32_t TypeCode() const override;
  bool GetFlag() const override;
  long double GetFloat() const override;
  int32_t GetInt() const override;
  std::string GetStr() const override;
  void SetFlag(bool v) override;
  void SetFloat(long double v) override;
  void SetInt(int32_t v) override;
  void SetStr(std::string_view v) override;
  int32_t GetIntAt(int32_t i) const override;
  void SetIntAt(int32_t i, int32_t v) override;
  long double GetFloatAt(int32_t i) const override;
  void SetFloatAt(int32_t i, long double v) override;
  bool GetFlagAt(int32_t i) const override;
  void SetFlagAt(int32_t i, bool v) override;
  std::string GetStrAt(int32_t i) const override;
  void SetStrAt(int32_t i, std::string_view v) override;
  int32_t DimCount() const override;
  int32_t Dim(int32_t i) const override;
  void Assign(const TCustomParam& source) override;
  void SetDims(std::span<const int32_t> sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillFlag(bool v) override;
  void FillStr(std::string_view v) override;
  void CopyMem(const TCustomParam& source) override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream) override;
  void ResetDims() override;
  int32_t IndexOfStr(std::string_view s, bool case_sensitive, bool partial) const override;
  TParamVar* AsVar() override { return this; }
  const TParamVar* AsVar() const override { return this; }
  const std::string* StrRef() const override;
  const std::string* StrRefAt(int32_t i) const override;

 private:
  friend class TParamCollectionItem;
  TCustomParam* Target() const;

  TParamCollectionItem* bound_ = nullptr;
  TParamVar* prev_ref_ = nullptr;  // the other references bound to the same item
  TParamVar* next_ref_ = nullptr;
  std::string loaded_bound_name_;
};

// Counts nested forwarding through references and system variables; a chain deeper than a fixed
// limit (a reference loop in loaded data) raises instead of recursing without end. Main thread.
class TForwardGuard {
 public:
  TForwardGuard();
  ~TForwardGuard() { --depth_; }
  TForwardGuard(const TForwardGuard&) = delete;
  TForwardGuard& operator=(const TForwardGuard&) = delete;

 private:
  // The nesting of forwarded calls on this thread (one call chain at a time).
  static thread_local inline int depth_ = 0;
};

// A new value of type code & 127: 0 an unbound TParamVar, 1..4 a typed value with one default
// element; nullptr for any other code.
std::unique_ptr<TCustomParam> CreateParamByType(int32_t code);

// A new typed value (1..4) of the same type as `source` holding a copy of its dimension list and
// elements, converted; nullptr when the source's type code is not 1..4.
std::unique_ptr<TCustomParam> CloneParamValue(const TCustomParam& source);

// The flat index of `indices` in an array of `sizes` (row by row, last index fastest), computed in
// 64 bits; the caller checks the range.
int64_t FlatIndex(std::span<const int32_t> sizes, std::span<const int32_t> indices);

}  // namespace kova
