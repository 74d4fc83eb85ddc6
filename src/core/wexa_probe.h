// A quick look at the header of a layered picture (".wxa"), for deciding whether an archive
// writer should compress it: only pictures whose planes are stored raw gain from compression.
#pragma once

#include "core/stream.h"

namespace kova {

// Reads, from the stream's position, the 7-byte tag ("Wexa" and three decimal digits) and, from
// version 103 on, the int32 header size and the header. True only for version 103 or later with
// the header's compression byte (offset 22) equal to 1 (no compression); a header too short to
// hold that byte (a negative size gives none) counts as 1. Any other tag, a tag with non-digits or
// an older version answers false. Never reads past the compression byte; the stream is left after
// what was read (the caller repositions it).
bool WexaIsUncompressed(TStream& stream);

}  // namespace kova
