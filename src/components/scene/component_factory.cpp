#include "components/scene/component_factory.h"

#include <utility>

#include "core/vocabulary.h"

namespace kova {

void TComponentFactory::Register(uint8_t code, TConstructor constructor) {
  if (code < 2 || code > 127 || code == KT_MAP || code == KT_AUDIO) return;
  table_[code] = std::move(constructor);
}

TKovaObject* TComponentFactory::Create(TKovaObject* owner, uint8_t code) const {
  const TConstructor& make = table_[code & 127];
  return make ? make(owner) : nullptr;
}

}  // namespace kova
