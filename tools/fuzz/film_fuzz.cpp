// libFuzzer target for film files: any input is a film read into a manager with no owner, then
// set to a few ticks (its tracks make no sprites and load no pictures without one). Inputs may
// only ever raise the system's own errors.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/film:
//   build-fuzz/bin/kova_film_fuzz corpus -max_len=8192
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/errors.h"
#include "motion/film_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kova;
  TFilmManager film;
  try {
    film.LoadFromStream(std::span<const uint8_t>(data, size), "films\\fuzz.kmt");
  } catch (const EKovaError&) {
    return 0;
  }
  (void)film.NeedsOwnLayers();
  (void)film.FirstTrackAtZero();
  const int32_t length = film.GetLength();
  for (int32_t tick : {0, 1, length / 2, length - 1, length}) film.SetTime(tick);
  film.SetPaused(true);
  return 0;
}
