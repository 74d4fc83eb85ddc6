// The script engine's exception: raised by values, the variable store, expressions and system
// functions. Expressions end silently on it; commands pass it on to the interpreter.
#pragma once

#include "core/errors.h"

namespace kova {

class EScriptError : public EKovaError {
 public:
  using EKovaError::EKovaError;
};

}  // namespace kova
