// The value type of each component property id (PR_NAME .. PR_MUTEONLOAD): the type a GetProp
// result takes and the typed getter SetProp reads a script value with.
#pragma once

#include <cstdint>

namespace kova {

// PT_INT, PT_FLOAT, PT_BOOL or PT_STR for ids 0..158; PT_NONE for any other id.
int32_t PropValueType(int32_t id);

}  // namespace kova
