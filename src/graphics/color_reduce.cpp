#include "graphics/color_reduce.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace kova {
namespace {

int32_t EntryLimit(uint8_t max_index, int32_t bits) {
  const int32_t wanted = (max_index == 0 ? 255 : max_index) + 1;
  return std::min(wanted, 1 << bits);
}

void SetEntry(TFastDIB& dst, int32_t i, uint32_t rgb) {
  dst.Colors[size_t(i)] = {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16), 0};
}

// Serpentine Floyd-Steinberg over the source's colours. `quantise(x, y, v)` receives the corrected
// channels (0..255, red first), writes the pixel and returns the colour it stands for as $RRGGBB.
template <class Quantise>
void Diffuse(const TFastDIB& src, Quantise quantise) {
  const int32_t w = src.Width, h = src.Height;
  if (w <= 0 || h <= 0) return;
  std::vector<int32_t> a(size_t(w + 2) * 3), b(size_t(w + 2) * 3);
  int32_t* cur = a.data();
  int32_t* next = b.data();
  auto load = [&](int32_t* buf, int32_t y) {
    std::fill(buf, buf + size_t(w + 2) * 3, 0);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = src.PixelRgb(y, x);
      buf[(x + 1) * 3 + 0] = int32_t(c >> 16 & 0xFF) * 16;
      buf[(x + 1) * 3 + 1] = int32_t(c >> 8 & 0xFF) * 16;
      buf[(x + 1) * 3 + 2] = int32_t(c & 0xFF) * 16;
    }
  };
  load(cur, 0);
  for (int32_t y = 0; y < h; ++y) {
    if (y + 1 < h) {
      load(next, y + 1);
    } else {
      std::fill(next, next + size_t(w + 2) * 3, 0);
    }
    const int32_t dir = (y & 1) ? -1 : 1;
    for (int32_t k = 0; k < w; ++k) {
      const int32_t x = dir > 0 ? k : w - 1 - k;
      int32_t v[3];
      for (int c = 0; c < 3; ++c) v[c] = std::clamp(cur[(x + 1) * 3 + c] / 16, 0, 255);
      const uint32_t q = quantise(x, y, v);
      const int32_t qc[3] = {int32_t(q >> 16 & 0xFF), int32_t(q >> 8 & 0xFF), int32_t(q & 0xFF)};
      for (int c = 0; c < 3; ++c) {
        const int32_t e = v[c] - qc[c];
        cur[(x + 1 + dir) * 3 + c] += e * 7;
        next[(x + 1 - dir) * 3 + c] += e * 3;
        next[(x + 1) * 3 + c] += e * 5;
        next[(x + 1 + dir) * 3 + c] += e;
      }
    }
    std::swap(cur, next);
  }
}

void Put16(TFastDIB& dst, int32_t y, int32_t x, uint32_t v) {
  const uint16_t w = uint16_t(v);
  std::memcpy(dst.Scanline(y) + 2 * x, &w, 2);
}

// Truncation to the channel widths through three tables.
void Plain16(TFastDIB& dst, const TFastDIB& src) {
  uint32_t rt[256], gt[256], bt[256];
  for (uint32_t v = 0; v < 256; ++v) {
    rt[v] = (v >> dst.RShr) << dst.RPos;
    gt[v] = (v >> dst.GShr) << dst.GPos;
    bt[v] = (v >> dst.BShr) << dst.BPos;
  }
  for (int32_t y = 0; y < dst.Height; ++y)
    for (int32_t x = 0; x < dst.Width; ++x) {
      const uint32_t c = src.PixelRgb(y, x);
      Put16(dst, y, x, rt[c >> 16 & 0xFF] | gt[c >> 8 & 0xFF] | bt[c & 0xFF]);
    }
}

// One channel of the dithered 16-bit conversion: the top bits, raised by one step when the dropped
// bits are at least half a step (and the top is not yet full).
uint32_t Quantise(int32_t v, int32_t shr) {
  const int32_t width = 8 - shr;
  int32_t q = v >> shr;
  if ((v & ((1 << shr) - 1)) > (1 << shr) / 2 - 1 && q < (1 << width) - 1) ++q;
  return uint32_t(q);
}

void Dithered16(TFastDIB& dst, const TFastDIB& src) {
  Diffuse(src, [&](int32_t x, int32_t y, const int32_t* v) {
    const uint32_t qr = Quantise(v[0], dst.RShr), qg = Quantise(v[1], dst.GShr), qb = Quantise(v[2], dst.BShr);
    Put16(dst, y, x, qr << dst.RPos | qg << dst.GPos | qb << dst.BPos);
    return (qr << dst.RShr) << 16 | (qg << dst.GShr) << 8 | (qb << dst.BShr);
  });
}

