// Installable platform services. Each service interface has one slot holding the implementation in
// use: the built-in headless one until a backend (the shell, or a test) installs another. Slots are
// read and changed on the main thread only.
#pragma once

namespace kova::plat {

template <class I>
class TServiceSlot {
 public:
  explicit TServiceSlot(I& fallback) : fallback_(fallback) {}
  TServiceSlot(const TServiceSlot&) = delete;
  TServiceSlot& operator=(const TServiceSlot&) = delete;

  I& Get() const { return current_ ? *current_ : fallback_; }
  // Installs `service` (nullptr: back to the built-in one); returns what was installed before
  // (nullptr for the built-in one). The caller keeps ownership and keeps it alive while installed.
  I* Install(I* service) {
    I* previous = current_;
    current_ = service;
    return previous;
  }

 private:
  I& fallback_;
  I* current_ = nullptr;
};

// Installs a service for the lifetime of a scope and puts the previous one back afterwards.
template <class I>
class TScopedService {
 public:
  using TInstall = I* (*)(I*);
  TScopedService(I& service, TInstall install) : install_(install), previous_(install(&service)) {}
  ~TScopedService() { install_(previous_); }
  TScopedService(const TScopedService&) = delete;
  TScopedService& operator=(const TScopedService&) = delete;

 private:
  TInstall install_;
  I* previous_;
};

}  // namespace kova::plat
