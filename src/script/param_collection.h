// The variable store: every script variable, the 49 system variables at indexes 0..48, the four
// scopes (global, automatically freed, local, status), lookup by name without regard to case with
// the scoping rules, and the game and status sections of the save data.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/hash.h"
#include "core/stream.h"
#include "script/params.h"

namespace kova {

class TCallMan;
class TNullScriptParts;
class TParamCollection;
struct TScriptPorts;

// Variable scopes, as numbered in the vocabulary's scope labels.
enum class TVarScope : int32_t { Global = 0, AutoFree = 1, Local = 2, Status = 3 };

// Checks a variable name: non-empty, no half-width space outside double-byte characters, not
// beginning with "0".."9". Raises "\"name\"：変数名が不正です" otherwise.
void CheckVarName(std::string_view name);

class TParamCollectionItem : public THashCollectionItem {
 public:
  TParamCollectionItem();
  ~TParamCollectionItem() override;

  // Names pass CheckVarName.
  void SetName(std::string_view name) override;
  std::string ClassName() const override { return "TParamCollectionItem"; }

  TCustomParam& Value() const { return *value_; }
  // Replaces the value (never null). A new value object changes the store's Stamp.
  void SetValue(std::unique_ptr<TCustomParam> value);

  // The scope fields. Code that changes FrameDepth or LocalFlag of an item that already has its
  // name calls TParamCollection::Touch afterwards (Declare and the loaders do).
  uint8_t ReservedByte = 0;
  uint8_t StatusFlag = 0;
  int32_t FrameDepth = -1;
  uint8_t LocalFlag = 0;

  int32_t GetAsInt() const { return value_->GetInt(); }
  void SetAsInt(int32_t v) { value_->SetInt(v); }

  // Plain forwarders to the value.
  int32_t TypeCode() const { return value_->TypeCode(); }
  int32_t Count() const { return value_->Count(); }
  bool GetFlag() const { return value_->GetFlag(); }
  long double GetFloat() const { return value_->GetFloat(); }
  int32_t GetInt() const { return value_->GetInt(); }
  std::string GetStr() const { return value_->GetStr(); }
  void SetFlag(bool v) { value_->SetFlag(v); }
  void SetFloat(long double v) { value_->SetFloat(v); }
  void SetInt(int32_t v) { value_->SetInt(v); }
  void SetStr(std::string_view v) { value_->SetStr(v); }
  int32_t GetIntAt(int32_t i) const { return value_->GetIntAt(i); }
  void SetIntAt(int32_t i, int32_t v) { value_->SetIntAt(i, v); }
  long double GetFloatAt(int32_t i) const { return value_->GetFloatAt(i); }
  void SetFloatAt(int32_t i, long double v) { value_->SetFloatAt(i, v); }
  bool GetFlagAt(int32_t i) const { return value_->GetFlagAt(i); }
  void SetFlagAt(int32_t i, bool v) { value_->SetFlagAt(i, v); }
  std::string GetStrAt(int32_t i) const { return value_->GetStrAt(i); }
  void SetStrAt(int32_t i, std::string_view v) { value_->SetStrAt(i, v); }
  int32_t DimCount() const { return value_->DimCount(); }
  int32_t Dim(int32_t i) const { return value_->Dim(i); }
  void SetDims(std::span<const int32_t> sizes) { value_->SetDims(sizes); }
  void FillInt(int32_t v) { value_->FillInt(v); }
  void FillFloat(long double v) { value_->FillFloat(v); }
  void FillFlag(bool v) { value_->FillFlag(v); }
  void FillStr(std::string_view v) { value_->FillStr(v); }
  void CopyMem(const TCustomParam& source) { value_->CopyMem(source); }
  void AssignConverted(const TCustomParam& source) { value_->AssignConverted(source); }
  int32_t IndexOfStr(std::string_view s, bool case_sensitive, bool partial) const {
    return value_->IndexOfStr(s, case_sensitive, partial);
  }

  // Makes the value system variable `id` of `store` and names the item after it.
  void SetSystem(TParamCollection& store, int32_t id);
  // Replaces the value by a new value of that type code (raises for an unknown code).
  void SetType(int32_t type_code);
  bool IsSystem() const;
  // The system variable id, or -1 for other items.
  int32_t SystemId() const;

  // For an element reference (a TParamVar value): binds it to `target` at the flat index of
  // `indices`. Raises name[i,j]\r\n添え字が不正です when the number of indices differs from the
  // target's DimCount, and name[i,j]\r\n要素数を超えています when the flat index is negative or not
  // below its Count. Only the flat index is checked, so one index may pass its own dimension.
  void BindElement(TParamCollectionItem& target, std::span<const int32_t> indices);