void Plain24(TFastDIB& dst, const TFastDIB& src) {
  for (int32_t y = 0; y < dst.Height; ++y) {
    uint8_t* row = dst.Scanline(y);
    for (int32_t x = 0; x < dst.Width; ++x) {
      const uint32_t c = src.PixelRgb(y, x);
      row[3 * x] = uint8_t(c);
      row[3 * x + 1] = uint8_t(c >> 8);
      row[3 * x + 2] = uint8_t(c >> 16);
    }
  }
}

void Plain32(TFastDIB& dst, const TFastDIB& src) {
  for (int32_t y = 0; y < dst.Height; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(dst.Scanline(y));
    for (int32_t x = 0; x < dst.Width; ++x) row[x] = src.PixelRgb(y, x);
  }
}

// Colours numbered in order of first appearance (rows from the top, pixels from the left).
void DirectIndexed(TFastDIB& dst, const TFastDIB& src) {
  std::unordered_map<uint32_t, uint8_t> index;
  const int32_t limit = 1 << dst.Bpp;
  uint32_t last_color = 0xFFFFFFFF;
  uint8_t last_index = 0;
  for (int32_t y = 0; y < dst.Height; ++y)
    for (int32_t x = 0; x < dst.Width; ++x) {
      const uint32_t c = src.PixelRgb(y, x);
      if (c != last_color) {
        auto it = index.find(c);
        if (it == index.end()) {
          const int32_t next = int32_t(index.size());
          const uint8_t i = uint8_t(next < limit ? next : limit - 1);
          if (next < limit) SetEntry(dst, i, c);
          it = index.emplace(c, i).first;
        }
        last_color = c;
        last_index = it->second;
      }
      dst.SetPixels8(y, x, last_index);
    }
}

// Entry 0 is the first pixel's colour, entry 1 the first colour that differs from it; pixels of
// the entry-1 colour get bit 1. A single colour fills both entries and every bit stays 0.
void Direct1(TFastDIB& dst, const TFastDIB& src) {
  if (dst.Width <= 0 || dst.Height <= 0) return;
  const uint32_t first = src.PixelRgb(0, 0);
  uint32_t second = first;
  bool found = false;
  for (int32_t y = 0; y < dst.Height && !found; ++y)
    for (int32_t x = 0; x < dst.Width && !found; ++x) {
      const uint32_t c = src.PixelRgb(y, x);
      if (c != first) {
        second = c;
        found = true;
      }
    }
  SetEntry(dst, 0, first);
  SetEntry(dst, 1, second);
  for (int32_t y = 0; y < dst.Height; ++y)
    for (int32_t x = 0; x < dst.Width; ++x)
      dst.SetPixels8(y, x, found && src.PixelRgb(y, x) == second ? 1 : 0);
}

int32_t Cell(uint32_t rgb) { return int32_t((rgb >> 19 & 31) << 11 | (rgb >> 10 & 63) << 5 | (rgb >> 3 & 31)); }

struct TBox {
  int32_t lo[3], hi[3];  // red 0..31, green 0..63, blue 0..31
};

void Shrink(TBox& box, const std::vector<uint8_t>& marked) {
  TBox out{{32, 64, 32}, {-1, -1, -1}};
  for (int32_t r = box.lo[0]; r <= box.hi[0]; ++r)
    for (int32_t g = box.lo[1]; g <= box.hi[1]; ++g) {
      const uint8_t* run = marked.data() + (r << 11 | g << 5);
      for (int32_t b = box.lo[2]; b <= box.hi[2]; ++b) {
        if (!run[b]) continue;
        out.lo[0] = std::min(out.lo[0], r);
        out.hi[0] = std::max(out.hi[0], r);
        out.lo[1] = std::min(out.lo[1], g);
        out.hi[1] = std::max(out.hi[1], g);
        out.lo[2] = std::min(out.lo[2], b);
        out.hi[2] = std::max(out.hi[2], b);
      }
    }
  box = out;
}

