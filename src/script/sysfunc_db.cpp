// The database system functions (ids 87 to 124): the scripts' access to the table manager. Every
// failure is the function's answer (False, -1, 0 or the empty string); none raises of its own.
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/file_manager.h"
#include "script/db_manager.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "script/sysfunc_procs.h"

namespace kova::sysfunc {
namespace {

TDBCustomTable* Active(const TSysCall& call) { return call.Ports().tables.ActiveTable(); }

// The active table when it has a current record, else nullptr.
TDBCustomTable* ActiveWithRecord(const TSysCall& call) {
  TDBCustomTable* t = Active(call);
  return (t && t->CurrentRecord()) ? t : nullptr;
}

// The table named by optional argument i, or the active table without it.
TDBCustomTable* NamedOrActive(const TSysCall& call, int32_t i) {
  return call.Has(i) ? call.Ports().tables.FindTable(call.Str(i)) : Active(call);
}

bool OptFlag(const TSysCall& call, int32_t i) { return call.Has(i) && call.Flag(i); }

// The records of `table` that match the condition of arguments first (columns), first + 1
// (values), first + 2 (nocase) and first + 3 (partial); every record when columns or values is
// missing.
std::vector<int32_t> SelectByArgs(const TSysCall& call, const TDBCustomTable& table, int32_t first) {
  std::vector<int32_t> list;
  const bool condition = call.Has(first + 1);
  table.Select(list, condition ? &call.Arg(first) : nullptr, condition ? &call.Arg(first + 1) : nullptr,
               OptFlag(call, first + 2), OptFlag(call, first + 3));
  return list;
}

}  // namespace

void DBCreateTable(TSysCall& call) {
  const uint8_t kind = call.Flag(1) ? kDBStatusKind : kDBGameKind;
  call.Dest().SetFlag(call.Ports().tables.CreateTable(call.Str(0), kind) >= 0);
}

void DBSetActive(TSysCall& call) { call.Dest().SetFlag(call.Ports().tables.SetActive(call.Str(0))); }

void DBAddField(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  const int32_t length = call.Has(2) ? call.Int(2) : 0;
  call.Dest().SetFlag(t && t->Fields().AddField(call.Str(0), call.Int(1), length) >= 0);
}

void DBSetRecNo(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && t->SetRecNo(call.Int(0)));
}

// DBInsert(values ...): a new record; argument i goes into column i by its own type.
void DBInsert(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  if (!t) {
    call.Dest().SetFlag(false);
    return;
  }
  t->Append();
  const int32_t rec = t->RecNo();
  const int32_t columns = t->Fields().Count();
  for (int32_t i = 0; i < call.ArgCount() && i < columns; ++i) {
    const TCustomParam& arg = call.Arg(i);
    switch (arg.TypeCode()) {
      case PT_INT: t->SetIntAt(rec, i, arg.GetInt()); break;
      case PT_FLOAT: t->SetFloatAt(rec, i, arg.GetFloat()); break;
      case PT_BOOL: t->SetBoolAt(rec, i, arg.GetFlag()); break;
      case PT_STR: t->SetStrAt(rec, i, arg.GetStr()); break;
      default: break;
    }
  }
  call.Dest().SetFlag(true);
}

void DBDelete(TSysCall& call) {
  TDBCustomTable* t = ActiveWithRecord(call);
  call.Dest().SetFlag(t && t->Delete());
}

void DBGetInt(TSysCall& call) {
  int32_t v = 0;
  if (const TDBCustomTable* t = Active(call)) t->GetInt(call.Str(0), v);
  call.Dest().SetInt(v);
}

void DBSetInt(TSysCall& call) {
  TDBCustomTable* t = ActiveWithRecord(call);
  call.Dest().SetFlag(t && t->SetInt(call.Str(0), call.Int(1)));
}

void DBGetFloat(TSysCall& call) {
  long double v = 0;
  if (const TDBCustomTable* t = Active(call)) t->GetFloat(call.Str(0), v);
  call.Dest().SetFloat(v);
}

void DBSetFloat(TSysCall& call) {
  TDBCustomTable* t = ActiveWithRecord(call);
  call.Dest().SetFlag(t && t->SetFloat(call.Str(0), call.Float(1)));
}

void DBGetBool(TSysCall& call) {
  bool v = false;
  if (const TDBCustomTable* t = Active(call)) t->GetBool(call.Str(0), v);
  call.Dest().SetFlag(v);
}

void DBSetBool(TSysCall& call) {
  TDBCustomTable* t = ActiveWithRecord(call);
  call.Dest().SetFlag(t && t->SetBool(call.Str(0), call.Flag(1)));
}

void DBGetStr(TSysCall& call) {
  std::string v;
  if (const TDBCustomTable* t = Active(call)) t->GetStr(call.Str(0), v);
  call.Dest().SetStr(v);
}

void DBSetStr(TSysCall& call) {
  TDBCustomTable* t = ActiveWithRecord(call);
  call.Dest().SetFlag(t && t->SetStr(call.Str(0), call.Str(1)));
}

void DBRecordCount(TSysCall& call) {
  const TDBCustomTable* t = NamedOrActive(call, 0);
  call.Dest().SetInt(t ? t->RecordCount() : -1);
}

void DBFindFirst(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && t->First());
}

void DBFindLast(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && t->Last());
}

void DBFindNext(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && t->Next());
}

void DBFindPrior(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && t->Prior());
}

