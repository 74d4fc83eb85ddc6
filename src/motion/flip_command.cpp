#include "motion/flip_command.h"

namespace kova {

void RegisterFlipCommand(TCommandTable&, TKovaBaseList&) {}

}  // namespace kova
