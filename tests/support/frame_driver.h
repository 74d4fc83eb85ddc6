// A frame driver for interpreter tests: a session over headless services and a private game
// folder, a fake scene, a fixed delta per frame on the session's clock, and the captured
// debug-log lines. The tests start the interpreter on a page themselves (no project); a script
// error a frame step catches is rethrown to the test. Header-only: only test programs that link
// the player layer include it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/services.h"
#include "player/session.h"
#include "support/game_tree.h"
#include "support/page_writer.h"

namespace kova::test {

// A scene of named stand-in components: the objects are distinct addresses that nothing
// dereferences, named by the handles the scene issues; removing one retires its handle, as
// freeing a component does (the queue is not told).
class FakeScene : public TScenePort {
 public:
  TObjectHandle Add(const std::string& name) {
    auto* object = reinterpret_cast<TKovaObject*>(&slots_[next_++ % kSlots]);
    const TObjectHandle handle = handles_.Issue(object);
    names_[object] = {name, handle};
    return handle;
  }
  void Remove(TObjectHandle handle) {
    if (TKovaObject* object = handles_.Resolve(handle)) names_.erase(object);
    handles_.Retire(handle);
  }

  TKovaObject* FindComponent(std::string_view name) const override {
    for (const auto& [object, entry] : names_) {
      if (entry.name == name) return object;
    }
    return nullptr;
  }
  TObjectHandle FindHandle(std::string_view name) const override {
    TKovaObject* object = FindComponent(name);
    return object ? names_.at(object).handle : TObjectHandle{};
  }
  TKovaObject* Resolve(TObjectHandle handle) const override { return handles_.Resolve(handle); }
  std::string ComponentName(const TKovaObject* object) const override {
    auto it = names_.find(const_cast<TKovaObject*>(object));
    return it == names_.end() ? std::string() : it->second.name;
  }

 private:
  struct TEntry {
    std::string name;
    TObjectHandle handle;
  };
  static constexpr int kSlots = 64;
  char slots_[kSlots] = {};
  int next_ = 0;
  THandleTable<TKovaObject> handles_;
  std::map<TKovaObject*, TEntry> names_;
};

class FrameDriver {
 public:
  // With `real_scene` the session keeps its own scene (the root container and its components);
  // otherwise the interpreter sees the fake scene. `register_commands` registers command
  // behaviours as a subsystem does.
  explicit FrameDriver(bool real_scene = false, std::function<void(TCommandTable&)> register_commands = {})
      : session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}}, nullptr,
                Ports(real_scene, std::move(register_commands))),
        queue(session.Events()),
        store(session.Store()),
        callman(session.Interpreter()) {
    session.Files().SetFolder(tree.Root());
    session.Log().SetWriter([this](std::string_view line) { trace.emplace_back(line); });
    session.SetErrorSink([](std::string_view) { throw; });
  }
  FrameDriver(const FrameDriver&) = delete;
  FrameDriver& operator=(const FrameDriver&) = delete;

  // The session's parts from the driver: the fake scene unless the session keeps its own.
  TSessionPorts Ports(bool real_scene, std::function<void(TCommandTable&)> register_commands) {
    TSessionPorts ports;
    if (!real_scene) ports.scene = &scene;
    ports.register_commands = std::move(register_commands);
    return ports;
  }

  // Another interpreter on the session's store and parts, with the session's event queue or none.
  TCallMan NewInterpreter(bool with_queue) {
    return TCallMan(store, session.Ports(), session.Commands(), with_queue ? &queue : nullptr, *services.clock);
  }

  // Writes a page file into the game folder.
  void AddPage(std::string_view name, const PageWriter& page) { tree.WriteFile(name, page.Bytes()); }
  void AddFile(std::string_view name, const std::vector<uint8_t>& bytes) { tree.WriteFile(name, bytes); }

  // One frame step of the session: the clock advances by `delta` before the script step.
  void Frame(int32_t delta = 16) { session.Step(delta); }
  void Frames(int n, int32_t delta = 16) {
    for (int i = 0; i < n; ++i) Frame(delta);
  }

  // The trace lines without their clock prefix ("page.ksb(3)", "<Event>h.ksb(1)").
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    for (const std::string& l : trace) out.push_back(l.size() > 11 ? l.substr(11) : l);
    return out;
  }
  // The lines traced since the last call.
  std::vector<std::string> TakeLines() {
    std::vector<std::string> out = Lines();
    trace.clear();
    return out;
  }

  // Declares a global integer variable with a value.
  void SetInt(std::string_view name, int32_t value) {
    TParamCollectionItem* item = store.FindParam(name);
    if (!item) item = store.Declare(name, PT_INT, TVarScope::Global);
    item->SetInt(value);
  }
  bool Has(std::string_view name) const { return store.FindParam(name) != nullptr; }

  // The integer value of a variable (0 when missing).
  int32_t Int(std::string_view name) const {
    const TParamCollectionItem* item = store.FindParam(name);
    return item ? item->GetInt() : 0;
  }
  std::string Str(std::string_view name) const {
    const TParamCollectionItem* item = store.FindParam(name);
    return item ? item->GetStr() : std::string();
  }

  GameTree tree;
  FakeScene scene;
  plat::THeadlessServices services;
  TSession session;
  TTimerList& queue;
  TParamCollection& store;
  TCallMan& callman;
  std::vector<std::string> trace;
};

}  // namespace kova::test
