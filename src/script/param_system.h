// The value of a system variable ("@Result" .. "@WheelUp"): it holds only its id and answers
// every value operation by reading or writing the engine state at the moment of the call, through
// the store (text delay, cursor, selection, "@Temp" target), the store's ports (everything of the
// player) and the store's interpreter (its running call). Nothing is cached.
#pragma once

#include <cstdint>
#include <string>

#include "script/params.h"

namespace kova {

// The own type of system variable `id` (PT_INT .. PT_STR); PT_NONE for "@Result" and "@Temp",
// whose type is that of the value they stand for, and for unknown ids.
int32_t SysVarOwnType(int32_t id);
// Whether a write of the own type changes anything.
bool SysVarWritable(int32_t id);

class TParamSystem final : public TCustomParam {
 public:
  TParamSystem(TParamCollection& store, int32_t id) : store_(&store), SystemId(id) {}

 private:
  TParamCollection* store_;

 public:
  const int32_t SystemId;

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
  void ResetDims() override;

 private:
  // The value "@Result" or "@Temp" stands for; nullptr for the other ids and without one.
  TCustomParam* Target() const;
  bool IsForwarding() const { return SystemId == 0 || SystemId == 44; }
  bool IsArray() const;
  // Own-type reads and writes (element i for the array-like ids; -1 for the scalar).
  int32_t ReadInt() const;
  long double ReadFloat() const;
  bool ReadFlag(int32_t i) const;
  std::string ReadStr(int32_t i) const;
  void WriteInt(int32_t v);
  void WriteFlag(bool v);
  void WriteStr(std::string_view v);
  // Conversions by the own type (index -1: the scalar).
  int32_t GetIntIdx(int32_t i) const;
  long double GetFloatIdx(int32_t i) const;
  bool GetFlagIdx(int32_t i) const;
  std::string GetStrIdx(int32_t i) const;
};

}  // namespace kova
