// The per-pixel operations of the drawing code and their tables of row routines.
//
// An operation combines a row of source pixels (or a colour, for the fills) into a row of
// destination pixels of one format (formats.h). Every operation is written once in plain C++ as the
// reference (ops_reference.h); an instruction set may replace the row routine of any (operation,
// format) entry with a faster one that gives the same pixels bit for bit. The table in use is the
// active instruction set's (simd_dispatch.h), so KOVA_SIMD pins every operation at once.
//
// How a drawing operation uses it: find the destination's format, clip, lock the surfaces
// (TDrawScope in dibx_draw.h), then call PixelOps().Row(op, format) for a row with the row's first
// destination pixel, its first source pixel (or code, or nothing for fills) and mask value, the
// count, the direction the source and mask are walked in (+1, or -1 for a mirrored row) and the
// operation's arguments; or PixelOps().Block(op, format) once for a rectangle of such rows.
// Sources that are not a plain row (stretched, rotated, packed codes) are first gathered into a
// row with the gather and walk routines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/pixels/formats.h"
#include "graphics/simd_dispatch.h"

namespace kova::pixels {

enum class TOp : uint8_t {
  // Source pixels s onto destination pixels d; m is the mask value (0..255) where a mask is read.
  Copy,         // s
  Key,          // s, except where s equals the key
  Blend,        // Blend(d, s, level); the key and d == s skip when asked
  Translucent,  // Blend255(d, s, level); the key skips when asked
  Add,          // AddSat(d, Scale(s, level)); the key and d == s skip when asked
  Mask,         // m 0 skips, 255 copies, else Blend(d, s, m); d == s skips when asked
  MaskBlend,    // m 0 skips, else Blend(d, s, m * level >> 8); d == s and a weight of 0 skip when asked
  MaskAdd,      // m 0 skips, else AddSat(d, Scale(s, m * level >> 8))
  Table,        // 8-bit codes c through a table of pixel values t (TTableMode)
  // The colour onto the destination pixels.
  Fill,         // color
  FillBlend,    // d == color skips, else Blend(d, color, level)
  FillAdd,      // AddSat(d, color)
  FillSub,      // SubSat(d, color)
  FillMask,     // m 0 skips, else Blend(d, color, m * level >> 8) (level 256: weight m); d == color
                // skips when asked
  // The colour laid over the destination pixels through a glyph's coverage m, the source being the
  // coverage c the pixels have so far (one byte a pixel, the text's coverage surface; the caller
  // updates it to CoverUnion(c, m) afterwards).
  Cover,        // m 0 skips, 255 writes the colour, else Blend(d, color, CoverWeight(c, m)); where c
                // is 255 the weight is m
  Count
};
constexpr size_t kOpCount = size_t(TOp::Count);

// What the Table operation does with t = table[c] (cut to the pixel's size). Codes equal to the
// key (when keyed) and codes below the threshold (signed) are skipped.
enum class TTableMode : uint8_t {
  Write,       // t
  Blend,       // d == t skips, else Blend(d, t, level)
  AddNonZero,  // only where t != 0 and d is below the full value (0xFFFF, or 0xFFFFFF at 32 bits)
  Add,         // AddSat(d, Scale(t, level))
};

// The switches are bytes (0 or 1), not bool: the compiler vectorises the reference rows over a
// copy of these arguments only then.
struct TOpArgs {
  uint32_t level = 255;  // weight or level: 0..255, 256 for "unscaled" where an operation allows it
  uint32_t color = 0;    // the fills' pixel value
  uint32_t key = 0;      // the colour key (Key always; Blend, Translucent, Add and Table when keyed)
  uint8_t keyed = 0;
  uint8_t skip_equal = 0;        // leave a destination pixel equal to the source (or colour)
  uint8_t skip_zero_weight = 0;  // MaskBlend: leave a pixel whose weight comes to 0
  TTableMode table_mode = TTableMode::Write;
  int32_t threshold = INT32_MIN;
  const uint32_t* table = nullptr;  // 256 entries (16 where the codes are nibbles)
};

// One row: n destination pixels from d; the source (pixels, codes, or nothing for fills) and the
// mask (or nullptr) are walked from their first values by `dir` (+1 or -1) values per pixel.
using TRowFn = void (*)(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& a);
// A block of rows: `rows` rows of n pixels as for TRowFn, each plane's next row `pitch` bytes on
// (a plane that is not read is nullptr). One call draws them all, with the operation's set-up
// done once and no call per row.
struct TBlock {
  uint8_t* d = nullptr;
  const uint8_t* s = nullptr;
  const uint8_t* m = nullptr;
  ptrdiff_t d_pitch = 0, s_pitch = 0, m_pitch = 0;
  int32_t n = 0, rows = 0, dir = 1;
};
using TBlockFn = void (*)(const TBlock& b, const TOpArgs& a);
// out[i] = pixel cols[i] of `row`: a stretched row's source pixels.
using TGatherFn = void (*)(uint8_t* out, const uint8_t* row, const int32_t* cols, int32_t n);
// A walk through the source in 16.16 steps: pixel i is at column (u + i du) >> 16 and row
// (v + i dv) >> 16 (both never negative).
struct TWalk {
  int64_t u = 0, v = 0, du = 0, dv = 0;
};
using TWalkFn = void (*)(uint8_t* out, const uint8_t* base, ptrdiff_t pitch, const TWalk& w, int32_t n);

// Plain arrays, and the instruction-set files index them directly: code they compile for their
// instruction set must not be shared with the rest of the program through inline functions.
struct TPixelOps {
  TRowFn rows[kOpCount][kFormatCount] = {};
  TBlockFn blocks[kOpCount][kFormatCount] = {};  // the same rows a block at a time
  TGatherFn gathers[5] = {};  // by bytes per pixel, 1..4
  TWalkFn walks[5] = {};      // by bytes per pixel, 1..4

  TRowFn Row(TOp op, TFormat f) const { return rows[size_t(op)][size_t(f)]; }
  TBlockFn Block(TOp op, TFormat f) const { return blocks[size_t(op)][size_t(f)]; }
};

// The reference table, and the tables of the instruction sets (each the reference with the
// entries it speeds up replaced).
const TPixelOps& ScalarPixelOps();
const TPixelOps& Sse2PixelOps();
const TPixelOps& Avx2PixelOps();
// The table of a level, and of the active level.
const TPixelOps& PixelOps(TSimdLevel level);
const TPixelOps& PixelOps();

}  // namespace kova::pixels
