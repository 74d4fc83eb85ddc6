// Replacing a file's contents so that a reader, a crash or a full disk never sees half of it.
#pragma once

#include <string>
#include <string_view>

namespace kova::plat {

// Writes `bytes` to a new file beside `path`, flushes it to disk and renames it over `path` (a
// link is followed: its target is replaced, the link stays). The replaced file's permissions are
// kept; a new file gets 0644 less the process's mask. Returns 0, or the errno of the step that
// failed, in which case `path` is unchanged and no temporary file is left.
int ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kova::plat
