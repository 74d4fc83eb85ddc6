#include "script/param_collection.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "core/record_io.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "script/param_system.h"
#include "script/script_errors.h"
#include "script/script_ports.h"

namespace kova {
namespace {

// The smallest variable record: type byte, empty name, a value form with no dimensions and no
// elements, and the four fields after it.
constexpr int64_t kMinRecordBytes = 1 + 4 + 8 + 7;

bool IsGameItem(const TParamCollectionItem& item) { return !item.StatusFlag && !item.IsSystem(); }

// The type byte written before a record: a reference is always written as type 0 (its TypeCode
// would be that of the variable it refers to, which the loader could not read back).
uint8_t RecordType(const TParamCollectionItem& item) {
  if (dynamic_cast<const TParamVar*>(&item.Value())) return PT_NONE;
  return static_cast<uint8_t>(item.TypeCode());
}

std::string IndexList(std::span<const int32_t> indices) {
  std::string out;
  for (size_t k = 0; k < indices.size(); ++k) {
    if (k) out += ',';
    out += std::to_string(indices[k]);
  }
  return out;
}

// One record read from a section, before it joins the store.
struct TLoadedRecord {
  uint8_t type = 0;
  std::string name;
  std::unique_ptr<TCustomParam> value;
  uint8_t status = 0, reserved = 0, local = 0;
  int32_t depth = -1;
};

// One store item as it is written.
struct TSavedRecord {
  uint8_t type;
  const std::string& name;
  const TCustomParam* value;
  const uint8_t& status;
  const uint8_t& reserved;
  const uint8_t& local;
  const int32_t& depth;
};

TSavedRecord SavedRecord(const TParamCollectionItem& item) {
  return {RecordType(item), item.Name(),       &item.Value(),   item.StatusFlag,
          item.ReservedByte, item.LocalFlag, item.FrameDepth};
}

// A variable record: type (1), name, the value's form (that of the type), StatusFlag (1),
// ReservedByte (1), FrameDepth (4), LocalFlag (1). An unknown type is refused.
template <class IO, class R>
void TransferRecord(IO& io, R& r) {
  io.Byte(r.type);
  if constexpr (IO::kLoading) {
    r.value = CreateParamByType(r.type);
    if (!r.value) Raise<EReadError>(TMsg::ParamDataError);
  }
  io.Str(r.name);
  io.Object(*r.value);
  io.Byte(r.status);
  io.Byte(r.reserved);
  io.Int(r.depth);
  io.Byte(r.local);
}

// The game section's trailer; SelStr and SelIndex are held from version 103, the history format
// from 113, the temporary target from 121.
template <class IO, class G, class S, class I>
void TransferTrailer(IO& io, G& globals, S& sel_str, I& sel_index) {
  io.Int(globals.TextDelay);
  io.Str(globals.Cursor);
  if (io.Since(103)) {
    io.Str(sel_str);
    io.Int(sel_index);
  }
  if (io.Since(113)) {
    for (auto& v : globals.HistFormat) io.Int(v);
  }
  if (io.Since(121)) io.Str(globals.TempTarget);
}

}  // namespace

void CheckVarName(std::string_view name) {
  bool ok = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (size_t i = 0; ok && i < name.size(); ++i) {
    if (IsSjisLeadByte(name[i])) {
      ++i;
    } else if (name[i] == ' ') {
      ok = false;
    }
  }
  if (!ok) Raise<EScriptError>(TMsg::VarNameError, std::string(name).c_str());
}

// ---- TParamCollectionItem ----

TParamCollectionItem::TParamCollectionItem() : value_(std::make_unique<TParamInt>()) {}

namespace {

// The store an item belongs to, or nullptr (temporaries and items being built belong to none).
TParamCollection* StoreOf(const TParamCollectionItem& item) {
  return dynamic_cast<TParamCollection*>(item.Collection());
}

}  // namespace

TParamCollectionItem::~TParamCollectionItem() {
  if (TParamCollection* store = StoreOf(*this)) store->Touch();
  for (TParamVar* ref = refs_; ref;) {
    TParamVar* next = ref->next_ref_;
    ref->bound_ = nullptr;
    ref->prev_ref_ = ref->next_ref_ = nullptr;
    ref = next;
  }
  refs_ = nullptr;
}

void TParamCollectionItem::SetName(std::string_view name) {
  if (!name.empty() && name == Name()) return;
  CheckVarName(name);
  THashCollectionItem::SetName(name);
  if (TParamCollection* store = StoreOf(*this)) store->Touch();
}

// A new value object makes the store's remembered lookups stale, as they may keep the value too.
void TParamCollectionItem::ReplaceValue(std::unique_ptr<TCustomParam> value) {
  value_ = std::move(value);
  if (TParamCollection* store = StoreOf(*this)) store->Touch();
}

void TParamCollectionItem::SetValue(std::unique_ptr<TCustomParam> value) {
  if (value) ReplaceValue(std::move(value));
}

void TParamCollectionItem::SetSystem(TParamCollection& store, int32_t id) {
  auto value = std::make_unique<TParamSystem>(store, id);
  SetName(SysVarName(id));
  ReplaceValue(std::move(value));
}

void TParamCollectionItem::SetType(int32_t type_code) {
  std::unique_ptr<TCustomParam> value = CreateParamByType(type_code);
  if (!value) Raise<EScriptError>(TMsg::ParamBadTypeCode, type_code);
  ReplaceValue(std::move(value));
}

bool TParamCollectionItem::IsSystem() const { return dynamic_cast<const TParamSystem*>(value_.get()) != nullptr; }

int32_t TParamCollectionItem::SystemId() const {
  auto* sys = dynamic_cast<const TParamSystem*>(value_.get());
  return sys ? sys->SystemId : -1;
}

void TParamCollectionItem::BindElement(TParamCollectionItem& target, std::span<const int32_t> indices) {
  auto* ref = dynamic_cast<TParamVar*>(value_.get());
  if (!ref) Raise<EScriptError>(TMsg::ParamInternalError);
  const int32_t dim_count = target.DimCount();
  if (static_cast<int32_t>(indices.size()) != dim_count) {
    Raise<EScriptError>(TMsg::VarBadSubscript, target.Name().c_str(), IndexList(indices).c_str());
  }
  std::vector<int32_t> sizes(static_cast<size_t>(dim_count));
  for (int32_t k = 0; k < dim_count; ++k) sizes[static_cast<size_t>(k)] = target.Dim(k);
  const int64_t flat = FlatIndex(sizes, indices);
  if (flat < 0 || flat >= target.Count()) {
    Raise<EScriptError>(TMsg::VarSubscriptRange, target.Name().c_str(), IndexList(indices).c_str());
  }
  ref->Bind(&target);
  ref->ElementIndex = static_cast<int32_t>(flat);
}


// ---- TParamCollection ----

TParamCollection::TParamCollection(const TScriptPorts& ports, const TCallMan* interpreter)
    : ports_(ports), interpreter_(interpreter) {
  RegisterSystemVariables();
}

TParamCollection::TParamCollection()
    : own_parts_(std::make_unique<TNullScriptParts>()), ports_(own_parts_->ports), interpreter_(nullptr) {
  RegisterSystemVariables();
}

TParamCollection::~TParamCollection() { Clear(); }

void TParamCollection::RegisterSystemVariables() {
  for (int32_t id = 0; id < kSysVarCount; ++id) Add()->SetSystem(*this, id);
}

TParamCollectionItem* TParamCollection::AddParam(int32_t type_code) {
  std::unique_ptr<TCustomParam> value = CreateParamByType(type_code);
  if (!value) Raise<EScriptError>(TMsg::ParamBadTypeCode, type_code);
  TParamCollectionItem* item = Add();
  item->SetValue(std::move(value));
  return item;
}

// Items sharing a name are chained most recently named first: a local of the current depth
// answers at once, locals of other depths are skipped, and of the non-locals the last one met
// (named earliest) answers.
TParamCollectionItem* TParamCollection::FindParam(std::string_view name) const {
  TParamCollectionItem* remembered = nullptr;
  for (THashCollectionItem* it = THashCollection::FindItem(name); it; it = it->NextSameName()) {
    auto* item = static_cast<TParamCollectionItem*>(it);
    if (item->LocalFlag) {
      if (item->FrameDepth == CurrentDepth) return item;
    } else {
      remembered = item;
    }
  }
  return remembered;
}

int32_t TParamCollection::IndexOf(std::string_view name) const {
  TParamCollectionItem* item = FindParam(name);
  return item ? item->Index() : -1;
}

TParamCollectionItem* TParamCollection::FindScoped(std::string_view name, bool local) const {
  for (THashCollectionItem* it = THashCollection::FindItem(name); it; it = it->NextSameName()) {
    auto* item = static_cast<TParamCollectionItem*>(it);
    if (local ? (item->LocalFlag && item->FrameDepth == CurrentDepth) : !item->LocalFlag) return item;
  }
  return nullptr;
}

std::unique_ptr<TCustomParam> TParamCollection::CopyValue(std::string_view name) const {
  TParamCollectionItem* item = FindParam(name);
  if (!item) return nullptr;
  std::unique_ptr<TCustomParam> copy = CloneParamValue(item->Value());
  if (!copy) Raise<EScriptError>(TMsg::ParamBadVariable, std::string(name).c_str());
  return copy;
}

TParamCollectionItem* TParamCollection::Declare(std::string_view name, int32_t type_code, TVarScope scope) {
  TParamCollectionItem* item = FindScoped(name, scope == TVarScope::Local);
  if (item) {
    if (!(item->StatusFlag && scope == TVarScope::Status)) item->SetType(type_code);
    return item;
  }
  item = AddParam(type_code);
  try {
    item->SetName(name);
  } catch (...) {
    Delete(item->Index());
    throw;
  }
  if (scope == TVarScope::AutoFree || scope == TVarScope::Local) item->FrameDepth = CurrentDepth;
  if (scope == TVarScope::Local) item->LocalFlag = 1;
  if (scope == TVarScope::Status) item->StatusFlag = 1;
  Touch();
  return item;
}

void TParamCollection::FreeDepth(int32_t depth) {
  if (depth < 0) return;  // -1 marks globals, status and system variables, which never go here
  for (int32_t i = Count() - 1; i >= 0; --i) {
    TParamCollectionItem* item = Items(i);
    if (item->FrameDepth == depth && !item->IsSystem()) Delete(i);
  }
}

void TParamCollection::ClearGame() {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    if (IsGameItem(*Items(i))) Delete(i);
  }
  Globals.TextDelay = 50;
  Globals.Cursor.clear();
  Globals.HistFormat = {};
}

