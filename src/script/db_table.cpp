// Columns, cells and their conversions, record handling and the stream form of tables.
#include "script/db_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/errors.h"
#include "core/sjis.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "script/value_text.h"

namespace kova {

static_assert(std::endian::native == std::endian::little, "cells are stored in the host's byte order");

namespace {

// The fewest bytes one column occupies in the stream: int32 size, int32 name length, type byte.
constexpr int64_t kMinFieldBytes = 9;

constexpr bool IsAsciiLower(uint8_t c) { return c >= 'a' && c <= 'z'; }
constexpr uint8_t AsciiUpper(uint8_t c) { return IsAsciiLower(c) ? static_cast<uint8_t>(c - 32) : c; }

}  // namespace

int32_t DBFieldSize(int32_t type, int32_t length) {
  switch (type) {
    case kDBInt: return 4;
    case kDBFloat: return 10;
    case kDBBool: return 1;
    case kDBStr: return (length >= 0 && length <= kDBMaxStrLength) ? length + 1 : 0;
    default: return 0;
  }
}

bool DBSameName(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = static_cast<uint8_t>(a[i]);
    const uint8_t y = static_cast<uint8_t>(b[i]);
    if (IsSjisLeadByte(x)) {
      // A double-byte character: both bytes must agree exactly.
      if (x != y || (i + 1 < n && a[i + 1] != b[i + 1])) return false;
      ++i;
      continue;
    }
    if (x != y && AsciiUpper(x) != AsciiUpper(y)) return false;
  }
  return true;
}

// ---- TDBField ----

namespace {

// The field record: size, name, type.
template <class IO, class F>
void TransferField(IO& io, F& field) {
  io.Int(field.Size);
  io.Str(field.Name);
  io.Byte(field.Type);
}

}  // namespace

void TDBField::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferField(io, *this);
}

void TDBField::LoadFromStream(TStream& stream) {
  TDBField read;
  TRecordLoader io(stream);
  TransferField(io, read);
  const uint8_t type = read.Type;
  const int32_t size = read.Size;
  if (type < kDBInt || type > kDBStr) Raise<EReadError>(TMsg::DBBadFieldType, int(type));
  const bool fits = type == kDBStr ? (size >= 1 && size <= kDBMaxStrLength + 1) : size == DBFieldSize(type, 0);
  if (!fits) Raise<EReadError>(TMsg::DBBadFieldSize, int(size));
  *this = std::move(read);
}

// ---- TDBFieldList ----

void TDBFieldList::Recalc() {
  offsets_.resize(static_cast<size_t>(Count()) + 1);
  int32_t offset = 0;
  for (int32_t i = 0; i < Count(); ++i) {
    offsets_[static_cast<size_t>(i)] = offset;
    offset += Items(i).Size;
  }
  offsets_.back() = offset;
}

void TDBFieldList::Append(std::unique_ptr<TDBField> field) {
  TObjList<TDBField>::Add(std::move(field));
  Recalc();
}

int32_t TDBFieldList::AddField(std::string_view name, int32_t type, int32_t length) {
  const int32_t size = DBFieldSize(type, length);
  if (size <= 0 || RecordSize() > kDBMaxRecordSize - size) return -1;
  if (owner_) owner_->ColumnAdded(type, size);
  Append(std::make_unique<TDBField>(std::string(name), size, static_cast<uint8_t>(type)));
  return Count() - 1;
}

void TDBFieldList::RemoveField(int32_t i) {
  TObjList<TDBField>::Items(i);  // range check before any record changes
  if (owner_) owner_->ColumnRemoved(i);
  TObjList<TDBField>::Delete(i);
  Recalc();
}

int32_t TDBFieldList::IndexOf(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (DBSameName(Items(i).Name, name)) return i;
  }
  return -1;
}