// The median-cut palette of the 5-6-5 cells that the picture uses, mapped into the 8-bit `work`
// image (one index per pixel) with or without error diffusion. Returns the entry count.
int32_t BuildPalette(TFastDIB& work, const TFastDIB& src, bool dither, int32_t max_entries) {
  const int32_t w = src.Width, h = src.Height;
  std::vector<uint8_t> marked(65536, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) marked[size_t(Cell(src.PixelRgb(y, x)))] = 1;

  std::vector<TBox> boxes;
  boxes.push_back(TBox{{0, 0, 0}, {31, 63, 31}});
  Shrink(boxes[0], marked);
  if (boxes[0].hi[0] < 0) return 0;
  while (int32_t(boxes.size()) < max_entries) {
    int32_t best_box = -1, best_axis = 0, best_extent = 1;
    for (int32_t i = 0; i < int32_t(boxes.size()); ++i)
      for (int32_t axis = 0; axis < 3; ++axis) {
        const int32_t extent = boxes[size_t(i)].hi[axis] - boxes[size_t(i)].lo[axis];
        if (extent > best_extent) {
          best_extent = extent;
          best_box = i;
          best_axis = axis;
        }
      }
    if (best_box < 0) break;
    TBox& chosen = boxes[size_t(best_box)];
    TBox upper = chosen;
    const int32_t mid = (chosen.lo[best_axis] + chosen.hi[best_axis]) >> 1;
    chosen.hi[best_axis] = mid;
    upper.lo[best_axis] = mid + 1;
    Shrink(chosen, marked);
    Shrink(upper, marked);
    boxes.push_back(upper);
  }
  const int32_t count = int32_t(boxes.size());
  std::vector<uint32_t> palette(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const TBox& b = boxes[size_t(i)];
    palette[size_t(i)] = uint32_t((b.lo[0] + b.hi[0]) * 4) << 16 | uint32_t((b.lo[1] + b.hi[1]) * 2) << 8 |
                         uint32_t((b.lo[2] + b.hi[2]) * 4);
    SetEntry(work, i, palette[size_t(i)]);
  }

  constexpr uint16_t kUnset = 0xFFFF;
  std::vector<uint16_t> map(65536, kUnset);
  for (int32_t i = 0; i < count; ++i) {
    const TBox& b = boxes[size_t(i)];
    for (int32_t r = b.lo[0]; r <= b.hi[0]; ++r)
      for (int32_t g = b.lo[1]; g <= b.hi[1]; ++g)
        for (int32_t bl = b.lo[2]; bl <= b.hi[2]; ++bl) map[size_t(r << 11 | g << 5 | bl)] = uint16_t(i);
  }
  if (!dither) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) work.SetPixels8(y, x, uint8_t(map[size_t(Cell(src.PixelRgb(y, x)))]));
    return count;
  }
  Diffuse(src, [&](int32_t x, int32_t y, const int32_t* v) {
    const uint32_t rgb = uint32_t(v[0]) << 16 | uint32_t(v[1]) << 8 | uint32_t(v[2]);
    uint16_t& slot = map[size_t(Cell(rgb))];
    if (slot == kUnset) {
      int32_t best = count - 1, best_d = 0x7FFFFFFF;
      for (int32_t i = count - 1; i >= 0; --i) {
        const uint32_t p = palette[size_t(i)];
        const int32_t dr = v[0] - int32_t(p >> 16 & 0xFF), dg = v[1] - int32_t(p >> 8 & 0xFF),
                      db = v[2] - int32_t(p & 0xFF);
        const int32_t d = dr * dr + dg * dg + db * db;
        if (d < best_d) {
          best_d = d;
          best = i;
        }
      }
      slot = uint16_t(best);
    }
    work.SetPixels8(y, x, uint8_t(slot));
    return palette[slot];
  });
  return count;
}

// Palette builder into an 8-bit work image, then packed into the target's depth.
void ViaPalette(TFastDIB& dst, const TFastDIB& src, bool dither, int32_t max_entries) {
  if (dst.Bpp == 8) {
    BuildPalette(dst, src, dither, max_entries);
    return;
  }
  TFastDIB work;
  work.SetSize(src.Width, src.Height, 0, 8);
  BuildPalette(work, src, dither, max_entries);
  for (int32_t i = 0; i < (1 << dst.Bpp); ++i) dst.Colors[size_t(i)] = work.Colors[size_t(i)];
  for (int32_t y = 0; y < dst.Height; ++y)
    for (int32_t x = 0; x < dst.Width; ++x) dst.SetPixels8(y, x, work.Pixels8(y, x));
}

}  // namespace

void FastQuant(TFastDIB& dst, const TFastDIB& src, bool dither, uint8_t max_index) {
  if (dst.Width != src.Width || dst.Height != src.Height) return;
  switch (dst.Bpp) {
    case 1:
      if (src.ColorCount() < 3) {
        Direct1(dst, src);
      } else {
        ViaPalette(dst, src, dither, EntryLimit(2, 1));
      }
      break;
    case 4: {
      const int32_t limit = EntryLimit(max_index, 4);
      if (src.Bpp != 8 && src.ColorCount() <= limit) {
        DirectIndexed(dst, src);
      } else {
        ViaPalette(dst, src, dither, limit);
      }
      break;
    }
    case 8: {
      const int32_t limit = EntryLimit(max_index, 8);
      if (src.ColorCount() <= limit) {
        DirectIndexed(dst, src);
      } else {
        ViaPalette(dst, src, dither, limit);
      }
      break;
    }
    case 16:
      if (dither && (src.Bpp == 24 || src.Bpp == 32)) {
        Dithered16(dst, src);
      } else {
        Plain16(dst, src);
      }
      break;
    case 24: Plain24(dst, src); break;
    case 32: Plain32(dst, src); break;
    default: break;
  }
}

}  // namespace kova
