#include "motion/wipe_kinds.h"

namespace kova {

std::unique_ptr<TCustomWipe> MakeImageWipe(int32_t, const TWipeEnv&, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&) {
  return nullptr;
}

}  // namespace kova
