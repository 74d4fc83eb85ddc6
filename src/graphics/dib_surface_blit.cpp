// The blits of the alpha surface: clipping, then one row routine per depth.
#include <algorithm>
#include <cstring>

#include "graphics/dib_surface.h"

namespace kova {
namespace {

// Cuts the source rectangle to the source's bounds (moving the destination with it) and then to
// the target's bounds. False when nothing is left.
bool ClipBlit(int32_t& x, int32_t& y, TRect& r, const TDIB& target, const TDIB& source) {
  int64_t l = r.Left, t = r.Top, rr = r.Right, b = r.Bottom, dx = x, dy = y;
  if (l < 0) { dx -= l; l = 0; }
  if (t < 0) { dy -= t; t = 0; }
  rr = std::min<int64_t>(rr, source.Width());
  b = std::min<int64_t>(b, source.Height());
  if (dx < 0) { l -= dx; dx = 0; }
  if (dy < 0) { t -= dy; dy = 0; }
  if (dx + (rr - l) > target.Width()) rr = l + (target.Width() - dx);
  if (dy + (b - t) > target.Height()) b = t + (target.Height() - dy);
  if (l >= rr || t >= b) return false;
  r = TRect{int32_t(l), int32_t(t), int32_t(rr), int32_t(b)};
  x = int32_t(dx);
  y = int32_t(dy);
  return true;
}

bool KeyMatches(uint32_t value, int64_t key) { return int64_t(value) == key; }

// The 4 x 4 ordered-dither patterns of the 16 translucency levels; bit 3 - column of each row.
constexpr uint8_t kDither[16][4] = {
    {0b1000, 0b0000, 0b0000, 0b0000}, {0b1000, 0b0000, 0b0010, 0b0000}, {0b1010, 0b0000, 0b0010, 0b0000},
    {0b1010, 0b0000, 0b1010, 0b0000}, {0b1010, 0b0100, 0b1010, 0b0000}, {0b1010, 0b0100, 0b1010, 0b0001},
    {0b1010, 0b0101, 0b1010, 0b0001}, {0b1010, 0b0101, 0b1010, 0b0101}, {0b1110, 0b0101, 0b1010, 0b0101},
    {0b1110, 0b0101, 0b1011, 0b0101}, {0b1111, 0b0101, 0b1011, 0b0101}, {0b1111, 0b0101, 0b1111, 0b0101},
    {0b1111, 0b1101, 0b1111, 0b0101}, {0b1111, 0b1101, 0b1111, 0b0111}, {0b1111, 0b1111, 0b1111, 0b0111},
    {0b1111, 0b1111, 0b1111, 0b1111}};

// Per-channel masks of the 16-bit formats.
struct TMasks16 {
  uint32_t r, g, b;
};
TMasks16 Masks16(int32_t storage) {
  return storage == 15 ? TMasks16{0x7C00, 0x3E0, 0x1F} : TMasks16{0xF800, 0x7E0, 0x1F};
}

// Blends one row of 32-bit pixels at opacity a (1..254): every byte (d (255 - a) + s a) >> 8, the
// top byte 0; source pixels equal to the key keep the target pixel. The byte loop and the select
// loop are kept apart so that both vectorise.
// Built twice (AVX2 and baseline) and chosen when the program loads; both give the same bytes.
__attribute__((target_clones("avx2", "default")))
void TranslucentRow32(uint32_t* __restrict d, const uint32_t* __restrict s, int32_t n, uint32_t a,
                      int64_t key) {
  constexpr int32_t kChunk = 256;
  alignas(16) uint8_t blended[kChunk * 4];
  const uint16_t wa = uint16_t(a), wd = uint16_t(255 - a);
  const bool keyed = key >= 0 && key <= 0xFFFFFFFF;
  const uint32_t k = uint32_t(key);
  for (int32_t base = 0; base < n; base += kChunk) {
    const int32_t m = std::min(kChunk, n - base);
    const uint8_t* __restrict sb = reinterpret_cast<const uint8_t*>(s + base);
    const uint8_t* __restrict db = reinterpret_cast<const uint8_t*>(d + base);
    for (int32_t i = 0; i < m * 4; ++i)
      blended[i] = uint8_t(uint16_t(uint16_t(db[i] * wd) + uint16_t(sb[i] * wa)) >> 8);
    uint32_t* __restrict dd = d + base;
    const uint32_t* __restrict ss = s + base;
    if (keyed) {
      for (int32_t i = 0; i < m; ++i) {
        uint32_t v;
        std::memcpy(&v, blended + 4 * i, 4);
        dd[i] = ss[i] == k ? dd[i] : (v & 0xFFFFFF);
      }
    } else {
      for (int32_t i = 0; i < m; ++i) {
        uint32_t v;
        std::memcpy(&v, blended + 4 * i, 4);
        dd[i] = v & 0xFFFFFF;
      }
    }
  }
}

// The two-lane blend of a 32-bit (or 24-bit) value with weight v.
inline uint32_t Blend2Lane(uint32_t d, uint32_t s, uint32_t v) {
  const uint32_t iv = 255 - v;
  return ((((d & 0xFF00FF) * iv + (s & 0xFF00FF) * v) >> 8) & 0xFF00FF) |
         ((((d & 0xFF00) * iv + (s & 0xFF00) * v) >> 8) & 0xFF00);
}

// One row through an alpha row at 32 bits: 0 keeps, 255 copies, else every byte
// (d (255 - v) + s v) >> 8 (the two-lane blend computed byte by byte), top byte 0. Chunks whose
// alpha is all 0 or all 255 are skipped or copied whole, chunks with few partial values go by groups of
// eight, skipping and copying; the others run three plain passes (spread the alpha over the bytes, blend the bytes,
// select) that the compiler vectorises.
__attribute__((target_clones("avx2", "default")))
void AlphaRow32(uint32_t* __restrict d, const uint32_t* __restrict s, const uint8_t* __restrict al,
                int32_t n) {
  constexpr int32_t kChunk = 64;
  alignas(16) uint32_t weight[kChunk];
  alignas(16) uint32_t blended[kChunk];
  for (int32_t base = 0; base < n; base += kChunk) {
    const int32_t m = std::min(kChunk, n - base);
    const uint8_t* __restrict a = al + base;
    uint32_t* __restrict dd = d + base;
    const uint32_t* __restrict ss = s + base;
    uint32_t any = 0, all = 0xFF;
    for (int32_t i = 0; i < m; ++i) {
      any |= a[i];
      all &= a[i];
    }
    if (any == 0) continue;
    if (all == 0xFF) {
      std::memcpy(dd, ss, size_t(m) * 4);
      continue;
    }
    int32_t partial = 0;
    for (int32_t i = 0; i < m; ++i) partial += a[i] != 0 && a[i] != 255;
    if (partial * 4 <= m) {
      // Mostly edges of opaque areas: pixel by pixel, skipping and copying.
      for (int32_t g = 0; g < m; g += 8) {
        const int32_t end = std::min(g + 8, m);
        uint64_t group = 0;
        if (end - g == 8) std::memcpy(&group, a + g, 8);
        if (end - g == 8 && group == 0) continue;
        if (end - g == 8 && group == ~uint64_t(0)) {
          std::memcpy(dd + g, ss + g, 32);
          continue;
        }
        for (int32_t i = g; i < end; ++i) {
          const uint32_t v = a[i];
          if (v == 0) continue;
          dd[i] = v == 255 ? ss[i] : Blend2Lane(dd[i], ss[i], v);
        }
      }
      continue;
    }
    for (int32_t i = 0; i < m; ++i) weight[i] = uint32_t(a[i]) * 0x01010101u;
    const uint8_t* __restrict sb = reinterpret_cast<const uint8_t*>(ss);
    const uint8_t* __restrict db = reinterpret_cast<const uint8_t*>(dd);
    const uint8_t* __restrict wb = reinterpret_cast<const uint8_t*>(weight);
    uint8_t* __restrict bb = reinterpret_cast<uint8_t*>(blended);
    for (int32_t j = 0; j < m * 4; ++j)
      bb[j] = uint8_t(uint16_t(uint16_t(db[j] * uint8_t(255 - wb[j])) + uint16_t(sb[j] * wb[j])) >> 8);
    for (int32_t i = 0; i < m; ++i) {
      const uint32_t keep = weight[i] == 0 ? 0xFFFFFFFFu : 0u;
      const uint32_t copy = weight[i] == 0xFFFFFFFFu ? 0xFFFFFFFFu : 0u;
      dd[i] = (dd[i] & keep) | (ss[i] & copy) | (blended[i] & 0xFFFFFFu & ~(keep | copy));
    }
  }
}

uint32_t Read24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
void Write24(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
}

}  // namespace

void TDIBSurface::Draw(int32_t x, int32_t y, const TDIBSurface& source) {
  Draw(x, y, TRect{0, 0, source.Width(), source.Height()}, source);
}

void TDIBSurface::Draw(int32_t x, int32_t y, const TRect& rect, const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return Draw(x, y, rect, copy);
  }
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  const int32_t w = r.Width();
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j);
    uint8_t* d = RowAddress(y + j);
    switch (bits) {
      case 1:
      case 4:
        for (int32_t i = 0; i < w; ++i) WriteViewPixel(d, x + i, bits, ReadViewPixel(s, r.Left + i, bits));
        break;
      case 8: std::memcpy(d + x, s + r.Left, size_t(w)); break;
      case 15:
      case 16: std::memcpy(d + 2 * x, s + 2 * r.Left, size_t(w) * 2); break;
      case 24: std::memcpy(d + 3 * x, s + 3 * r.Left, size_t(w) * 3); break;
      case 32: std::memcpy(d + 4 * x, s + 4 * r.Left, size_t(w) * 4); break;
      default: return;
    }
  }
}