bool TParamCollection::AssignTemp(std::string_view name) {
  if (name.empty()) return false;
  TParamCollectionItem* item = FindParam(name);
  if (!item || item->SystemId() == static_cast<int32_t>(TSysVar::Temp)) return false;
  Globals.TempTarget.assign(name);
  return true;
}

TParamCollectionItem* TParamCollection::TempItem() const {
  if (Globals.TempTarget.empty()) return nullptr;
  TParamCollectionItem* item = FindParam(Globals.TempTarget);
  if (item && item->SystemId() == static_cast<int32_t>(TSysVar::Temp)) return nullptr;
  return item;
}

void TParamCollection::BindElement(TParamCollectionItem& item, std::string_view var_name,
                                   std::span<const int32_t> indices) const {
  TParamCollectionItem* target = FindParam(var_name);
  if (!target) Raise<EScriptError>(TMsg::VarNotFound, std::string(var_name).c_str());
  item.BindElement(*target, indices);
}

// ---- sections ----

// Writes the count and the records of the game (or status) variables from the last to the
// first. A reference waits until the variable it is bound to has been written; when a pass
// writes nothing, the references left are written as they are.
void TParamCollection::SaveItems(TStream& stream, bool status) const {
  std::vector<const TParamCollectionItem*> pending;
  bool any_reference = false;
  for (int32_t i = 0; i < Count(); ++i) {
    const TParamCollectionItem* item = Items(i);
    if (item->IsSystem() || (item->StatusFlag != 0) != status) continue;
    pending.push_back(item);
    any_reference = any_reference || RecordType(*item) == PT_NONE;
  }
  TRecordSaver io(stream);
  io.Count(static_cast<int32_t>(pending.size()), kMinRecordBytes, TMsg::ParamDataError);
  auto write = [&io](const TParamCollectionItem& item) {
    const TSavedRecord r = SavedRecord(item);
    TransferRecord(io, r);
  };
  if (!any_reference) {
    for (size_t i = pending.size(); i-- > 0;) write(*pending[i]);
    return;
  }
  std::unordered_set<std::string> written;  // folded names
  auto waits = [&written](const TParamCollectionItem& item) {
    auto* ref = dynamic_cast<const TParamVar*>(&item.Value());
    return ref && ref->BoundItem() && !written.count(SjisLowerCase(ref->BoundItem()->Name()));
  };
  while (!pending.empty()) {
    std::vector<const TParamCollectionItem*> held;
    for (size_t i = pending.size(); i-- > 0;) {
      if (waits(*pending[i])) {
        held.push_back(pending[i]);
        continue;
      }
      write(*pending[i]);
      written.insert(SjisLowerCase(pending[i]->Name()));
    }
    std::reverse(held.begin(), held.end());
    if (held.size() == pending.size()) {
      for (size_t i = held.size(); i-- > 0;) write(*held[i]);
      break;
    }
    pending.swap(held);
  }
}

