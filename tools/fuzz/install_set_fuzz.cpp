// libFuzzer target for the install set ("install.dat") and the folder-disk list: any input is
// read as both; what loads is queried as the disc lookup queries it. Inputs may only ever raise
// the system's own errors.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/install_set:
//   build-fuzz/bin/kova_install_set_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/errors.h"
#include "core/install_set.h"
#include "core/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  {
    TMemoryStream stream{std::span<const uint8_t>(data, size)};
    TKovaInstallSet set;
    try {
      set.LoadFromStream(stream);
    } catch (const EKovaError&) {
    }
  }
  for (TReadMode mode : {TReadMode::Checked, TReadMode::Lenient}) {
    TMemoryStream stream{std::span<const uint8_t>(data, size)};
    TFolderDiskList list;
    try {
      list.LoadFromStream(stream, mode);
    } catch (const EKovaError&) {
    }
    list.DiskOf("a\\b");
    list.DiskOf("");
    for (int32_t i = 0; i < list.Count(); ++i) list.DiskOf(list.Strings(i));
  }
  return 0;
}
