#include "core/lists.h"

#include <cstdint>

#include "core/errors.h"

namespace kova {

void RaiseListIndexError(int64_t index) {
  // Indexes outside the int range are reported as the nearest int.
  int shown = index < INT32_MIN ? INT32_MIN : index > INT32_MAX ? INT32_MAX : static_cast<int>(index);
  Raise<EListError>(TMsg::ListIndexError, shown);
}

}  // namespace kova