void TDIBSurface::DrawKeyed(int32_t x, int32_t y, int64_t key, const TRect& rect, const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawKeyed(x, y, key, rect, copy);
  }
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  const int32_t w = r.Width();
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j);
    uint8_t* d = RowAddress(y + j);
    switch (bits) {
      case 1:
      case 4:
      case 8:
        for (int32_t i = 0; i < w; ++i) {
          uint32_t v = ReadViewPixel(s, r.Left + i, bits);
          if (!KeyMatches(v, key)) WriteViewPixel(d, x + i, bits, v);
        }
        break;
      case 15:
      case 16: {
        const uint16_t* ss = reinterpret_cast<const uint16_t*>(s) + r.Left;
        uint16_t* dd = reinterpret_cast<uint16_t*>(d) + x;
        if (key < 0 || key > 0xFFFF) {
          std::memcpy(dd, ss, size_t(w) * 2);
        } else {
          const uint16_t k = uint16_t(key);
          for (int32_t i = 0; i < w; ++i) dd[i] = ss[i] == k ? dd[i] : ss[i];
        }
        break;
      }
      case 24:
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t v = Read24(s + 3 * (r.Left + i));
          if (!KeyMatches(v, key)) Write24(d + 3 * (x + i), v);
        }
        break;
      case 32: {
        const uint32_t* ss = reinterpret_cast<const uint32_t*>(s) + r.Left;
        uint32_t* dd = reinterpret_cast<uint32_t*>(d) + x;
        if (key < 0 || key > 0xFFFFFFFF) {
          std::memcpy(dd, ss, size_t(w) * 4);
        } else {
          const uint32_t k = uint32_t(key);
          for (int32_t i = 0; i < w; ++i) dd[i] = ss[i] == k ? dd[i] : ss[i];
        }
        break;
      }
      default: return;
    }
  }
}