bool TDBFieldList::SameLayout(const TDBFieldList& other) const {
  if (Count() != other.Count()) return false;
  for (int32_t i = 0; i < Count(); ++i) {
    const TDBField& a = Items(i);
    const TDBField& b = other.Items(i);
    if (a.Name != b.Name || a.Type != b.Type || a.Size != b.Size) return false;
  }
  return true;
}

void TDBFieldList::AssignLayout(const TDBFieldList& other) {
  if (&other == this) return;
  Clear();
  for (const auto& f : other) Append(std::make_unique<TDBField>(f->Name, f->Size, f->Type));
}

void TDBFieldList::Clear() {
  if (owner_) owner_->ClearRecords();
  TObjList<TDBField>::Clear();
  Recalc();
}

// ---- Cells ----

namespace dbcell {
namespace {

inline int32_t LoadInt(const uint8_t* cell) {
  int32_t v;
  std::memcpy(&v, cell, 4);
  return v;
}
inline void StoreInt(uint8_t* cell, int32_t v) { std::memcpy(cell, &v, 4); }
inline long double LoadExt(const uint8_t* cell) { return BytesToExtended(cell); }
inline void StoreExt(uint8_t* cell, long double v) { ExtendedToBytes(v, cell); }

}  // namespace

int32_t RoundToInt(long double x) {
  constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
  if (!(std::fabs(x) < kLimit)) return 0;
  const long double r = std::nearbyint(x);  // the default rounding: nearest, ties to even
  if (!(std::fabs(r) < kLimit)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(r))));
}

std::string FloatText(long double x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  if (x == 0) return "0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof(buf), x, std::chars_format::scientific);
  (void)ec;
  // buf holds [-]d[.ddd]e±xx: collect the digits and the exponent.
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[32];
  int nd = 0;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.' && nd < 32) digits[nd++] = *p;
  }
  int exponent = 0;
  if (p < end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);

  return LayoutGeneralFloat(negative, std::string_view(digits, static_cast<size_t>(nd)), exponent);
}

std::string_view StrView(const uint8_t* cell, const TDBField& field) {
  const char* text = reinterpret_cast<const char*>(cell);
  const size_t limit = static_cast<size_t>(field.Size - 1);
  const void* zero = std::memchr(text, 0, limit);
  return {text, zero ? static_cast<size_t>(static_cast<const char*>(zero) - text) : limit};
}

int32_t GetInt(const uint8_t* cell, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: return LoadInt(cell);
    case kDBFloat: return RoundToInt(LoadExt(cell));
    case kDBBool: return cell[0] != 0 ? 1 : 0;
    case kDBStr: return ParseScriptInt(StrView(cell, field));
    default: return 0;
  }
}

long double GetFloat(const uint8_t* cell, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: return LoadInt(cell);
    case kDBFloat: return LoadExt(cell);
    case kDBBool: return cell[0] != 0 ? 1.0L : 0.0L;
    case kDBStr: return ParseScriptFloat(StrView(cell, field));
    default: return 0;
  }
}

bool GetBool(const uint8_t* cell, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: return LoadInt(cell) != 0;
    case kDBFloat: return LoadExt(cell) != 0;
    case kDBBool: return cell[0] != 0;
    case kDBStr: return ScriptStrToFlag(StrView(cell, field));
    default: return false;
  }
}

std::string GetStr(const uint8_t* cell, const TDBField& field) {
  switch (field.Type) {
    case kDBInt: return IntToScriptStr(LoadInt(cell));
    case kDBFloat: return FloatText(LoadExt(cell));
    case kDBBool: return std::string(FlagToScriptStr(cell[0] != 0));
    case kDBStr: return std::string(StrView(cell, field));
    default: return {};
  }
}

