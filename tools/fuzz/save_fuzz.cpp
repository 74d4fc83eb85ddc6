// libFuzzer target for the sections of a saved game. The first byte chooses the section, the
// second the save's data version (107 to 129), the rest is the section:
//   0: the status entry's variables and status tables
//   1: a game entry's variables and game tables
//   2: the interpreter (call stack, frames, command state)
//   3: the script event queue
// What loads is written out again. Inputs may only ever raise the system's own errors.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/save:
//   build-fuzz/bin/kova_save_fuzz corpus -max_len=8192
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/errors.h"
#include "core/stream.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/db_manager.h"
#include "script/event_queue.h"
#include "script/param_collection.h"
#include "script/scene_port.h"
#include "script/script_ports.h"

namespace {

using namespace kova;

class TStandInScene : public TScenePort {
 public:
  TKovaObject* FindComponent(std::string_view name) const override { return name == "obj" ? Object() : nullptr; }
  TObjectHandle FindHandle(std::string_view name) const override { return name == "obj" ? kHandle : TObjectHandle{}; }
  TKovaObject* Resolve(TObjectHandle handle) const override { return handle == kHandle ? Object() : nullptr; }
  std::string ComponentName(const TKovaObject*) const override { return "obj"; }

 private:
  TKovaObject* Object() const { return reinterpret_cast<TKovaObject*>(const_cast<char*>(&slot_)); }
  static constexpr TObjectHandle kHandle{1, 1};
  char slot_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t section = data[0] % 4;
  const int32_t version = 107 + data[1] % 23;
  TMemoryStream stream{std::span<const uint8_t>(data + 2, size - 2)};
  TMemoryStream out;
  TStandInScene scene;
  TDBManager tables;
  try {
    switch (section) {
      case 0: {
        TParamCollection store;
        store.LoadStatus(stream, version);
        tables.LoadStatusTables(stream, version);
        store.SaveStatus(out);
        tables.SaveStatusTables(out);
        break;
      }
      case 1: {
        TParamCollection store;
        store.LoadFromStream(stream, version);
        tables.LoadGameTables(stream, version);
        store.SaveToStream(out);
        tables.SaveGameTables(out);
        break;
      }
      case 2: {
        TNullScriptParts parts;
        TParamCollection store(parts.ports, nullptr);
        TTimerList queue(&scene);
        TCommandTable commands;
        TCallMan callman(store, parts.ports, commands, &queue, *parts.platform.clock);
        callman.LoadFromStream(stream, version);
        callman.SaveToStream(out);
        break;
      }
      default: {
        TTimerList queue(&scene);
        queue.LoadFromStream(stream, version);
        queue.SaveToStream(out);
        break;
      }
    }
  } catch (const EKovaError&) {
  }
  return 0;
}