void TDIBSurface::DrawTranslucent(int32_t x, int32_t y, int32_t opacity, int64_t key, const TRect& rect,
                                  const TDIBSurface& source) {
  if (opacity == 0) return;
  const int32_t bits = StorageBitCount();
  if (opacity < 0 || opacity >= 255 || (bits <= 8 && opacity / 16 == 15))
    return DrawKeyed(x, y, key, rect, source);
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawTranslucent(x, y, opacity, key, rect, copy);
  }
  TRect r = rect;
  if (source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source)) return;
  const int32_t w = r.Width();
  const uint32_t a = uint32_t(opacity), ia = 255 - a;
  const int32_t level = opacity / 16;
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j);
    uint8_t* d = RowAddress(y + j);
    switch (bits) {
      case 1:
      case 4:
      case 8: {
        const uint8_t pattern = kDither[level][(y + j) & 3];
        for (int32_t i = 0; i < w; ++i) {
          if (!(pattern & (8 >> ((x + i) & 3)))) continue;
          const uint32_t v = ReadViewPixel(s, r.Left + i, bits);
          if (!KeyMatches(v, key)) WriteViewPixel(d, x + i, bits, v);
        }
        break;
      }
      case 15:
      case 16: {
        const TMasks16 m = Masks16(bits);
        const uint16_t* ss = reinterpret_cast<const uint16_t*>(s) + r.Left;
        uint16_t* dd = reinterpret_cast<uint16_t*>(d) + x;
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t sv = ss[i], dv = dd[i];
          if (KeyMatches(sv, key)) continue;
          dd[i] = uint16_t(((((dv & m.r) * ia + (sv & m.r) * a) / 255) & m.r) |
                           ((((dv & m.g) * ia + (sv & m.g) * a) / 255) & m.g) |
                           ((((dv & m.b) * ia + (sv & m.b) * a) / 255) & m.b));
        }
        break;
      }
      case 24: {
        const uint8_t* ss = s + 3 * r.Left;
        uint8_t* dd = d + 3 * x;
        for (int32_t i = 0; i < w; ++i, ss += 3, dd += 3) {
          if (key >= 0 && ss[0] == uint8_t(key) && ss[1] == uint8_t(key >> 8) && ss[2] == uint8_t(key >> 16))
            continue;
          for (int c = 0; c < 3; ++c) dd[c] = uint8_t((dd[c] * ia + ss[c] * a) / 255);
        }
        break;
      }
      case 32:
        TranslucentRow32(reinterpret_cast<uint32_t*>(d) + x, reinterpret_cast<const uint32_t*>(s) + r.Left, w,
                         a, key);
        break;
      default: return;
    }
  }
}

