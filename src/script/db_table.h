// Script database tables: small in-memory tables of typed columns that scripts fill from
// tab-separated text or record by record, search, sort and copy.
//
// A record is one buffer of RecordSize bytes holding its cells in column order without gaps:
// integer cells are 4-byte little-endian signed integers, float cells 10-byte extended reals, flag
// cells one byte (0 or 1), string cells a zero-terminated text padded with zeros to the declared
// length + 1. Every cell converts on access to the four script types (see the cell operations).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/lists.h"
#include "core/stream.h"

namespace kova {

class TCustomParam;
class TDBCustomTable;

// Column type codes (the type byte of a column).
inline constexpr uint8_t kDBInt = 1;
inline constexpr uint8_t kDBFloat = 2;
inline constexpr uint8_t kDBBool = 3;
inline constexpr uint8_t kDBStr = 4;

// The longest text a string column may declare, and the largest record: a column that would pass
// either is refused (scripts and files choose these sizes).
inline constexpr int32_t kDBMaxStrLength = 65535;
inline constexpr int32_t kDBMaxRecordSize = 1 << 20;
// Records of a table without columns take no bytes in the stream form, so no byte count bounds
// them: one load (a table, or all tables of a save section together) holds at most this many.
inline constexpr int64_t kDBMaxEmptyRecords = int64_t(1) << 16;
// What a table loaded from tab-separated text may hold: records cost their record size and
// kDBRecordOverhead bytes each, and together at most kDBTsvBytesPerByte bytes for each byte of the
// text plus kDBTsvSlack. Real tables stay far below (a row's cells are mostly filled); a short
// header declaring wide columns over many near-empty lines keeps the records that fit.
inline constexpr int64_t kDBRecordOverhead = 16;
inline constexpr int64_t kDBTsvBytesPerByte = 128;
inline constexpr int64_t kDBTsvSlack = int64_t(64) << 10;
// The declared length of a string column whose tab-separated header gives none.
inline constexpr int32_t kDBDefaultStrLength = 80;
// The version the manager writes in front of its tables.
inline constexpr int32_t kDBStreamVersion = 100;

// The cell size of a column of that type and declared length; 0 for an unknown type or a length
// outside 0..kDBMaxStrLength of a string column.
int32_t DBFieldSize(int32_t type, int32_t length);

// Equality of names without regard to the case of ASCII letters (never folding the second byte of
// a double-byte character).
bool DBSameName(std::string_view a, std::string_view b);

// One column: its cell size in bytes, its name and its type code.
class TDBField {
 public:
  TDBField() = default;
  TDBField(std::string name, int32_t size, uint8_t type) : Size(size), Name(std::move(name)), Type(type) {}

  int32_t Size = 0;
  std::string Name;
  uint8_t Type = 0;

  // int32 size, string name, byte type.
  void SaveToStream(TStream& stream) const;
  // Raises EReadError for a truncated record, an unknown type or a size that does not fit the
  // type; the column is then unchanged.
  void LoadFromStream(TStream& stream);
};

// The columns of a table in order, with their offsets and the record size. A list owned by a table
// keeps the table's records in step: adding a column grows every record, removing one shrinks
// them, clearing the list drops the records.
class TDBFieldList : private TObjList<TDBField> {
 public:
  explicit TDBFieldList(TDBCustomTable* owner = nullptr) : owner_(owner) {}

  using TObjList<TDBField>::Count;
  using TObjList<TDBField>::Empty;
  using TObjList<TDBField>::begin;
  using TObjList<TDBField>::end;
  // Column i (EListError out of range).
  TDBField& Items(int32_t i) const { return *TObjList<TDBField>::Items(i); }
  TDBCustomTable* Owner() const { return owner_; }

  // Appends a column of that type (cell size 4, 10, 1 or length + 1) and returns its index; -1,
  // adding nothing, for an unknown type, a string length outside 0..kDBMaxStrLength, or a record
  // that would grow beyond kDBMaxRecordSize. The owning table grows its records first.
  int32_t AddField(std::string_view name, int32_t type, int32_t length);
  // Removes column i (EListError out of range); the owning table drops its cells first.
  void RemoveField(int32_t i);
  // The first column of that name (ASCII case ignored), -1 when none.
  int32_t IndexOf(std::string_view name) const;
  // The byte offset of column i's cells within a record (0 <= i <= Count).
  int32_t FieldOffset(int32_t i) const { return offsets_[static_cast<size_t>(i)]; }
  int32_t RecordSize() const { return offsets_.back(); }
  // Same number of columns with, one by one, the same name (case counts), type and size.
  bool SameLayout(const TDBFieldList& other) const;
  // Clears the list and re-creates every column of `other`.
  void AssignLayout(const TDBFieldList& other);
  // Removes every column; the record size becomes 0 (an owning table's records are dropped).
  void Clear() override;

