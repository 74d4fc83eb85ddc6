// The device-independent bitmap under every memory surface: 1, 4, 8, 16, 24 or 32 bits per pixel
// with a 256-entry colour table, rows kept bottom-up, BMP files, depth conversion and three
// whole-image effects. Copies are deep: changing one bitmap never changes another.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/byte_buffer.h"
#include "core/stream.h"
#include "graphics/pixel_format.h"
#include "graphics/pixel_view.h"

namespace kova {

using TColorTable = std::array<TRGBQuad, 256>;

// The colour table of an empty bitmap: entry i is grey i.
const TColorTable& GreyColorTable();

class TDIB {
 public:
  TDIB();
  TDIB(const TDIB& other);
  TDIB& operator=(const TDIB& other);
  TDIB(TDIB&&) noexcept = default;
  TDIB& operator=(TDIB&&) noexcept = default;
  virtual ~TDIB() = default;

  // Nothing when width, height, bit count and the requested pixel format all equal the current
  // ones; with width >= 1 and height >= 1 a new image (current colour table, requested pixel
  // format, pixels 0); otherwise Clear. Raises EDIBError for a bit count other than 1, 4, 8, 16,
  // 24, 32 or a requested format that does not fit it; the bitmap is then unchanged.
  void SetSize(int32_t width, int32_t height, int32_t bit_count);
  // Back to the empty bitmap (0 x 0, grey colour table, 8-8-8 format).
  virtual void Clear();
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  // Converts the pixels to another depth (palettes of 1, 4 and 8 bits get a black-and-white,
  // 1-2-1 or 3-3-2 colour cube when reduced from a deeper or richer picture).
  void SetBitCount(int32_t bit_count);

  bool Empty() const { return width_ == 0 || height_ == 0; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bit_count_; }
  int32_t WidthBytes() const { return width_bytes_; }
  // Signed byte step from a row to the one below it (negative: rows are stored bottom-up).
  ptrdiff_t NextLine() const { return -ptrdiff_t(width_bytes_); }
  size_t Size() const { return size_t(width_bytes_) * size_t(height_); }
  // 2 to the bit count at 8 bits or fewer, else 0.
  int32_t PaletteCount() const { return bit_count_ >= 1 && bit_count_ <= 8 ? 1 << bit_count_ : 0; }

  // The format of the pixels held, and the one the next re-make uses.
  const TDIBPixelFormat& NowPixelFormat() const { return now_format_; }
  TDIBPixelFormat PixelFormat;

  // The colour table; changes take effect at once.
  TColorTable& ColorTable() { return color_table_; }
  const TColorTable& ColorTable() const { return color_table_; }

  // Address of row y (0 = top); raises EDIBError with the index outside 0..Height-1.
  uint8_t* RowAddress(int32_t y);
  const uint8_t* RowAddress(int32_t y) const;
  // The bottom row (start of the pixel memory) and the top row.
  uint8_t* PixelData() { return bits_.get(); }
  const uint8_t* PixelData() const { return bits_.get(); }
  uint8_t* TopRow() { return Empty() ? nullptr : bits_.get() + size_t(height_ - 1) * width_bytes_; }
  const uint8_t* TopRow() const { return const_cast<TDIB*>(this)->TopRow(); }

  // Raw pixel values (palette index or packed colour); 0 / nothing outside the image.
  uint32_t GetPixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, uint32_t value);

  // A view of the pixels; at 16 bits its depth is 15 for the 5-5-5 format.
  TPixelView View();
  TPixelView View() const { return const_cast<TDIB*>(this)->View(); }

  // None: Clear; else a copy of the source's image.
  void Assign(const TDIB* source);

  // BMP files. Loading reads a file header and an image at the stream's position (nothing left
  // to read leaves the bitmap unchanged); failures raise EDIBError and keep the previous image.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& host_path);
  // A BMP file written through a replacing file (core/replace_file.h).
  void SaveToFile(const std::string& host_path) const;

  // Whole-image effects, re-making the bitmap at `bit_count`.
  void Greyscale(int32_t bit_count);
  void Blur(int32_t bit_count, int32_t amount);
  void Negative();

 protected:
  // Makes the image; `zero` clears the pixels (loaders that fill every byte skip it).
  void MakeImage(int32_t width, int32_t height, int32_t bit_count, const TDIBPixelFormat& format,
                 bool zero);
  // The format a re-make at `bit_count` uses: the requested one when it fits, else the default
  // format of the depth (5-5-5 at 16 bits, 8-8-8 otherwise).
  TDIBPixelFormat FormatFor(int32_t bit_count) const;
  // The rest of a BMP file after its file header (which began at `file_start`).
  void ReadBmp(TStream& stream, int64_t file_start, uint32_t pixel_offset);

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bit_count_ = 0;
  int32_t width_bytes_ = 0;
  TDIBPixelFormat now_format_;
  TColorTable color_table_;
  TByteBuffer bits_;
  size_t capacity_ = 0;
};

// Bytes of one stored row: whole 32-bit words.
constexpr int64_t DibWidthBytes(int64_t width, int64_t bit_count) { return (width * bit_count + 31) / 32 * 4; }
// True when `format` may hold pixels of `bit_count` bits.
bool PixelFormatFits(const TDIBPixelFormat& format, int32_t bit_count);

}  // namespace kova
