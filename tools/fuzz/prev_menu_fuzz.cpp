// libFuzzer target for preview-menu files: any input is read into a button list, then every
// button is checked against what the reader promises: the list holds only whole buttons, never
// more than the bytes could describe, all of them top-level. No input may crash, hang or read
// outside its bytes; a damaged file raises the read error.
//
// Build and run as the other targets (tools/fuzz/archive_fuzz.cpp), with the seed corpus
// tests/fuzz/corpus/prev_menu:
//   build-fuzz/bin/kova_prev_menu_fuzz corpus -max_len=4096
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/errors.h"
#include "core/stream.h"
#include "motion/prev_menu_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kova::TSpanStream stream(std::span<const uint8_t>(data, size));
  kova::TContSelList list;
  try {
    list.LoadFromStream(stream, "menu\\");
  } catch (const kova::EReadError&) {
  }
  // Each whole button took at least 53 bytes after the 27 of the header, size and count.
  const int32_t count = list.TopButtonCount();
  if (count > 0 && size < 27 + size_t(count) * 53) std::abort();
  for (int32_t i = 0; i < count; ++i) {
    const kova::TContSelButton* b = list.GetTopButton(i);
    if (!b || b->Parent || b->Child || &b->List != &list) std::abort();
  }
  if (list.GetTopButton(count)) std::abort();
  return 0;
}
