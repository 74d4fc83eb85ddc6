// Property dispatch: scripts read and write component properties by property id (PR_NAME ..
// PR_MUTEONLOAD). GetProp reads one property of a component into a script value through the
// value's typed setter; SetProp reads a script value through its typed getter (the property's
// type decides which) and hands it to the component's setter. Each setter itself decides whether
// the value changed; the dispatch adds nothing.
#pragma once

#include <cstdint>

namespace kova {

class TCustomParam;
class TKovaObject;

// Raises EScriptError "GetPropエラー" for an id outside 0..158.
void GetProp(TCustomParam& item, TKovaObject& component, int32_t id);
// Raises EScriptError "SetPropエラー" for an id outside 0..158 and for PR_APPEARX/PR_APPEARY; a
// value that cannot be converted raises its own error and changes nothing.
void SetProp(TKovaObject& component, int32_t id, const TCustomParam& value);

}  // namespace kova
