// The errors of rich text: malformed markup (an A tag without HREF) and malformed stored lists.
#pragma once

#include "core/errors.h"

namespace kova {

class ETextError : public EKovaError {
 public:
  using EKovaError::EKovaError;
};

}  // namespace kova
