// The bytes of a control's save record as data version 103 has it (written field by field, not by
// the saver): name, priority, position and size, offsets, flags, colour, rectangle, mouse mode,
// cursor, nine handler names and no children. Kinds append their own fields after it.
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"
#include "core/stream_records.h"

namespace kova::test {

inline void WriteControlRecord103(TStream& s, const std::string& name, int32_t left, int32_t top, int32_t width,
                                  int32_t height) {
  WriteStreamString(s, name);
  WriteStreamInteger(s, 0);  // priority
  for (int32_t v : {left, top, width, height, 0, 0}) WriteStreamInteger(s, v);
  WriteStreamBool(s, false);  // position zoomed
  WriteStreamBool(s, true);   // visible
  WriteStreamInteger(s, 0);   // colour
  for (int32_t v : {0, 0, 1, 1}) WriteStreamInteger(s, v);
  WriteStreamByte(s, 0);                              // mouse mode
  for (int i = 0; i < 10; ++i) WriteStreamString(s, "");  // cursor and the nine mouse handlers
  WriteStreamInteger(s, 0);                           // children
}

}  // namespace kova::test
