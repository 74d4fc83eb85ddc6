#include "graphics/dib.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/graphics_errors.h"

namespace kova {

const TColorTable& GreyColorTable() {
  static const TColorTable table = [] {
    TColorTable t;
    for (int i = 0; i < 256; ++i) t[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return t;
  }();
  return table;
}

bool PixelFormatFits(const TDIBPixelFormat& f, int32_t bit_count) {
  if (bit_count == 16) {
    return f.BBitMask == 0x1F && ((f.RBitMask == 0x7C00 && f.GBitMask == 0x3E0) ||
                                  (f.RBitMask == 0xF800 && f.GBitMask == 0x7E0));
  }
  return f.RBitMask == 0xFF0000 && f.GBitMask == 0xFF00 && f.BBitMask == 0xFF;
}

TDIB::TDIB() : PixelFormat(kFormat888), now_format_(kFormat888), color_table_(GreyColorTable()) {}

TDIB::TDIB(const TDIB& other)
    : PixelFormat(other.PixelFormat),
      width_(other.width_),
      height_(other.height_),
      bit_count_(other.bit_count_),
      width_bytes_(other.width_bytes_),
      now_format_(other.now_format_),
      color_table_(other.color_table_) {
  if (other.bits_) {
    capacity_ = other.Size();
    bits_ = AllocateBytes(capacity_);
    std::memcpy(bits_.get(), other.bits_.get(), capacity_);
  }
}

TDIB& TDIB::operator=(const TDIB& other) {
  if (this != &other) {
    TDIB copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void TDIB::MakeImage(int32_t width, int32_t height, int32_t bit_count, const TDIBPixelFormat& format,
                     bool zero) {
  switch (bit_count) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      if (!PixelFormatFits(format, bit_count)) Raise<EDIBError>(TMsg::DibInvalidPixelFormat);
      break;
    default: Raise<EDIBError>(TMsg::DibInvalidBitCount, int(bit_count));
  }
  const int64_t wb = DibWidthBytes(width, bit_count);
  const int64_t size = wb * height;
  if (wb > 0x7FFFFFFF || size > (int64_t(1) << 40)) Raise<EDIBError>(TMsg::DibCannotCreate, "DIB");
  bool zeroed = false;  // new bytes known to be zero (not written: fresh pages stay untouched)
  if (!bits_ || capacity_ < size_t(size) || capacity_ > 2 * size_t(size) + 4096) {
    try {
      bits_ = zero ? AllocateZeroed(size_t(size)) : AllocateBytes(size_t(size));
    } catch (const std::bad_alloc&) {
      Raise<EDIBError>(TMsg::DibCannotCreate, "DIB");
    }
    capacity_ = size_t(size);
    zeroed = zero;
  }
  if (zero && !zeroed) std::memset(bits_.get(), 0, size_t(size));
  width_ = width;
  height_ = height;
  bit_count_ = bit_count;
  width_bytes_ = int32_t(wb);
  now_format_ = format;
  PixelFormat = format;
}

void TDIB::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  if (width == width_ && height == height_ && bit_count == bit_count_ && PixelFormat == now_format_) return;
  if (width < 1 || height < 1) {
    Clear();
    return;
  }
  MakeImage(width, height, bit_count, PixelFormat, true);
}

void TDIB::Clear() {
  width_ = height_ = bit_count_ = width_bytes_ = 0;
  bits_.reset();
  capacity_ = 0;
  now_format_ = PixelFormat = kFormat888;
  color_table_ = GreyColorTable();
}

void TDIB::SetWidth(int32_t width) {
  if (width < 1) return Clear();
  if (Empty()) return SetSize(width, std::max(height_, 1), 8);
  SetSize(width, height_, bit_count_);
}

void TDIB::SetHeight(int32_t height) {
  if (height < 1) return Clear();
  if (Empty()) return SetSize(std::max(width_, 1), height, 8);
  SetSize(width_, height, bit_count_);
}

TDIBPixelFormat TDIB::FormatFor(int32_t bit_count) const {
  if (PixelFormatFits(PixelFormat, bit_count)) return PixelFormat;
  return bit_count == 16 ? kFormat555 : kFormat888;
}

namespace {

// Entry i of a colour cube whose index bits split into red, green and blue fields (red highest).
TColorTable ColorCube(int32_t r_bits, int32_t g_bits, int32_t b_bits) {
  TColorTable t{};
  const int32_t n = 1 << (r_bits + g_bits + b_bits);
  auto scale = [](int32_t field, int32_t bits) { return uint8_t(field * 255 / ((1 << bits) - 1)); };
  for (int32_t i = 0; i < n; ++i) {
    int32_t b = i & ((1 << b_bits) - 1);
    int32_t g = (i >> b_bits) & ((1 << g_bits) - 1);
    int32_t r = i >> (b_bits + g_bits);
    t[size_t(i)] = {scale(b, b_bits), scale(g, g_bits), scale(r, r_bits), 0};
  }
  return t;
}

}  // namespace

void TDIB::SetBitCount(int32_t bit_count) {
  if (bit_count < 1) return Clear();
  if (Empty()) return SetSize(std::max(width_, 1), std::max(height_, 1), bit_count);
  const TDIBPixelFormat format = FormatFor(bit_count);
  if (bit_count == bit_count_ && format == now_format_) return;
  const TDIB old(*this);
  const int32_t old_bits = old.bit_count_;
  MakeImage(width_, height_, bit_count, format, true);
  if (old_bits <= 8 && bit_count <= 8 && bit_count >= old_bits) {
    for (int32_t y = 0; y < height_; ++y) {
      const uint8_t* s = old.RowAddress(y);
      uint8_t* d = RowAddress(y);
      for (int32_t x = 0; x < width_; ++x) WriteViewPixel(d, x, bit_count, ReadViewPixel(s, x, old_bits));
    }
    return;
  }
  if (bit_count <= 8) {
    if (bit_count == 1) {
      color_table_ = TColorTable{};
      color_table_[1] = {255, 255, 255, 0};
    } else {
      color_table_ = bit_count == 4 ? ColorCube(1, 2, 1) : ColorCube(3, 3, 2);
    }
  }
  ConvertBlit(View(), View().Bounds(), old.View(), old.View().Bounds());
}

uint8_t* TDIB::RowAddress(int32_t y) {
  if (y < 0 || y >= height_) Raise<EDIBError>(TMsg::DibScanlineRange, int(y));
  return TopRow() - ptrdiff_t(y) * width_bytes_;
}

const uint8_t* TDIB::RowAddress(int32_t y) const { return const_cast<TDIB*>(this)->RowAddress(y); }

uint32_t TDIB::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return ReadViewPixel(TopRow() - ptrdiff_t(y) * width_bytes_, x, bit_count_);
}

void TDIB::SetPixel(int32_t x, int32_t y, uint32_t value) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  WriteViewPixel(TopRow() - ptrdiff_t(y) * width_bytes_, x, bit_count_, value);
}

TPixelView TDIB::View() {
  TPixelView v;
  if (Empty()) return v;
  v.Bits = TopRow();
  v.Pitch = NextLine();
  v.Width = width_;
  v.Height = height_;
  v.BitCount = bit_count_ == 16 && now_format_.GBitMask == 0x3E0 ? 15 : bit_count_;
  if (bit_count_ <= 8) {
    v.Palette = color_table_.data();
    v.PaletteCount = PaletteCount();
  }
  return v;
}

void TDIB::Assign(const TDIB* source) {
  if (!source) return Clear();
  if (source != this) *this = *source;
}

}  // namespace kova
