// libFuzzer target for the database tables' stored forms. The first byte chooses the form, the
// rest is the input:
//   0: the game tables of a save (the manager's stream form, kind 0)
//   1: the status tables of a save (kind 1)
//   2: one table's stream form
//   3: a tab-separated text (DBLoadTsv)
// Whatever loads is written again, read back and written once more: the two writes must be equal
// (a loaded table is always in a form that round-trips). Inputs may only ever raise the system's
// own errors.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/db:
//   build-fuzz/bin/kova_db_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "core/errors.h"
#include "core/stream.h"
#include "script/db_manager.h"
#include "script/db_table.h"

namespace {

using namespace kova;

std::vector<uint8_t> Bytes(const TMemoryStream& s) { return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size()); }

void RoundTrip(const TDBTable& table) {
  TMemoryStream first;
  table.SaveToStream(first);
  first.SetPosition(0);
  TDBTable again;
  again.LoadFromStream(first, 100);
  TMemoryStream second;
  again.SaveToStream(second);
  if (Bytes(first) != Bytes(second)) std::abort();
}

void RoundTripManager(TDBManager& tables, uint8_t kind) {
  TMemoryStream first;
  tables.SaveToStream(first, kind);
  first.SetPosition(0);
  tables.LoadFromStream(first, kind);
  TMemoryStream second;
  tables.SaveToStream(second, kind);
  if (Bytes(first) != Bytes(second)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t form = data[0] % 4;
  TMemoryStream stream{std::span<const uint8_t>(data + 1, size - 1)};
  TDBManager tables;
  try {
    switch (form) {
      case 0:
      case 1:
        try {
          tables.LoadFromStream(stream, form == 0 ? kDBGameKind : kDBStatusKind);
        } catch (const EKovaError&) {
          break;  // the tables read before the error stay; they are not checked further
        }
        RoundTripManager(tables, form == 0 ? kDBGameKind : kDBStatusKind);
        break;
      case 2: {
        TDBTable table;
        table.LoadFromStream(stream, 100);
        RoundTrip(table);
        break;
      }
      default: {
        TDBTable table;
        table.LoadTsv(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
        RoundTrip(table);
        break;
      }
    }
  } catch (const EKovaError&) {
  }
  return 0;
}