 private:
  friend class TParamVar;
  void ReplaceValue(std::unique_ptr<TCustomParam> value);
  std::unique_ptr<TCustomParam> value_;
  TParamVar* refs_ = nullptr;  // references bound to this item; unbound when it goes
};

// The engine values saved in the game trailer with the store.
struct TScriptGlobals {
  int32_t TextDelay = 50;
  // The mouse cursor name that the screen layers read.
  std::string Cursor;
  // The name of the variable that "@Temp" stands for.
  std::string TempTarget;
  // The message-history entry format that the FormatHist command sets: font height, font border,
  // font shadow, width, height, line space.
  std::array<int32_t, 6> HistFormat{};
};

class TParamCollection : public THashCollectionOf<TParamCollectionItem> {
 public:
  // Creates the store with its system variables "@Result" .. "@WheelUp" at indexes 0..48, which
  // read and write the parts of `ports` and the running call of `interpreter` ("@Result",
  // "@ParamCount", "@ParamStr", "@Sender"; none answer without one). Both must outlive the store;
  // the interpreter (which works on this store) is only reached once it is made.
  TParamCollection(const TScriptPorts& ports, const TCallMan* interpreter);
  // A store on its own: null parts of its own, no interpreter.
  TParamCollection();
  ~TParamCollection() override;

  // What the store's system variables and the system functions reach outside the script engine.
  const TScriptPorts& Ports() const { return ports_; }
  // The interpreter whose running call the system variables read, or nullptr.
  const TCallMan* Interpreter() const { return interpreter_; }

  // The number of frames on the interpreter's call stack.
  int32_t CurrentDepth = 0;
  // "@SelStr" and "@SelIndex".
  std::string SelStr;
  int32_t SelIndex = 0;
  TScriptGlobals Globals;

  // A new, unnamed item holding a new value of the type code (raises for an unknown code).
  TParamCollectionItem* AddParam(int32_t type_code);
  // The visible variable of that name: a local of the current depth, else the non-local named
  // earliest; nullptr when none.
  TParamCollectionItem* FindParam(std::string_view name) const;
  // Name lookups of the base collection follow the same scoping rules.
  TParamCollectionItem* FindItem(std::string_view name) const { return FindParam(name); }
  // Marks every remembered lookup as stale (called on each naming and freeing of an item and each
  // new value object of an item).
  void Touch() { ++stamp_; }
  // Changes with every Touch: a lookup by name that was made at the same stamp and the same
  // CurrentDepth still gives the same item, and the item still holds the same value object
  // (compiled expressions keep both while it holds).
  uint64_t Stamp() const { return stamp_; }
  int32_t IndexOf(std::string_view name) const override;
  // For declarations: with local set, a local of the current depth; else a non-local; of several,
  // the one named most recently.
  TParamCollectionItem* FindScoped(std::string_view name, bool local) const;
  // A copy (type 1..4) of the variable's value; nullptr when no such variable exists; raises
  // "name:不正な変数です" for a variable of another type.
  std::unique_ptr<TCustomParam> CopyValue(std::string_view name) const;
  // Declares a variable as the VarNew command does: reuses the scoped variable of that name or
  // creates one; every variable but an existing status variable gets a fresh value of the type.
  TParamCollectionItem* Declare(std::string_view name, int32_t type_code, TVarScope scope);
  // Frees, from the last item to the first, every item whose FrameDepth equals `depth`.
  void FreeDepth(int32_t depth);
  // Frees every game variable (not system, not status) and resets the text delay, the cursor and
  // the history format.
  void ClearGame();
  // Makes "@Temp" stand for the named variable: False (and no change) for an empty name, a name
  // the store does not find, or "@Temp" itself.
  bool AssignTemp(std::string_view name);
  // The variable "@Temp" stands for, or nullptr (never "@Temp" itself).
  TParamCollectionItem* TempItem() const;
  // Binds an element reference item to the named variable (see TParamCollectionItem.BindElement);
  // raises "\"name\" 変数がありません" when there is none.
  void BindElement(TParamCollectionItem& item, std::string_view var_name, std::span<const int32_t> indices) const;

  // Game section: the game variables from the last to the first, then the trailer.
  void SaveToStream(TStream& stream) const;
  // Replaces the game variables. The whole section is read and checked before anything changes:
  // on EReadError or a name error the store is as it was.
  void LoadFromStream(TStream& stream, int32_t version);
  // Status section: the status variables, no trailer.
  void SaveStatus(TStream& stream) const;
  // Adds the section's variables (frees nothing), all or none.
  void LoadStatus(TStream& stream, int32_t version);

 private:
  void RegisterSystemVariables();
  void SaveItems(TStream& stream, bool status) const;
  void LoadItems(TStream& stream, bool replace_game, int32_t version);

  // The parts of a store made on its own (before ports_, which then refers to them).
  std::unique_ptr<TNullScriptParts> own_parts_;
  const TScriptPorts& ports_;
  const TCallMan* interpreter_;
  // Counts the namings and freeings (see Stamp).
  uint64_t stamp_ = 1;
};

}  // namespace kova
