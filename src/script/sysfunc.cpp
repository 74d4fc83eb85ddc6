#include "script/sysfunc.h"

#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/script_ports.h"
#include "script/sysfunc_procs.h"

namespace kova {
namespace {

constexpr uint8_t I = PT_INT, F = PT_FLOAT, B = PT_BOOL, S = PT_STR;

}  // namespace

// Functions without a result carry the type a new temporary destination takes.
const std::array<uint8_t, kSysFuncIdCount> SysFuncResultTypes = {
    S, S, I, S, I, I, I, S, S, S,  // 0 IntToStr .. 9 Delete
    S, S, S, I, I, I, I, S, S, B,  // 10 JDelete .. 19 Exists
    B, I, I, I, B, I, I, S, S, I,  // 20 Not .. 29 StringToArray
    I, I, I, I, I, I, I, I, F, F,  // 30 IndexOfStr .. 39 Sin
    F, F, F, F, F, F, F, I, I, F,  // 40 Cos .. 49 Fabs
    B, F, F, I, I, I, I, I, I, I,  // 50 VarExists .. 59 GetMin
    I, I, S, S, S, B, I, I, I, B,  // 60 GetSec .. 69 InPrimary
    B, B, B, S, S, S, S, S, B, S,  // 70 CopyArray .. 79 AddBackSlash
    S, B, S, S, B, S, S, B, B, B,  // 80 ChangeFileExt .. 89 DBAddField
    B, B, B, I, B, F, B, B, B, S,  // 90 DBSetRecNo .. 99 DBGetStr
    B, I, B, B, B, B, B, B, I, B,  // 100 DBSetStr .. 109 DBDirectSetInt
    F, B, B, B, S, B, B, B, B, B,  // 110 DBDirectGetFloat .. 119 DBCopy
    B, B, S, I, B, B, I, I, F, F,  // 120 DBClearTable .. 129 Fmax
    I, B, I, S, I, B,              // 130 GetVarType .. 135 OpenUrl
};

int32_t SysFuncResultType(int32_t id) {
  return (id >= 0 && id < kSysFuncIdCount) ? int32_t(SysFuncResultTypes[static_cast<size_t>(id)]) : int32_t(PT_INT);
}

namespace {

constexpr uint16_t Bits(std::initializer_list<int> args) {
  uint16_t m = 0;
  for (int a : args) m = static_cast<uint16_t>(m | (1u << a));
  return m;
}

// Required argument counts (the bracketed arguments are optional), and the var! and var
// arguments, by function id.
constexpr std::array<TSysFuncRule, kSysFuncIdCount> kRules = [] {
  std::array<TSysFuncRule, kSysFuncIdCount> r{};
  constexpr uint8_t required[kSysFuncIdCount] = {
      1, 2, 2, 3, 1, 1, 1, 2, 2, 2,  // 0..9
      2, 3, 3, 2, 2, 2, 2, 1, 1, 1,  // 10..19
      1, 2, 2, 2, 2, 3, 1, 1, 1, 2,  // 20..29
      2, 1, 1, 2, 2, 2, 2, 1, 1, 1,  // 30..39
      1, 1, 1, 1, 1, 2, 2, 2, 1, 1,  // 40..49
      1, 3, 3, 4, 4, 1, 1, 1, 1, 1,  // 50..59
      1, 1, 1, 1, 1, 5, 2, 3, 3, 1,  // 60..69
      2, 1, 2, 1, 1, 1, 1, 1, 2, 1,  // 70..79
      2, 3, 2, 3, 1, 1, 1, 2, 1, 2,  // 80..89
      1, 0, 0, 1, 2, 1, 2, 1, 2, 1,  // 90..99
      2, 0, 0, 0, 0, 0, 2, 1, 7, 7,  // 100..109
      7, 7, 7, 7, 7, 7, 1, 0, 1, 1,  // 110..119
      0, 2, 0, 0, 0, 2, 2, 2, 2, 2,  // 120..129
      1, 2, 3, 2, 0, 1,              // 130..135
  };
  for (int i = 0; i < kSysFuncIdCount; ++i) r[static_cast<size_t>(i)].required = required[i];
  auto bound = [&r](TSysFunc f, uint16_t m) { r[static_cast<size_t>(Ord(f))].var_bound = m; };
  auto out = [&r](TSysFunc f, uint16_t m) { r[static_cast<size_t>(Ord(f))].var_out = m; };
  bound(TSysFunc::GetArraySize, Bits({0}));
  bound(TSysFunc::SetArray, Bits({0}));
  bound(TSysFunc::FillMem, Bits({0}));
  bound(TSysFunc::CopyMem, Bits({0, 1}));
  out(TSysFunc::Delete, Bits({0}));
  out(TSysFunc::JDelete, Bits({0}));
  out(TSysFunc::Insert, Bits({1}));
  out(TSysFunc::JInsert, Bits({1}));
  out(TSysFunc::StringToArray, Bits({1}));
  out(TSysFunc::SortStr, Bits({0}));
  out(TSysFunc::ListCompo, Bits({0}));
  out(TSysFunc::DecodeDate, Bits({1, 2, 3}));
  out(TSysFunc::DecodeTime, Bits({1, 2, 3}));
  out(TSysFunc::GetDisplayMode, Bits({1, 2, 3, 4}));
  out(TSysFunc::AddArray, Bits({0}));
  out(TSysFunc::InsertArray, Bits({0}));
  out(TSysFunc::DeleteArray, Bits({0}));
  out(TSysFunc::CopyArray, Bits({0}));
  out(TSysFunc::LoadTextFile, Bits({0}));
  out(TSysFunc::ListSaveCaption, Bits({0, 1}));
  return r;
}();

constexpr TSysFuncRule kNoRule{0, 0, 0};

constexpr std::array<TSysFuncProc, kSysFuncIdCount> kProcs = [] {
  std::array<TSysFuncProc, kSysFuncIdCount> p{};
  p[Ord(TSysFunc::IntToStr)] = sysfunc::IntToStr;
  p[Ord(TSysFunc::GetArraySize)] = sysfunc::GetArraySize;
  p[Ord(TSysFunc::Length)] = sysfunc::Length;
  p[Ord(TSysFunc::Delete)] = sysfunc::Delete;
  p[Ord(TSysFunc::Not)] = sysfunc::Not;
  p[Ord(TSysFunc::AssignTemp)] = sysfunc::AssignTemp;
  // Text, numbers, dates, arrays and the host-bound functions.
  p[Ord(TSysFunc::IntToHex)] = sysfunc::IntToHex;
  p[Ord(TSysFunc::JLength)] = sysfunc::JLength;
  p[Ord(TSysFunc::Copy)] = sysfunc::Copy;
  p[Ord(TSysFunc::JCopy)] = sysfunc::JCopy;
  p[Ord(TSysFunc::JDelete)] = sysfunc::JDelete;
  p[Ord(TSysFunc::Insert)] = sysfunc::Insert;
  p[Ord(TSysFunc::JInsert)] = sysfunc::JInsert;
  p[Ord(TSysFunc::CompareStr)] = sysfunc::CompareStr;
  p[Ord(TSysFunc::CompareText)] = sysfunc::CompareText;
  p[Ord(TSysFunc::Pos)] = sysfunc::Pos;
  p[Ord(TSysFunc::JPos)] = sysfunc::JPos;
  p[Ord(TSysFunc::Trim)] = sysfunc::Trim;
  p[Ord(TSysFunc::JTrim)] = sysfunc::JTrim;
  p[Ord(TSysFunc::FixStr)] = sysfunc::FixStr;
  p[Ord(TSysFunc::LowerCase)] = sysfunc::LowerCase;
  p[Ord(TSysFunc::UpperCase)] = sysfunc::UpperCase;
  p[Ord(TSysFunc::ExtractFilePath)] = sysfunc::ExtractFilePath;
  p[Ord(TSysFunc::ExtractFileName)] = sysfunc::ExtractFileName;
  p[Ord(TSysFunc::ExtractFileExt)] = sysfunc::ExtractFileExt;
  p[Ord(TSysFunc::IsPathDelimiter)] = sysfunc::IsPathDelimiter;
  p[Ord(TSysFunc::AddBackSlash)] = sysfunc::AddBackSlash;
  p[Ord(TSysFunc::ChangeFileExt)] = sysfunc::ChangeFileExt;
  p[Ord(TSysFunc::IsDelimiter)] = sysfunc::IsDelimiter;
  p[Ord(TSysFunc::StringOfChar)] = sysfunc::StringOfChar;
  p[Ord(TSysFunc::StringReplace)] = sysfunc::StringReplace;
  p[Ord(TSysFunc::HanToZen)] = sysfunc::HanToZen;
  p[Ord(TSysFunc::ZenToHan)] = sysfunc::ZenToHan;
  p[Ord(TSysFunc::AddDelimiter)] = sysfunc::AddDelimiter;
  p[Ord(TSysFunc::Random)] = sysfunc::Random;
  p[Ord(TSysFunc::Int)] = sysfunc::Int;
  p[Ord(TSysFunc::Float)] = sysfunc::Float;
  p[Ord(TSysFunc::Sin)] = sysfunc::Sin;
  p[Ord(TSysFunc::Cos)] = sysfunc::Cos;
  p[Ord(TSysFunc::Tan)] = sysfunc::Tan;
  p[Ord(TSysFunc::ArcSin)] = sysfunc::ArcSin;
  p[Ord(TSysFunc::ArcCos)] = sysfunc::ArcCos;
  p[Ord(TSysFunc::ArcTan)] = sysfunc::ArcTan;
  p[Ord(TSysFunc::ArcTan2)] = sysfunc::ArcTan2;
  p[Ord(TSysFunc::Hypot)] = sysfunc::Hypot;
  p[Ord(TSysFunc::Abs)] = sysfunc::Abs;
  p[Ord(TSysFunc::Fabs)] = sysfunc::Fabs;
  p[Ord(TSysFunc::Min)] = sysfunc::Min;
  p[Ord(TSysFunc::Max)] = sysfunc::Max;
  p[Ord(TSysFunc::Fmin)] = sysfunc::Fmin;
  p[Ord(TSysFunc::Fmax)] = sysfunc::Fmax;
  p[Ord(TSysFunc::GetVarType)] = sysfunc::GetVarType;
  p[Ord(TSysFunc::EncodeDate)] = sysfunc::EncodeDate;
  p[Ord(TSysFunc::EncodeTime)] = sysfunc::EncodeTime;
  p[Ord(TSysFunc::DecodeDate)] = sysfunc::DecodeDate;
  p[Ord(TSysFunc::DecodeTime)] = sysfunc::DecodeTime;
  p[Ord(TSysFunc::GetYear)] = sysfunc::GetYear;
  p[Ord(TSysFunc::GetMonth)] = sysfunc::GetMonth;
  p[Ord(TSysFunc::GetDay)] = sysfunc::GetDay;
  p[Ord(TSysFunc::GetHour)] = sysfunc::GetHour;
  p[Ord(TSysFunc::GetMin)] = sysfunc::GetMin;
  p[Ord(TSysFunc::GetSec)] = sysfunc::GetSec;
  p[Ord(TSysFunc::GetWeek)] = sysfunc::GetWeek;
  p[Ord(TSysFunc::GetWeekStr)] = sysfunc::GetWeekStr;
  p[Ord(TSysFunc::GetWeekJStr)] = sysfunc::GetWeekJStr;
  p[Ord(TSysFunc::SetArray)] = sysfunc::SetArray;
  p[Ord(TSysFunc::FillMem)] = sysfunc::FillMem;
  p[Ord(TSysFunc::CopyMem)] = sysfunc::CopyMem;
  p[Ord(TSysFunc::ArrayToString)] = sysfunc::ArrayToString;
  p[Ord(TSysFunc::StringToArray)] = sysfunc::StringToArray;
  p[Ord(TSysFunc::IndexOfStr)] = sysfunc::IndexOfStr;
  p[Ord(TSysFunc::SortStr)] = sysfunc::SortStr;
  p[Ord(TSysFunc::VarExists)] = sysfunc::VarExists;
  p[Ord(TSysFunc::AddArray)] = sysfunc::AddArray;
  p[Ord(TSysFunc::InsertArray)] = sysfunc::InsertArray;
  p[Ord(TSysFunc::DeleteArray)] = sysfunc::DeleteArray;
  p[Ord(TSysFunc::CopyArray)] = sysfunc::CopyArray;
  p[Ord(TSysFunc::GetProp)] = sysfunc::GetProp;
  p[Ord(TSysFunc::SetProp)] = sysfunc::SetProp;
  p[Ord(TSysFunc::Exists)] = sysfunc::Exists;
  p[Ord(TSysFunc::GetCheck)] = sysfunc::GetCheck;
  p[Ord(TSysFunc::SetCheck)] = sysfunc::SetCheck;
  p[Ord(TSysFunc::GetSaveCaption)] = sysfunc::GetSaveCaption;
  p[Ord(TSysFunc::ListCompo)] = sysfunc::ListCompo;
  p[Ord(TSysFunc::ToClientX)] = sysfunc::ToClientX;
  p[Ord(TSysFunc::ToClientY)] = sysfunc::ToClientY;
  p[Ord(TSysFunc::ToScreenX)] = sysfunc::ToScreenX;
  p[Ord(TSysFunc::ToScreenY)] = sysfunc::ToScreenY;
  p[Ord(TSysFunc::IndexOfMenu)] = sysfunc::IndexOfMenu;
  p[Ord(TSysFunc::GetDisplayMode)] = sysfunc::GetDisplayMode;
  p[Ord(TSysFunc::InPrimary)] = sysfunc::InPrimary;
  p[Ord(TSysFunc::FileExists)] = sysfunc::FileExists;
  p[Ord(TSysFunc::LoadTextFile)] = sysfunc::LoadTextFile;
  p[Ord(TSysFunc::SetWallPaper)] = sysfunc::SetWallPaper;
  p[Ord(TSysFunc::GetEnabled)] = sysfunc::GetEnabled;
  p[Ord(TSysFunc::SetEnabled)] = sysfunc::SetEnabled;
  p[Ord(TSysFunc::ListSaveCaption)] = sysfunc::ListSaveCaption;
  p[Ord(TSysFunc::OpenUrl)] = sysfunc::OpenUrl;
  // The database tables.
  p[Ord(TSysFunc::DBCreateTable)] = sysfunc::DBCreateTable;
  p[Ord(TSysFunc::DBSetActive)] = sysfunc::DBSetActive;
  p[Ord(TSysFunc::DBAddField)] = sysfunc::DBAddField;
  p[Ord(TSysFunc::DBSetRecNo)] = sysfunc::DBSetRecNo;
  p[Ord(TSysFunc::DBInsert)] = sysfunc::DBInsert;
  p[Ord(TSysFunc::DBDelete)] = sysfunc::DBDelete;
  p[Ord(TSysFunc::DBGetInt)] = sysfunc::DBGetInt;
  p[Ord(TSysFunc::DBSetInt)] = sysfunc::DBSetInt;
  p[Ord(TSysFunc::DBGetFloat)] = sysfunc::DBGetFloat;
  p[Ord(TSysFunc::DBSetFloat)] = sysfunc::DBSetFloat;
  p[Ord(TSysFunc::DBGetBool)] = sysfunc::DBGetBool;
  p[Ord(TSysFunc::DBSetBool)] = sysfunc::DBSetBool;
  p[Ord(TSysFunc::DBGetStr)] = sysfunc::DBGetStr;
  p[Ord(TSysFunc::DBSetStr)] = sysfunc::DBSetStr;
  p[Ord(TSysFunc::DBRecordCount)] = sysfunc::DBRecordCount;
  p[Ord(TSysFunc::DBFindFirst)] = sysfunc::DBFindFirst;
  p[Ord(TSysFunc::DBFindLast)] = sysfunc::DBFindLast;
  p[Ord(TSysFunc::DBFindNext)] = sysfunc::DBFindNext;
  p[Ord(TSysFunc::DBFindPrior)] = sysfunc::DBFindPrior;
  p[Ord(TSysFunc::DBLocate)] = sysfunc::DBLocate;
  p[Ord(TSysFunc::DBLoadTsvFile)] = sysfunc::DBLoadTsvFile;
  p[Ord(TSysFunc::DBDirectGetInt)] = sysfunc::DBDirectGetInt;
  p[Ord(TSysFunc::DBDirectSetInt)] = sysfunc::DBDirectSetInt;
  p[Ord(TSysFunc::DBDirectGetFloat)] = sysfunc::DBDirectGetFloat;
  p[Ord(TSysFunc::DBDirectSetFloat)] = sysfunc::DBDirectSetFloat;
  p[Ord(TSysFunc::DBDirectGetBool)] = sysfunc::DBDirectGetBool;
  p[Ord(TSysFunc::DBDirectSetBool)] = sysfunc::DBDirectSetBool;
  p[Ord(TSysFunc::DBDirectGetStr)] = sysfunc::DBDirectGetStr;
  p[Ord(TSysFunc::DBDirectSetStr)] = sysfunc::DBDirectSetStr;
  p[Ord(TSysFunc::DBCopyTable)] = sysfunc::DBCopyTable;
  p[Ord(TSysFunc::DBDeleteTable)] = sysfunc::DBDeleteTable;
  p[Ord(TSysFunc::DBInsertTable)] = sysfunc::DBInsertTable;
  p[Ord(TSysFunc::DBCopy)] = sysfunc::DBCopy;
  p[Ord(TSysFunc::DBClearTable)] = sysfunc::DBClearTable;
  p[Ord(TSysFunc::DBSort)] = sysfunc::DBSort;
  p[Ord(TSysFunc::DBGetActive)] = sysfunc::DBGetActive;
  p[Ord(TSysFunc::DBGetRecNo)] = sysfunc::DBGetRecNo;
  p[Ord(TSysFunc::DBClearRecord)] = sysfunc::DBClearRecord;
  return p;
}();

std::string FuncName(int32_t id) { return std::string(SysFuncNames().Name(id)); }

}  // namespace

const TSysFuncRule& SysFuncRule(int32_t id) {
  return (id >= 0 && id < kSysFuncIdCount) ? kRules[static_cast<size_t>(id)] : kNoRule;
}

// ---- TSysCall ----

const TScriptPorts& TSysCall::Ports() const { return store_.Ports(); }

const TCustomParam& TSysCall::Arg(int32_t i) const {
  if (!Has(i)) Raise<EScriptError>(TMsg::ExprTooFewOperands);
  return *args_[static_cast<size_t>(i)];
}

TCustomParam& TSysCall::Var(int32_t i) {
  if (!Has(i)) Raise<EScriptError>(TMsg::ExprTooFewOperands);
  TCustomParam& arg = *args_[static_cast<size_t>(i)];
  if (arg.AsVar()) return arg;
  for (auto& [index, copy] : scratch_) {
    if (index == i) return *copy;
  }
  std::unique_ptr<TCustomParam> copy = CloneParamValue(arg);
  if (!copy) copy = std::make_unique<TParamInt>();
  scratch_.emplace_back(i, std::move(copy));
  return *scratch_.back().second;
}

TParamCollectionItem& TSysCall::BoundVar(int32_t i) const {
  const TParamVar* ref = Has(i) ? args_[static_cast<size_t>(i)]->AsVar() : nullptr;
  if (!ref || !ref->BoundItem()) Raise<EScriptError>(TMsg::SysFuncVarNotFound, FuncName(id_).c_str());
  return *ref->BoundItem();
}

// ---- TSysFuncMan ----

TSysFuncProc TSysFuncMan::Proc(int32_t id) {
  return (id >= 0 && id < kSysFuncIdCount) ? kProcs[static_cast<size_t>(id)] : nullptr;
}

void TSysFuncMan::Execute(TParamCollection& store, TParamCollectionItem& dest, int32_t id, TOperandList args) {
  if (id < 0 || id >= kSysFuncIdCount) return;
  const TSysFuncRule& rule = kRules[static_cast<size_t>(id)];
  if (static_cast<int32_t>(args.size()) < rule.required) Raise<EScriptError>(TMsg::ExprTooFewOperands);
  TSysCall call(store, dest, id, args);
  for (int32_t i = 0; i < 16; ++i) {
    if (rule.var_bound & (1u << i)) call.BoundVar(i);
  }
  if (TSysFuncProc proc = kProcs[static_cast<size_t>(id)]) proc(call);
}

}  // namespace kova