 private:
  friend class TDBTable;
  void Append(std::unique_ptr<TDBField> field);
  void Recalc();

  TDBCustomTable* owner_;
  std::vector<int32_t> offsets_ = {0};  // offsets_[i]: offset of column i; back(): record size
};

// The abstract table: its columns, name and kind (0 a game table, 1 a status table). The
// operations answer "nothing there" here; TDBTable holds the records.
class TDBCustomTable {
 public:
  TDBCustomTable(std::string name, uint8_t kind);
  virtual ~TDBCustomTable();
  TDBCustomTable(const TDBCustomTable&) = delete;
  TDBCustomTable& operator=(const TDBCustomTable&) = delete;

  TDBFieldList& Fields() { return fields_; }
  const TDBFieldList& Fields() const { return fields_; }
  std::string Name;
  uint8_t Kind = 0;

  // The type byte written before the table in the manager's stream.
  virtual uint8_t TypeCode() const { return 0; }
  virtual int32_t RecordCount() const { return 0; }
  // The current record number, -1 for none.
  virtual int32_t RecNo() const { return -1; }
  // The current record's bytes, nullptr for none.
  virtual uint8_t* CurrentRecord() const { return nullptr; }
  // Record i's bytes (RecordSize of them), nullptr out of range.
  virtual uint8_t* RecordData(int32_t) const { return nullptr; }

  // Called by the column list: every record grows by `size` zero bytes at its end, respectively
  // loses column i's cells.
  virtual void ColumnAdded(int32_t /*type*/, int32_t /*size*/) {}
  virtual void ColumnRemoved(int32_t /*i*/) {}

  // Adds a zero-filled record at the end and makes it current.
  virtual bool Append() { return false; }
  // Appends a record holding a copy of `bytes` (RecordSize of them) and makes it current.
  virtual bool AppendCopy(const uint8_t* /*bytes*/) { return false; }
  // Removes the current record (nothing without one); the one after it becomes current, else the
  // new last one. Answers False in both cases.
  virtual bool Delete() { return false; }
  virtual bool First() { return false; }
  virtual bool Last() { return false; }
  virtual bool Next() { return false; }
  virtual bool Prior() { return false; }
  // n < 0: no current record (True); n < RecordCount: record n (True); else False, unchanged.
  virtual bool SetRecNo(int32_t) { return false; }

  // Cells by record and column index: False when either is out of range, else converted (see
  // db_table.cpp for the conversion of each type pair) and True.
  virtual bool GetIntAt(int32_t, int32_t, int32_t&) const { return false; }
  virtual bool SetIntAt(int32_t, int32_t, int32_t) { return false; }
  virtual bool GetFloatAt(int32_t, int32_t, long double&) const { return false; }
  virtual bool SetFloatAt(int32_t, int32_t, long double) { return false; }
  virtual bool GetBoolAt(int32_t, int32_t, bool&) const { return false; }
  virtual bool SetBoolAt(int32_t, int32_t, bool) { return false; }
  virtual bool GetStrAt(int32_t, int32_t, std::string&) const { return false; }
  virtual bool SetStrAt(int32_t, int32_t, std::string_view) { return false; }

  // Cells of the current record by column name (ASCII case ignored).
  bool GetInt(std::string_view column, int32_t& out) const;
  bool SetInt(std::string_view column, int32_t v);
  bool GetFloat(std::string_view column, long double& out) const;
  bool SetFloat(std::string_view column, long double v);
  bool GetBool(std::string_view column, bool& out) const;
  bool SetBool(std::string_view column, bool v);
  bool GetStr(std::string_view column, std::string& out) const;
  bool SetStr(std::string_view column, std::string_view v);

