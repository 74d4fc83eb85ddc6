// libFuzzer target for the archive directory reader and entry reads: any input is opened as an
// archive held in memory, then every entry is read whole and through a range window. Inputs may
// only ever raise the system's own errors.
//
// Build (clang only) and run:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_archive_fuzz
//   mkdir -p corpus && build-fuzz/bin/kova_archive_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/archive.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  TVrFileCollection arc;
  try {
    arc.OpenStream(std::make_unique<TMemoryStream>(std::span<const uint8_t>(data, size)));
  } catch (const EKovaError&) {
    return 0;
  }
  for (int32_t i = 0; i < arc.EntryCount(); ++i) {
    const std::string name = arc.Files(i)->Name();
    try {
      TMemoryStream whole;
      arc.ReadFile(whole, name);
    } catch (const EKovaError&) {
    }
    try {
      if (auto range = arc.OpenRange(name)) {
        uint8_t buffer[256];
        while (range->Read(buffer, sizeof buffer) > 0) {
        }
      }
    } catch (const EKovaError&) {
    }
  }
  return 0;
}
