// Small pages and files that make the engine pay far more than their bytes describe: a page that
// doubles a string and hands it to a component as its text, a tab-separated text whose short
// header declares wide columns over many empty lines, and pages that make many boxes or a deep
// chain of boxes.
#pragma once

#include <cstdint>
#include <string>

#include "support/page_writer.h"

namespace kova::test {

// A page that doubles the one-letter string "s" `doublings` times (2^doublings bytes), creates a
// component "t" with the creation command `command_kind` (for example 10, a message window) and
// sets its text (property 50) to "s", then terminates.
PageWriter LongTextPage(uint8_t command_kind, int32_t doublings);

// About 1.3 KB of tab-separated text: sixteen string columns of the longest declared length, then
// lines holding one tab each (two empty cells).
std::string WideTsv();

// A page that creates the table "items", loads `tsv_file` into it, saves the game in slot 1 and
// terminates.
PageWriter TsvSavePage(const std::string& tsv_file);

// A page that makes `count` boxes "b0", "b1", ... on the active layer (with `chain`, each box is
// the parent of the next), waits one frame and terminates.
PageWriter BoxesPage(int32_t count, bool chain);

}  // namespace kova::test
