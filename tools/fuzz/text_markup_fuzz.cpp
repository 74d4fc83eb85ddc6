// libFuzzer target for the message markup: the first byte chooses the layout settings, the rest
// is parsed as markup, laid out and revealed (seed corpus: tests/text/corpus/markup_*).
//
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
//         -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_FUZZ=ON -DKOVA_TESTS=OFF -DKOVA_BENCH=OFF
//   cmake --build build-fuzz --target kova_text_markup_fuzz
//   mkdir -p corpus && cp tests/text/corpus/markup_* corpus/
//   build-fuzz/bin/kova_text_markup_fuzz corpus -max_len=65536
#include "support/text_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::test::ExerciseMarkup({data, size});
  return 0;
}
