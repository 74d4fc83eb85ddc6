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
#include "fuzz_folder.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "script/project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  fuzz::TFuzzFolder& folder = fuzz::FuzzFolder();
  if (folder.Path().empty() || !folder.Write("kova.kpb", data, size)) return 0;
  // A start page that exists, so that a project that reads whole goes on to start the game.
  static const uint8_t kPage[] = {109, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0};
  folder.Write("start.ksb", kPage, sizeof kPage);

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
