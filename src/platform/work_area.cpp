#include "platform/work_area.h"

namespace kova::plat {
}  // namespace kova::plat
