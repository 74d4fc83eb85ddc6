// Byte buffers from the C allocator. AllocateZeroed gives bytes that read as zero without writing
// them: a large block comes as fresh pages from the system, zero already and only touched once
// used, so a big surface that is never drawn into costs no memory traffic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace kova {

struct TFreeBytes {
  void operator()(uint8_t* p) const noexcept { std::free(p); }
};
using TByteBuffer = std::unique_ptr<uint8_t[], TFreeBytes>;

// n bytes of undefined contents (at least one byte is allocated); raises std::bad_alloc.
inline TByteBuffer AllocateBytes(size_t n) {
  auto* p = static_cast<uint8_t*>(std::malloc(n ? n : 1));
  if (!p) throw std::bad_alloc();
  return TByteBuffer(p);
}

// n bytes of zero (at least one byte is allocated); raises std::bad_alloc.
inline TByteBuffer AllocateZeroed(size_t n) {
  auto* p = static_cast<uint8_t*>(std::calloc(n ? n : 1, 1));
  if (!p) throw std::bad_alloc();
  return TByteBuffer(p);
}

}  // namespace kova