void TDIBSurface::DrawAlphaMask(int32_t x, int32_t y, int32_t opacity, const TRect& rect,
                                const TDIBSurface& source) {
  if (&source == this) {
    const TDIBSurface copy(source);
    return DrawAlphaMask(x, y, opacity, rect, copy);
  }
  const TDIBSurface* alpha = source.Alpha();
  TRect r = rect;
  const int32_t bits = StorageBitCount();
  if (!alpha || alpha->Width() != source.Width() || alpha->Height() != source.Height() ||
      source.StorageBitCount() != bits || !ClipBlit(x, y, r, *this, source))
    return;
  const int32_t w = r.Width();
  const uint32_t op = uint32_t(std::clamp(opacity, 0, 255));
  for (int32_t j = 0; j < r.Height(); ++j) {
    const uint8_t* s = source.RowAddress(r.Top + j);
    const uint8_t* al = alpha->RowAddress(r.Top + j) + r.Left;
    uint8_t* d = RowAddress(y + j);
    switch (bits) {
      case 1:
      case 4:
      case 8:
        for (int32_t i = 0; i < w; ++i)
          if (al[i] >= 128) WriteViewPixel(d, x + i, bits, ReadViewPixel(s, r.Left + i, bits));
        break;
      case 15:
      case 16: {
        const TMasks16 m = Masks16(bits);
        const uint16_t* ss = reinterpret_cast<const uint16_t*>(s) + r.Left;
        uint16_t* dd = reinterpret_cast<uint16_t*>(d) + x;
        for (int32_t i = 0; i < w; ++i) {
          const uint32_t v = al[i], iv = 255 - v, sv = ss[i], dv = dd[i];
          if (v == 0) continue;
          if (v == 255) {
            dd[i] = ss[i];
            continue;
          }
          dd[i] = uint16_t(((((dv & m.r) * iv + (sv & m.r) * v) >> 8) & m.r) |
                           ((((dv & m.g) * iv + (sv & m.g) * v) >> 8) & m.g) |
                           ((((dv & m.b) * iv + (sv & m.b) * v) >> 8) & m.b));
        }
        break;
      }
      case 24: {
        const uint8_t* ss = s + 3 * r.Left;
        uint8_t* dd = d + 3 * x;
        for (int32_t i = 0; i < w; ++i, ss += 3, dd += 3) {
          uint32_t v = al[i];
          if (op < 255) {
            v = v * op >> 8;
            if (v == 0) continue;
          } else {
            if (v == 0) continue;
            if (v == 255) {
              std::memcpy(dd, ss, 3);
              continue;
            }
          }
          Write24(dd, Blend2Lane(Read24(dd), Read24(ss), v));
        }
        break;
      }
      case 32:
        AlphaRow32(reinterpret_cast<uint32_t*>(d) + x, reinterpret_cast<const uint32_t*>(s) + r.Left, al, w);
        break;
      default: return;
    }
  }
}

}  // namespace kova
