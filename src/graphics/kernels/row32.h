// Row routines of the 32-bit row results: one table per instruction set, all giving the values of
// pixel_ops.h bit for bit. `rev`: the source (and its mask) is walked backwards from the given
// first pixel (a mirrored draw). Counts are >= 0; rows may be of any length.
#pragma once

#include <cstdint>

namespace kova::kernels {

struct TRow32Kernels {
  void (*copy_rev)(uint32_t* d, const uint32_t* s_last, int32_t n);  // d[i] = s_last[-i]
  void (*copy_key)(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t key);
  void (*fill)(uint32_t* d, int32_t n, uint32_t color);
  void (*fill_alpha)(uint32_t* d, int32_t n, uint32_t color, uint32_t alpha);
  void (*fill_add)(uint32_t* d, int32_t n, uint32_t color);
  void (*fill_sub)(uint32_t* d, int32_t n, uint32_t color);
  void (*fill_mask)(uint32_t* d, const uint8_t* m, bool rev, int32_t n, uint32_t color, uint32_t level);
  void (*blend)(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t alpha, bool keyed, uint32_t key);
  void (*mask)(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n);
  void (*mask_alpha)(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t alpha);
  void (*add)(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t level, bool keyed, uint32_t key);
  void (*mask_add)(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t level);
};

extern const TRow32Kernels kRow32Scalar;
extern const TRow32Kernels kRow32Sse2;
extern const TRow32Kernels kRow32Avx2;

}  // namespace kova::kernels
