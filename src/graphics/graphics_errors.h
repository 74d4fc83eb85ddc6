// The exception of the bitmap layer: every failure of a bitmap, its file format or its surfaces.
#pragma once

#include "core/errors.h"

namespace kova {

class EDIBError : public EKovaError {
 public:
  using EKovaError::EKovaError;
};

}  // namespace kova
