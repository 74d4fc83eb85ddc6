// libFuzzer target for the placements of an archive on disk. The first byte chooses the
// placement, the second a split point or piece size, the rest is the file's bytes:
//   0: appended to a program ("game.exe": the directory position and "kv" at the end)
//   1: the directory in "game.ext" (the first `split` bytes) beside "game.dat" (the rest)
//   2: "game.dat" continued in pieces "game.001", ... (piece size 1 + the number, at most 64
//      pieces), read
//      through the big file stream
//   3: as 0, asked for explicitly on a file of another name
// Every entry of what opens is read whole and through a range window. Inputs may only ever raise
// the system's own errors.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/archive_place:
//   build-fuzz/bin/kova_archive_place_fuzz corpus -max_len=4096
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/archive.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "fuzz_folder.h"

namespace {

using namespace kova;

void ReadEverything(TVrFileCollection& arc) {
  for (int32_t i = 0; i < arc.EntryCount(); ++i) {
    const std::string name = arc.Files(i)->Name();
    try {
      TMemoryStream whole;
      arc.ReadEntry(whole, *arc.Files(i));
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  fuzz::TFuzzFolder& folder = fuzz::FuzzFolder();
  if (folder.Path().empty()) return 0;
  folder.Empty();
  const uint8_t placement = data[0] % 4;
  const size_t knob = size_t(data[1]) | size_t(data[2]) << 8;
  const uint8_t* bytes = data + 3;
  const size_t count = size - 3;

  TVrFileCollection arc;
  try {
    switch (placement) {
      case 0:
        if (!folder.Write("game.exe", bytes, count)) return 0;
        arc.OpenEx(folder.File("game.exe"), true);
        break;
      case 1: {
        const size_t split = std::min(knob, count);
        if (!folder.Write("game.ext", bytes, split) || !folder.Write("game.dat", bytes + split, count - split)) return 0;
        arc.OpenEx(folder.File("game.dat"), true);
        break;
      }
      case 2: {
        // At most 64 pieces, each of at least one byte.
        const size_t piece = std::max(knob + 1, count / 64 + 1);
        for (size_t at = 0, n = 0; at < count || n == 0; at += piece, ++n) {
          const std::string name = TXrBigFileStream::PieceName("game.dat", int(n));
          if (!folder.Write(name, bytes + at, std::min(piece, count - at))) return 0;
        }
        arc.OpenStream(std::make_unique<TXrBigFileStream>(folder.File("game.dat"), plat::TFileMode::Read, int64_t(piece)));
        break;
      }
      default:
        if (!folder.Write("game.bin", bytes, count)) return 0;
        arc.OpenEx(folder.File("game.bin"), true, TVrPlacement::Appended);
        break;
    }
  } catch (const EKovaError&) {
    return 0;
  }
  ReadEverything(arc);
  return 0;
}
