// The table manager: every script table, the active table that most database functions work on,
// copying between tables, direct cell access by condition, and the tables' part of the saves.
//
// Tables of kind 0 belong to the running game: they are written into each game save, replaced when
// a game is loaded and freed by the Reset command. Tables of kind 1 are status tables: read from
// the status entry when the project opens and written with every status save.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/lists.h"
#include "core/stream.h"
#include "script/db_table.h"

namespace kova {

inline constexpr uint8_t kDBGameKind = 0;
inline constexpr uint8_t kDBStatusKind = 1;
// The first game save version and status version that hold tables.
inline constexpr int32_t kDBFirstGameVersion = 123;
inline constexpr int32_t kDBFirstStatusVersion = 103;

class TDBManager : private TObjList<TDBCustomTable> {
 public:
  TDBManager() = default;

  using TObjList<TDBCustomTable>::Count;
  // Table i (EListError out of range).
  TDBCustomTable* Tables(int32_t i) const { return Items(i); }
  // The first table of that name (ASCII case ignored), -1 when none.
  int32_t IndexOfTable(std::string_view name) const;
  // The table of that name, nullptr when none.
  TDBCustomTable* FindTable(std::string_view name) const;
  int32_t ActiveIndex() const { return active_; }
  // The active table, nullptr when none.
  TDBCustomTable* ActiveTable() const { return (active_ >= 0 && active_ < Count()) ? Items(active_) : nullptr; }

  // A new empty table of that name and kind, made active; its index. -1 (nothing changes) for an
  // empty name or a name a table already has.
  int32_t CreateTable(std::string_view name, uint8_t kind);
  // Makes the named table active; False when there is none.
  bool SetActive(std::string_view name);
  // Frees the named table (when there is one); the active table stays active by name (none when
  // it was the one freed). Answers False.
  bool DeleteTable(std::string_view name);
  // Frees every table of both kinds; no active table.
  void Clear() override;
  // Frees every table of kind 0; no active table.
  void ClearGameTables();

  // The named table (not the active one) is cleared, takes the active table's columns and gets a
  // copy of each listed record of the active table. False without an active table, without such
  // a table, or when it is the active table.
  bool CopyTable(std::string_view name, const std::vector<int32_t>& list);
  // Appends to the active table a copy of each listed record of the named table (which may be the
  // active one). False without an active table, without such a table, or when the two tables'
  // columns differ.
  bool InsertTable(std::string_view name, const std::vector<int32_t>& list);

  // Direct cell access: the cell of `column` in the first record of the named table that matches
  // the condition (see TDBCustomTable::Select). Getters answer `def` when there is no such cell;
  // setters answer whether they stored.
  int32_t DirectGetInt(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                       bool partial, std::string_view column, int32_t def) const;
  long double DirectGetFloat(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                             bool nocase, bool partial, std::string_view column, long double def) const;
  bool DirectGetBool(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                     bool partial, std::string_view column, bool def) const;
  std::string DirectGetStr(std::string_view table, const TCustomParam* columns, const TCustomParam* values,
                           bool nocase, bool partial, std::string_view column, std::string def) const;
  bool DirectSetInt(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                    bool partial, std::string_view column, int32_t v);
  bool DirectSetFloat(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                      bool partial, std::string_view column, long double v);
  bool DirectSetBool(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                     bool partial, std::string_view column, bool v);
  bool DirectSetStr(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                    bool partial, std::string_view column, std::string_view v);

  // Version 100, the tables of that kind (each a type byte and its record), and for kind 0 the
  // active table's name.
  void SaveToStream(TStream& stream, uint8_t kind) const;
  // Replaces the tables of that kind by those of the stream. Each table is read whole before it
  // joins the list; when the stream is truncated or corrupt, EReadError leaves the tables read so
  // far in the list. Kind 0 then makes the saved active table active again; kind 1 leaves the
  // last table read active.
  void LoadFromStream(TStream& stream, uint8_t kind);

  // The tables' part of the saves, in the entries' order: the game entry's tables (game save
  // versions from kDBFirstGameVersion) and the status entry's tables (status versions from
  // kDBFirstStatusVersion). A load of an older version reads nothing and changes nothing.
  void SaveGameTables(TStream& stream) const;
  void LoadGameTables(TStream& stream, int32_t game_version);
  void SaveStatusTables(TStream& stream) const;
  void LoadStatusTables(TStream& stream, int32_t status_version);

 private:
  // The section's one description (db_manager.cpp); M is const when saving.
  template <class IO, class M>
  static void TransferSection(IO& io, M& m, uint8_t kind);
  // The cell of the direct access functions: the table, record and column; false when none.
  bool FindCell(std::string_view table, const TCustomParam* columns, const TCustomParam* values, bool nocase,
                bool partial, std::string_view column, TDBCustomTable*& found, int32_t& rec, int32_t& col) const;

  int32_t active_ = -1;
};

}  // namespace kova
