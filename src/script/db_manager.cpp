#include "script/db_manager.h"

#include <cstring>

#include "core/errors.h"
#include "core/record_io.h"
#include "core/stream_records.h"

namespace kova {

int32_t TDBManager::IndexOfTable(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (DBSameName(Items(i)->Name, name)) return i;
  }
  return -1;
}

TDBCustomTable* TDBManager::FindTable(std::string_view name) const {
  const int32_t i = IndexOfTable(name);
  return i >= 0 ? Items(i) : nullptr;
}

int32_t TDBManager::CreateTable(std::string_view name, uint8_t kind) {
  if (name.empty() || IndexOfTable(name) >= 0) return -1;
  active_ = Add(std::make_unique<TDBTable>(std::string(name), kind));
  return active_;
}

bool TDBManager::SetActive(std::string_view name) {
  const int32_t i = IndexOfTable(name);
  if (i < 0) return false;
  active_ = i;
  return true;
}

bool TDBManager::DeleteTable(std::string_view name) {
  const TDBCustomTable* active = ActiveTable();
  const std::string active_name = active ? active->Name : std::string();
  const int32_t i = IndexOfTable(name);
  if (i >= 0) Delete(i);
  active_ = active ? IndexOfTable(active_name) : -1;
  return false;
}

void TDBManager::Clear() {
  TObjList<TDBCustomTable>::Clear();
  active_ = -1;
}

void TDBManager::ClearGameTables() {
  for (int32_t i = Count() - 1; i >= 0; --i) {
    if (Items(i)->Kind == kDBGameKind) Delete(i);
  }
  active_ = -1;
}

bool TDBManager::CopyTable(std::string_view name, const std::vector<int32_t>& list) {
  TDBCustomTable* source = ActiveTable();
  TDBCustomTable* target = FindTable(name);
  if (!source || !target || target == source) return false;
  target->ClearAll();
  target->Fields().AssignLayout(source->Fields());
  for (int32_t n : list) {
    if (const uint8_t* bytes = source->RecordData(n); bytes) target->AppendCopy(bytes);
  }
  return true;
}

bool TDBManager::InsertTable(std::string_view name, const std::vector<int32_t>& list) {
  TDBCustomTable* active = ActiveTable();
  TDBCustomTable* source = FindTable(name);
  if (!active || !source || !active->Fields().SameLayout(source->Fields())) return false;
  for (int32_t n : list) {
    // The source may be the active table: its records keep their numbers while others are
    // appended behind them.
    if (const uint8_t* bytes = source->RecordData(n); bytes) active->AppendCopy(bytes);
  }
  return true;
}

bool TDBManager::FindCell(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                          bool nocase, bool partial, std::string_view column, TDBCustomTable*& found, int32_t& rec,
                          int32_t& col) const {
  found = FindTable(table);
  if (!found) return false;
  std::vector<int32_t> list;
  found->Select(list, columns, values, nocase, partial);
  if (list.empty()) return false;
  rec = list.front();
  col = found->Fields().IndexOf(column);
  return col >= 0;
}

#define KOVA_DB_DIRECT_GET(Getter, Type)                                              \
  TDBCustomTable* t;                                                                  \
  int32_t rec, col;                                                                   \
  Type value;                                                                         \
  if (!FindCell(table, columns, values, nocase, partial, column, t, rec, col)) return def; \
  return t->Getter(rec, col, value) ? value : def

#define KOVA_DB_DIRECT_SET(Setter)                                                    \
  TDBCustomTable* t;                                                                  \
  int32_t rec, col;                                                                   \
  if (!FindCell(table, columns, values, nocase, partial, column, t, rec, col)) return false; \
  return t->Setter(rec, col, v)