void SetStr(uint8_t* cell, const TDBField& field, std::string_view v) {
  switch (field.Type) {
    case kDBInt: StoreInt(cell, ParseScriptInt(v)); return;
    case kDBFloat: StoreExt(cell, ParseScriptFloat(v)); return;
    case kDBBool: cell[0] = ScriptStrToFlag(v) ? 1 : 0; return;
    case kDBStr: break;
    default: return;
  }
  const size_t capacity = static_cast<size_t>(field.Size - 1);
  size_t n = v.size();
  if (n > capacity) {
    // Cut on a character boundary: a double-byte character that would not fit entirely goes.
    size_t i = 0;
    while (i < capacity) {
      const size_t step = (IsSjisLeadByte(v[i]) && i + 1 < v.size()) ? 2 : 1;
      if (i + step > capacity) break;
      i += step;
    }
    n = i;
  }
  std::memcpy(cell, v.data(), n);
  std::memset(cell + n, 0, static_cast<size_t>(field.Size) - n);
}

void SetInt(uint8_t* cell, const TDBField& field, int32_t v) {
  switch (field.Type) {
    case kDBInt: StoreInt(cell, v); return;
    case kDBFloat: StoreExt(cell, v); return;
    case kDBBool: cell[0] = v != 0 ? 1 : 0; return;
    case kDBStr: {
      char buf[12];
      SetStr(cell, field, std::string_view(buf, IntToChars(v, buf)));
      return;
    }
    default: return;
  }
}

void SetFloat(uint8_t* cell, const TDBField& field, long double v) {
  switch (field.Type) {
    case kDBInt: StoreInt(cell, RoundToInt(v)); return;
    case kDBFloat: StoreExt(cell, v); return;
    case kDBBool: cell[0] = v != 0 ? 1 : 0; return;
    case kDBStr: SetStr(cell, field, FloatText(v)); return;
    default: return;
  }
}

void SetBool(uint8_t* cell, const TDBField& field, bool v) {
  switch (field.Type) {
    case kDBInt: StoreInt(cell, v ? 1 : 0); return;
    case kDBFloat: StoreExt(cell, v ? 1.0L : 0.0L); return;
    case kDBBool: cell[0] = v ? 1 : 0; return;
    case kDBStr: SetStr(cell, field, FlagToScriptStr(v)); return;
    default: return;
  }
}

}  // namespace dbcell

// ---- TDBCustomTable ----

TDBCustomTable::TDBCustomTable(std::string name, uint8_t kind) : Name(std::move(name)), Kind(kind), fields_(this) {}

TDBCustomTable::~TDBCustomTable() = default;

bool TDBCustomTable::GetInt(std::string_view column, int32_t& out) const {
  return GetIntAt(RecNo(), fields_.IndexOf(column), out);
}
bool TDBCustomTable::SetInt(std::string_view column, int32_t v) { return SetIntAt(RecNo(), fields_.IndexOf(column), v); }
bool TDBCustomTable::GetFloat(std::string_view column, long double& out) const {
  return GetFloatAt(RecNo(), fields_.IndexOf(column), out);
}
bool TDBCustomTable::SetFloat(std::string_view column, long double v) {
  return SetFloatAt(RecNo(), fields_.IndexOf(column), v);
}
bool TDBCustomTable::GetBool(std::string_view column, bool& out) const {
  return GetBoolAt(RecNo(), fields_.IndexOf(column), out);
}
bool TDBCustomTable::SetBool(std::string_view column, bool v) { return SetBoolAt(RecNo(), fields_.IndexOf(column), v); }
bool TDBCustomTable::GetStr(std::string_view column, std::string& out) const {
  return GetStrAt(RecNo(), fields_.IndexOf(column), out);
}
bool TDBCustomTable::SetStr(std::string_view column, std::string_view v) {
  return SetStrAt(RecNo(), fields_.IndexOf(column), v);
}

// ---- TDBTable: records ----

TDBTable::~TDBTable() = default;

TDBTable::TRecord TDBTable::NewRecord() const {
  return TRecord(new uint8_t[static_cast<size_t>(fields_.RecordSize())]());
}

