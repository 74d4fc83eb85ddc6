// The component factory: a component type code (KT_) to the constructor of its class. The kinds
// come in through the subsystems' registration (the scene's own in scene_subsystem.cpp); a code
// without a class answers nullptr, as do 0 (none), 1 and 10, which never have one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace kova {

class TKovaObject;

class TComponentFactory {
 public:
  // A kind of a higher layer may carry what its components need (its subsystem's parts).
  using TConstructor = std::function<TKovaObject*(TKovaObject* owner)>;

  // Sets the constructor of `code` (codes 2 .. 127; others are ignored); nullptr removes it.
  void Register(uint8_t code, TConstructor constructor);
  bool Has(uint8_t code) const { return static_cast<bool>(table_[code & 127]); }
  // A new component of `code and 127` owned by `owner`, or nullptr when the code has no class.
  TKovaObject* Create(TKovaObject* owner, uint8_t code) const;

  template <class T>
  static TKovaObject* Make(TKovaObject* owner) {
    return new T(owner);
  }

 private:
  std::array<TConstructor, 128> table_{};
};

}  // namespace kova