void TParamCollection::SaveToStream(TStream& stream) const {
  SaveItems(stream, false);
  TRecordSaver io(stream);
  TransferTrailer(io, Globals, SelStr, SelIndex);
}

void TParamCollection::SaveStatus(TStream& stream) const { SaveItems(stream, true); }

// Reads every record (and for the game section the trailer) first; only a complete, valid
// section changes the store. Nameless records are read in their own type's form and dropped.
void TParamCollection::LoadItems(TStream& stream, bool replace_game, int32_t version) {
  TRecordLoader io(stream, version);
  int32_t count = 0;
  io.Count(count, kMinRecordBytes, TMsg::ParamDataError);
  std::vector<TLoadedRecord> records;
  records.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    TLoadedRecord r;
    TransferRecord(io, r);
    if (r.name.empty()) continue;
    CheckVarName(r.name);
    records.push_back(std::move(r));
  }
  TScriptGlobals globals = Globals;
  std::string sel_str = SelStr;
  int32_t sel_index = SelIndex;
  if (replace_game) TransferTrailer(io, globals, sel_str, sel_index);

  // Commit.
  if (replace_game) {
    for (int32_t i = Count() - 1; i >= 0; --i) {
      if (IsGameItem(*Items(i))) Delete(i);
    }
  }
  std::vector<TParamVar*> references;
  for (TLoadedRecord& r : records) {
    TParamCollectionItem* item = Add();
    if (auto* ref = dynamic_cast<TParamVar*>(r.value.get())) references.push_back(ref);
    item->SetValue(std::move(r.value));
    item->SetName(r.name);
    item->StatusFlag = r.status;
    item->ReservedByte = r.reserved;
    item->FrameDepth = r.depth;
    item->LocalFlag = r.local;
  }
  Touch();
  for (TParamVar* ref : references) ref->Rebind(*this);
  Globals = std::move(globals);
  SelStr = std::move(sel_str);
  SelIndex = sel_index;
}

void TParamCollection::LoadFromStream(TStream& stream, int32_t version) { LoadItems(stream, true, version); }

void TParamCollection::LoadStatus(TStream& stream, int32_t version) { LoadItems(stream, false, version); }

}  // namespace kova