void TDBTable::ColumnAdded(int32_t /*type*/, int32_t size) {
  const size_t old_size = static_cast<size_t>(fields_.RecordSize());
  for (TRecord& record : records_) {
    TRecord grown(new uint8_t[old_size + static_cast<size_t>(size)]());
    std::memcpy(grown.get(), record.get(), old_size);
    record = std::move(grown);
  }
}

void TDBTable::ColumnRemoved(int32_t i) {
  const size_t old_size = static_cast<size_t>(fields_.RecordSize());
  const size_t offset = static_cast<size_t>(fields_.FieldOffset(i));
  const size_t size = static_cast<size_t>(fields_.Items(i).Size);
  for (TRecord& record : records_) {
    TRecord shrunk(new uint8_t[old_size - size]);
    std::memcpy(shrunk.get(), record.get(), offset);
    std::memcpy(shrunk.get() + offset, record.get() + offset + size, old_size - offset - size);
    record = std::move(shrunk);
  }
}

bool TDBTable::Append() {
  records_.push_back(NewRecord());
  rec_no_ = RecordCount() - 1;
  return true;
}

bool TDBTable::AppendCopy(const uint8_t* bytes) {
  TRecord record = NewRecord();
  if (fields_.RecordSize() > 0) std::memcpy(record.get(), bytes, static_cast<size_t>(fields_.RecordSize()));
  records_.push_back(std::move(record));
  rec_no_ = RecordCount() - 1;
  return true;
}

bool TDBTable::Delete() {
  if (rec_no_ < 0 || rec_no_ >= RecordCount()) return false;
  records_.erase(records_.begin() + rec_no_);
  if (rec_no_ >= RecordCount()) rec_no_ = RecordCount() - 1;
  return false;
}

bool TDBTable::SetRecNo(int32_t n) {
  if (n < 0) {
    rec_no_ = -1;
    return true;
  }
  if (n < RecordCount()) {
    rec_no_ = n;
    return true;
  }
  return false;
}

bool TDBTable::First() { return !records_.empty() && SetRecNo(0); }
bool TDBTable::Last() { return !records_.empty() && SetRecNo(RecordCount() - 1); }
bool TDBTable::Next() { return rec_no_ >= 0 && rec_no_ < RecordCount() - 1 && SetRecNo(rec_no_ + 1); }
bool TDBTable::Prior() { return rec_no_ >= 1 && SetRecNo(rec_no_ - 1); }

void TDBTable::ClearRecords() {
  records_.clear();
  rec_no_ = -1;
}

void TDBTable::ClearAll() {
  ClearRecords();
  fields_.Clear();
}

// ---- TDBTable: cells ----

#define KOVA_DB_CELL(rec, col)                                                      \
  uint8_t* record = RecordData(rec);                                                \
  if (!record || col < 0 || col >= fields_.Count()) return false;                   \
  const TDBField& field = fields_.Items(col);                                       \
  uint8_t* cell = record + fields_.FieldOffset(col)

bool TDBTable::GetIntAt(int32_t rec, int32_t col, int32_t& out) const {
  KOVA_DB_CELL(rec, col);
  out = dbcell::GetInt(cell, field);
  return true;
}
bool TDBTable::SetIntAt(int32_t rec, int32_t col, int32_t v) {
  KOVA_DB_CELL(rec, col);
  dbcell::SetInt(cell, field, v);
  return true;
}
bool TDBTable::GetFloatAt(int32_t rec, int32_t col, long double& out) const {
  KOVA_DB_CELL(rec, col);
  out = dbcell::GetFloat(cell, field);
  return true;
}
bool TDBTable::SetFloatAt(int32_t rec, int32_t col, long double v) {
  KOVA_DB_CELL(rec, col);
  dbcell::SetFloat(cell, field, v);
  return true;
}
bool TDBTable::GetBoolAt(int32_t rec, int32_t col, bool& out) const {
  KOVA_DB_CELL(rec, col);
  out = dbcell::GetBool(cell, field);
  return true;
}
bool TDBTable::SetBoolAt(int32_t rec, int32_t col, bool v) {
  KOVA_DB_CELL(rec, col);
  dbcell::SetBool(cell, field, v);
  return true;
}
bool TDBTable::GetStrAt(int32_t rec, int32_t col, std::string& out) const {
  KOVA_DB_CELL(rec, col);
  out = dbcell::GetStr(cell, field);
  return true;
}
bool TDBTable::SetStrAt(int32_t rec, int32_t col, std::string_view v) {
  KOVA_DB_CELL(rec, col);
  dbcell::SetStr(cell, field, v);
  return true;
}

