// libFuzzer target for stored glyph lists: any input is loaded as a list; a list that loads is
// written, loaded again, laid out and revealed (seed corpus: tests/text/corpus/list_*).
//
//   cmake --build build-fuzz --target kova_glyph_list_fuzz
//   mkdir -p corpus && cp tests/text/corpus/list_* corpus/
//   build-fuzz/bin/kova_glyph_list_fuzz corpus -max_len=65536
#include "support/text_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::test::ExerciseGlyphList({data, size});
  return 0;
}
