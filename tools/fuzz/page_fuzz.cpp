// libFuzzer target for compiled pages: any input is the page "start.ksb" of a game folder; the
// interpreter starts on it and runs a few frames (commands, expressions, system functions, calls,
// loops, waits and events as the script engine offers them). Inputs may only ever raise the
// system's own errors.
//
// A page may loop without ever waiting: the interpreter gives such a frame back when its time
// budget is spent, here a short one.
//
// Build (clang only) and run with the seed corpus:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_page_fuzz
//   mkdir -p corpus && cp tests/fuzz/corpus/page/* corpus/
//   build-fuzz/bin/kova_page_fuzz corpus -max_len=16384
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/errors.h"
#include "fuzz_folder.h"
#include "platform/services.h"
#include "player/session.h"

namespace {

using namespace kova;

// Two named stand-in components that nothing dereferences.
class TStandInScene : public TScenePort {
 public:
  TKovaObject* FindComponent(std::string_view name) const override {
    if (name == "obj") return Object(0);
    if (name == "btn") return Object(1);
    return nullptr;
  }
  bool HasComponent(const TKovaObject* object) const override {
    return object == Object(0) || object == Object(1);
  }
  std::string ComponentName(const TKovaObject* object) const override { return object == Object(0) ? "obj" : "btn"; }

 private:
  TKovaObject* Object(int i) const { return reinterpret_cast<TKovaObject*>(const_cast<char*>(&slots_[i])); }
  char slots_[2] = {};
};

constexpr int kFrames = 6;
constexpr uint32_t kFrameBudgetMs = 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TFuzzFolder& folder = fuzz::FuzzFolder();
  if (folder.Path().empty() || !folder.Write("start.ksb", data, size)) return 0;
  // Services and session of this input only: what they record goes with them.
  plat::THeadlessServices services;
  TStandInScene scene;
  TSession session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}}, nullptr,
                   TSessionPorts{.scene = &scene});
  session.Files().SetFolder(folder.Path());
  session.SetErrorSink([](std::string_view) {});
  session.Interpreter().SetTimeBudget(kFrameBudgetMs);
  try {
    session.Interpreter().Start("start.ksb");
  } catch (const EKovaError&) {
  }
  for (int frame = 0; frame < kFrames; ++frame) {
    if (!session.Step(16)) break;
  }
  return 0;
}