// DBLocate(columns, values [, nocase [, partial]]): the first matching record becomes current.
void DBLocate(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  if (!t) {
    call.Dest().SetFlag(false);
    return;
  }
  std::vector<int32_t> list;
  t->Select(list, &call.Arg(0), &call.Arg(1), OptFlag(call, 2), OptFlag(call, 3));
  call.Dest().SetFlag(!list.empty() && t->SetRecNo(list.front()));
}

// DBLoadTsvFile(file): replaces the active table by a game file of tab-separated text. False in
// every case; a file that is missing or cannot be read leaves the table as it was.
void DBLoadTsvFile(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(false);
  if (!t) return;
  const std::string name = call.Str(0);
  TVrFileManager& files = call.Ports().files;
  if (!call.Ports().GameFileExists(name)) return;
  TMemoryStream contents;
  try {
    files.LoadFile(contents, name);
  } catch (const EKovaError&) {
    return;
  }
  const auto bytes = contents.Bytes();
  t->LoadTsv(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// DBDirectGet...(table, columns, values, nocase, partial, column, default) and
// DBDirectSet...(table, columns, values, nocase, partial, column, value).
void DBDirectGetInt(TSysCall& call) {
  call.Dest().SetInt(call.Ports().tables.DirectGetInt(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                            call.Str(5), call.Int(6)));
}

void DBDirectSetInt(TSysCall& call) {
  call.Dest().SetFlag(call.Ports().tables.DirectSetInt(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                             call.Str(5), call.Int(6)));
}

void DBDirectGetFloat(TSysCall& call) {
  call.Dest().SetFloat(call.Ports().tables.DirectGetFloat(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3),
                                                call.Flag(4), call.Str(5), call.Float(6)));
}

void DBDirectSetFloat(TSysCall& call) {
  call.Dest().SetFlag(call.Ports().tables.DirectSetFloat(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                               call.Str(5), call.Float(6)));
}

void DBDirectGetBool(TSysCall& call) {
  call.Dest().SetFlag(call.Ports().tables.DirectGetBool(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                              call.Str(5), call.Flag(6)));
}

void DBDirectSetBool(TSysCall& call) {
  call.Dest().SetFlag(call.Ports().tables.DirectSetBool(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                              call.Str(5), call.Flag(6)));
}

void DBDirectGetStr(TSysCall& call) {
  call.Dest().SetStr(call.Ports().tables.DirectGetStr(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                            call.Str(5), call.Str(6)));
}

void DBDirectSetStr(TSysCall& call) {
  call.Dest().SetFlag(call.Ports().tables.DirectSetStr(call.Str(0), &call.Arg(1), &call.Arg(2), call.Flag(3), call.Flag(4),
                                             call.Str(5), call.Str(6)));
}

// DBCopyTable(table [, columns, values [, nocase [, partial]]]): the named table becomes a copy of
// the active table's matching records.
void DBCopyTable(TSysCall& call) {
  const TDBCustomTable* t = Active(call);
  call.Dest().SetFlag(t && call.Ports().tables.CopyTable(call.Str(0), SelectByArgs(call, *t, 1)));
}

void DBDeleteTable(TSysCall& call) {
  call.Dest().SetFlag(false);
  if (call.Has(0)) {
    call.Ports().tables.DeleteTable(call.Str(0));
  } else if (const TDBCustomTable* t = Active(call)) {
    call.Ports().tables.DeleteTable(std::string(t->Name));
  }
}

// DBInsertTable(table [, columns, values [, nocase [, partial]]]): the named table's matching
// records are appended to the active table.
void DBInsertTable(TSysCall& call) {
  const std::string name = call.Str(0);
  const TDBCustomTable* source = call.Ports().tables.FindTable(name);
  call.Dest().SetFlag(Active(call) && source && call.Ports().tables.InsertTable(name, SelectByArgs(call, *source, 1)));
}

// DBCopy(table): a copy of the active table's current record is appended to the named table.
void DBCopy(TSysCall& call) {
  const TDBCustomTable* t = ActiveWithRecord(call);
  TDBCustomTable* target = t ? call.Ports().tables.FindTable(call.Str(0)) : nullptr;
  if (!target || !target->Fields().SameLayout(t->Fields())) {
    call.Dest().SetFlag(false);
    return;
  }
  // The bytes are taken before the append, which makes a new record current when the target is
  // the active table itself.
  const uint8_t* current = t->CurrentRecord();
  const std::vector<uint8_t> bytes(current, current + t->Fields().RecordSize());
  call.Dest().SetFlag(target->AppendCopy(bytes.data()));
}

void DBClearTable(TSysCall& call) { call.Ports().tables.Clear(); }

void DBSort(TSysCall& call) {
  TDBCustomTable* t = Active(call);
  if (t) t->Sort(&call.Arg(0), &call.Arg(1));
  call.Dest().SetFlag(t != nullptr);
}

void DBGetActive(TSysCall& call) {
  const TDBCustomTable* t = Active(call);
  call.Dest().SetStr(t ? t->Name : std::string());
}

void DBGetRecNo(TSysCall& call) {
  const TDBCustomTable* t = Active(call);
  call.Dest().SetInt(t ? t->RecNo() : -1);
}

void DBClearRecord(TSysCall& call) {
  TDBCustomTable* t = NamedOrActive(call, 0);
  if (t) t->ClearRecords();
  call.Dest().SetFlag(t != nullptr);
}

}  // namespace kova::sysfunc