  // Appends to `list` the numbers of the records matching the condition, in ascending order.
  // Without columns or values every record matches. Otherwise pair k (k below the smaller element
  // count) compares the cell of the column named by columns' element k with values' element k,
  // read in values' own type: integers, floats (exactly) and flags by value; strings equal (with
  // nocase: ASCII case ignored) or, with partial, the cell's text occurring within the element's
  // text. A column name that does not exist ends the search with nothing added.
  virtual void Select(std::vector<int32_t>& /*list*/, const TCustomParam* /*columns*/,
                      const TCustomParam* /*values*/, bool /*nocase*/, bool /*partial*/) const {}
  // Replaces columns and records by those of a tab-separated text (see db_table_query.cpp).
  // Answers False in every case.
  virtual bool LoadTsv(std::string_view /*text*/) { return false; }
  // Drops columns and records.
  virtual void ClearAll() { fields_.Clear(); }
  // Drops the records; no current record.
  virtual void ClearRecords() {}
  // The table record: name, kind, columns, record count, records, current record number.
  virtual void SaveToStream(TStream& /*stream*/) const {}
  // Reads a table record written by SaveToStream into this table, all or nothing: EReadError for
  // a truncated record, an unknown column type, a column size that does not fit its type, or more
  // records than the bytes left.
  virtual void LoadFromStream(TStream& /*stream*/, int32_t /*version*/) {}
  // Sorts the records by the columns named in `columns`' elements (names not found are skipped),
  // each reversed when the matching element of `descending` is True.
  virtual void Sort(const TCustomParam* /*columns*/, const TCustomParam* /*descending*/) {}

 protected:
  TDBFieldList fields_;
};

class TDBTable final : public TDBCustomTable {
 public:
  TDBTable(std::string name = {}, uint8_t kind = 0) : TDBCustomTable(std::move(name), kind) {}
  ~TDBTable() override;

  uint8_t TypeCode() const override { return 0; }
  int32_t RecordCount() const override { return static_cast<int32_t>(records_.size()); }
  int32_t RecNo() const override { return rec_no_; }
  uint8_t* CurrentRecord() const override { return RecordData(rec_no_); }
  uint8_t* RecordData(int32_t i) const override {
    return (i >= 0 && static_cast<size_t>(i) < records_.size()) ? records_[static_cast<size_t>(i)].get() : nullptr;
  }

  void ColumnAdded(int32_t type, int32_t size) override;
  void ColumnRemoved(int32_t i) override;

  bool Append() override;
  bool AppendCopy(const uint8_t* bytes) override;
  bool Delete() override;
  bool First() override;
  bool Last() override;
  bool Next() override;
  bool Prior() override;
  bool SetRecNo(int32_t n) override;

  bool GetIntAt(int32_t rec, int32_t col, int32_t& out) const override;
  bool SetIntAt(int32_t rec, int32_t col, int32_t v) override;
  bool GetFloatAt(int32_t rec, int32_t col, long double& out) const override;
  bool SetFloatAt(int32_t rec, int32_t col, long double v) override;
  bool GetBoolAt(int32_t rec, int32_t col, bool& out) const override;
  bool SetBoolAt(int32_t rec, int32_t col, bool v) override;
  bool GetStrAt(int32_t rec, int32_t col, std::string& out) const override;
  bool SetStrAt(int32_t rec, int32_t col, std::string_view v) override;

  void Select(std::vector<int32_t>& list, const TCustomParam* columns, const TCustomParam* values, bool nocase,
              bool partial) const override;
  bool LoadTsv(std::string_view text) override;
  void ClearAll() override;
  void ClearRecords() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;
  void Sort(const TCustomParam* columns, const TCustomParam* descending) override;

 private:
  using TRecord = std::unique_ptr<uint8_t[]>;
  TRecord NewRecord() const;

  std::vector<TRecord> records_;
  int32_t rec_no_ = -1;
};

// ---- Cells ----
// The conversions of one cell, given its column's type and size. Every table operation on cells
// goes through these; they never read or write outside the cell.
namespace dbcell {

int32_t GetInt(const uint8_t* cell, const TDBField& field);
long double GetFloat(const uint8_t* cell, const TDBField& field);
bool GetBool(const uint8_t* cell, const TDBField& field);
std::string GetStr(const uint8_t* cell, const TDBField& field);
// The text of a string cell: up to its first zero byte, at most the declared length.
std::string_view StrView(const uint8_t* cell, const TDBField& field);
void SetInt(uint8_t* cell, const TDBField& field, int32_t v);
void SetFloat(uint8_t* cell, const TDBField& field, long double v);
void SetBool(uint8_t* cell, const TDBField& field, bool v);
void SetStr(uint8_t* cell, const TDBField& field, std::string_view v);

// The float text of string cells: the shortest decimal form that reads back as the same value,
// fixed for 0.0001 <= |x| < 1E15, else with an exponent ("1.5E-5"); "NAN", "INF", "-INF".
std::string FloatText(long double x);
// Rounded to the nearest integer, ties to even; the low 32 bits. Not-a-number, infinities and
// magnitudes of 2^63 or more give 0.
int32_t RoundToInt(long double x);

}  // namespace dbcell

}  // namespace kova