int32_t TDBManager::DirectGetInt(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                                 bool nocase, bool partial, std::string_view column, int32_t def) const {
  KOVA_DB_DIRECT_GET(GetIntAt, int32_t);
}
long double TDBManager::DirectGetFloat(std::string_view table, const TCustomParam* columns,
                                       const TCustomParam* values, bool nocase, bool partial,
                                       std::string_view column, long double def) const {
  KOVA_DB_DIRECT_GET(GetFloatAt, long double);
}
bool TDBManager::DirectGetBool(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                               bool nocase, bool partial, std::string_view column, bool def) const {
  KOVA_DB_DIRECT_GET(GetBoolAt, bool);
}
std::string TDBManager::DirectGetStr(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                                     bool nocase, bool partial, std::string_view column, std::string def) const {
  KOVA_DB_DIRECT_GET(GetStrAt, std::string);
}
bool TDBManager::DirectSetInt(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                              bool nocase, bool partial, std::string_view column, int32_t v) {
  KOVA_DB_DIRECT_SET(SetIntAt);
}
bool TDBManager::DirectSetFloat(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                                bool nocase, bool partial, std::string_view column, long double v) {
  KOVA_DB_DIRECT_SET(SetFloatAt);
}
bool TDBManager::DirectSetBool(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                               bool nocase, bool partial, std::string_view column, bool v) {
  KOVA_DB_DIRECT_SET(SetBoolAt);
}
bool TDBManager::DirectSetStr(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                              bool nocase, bool partial, std::string_view column, std::string_view v) {
  KOVA_DB_DIRECT_SET(SetStrAt);
}

#undef KOVA_DB_DIRECT_GET
#undef KOVA_DB_DIRECT_SET

// A section: the stream version (4), the table count (4), per table its type byte and its record
// (of the section's version), and for kind 0 the active table's name. Loading drops the kind's
// tables first and adds each table once it is read whole.
template <class IO, class M>
void TDBManager::TransferSection(IO& io, M& m, uint8_t kind) {
  int32_t version = kDBStreamVersion;
  io.Int(version);
  int32_t count = 0;
  if constexpr (IO::kLoading) {
    for (int32_t i = m.Count() - 1; i >= 0; --i) {
      if (m.Items(i)->Kind == kind) m.Delete(i);
    }
    m.active_ = -1;
  } else {
    for (const auto& table : m) count += table->Kind == kind ? 1 : 0;
  }
  io.Int(count);
  if constexpr (IO::kLoading) {
    int64_t empty_records = 0;  // records of tables without columns take no bytes to bound them
    for (int32_t i = 0; i < count; ++i) {
      uint8_t type = 0;  // the table's class: every table is a TDBTable
      io.Byte(type);
      auto table = std::make_unique<TDBTable>();
      table->LoadFromStream(io.Stream(), version);
      if (table->Fields().RecordSize() == 0) {
        empty_records += table->RecordCount();
        if (empty_records > kDBMaxEmptyRecords) Raise<EReadError>(TMsg::DBDataCorrupt);
      }
      m.active_ = m.Add(std::move(table));
    }
  } else {
    for (const auto& table : m) {
      if (table->Kind != kind) continue;
      io.Byte(table->TypeCode());
      io.Object(*table);
    }
  }
  if (kind == kDBGameKind) {
    std::string name;
    if constexpr (!IO::kLoading) {
      const TDBCustomTable* active = m.ActiveTable();
      if (active) name = active->Name;
    }
    io.Str(name);
    if constexpr (IO::kLoading) m.active_ = name.empty() ? -1 : m.IndexOfTable(name);
  }
}

void TDBManager::SaveToStream(TStream& stream, uint8_t kind) const {
  TRecordSaver io(stream);
  TransferSection(io, *this, kind);
}

void TDBManager::LoadFromStream(TStream& stream, uint8_t kind) {
  TRecordLoader io(stream);
  TransferSection(io, *this, kind);
}

void TDBManager::SaveGameTables(TStream& stream) const { SaveToStream(stream, kDBGameKind); }

// Game saves hold tables from kDBFirstGameVersion, status data from kDBFirstStatusVersion.
void TDBManager::LoadGameTables(TStream& stream, int32_t game_version) {
  if (TRecordLoader(stream, game_version).Since(kDBFirstGameVersion)) LoadFromStream(stream, kDBGameKind);
}

void TDBManager::SaveStatusTables(TStream& stream) const { SaveToStream(stream, kDBStatusKind); }

void TDBManager::LoadStatusTables(TStream& stream, int32_t status_version) {
  if (TRecordLoader(stream, status_version).Since(kDBFirstStatusVersion)) LoadFromStream(stream, kDBStatusKind);
}

}  // namespace kova