#undef KOVA_DB_CELL

// ---- TDBTable: stream form ----

namespace {

// A table: name, kind (1), the columns (count (4), the column records), the record count (4),
// the records (the columns' sizes each), the current record number (4). Loading checks the columns
// against kDBMaxRecordSize and the record count against the bytes left (or kDBMaxEmptyRecords for
// records of no bytes); a record number that names no record loads as -1.
template <class IO, class T>
void TransferTable(IO& io, T& t) {
  io.Str(t.name);
  io.Byte(t.kind);
  io.List(t.fields, kMinFieldBytes, TMsg::DBDataCorrupt, [&](auto& field) {
    if constexpr (IO::kLoading) {
      field = std::make_unique<TDBField>();
      io.Object(*field);
      t.record_size += field->Size;
      if (t.record_size > kDBMaxRecordSize) Raise<EReadError>(TMsg::DBDataCorrupt);
    } else {
      io.Object(*field);
    }
  });
  int32_t count = static_cast<int32_t>(t.records.size());
  io.Int(count);
  if constexpr (IO::kLoading) {
    const int64_t room = io.Stream().Remaining() - 4;  // the current record number follows the records
    const bool fits = t.record_size > 0 ? count <= room / t.record_size : count <= kDBMaxEmptyRecords;
    if (count < 0 || !fits) Raise<EReadError>(TMsg::DBDataCorrupt);
    t.records.resize(static_cast<size_t>(count));
  }
  for (auto& record : t.records) {
    if constexpr (IO::kLoading) record.reset(new uint8_t[static_cast<size_t>(t.record_size)]);
    io.Raw(record.get(), t.record_size);
  }
  io.Int(t.rec_no);
  // Tables only ever save a number of one of their records or -1.
  if constexpr (IO::kLoading) {
    if (t.rec_no < -1 || t.rec_no >= count) t.rec_no = -1;
  }
}

}  // namespace

void TDBTable::SaveToStream(TStream& stream) const {
  struct TView {
    const std::string& name;
    const uint8_t& kind;
    std::vector<const TDBField*> fields;
    int64_t record_size;
    const std::vector<TRecord>& records;
    const int32_t& rec_no;
  } view{Name, Kind, {}, fields_.RecordSize(), records_, rec_no_};
  view.fields.reserve(static_cast<size_t>(fields_.Count()));
  for (const auto& f : fields_) view.fields.push_back(f.get());
  TRecordSaver io(stream);
  TransferTable(io, view);
}

void TDBTable::LoadFromStream(TStream& stream, int32_t version) {
  // Everything is read and checked before the table changes.
  struct TRead {
    std::string name;
    uint8_t kind = 0;
    std::vector<std::unique_ptr<TDBField>> fields;
    int64_t record_size = 0;
    std::vector<TRecord> records;
    int32_t rec_no = -1;
  } read;
  TRecordLoader io(stream, version);
  TransferTable(io, read);

  ClearAll();
  Name = std::move(read.name);
  Kind = read.kind;
  for (auto& field : read.fields) fields_.TObjList<TDBField>::Add(std::move(field));
  fields_.Recalc();
  records_ = std::move(read.records);
  rec_no_ = read.rec_no;
}

}  // namespace kova
