#include "platform/window/work_area.h"

namespace kova::plat {
}  // namespace kova::plat
