#include "core/debug_log.h"

#include <utility>

namespace kova {

bool DebugLogOn = false;

namespace {
TLogWriter& Writer() {
  static TLogWriter writer;
  return writer;
}
}  // namespace

TLogWriter SetLogWriter(TLogWriter writer) {
  TLogWriter old = std::exchange(Writer(), std::move(writer));
  DebugLogOn = static_cast<bool>(Writer());
  return old;
}

void KovaLogWrite(std::string_view line) {
  if (DebugLogOn) Writer()(line);
}

}  // namespace kova
