// libFuzzer target for the project file: any input is "kova.kpb" of a game folder, which is
// opened as the player's start-up opens it (install set, discs, defaults, status of the save
// file, the start page). Opening never raises; its failures are shown and recorded.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/project:
//   build-fuzz/bin/kova_project_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/frame_globals.h"
#include "core/main_window.h"
#include "platform/dialogs.h"
#include "platform/service.h"
#include "fuzz_folder.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "script/project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  fuzz::TFuzzFolder& folder = fuzz::FuzzFolder();
  if (folder.Path().empty() || !folder.Write("kova.kpb", data, size)) return 0;
  // A complete install set (the game's data are these loose files: version 107, key "KOVA-FUZZ",
  // disk 0), and a start page that exists, so that a project that reads whole starts the game.
  static const uint8_t kInstallSet[] = {
    0x69, 0x73, 0x31, 0x30, 0x37, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x4b, 0x4f, 0x56,
    0x41, 0x2d, 0x46, 0x55, 0x5a, 0x5a, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x61, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x00, 0x00, 0x62, 0x01, 0x00, 0x00, 0x00, 0x63, 0x00, 0x00, 0x00, 0x00,
  };
  folder.Write("install.dat", kInstallSet, sizeof kInstallSet);
  static const uint8_t kPage[] = {109, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0};
  folder.Write("start.ksb", kPage, sizeof kPage);

  // Services of this input only: what they record goes with them.
  plat::THeadlessDialogs dialogs;
  plat::TScopedService<plat::IDialogs> dialogs_in(dialogs, plat::InstallDialogs);
  THeadlessMainWindow window;
  plat::TScopedService<IMainWindow> window_in(window, InstallMainWindow);
  ResetFrameGlobals();
  ScriptStopped = false;
  CreateFileManager();
  {
    TProjectScriptHost host;
    TParamCollection store(&host);
    TLaunchInfo launch;
    launch.ProgramFolder = folder.Path() + "/";
    launch.Params = {folder.Path()};
    AddLaunchSources(*FileManager(), launch);
    TProject& project = OpenProject(launch, store, *FileManager());
    if (project.Started()) {
      try {
        project.Step();
      } catch (const EKovaError&) {
      }
    }
    FreeProject();
  }
  FreeFileManager();
  ScriptStopped = false;
  QuitRequested = false;
  ResetFrameGlobals();
  return 0;
}
