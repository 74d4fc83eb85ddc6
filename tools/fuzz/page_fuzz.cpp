// libFuzzer target for compiled pages: any input is the page "start.ksb" of a game folder; the
// interpreter starts on it and runs a few frames (commands, expressions, system functions, calls,
// loops, waits and events as the script engine offers them). Inputs may only ever raise the
// system's own errors.
//
// A page may loop without ever waiting; until the frame step gives the frame back by itself, the
// target ends such a frame after a fixed number of commands (counted through the trace seam).
//
// Build (clang only) and run with the seed corpus:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_page_fuzz
//   mkdir -p corpus && cp tests/fuzz/corpus/page/* corpus/
//   build-fuzz/bin/kova_page_fuzz corpus -max_len=16384
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "components/event_queue.h"
#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/frame_globals.h"
#include "core/main_window.h"
#include "platform/dialogs.h"
#include "platform/service.h"
#include "fuzz_folder.h"
#include "script/call_man.h"
#include "script/param_collection.h"

namespace {

using namespace kova;

// Two named stand-in components that nothing dereferences.
class TStandInScene : public TEventScene {
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

struct TFrameSpent {};

constexpr int kFrames = 6;
constexpr int kCommandsPerFrame = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::TFuzzFolder& folder = fuzz::FuzzFolder();
  if (folder.Path().empty() || !folder.Write("start.ksb", data, size)) return 0;

  // Services of this input only: what they record goes with them.
  plat::THeadlessDialogs dialogs;
  plat::TScopedService<plat::IDialogs> dialogs_in(dialogs, plat::InstallDialogs);
  THeadlessMainWindow window;
  plat::TScopedService<IMainWindow> window_in(window, InstallMainWindow);
  ResetFrameGlobals();
  ScriptStopped = false;
  CreateFileManager();
  FileManager()->SetFolder(folder.Path());
  int commands = 0;
  TLogWriter old = SetLogWriter([&commands](std::string_view) {
    if (++commands > kCommandsPerFrame) throw TFrameSpent{};
  });
  {
    TStandInScene scene;
    TTimerList queue(&scene);
    TParamCollection store;
    TCallMan callman(store);
    callman.SetEventQueue(&queue);
    try {
      callman.Start("start.ksb");
    } catch (const EKovaError&) {
    }
    for (int frame = 0; frame < kFrames && !ScriptStopped; ++frame) {
      FrameDelta = 16;
      GameClock += 16;
      commands = 0;
      try {
        callman.Step();
      } catch (const EKovaError&) {
      } catch (const TFrameSpent&) {
      }
    }
  }
  SetLogWriter(std::move(old));
  FreeFileManager();
  ScriptStopped = false;
  ResetFrameGlobals();
  return 0;
}
