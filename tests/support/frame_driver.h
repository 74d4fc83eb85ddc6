// A frame driver for interpreter tests: a session over headless services and a private game
// folder, a fake scene, a fixed delta per frame on the session's clock, and the captured
// debug-log lines. The tests start the interpreter on a page themselves (no project); a script
// error a frame step catches is rethrown to the test. Header-only: only test programs that link
// the player layer include it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"
#include "player/session.h"
#include "support/game_tree.h"
#include "support/page_writer.h"

namespace kova::test {

// A scene of named stand-in components: the objects are distinct addresses that nothing
// dereferences; removing one makes it unknown to the scene, as a freed component is.
class FakeScene : public TScenePort {
 public:
  TKovaObject* Add(const std::string& name) {
    auto* object = reinterpret_cast<TKovaObject*>(&slots_[next_++ % kSlots]);
    names_[object] = name;
    return object;
  }
  void Remove(TKovaObject* object) { names_.erase(object); }

  TKovaObject* FindComponent(std::string_view name) const override {
    for (const auto& [object, n] : names_) {
      if (n == name) return object;
    }
    return nullptr;
  }
  bool HasComponent(const TKovaObject* object) const override {
    return names_.count(const_cast<TKovaObject*>(object)) != 0;
  }
  std::string ComponentName(const TKovaObject* object) const override {
    auto it = names_.find(const_cast<TKovaObject*>(object));
    return it == names_.end() ? std::string() : it->second;
  }

 private:
  static constexpr int kSlots = 64;
  char slots_[kSlots] = {};
  int next_ = 0;
  std::map<TKovaObject*, std::string> names_;
};

class FrameDriver {
 public:
  // With `real_scene` the session keeps its own scene (the root container and its components);
  // otherwise the interpreter sees the fake scene.
  explicit FrameDriver(bool real_scene = false)
      : session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}}, nullptr,
                TSessionPorts{.scene = real_scene ? nullptr : &scene}),
        queue(session.Events()),
        store(session.Store()),
        callman(session.Interpreter()) {
    session.Files().SetFolder(tree.Root());
    session.Log().SetWriter([this](std::string_view line) { trace.emplace_back(line); });
    session.SetErrorSink([](std::string_view) { throw; });
  }
  FrameDriver(const FrameDriver&) = delete;
  FrameDriver& operator=(const FrameDriver&) = delete;

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
