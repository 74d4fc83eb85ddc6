// Whole-image effects of a bitmap: greyscale, box blur and negative.
#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/dib.h"

namespace kova {
namespace {

// The colours of every pixel as $RRGGBB, top row first.
std::vector<uint32_t> PixelColors(const TDIB& dib) {
  const TPixelView view = dib.View();
  std::vector<uint32_t> out(size_t(dib.Width()) * size_t(dib.Height()));
  for (int32_t y = 0; y < view.Height; ++y) {
    const uint8_t* row = view.Row(y);
    uint32_t* o = out.data() + size_t(y) * size_t(view.Width);
    for (int32_t x = 0; x < view.Width; ++x) o[x] = ViewPixelToRgb(view, ReadViewPixel(row, x, view.BitCount));
  }
  return out;
}

// 2^bits greys: the index's bits repeated down to bit 0, so the last entry is white.
void SetGreyTable(TColorTable& table, int32_t bits) {
  for (int32_t i = 0; i < (1 << bits); ++i) {
    uint32_t v = uint32_t(i) << (8 - bits);
    for (int32_t s = bits; s < 8; s += bits) v |= v >> s;
    table[size_t(i)] = {uint8_t(v), uint8_t(v), uint8_t(v), 0};
  }
}

// Writes a pixel of grey level `grey` (or, above 8 bits, of the given channels).
void PutGrey(TPixelView& view, const TDIBPixelFormat& format, uint8_t* row, int32_t x, uint32_t r,
             uint32_t g, uint32_t b) {
  switch (view.BitCount) {
    case 1: WriteViewPixel(row, x, 1, r >= 128 ? 1 : 0); break;
    case 4: WriteViewPixel(row, x, 4, r >> 4); break;
    case 8: row[x] = uint8_t(r); break;
    default: WriteViewPixel(row, x, view.BitCount, PackPixel(format, r, g, b)); break;
  }
}

}  // namespace

void TDIB::Greyscale(int32_t bit_count) {
  if (Empty()) return;
  const std::vector<uint32_t> colors = PixelColors(*this);
  MakeImage(width_, height_, bit_count, FormatFor(bit_count), true);
  if (bit_count <= 8) SetGreyTable(color_table_, bit_count);
  uint8_t red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) {
    red[i] = uint8_t(std::nearbyint(i * 0.3588));
    green[i] = uint8_t(std::nearbyint(i * 0.402));
    blue[i] = uint8_t(std::nearbyint(i * 0.2392));
  }
  TPixelView view = View();
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = view.Row(y);
    const uint32_t* c = colors.data() + size_t(y) * size_t(width_);
    for (int32_t x = 0; x < width_; ++x) {
      uint32_t grey = uint32_t(red[c[x] >> 16 & 0xFF]) + green[c[x] >> 8 & 0xFF] + blue[c[x] & 0xFF];
      PutGrey(view, now_format_, row, x, grey, grey, grey);
    }
  }
}

void TDIB::Blur(int32_t bit_count, int32_t amount) {
  if (Empty() || amount == 0) return;
  const int64_t a64 = amount < 0 ? -int64_t(amount) : amount;
  const int32_t w = width_, h = height_;
  const int32_t a = int32_t(std::min<int64_t>(a64, std::max(w, h)));
  const std::vector<uint32_t> colors = PixelColors(*this);
  MakeImage(w, h, bit_count, FormatFor(bit_count), true);
  if (bit_count <= 8) SetGreyTable(color_table_, bit_count);
  TPixelView view = View();

  // Column sums of the rows inside the window, moved down one row at a time.
  std::vector<uint32_t> cr(size_t(w), 0), cg(size_t(w), 0), cb(size_t(w), 0);
  auto add_row = [&](int32_t y, int sign) {
    const uint32_t* c = colors.data() + size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) {
      cr[size_t(x)] += uint32_t(sign) * (c[x] >> 16 & 0xFF);
      cg[size_t(x)] += uint32_t(sign) * (c[x] >> 8 & 0xFF);
      cb[size_t(x)] += uint32_t(sign) * (c[x] & 0xFF);
    }
  };
  for (int32_t y = 0; y <= std::min(a, h - 1); ++y) add_row(y, 1);
  for (int32_t y = 0; y < h; ++y) {
    if (y > 0) {
      if (y + a < h) add_row(y + a, 1);
      if (y - a - 1 >= 0) add_row(y - a - 1, -1);
    }
    const int64_t rows = std::min(h - 1, y + a) - std::max(0, y - a) + 1;
    uint64_t sr = 0, sg = 0, sb = 0;
    for (int32_t x = 0; x <= std::min(a, w - 1); ++x) {
      sr += cr[size_t(x)];
      sg += cg[size_t(x)];
      sb += cb[size_t(x)];
    }
    uint8_t* row = view.Row(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint64_t count = uint64_t(rows * (std::min(w - 1, x + a) - std::max(0, x - a) + 1));
      if (bit_count <= 8) {
        uint32_t g = uint32_t((sr + sg + sb) / count / 3);
        PutGrey(view, now_format_, row, x, g, g, g);
      } else {
        PutGrey(view, now_format_, row, x, uint32_t(sr / count), uint32_t(sg / count), uint32_t(sb / count));
      }
      if (x + a + 1 < w) {
        sr += cr[size_t(x + a + 1)];
        sg += cg[size_t(x + a + 1)];
        sb += cb[size_t(x + a + 1)];
      }
      if (x - a >= 0) {
        sr -= cr[size_t(x - a)];
        sg -= cg[size_t(x - a)];
        sb -= cb[size_t(x - a)];
      }
    }
  }
}

void TDIB::Negative() {
  if (Empty()) return;
  if (bit_count_ > 8) {
    uint8_t* p = PixelData();
    const size_t n = Size();
    for (size_t i = 0; i < n; ++i) p[i] = uint8_t(~p[i]);
    return;
  }
  for (TRGBQuad& q : color_table_) {
    q.Red = uint8_t(~q.Red);
    q.Green = uint8_t(~q.Green);
    q.Blue = uint8_t(~q.Blue);
  }
}

}  // namespace kova
