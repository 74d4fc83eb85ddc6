// The debug log: a seam through which the interpreter hands its trace lines to whatever the shell
// binds (a "dbglog.txt" writer, a test's capture). Nothing is formatted or written while no writer
// is bound; DebugLogOn is the one flag hot paths test first. Main thread only.
#pragma once

#include <functional>
#include <string_view>

namespace kova {

using TLogWriter = std::function<void(std::string_view line)>;

// True while a writer is bound.
extern bool DebugLogOn;

// Binds a writer (an empty function unbinds it); returns the one bound before.
TLogWriter SetLogWriter(TLogWriter writer);
// Hands one line to the bound writer; nothing when none is bound.
void KovaLogWrite(std::string_view line);

}  // namespace kova
