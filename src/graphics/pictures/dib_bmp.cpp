// BMP files of a bitmap: a 14-byte file header, a 40-byte (or 12-byte OS/2 core) information
// header, bit-field masks, a colour table and the rows, bottom-up unless the height is negative;
// RLE8 and RLE4 rows are decoded as they load.
#include <cstring>
#include <vector>

#include "core/replace_file.h"
#include "core/stream.h"
#include "graphics/dib.h"
#include "graphics/graphics_errors.h"

namespace kova {
namespace {

// A few RLE codes can describe a bitmap of any size (an end-of-bitmap code leaves the rest blank),
// so RLE bitmaps are held to the picture sides of the layered format and to 16 MiB of pixels
// (4096 x 4096 at 8 bits), far beyond any screen of the games this player runs.
constexpr int64_t kMaxRleImageBytes = int64_t(16) << 20;
constexpr int32_t kMaxRleSide = 32767;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

[[noreturn]] void Invalid() { Raise<EDIBError>(TMsg::DibInvalid); }

void ReadExact(TStream& s, void* buffer, int64_t count) {
  if (count > 0 && s.Read(buffer, count) != count) Invalid();
}

void Skip(TStream& s, int64_t count) {
  if (count <= 0) return;
  if (count > s.Remaining()) Invalid();
  s.Seek(count, TSeekOrigin::Current);
}

struct TInfo {
  int32_t width = 0, height = 0;
  int32_t bit_count = 0;
  uint32_t compression = 0;
  uint32_t image_size = 0;
  uint32_t colors_used = 0;
  int32_t entry_size = 4;
};

// Writes the decoded pixels of an RLE8 (bits 8) or RLE4 (bits 4) stream into bottom-up rows.
void DecodeRle(const std::vector<uint8_t>& code, int32_t bits, TDIB& dib) {
  const int32_t width = dib.Width(), height = dib.Height();
  int32_t x = 0, y = 0;  // y counts rows from the bottom
  size_t i = 0;
  const size_t n = code.size();
  auto put = [&](uint32_t value) {
    if (x >= width || y >= height) Invalid();
    WriteViewPixel(dib.RowAddress(height - 1 - y), x, bits, value);
    ++x;
  };
  while (i < n) {
    if (n - i < 2) Invalid();
    const uint8_t count = code[i], value = code[i + 1];
    i += 2;
    if (count > 0) {
      for (int32_t k = 0; k < count; ++k) put(bits == 8 ? value : (k & 1 ? value & 0x0F : value >> 4));
      continue;
    }
    switch (value) {
      case 0:
        x = 0;
        ++y;
        break;
      case 1: return;
      case 2:
        if (n - i < 2) Invalid();
        x += code[i];
        y += code[i + 1];
        i += 2;
        break;
      default: {
        size_t bytes = bits == 8 ? value : (size_t(value) + 1) / 2;
        if (bytes & 1) ++bytes;
        if (n - i < bytes) Invalid();
        for (int32_t k = 0; k < value; ++k) {
          uint8_t b = code[i + (bits == 8 ? size_t(k) : size_t(k) / 2)];
          put(bits == 8 ? b : (k & 1 ? b & 0x0F : b >> 4));
        }
        i += bytes;
        break;
      }
    }
  }
}

}  // namespace

void TDIB::LoadFromStream(TStream& stream) {
  const int64_t file_start = stream.GetPosition();
  uint8_t fh[14];
  const int64_t got = stream.Read(fh, 14);
  if (got == 0) return;
  if (got < 14 || fh[0] != 'B' || fh[1] != 'M') Invalid();
  ReadBmp(stream, file_start, Le32(fh + 10));
}

void TDIB::ReadBmp(TStream& stream, int64_t file_start, uint32_t pixel_offset) {
  uint8_t h[40];
  const int64_t got = stream.Read(h, 4);
  if (got == 0) return Clear();
  if (got < 4) Invalid();
  TInfo info;
  const uint32_t header_size = Le32(h);
  if (header_size == 12) {
    ReadExact(stream, h + 4, 8);
    info.width = Le16(h + 4);
    info.height = Le16(h + 6);
    info.bit_count = Le16(h + 10);
    info.entry_size = 3;
  } else if (header_size == 40) {
    ReadExact(stream, h + 4, 36);
    info.width = int32_t(Le32(h + 4));
    info.height = int32_t(Le32(h + 8));
    info.bit_count = Le16(h + 14);
    info.compression = Le32(h + 16);
    info.image_size = Le32(h + 20);
    info.colors_used = Le32(h + 32);
  } else {
    Invalid();
  }

  TDIBPixelFormat format = info.bit_count == 16 ? kFormat555 : kFormat888;
  if (info.compression == 3) {
    uint8_t m[12];
    ReadExact(stream, m, 12);
    const uint32_t rm = Le32(m), gm = Le32(m + 4), bm = Le32(m + 8);
    format = MakeDIBPixelFormatFromMasks(rm, gm, bm);
    // Masks in another order than red, green, blue from the top would load with wrong colours.
    if (format.RBitMask != rm || format.GBitMask != gm || format.BBitMask != bm)
      Raise<EDIBError>(TMsg::DibInvalidPixelFormat);
  }
  switch (info.bit_count) {
    case 1: case 4: case 8: case 16: case 24: case 32:
      if (!PixelFormatFits(format, info.bit_count)) Raise<EDIBError>(TMsg::DibInvalidPixelFormat);
      break;
    default: Raise<EDIBError>(TMsg::DibInvalidBitCount, int(info.bit_count));
  }
  if (info.width < 1 || info.height == 0 || info.height == INT32_MIN) Invalid();
  const bool rle = info.compression == 1 || info.compression == 2;
  if (info.compression > 3 || (info.compression == 1 && info.bit_count != 8) ||
      (info.compression == 2 && info.bit_count != 4) || (rle && info.height < 0))
    Invalid();

  // Colour table: the header's count, or the full table at 8 bits or fewer; at most 256 kept.
  int64_t color_count = info.colors_used;
  if (color_count == 0 && info.bit_count <= 8) color_count = int64_t(1) << info.bit_count;
  TColorTable table = GreyColorTable();
  const int64_t kept = color_count > 256 ? 256 : color_count;
  if (kept * info.entry_size > stream.Remaining()) Invalid();
  if (kept > 0) {
    std::vector<uint8_t> raw(size_t(kept * info.entry_size));
    ReadExact(stream, raw.data(), int64_t(raw.size()));
    for (int64_t i = 0; i < kept; ++i) {
      const uint8_t* e = raw.data() + i * info.entry_size;
      table[size_t(i)] = {e[0], e[1], e[2], 0};
    }
  }
  Skip(stream, (color_count - kept) * info.entry_size);
  // Pixels start at the file header's offset when it points past the tables into the stream;
  // otherwise right after the tables.
  const int64_t here = stream.GetPosition();
  const int64_t at = file_start + int64_t(pixel_offset);
  if (at > here && at <= stream.GetSize()) stream.Seek(at, TSeekOrigin::Beginning);

  const int32_t rows = info.height < 0 ? -info.height : info.height;
  const int64_t row_bytes = DibWidthBytes(info.width, info.bit_count);
  const int64_t image_bytes = row_bytes * rows;
  if (!rle) {
    // Every size is checked against the bytes present, so the pixels are read in place (reusing
    // the pixel memory); only a stream that delivers less than it announced fails from here on,
    // and it leaves the bitmap empty.
    if (image_bytes > stream.Remaining()) Invalid();
    MakeImage(info.width, rows, info.bit_count, format, false);
    color_table_ = table;
    try {
      if (info.height > 0) {
        ReadExact(stream, PixelData(), image_bytes);
      } else {
        for (int32_t y = 0; y < rows; ++y) ReadExact(stream, RowAddress(y), row_bytes);
      }
    } catch (...) {
      Clear();
      throw;
    }
    return;
  }
  const int64_t coded = info.image_size == 0 ? stream.Remaining() : int64_t(info.image_size);
  if (coded > stream.Remaining() || image_bytes > kMaxRleImageBytes || info.width > kMaxRleSide ||
      rows > kMaxRleSide)
    Invalid();
  std::vector<uint8_t> code(static_cast<size_t>(coded));
  ReadExact(stream, code.data(), coded);
  TDIB img;
  img.color_table_ = table;
  img.MakeImage(info.width, rows, info.bit_count, format, true);
  DecodeRle(code, info.bit_count, img);
  *this = std::move(img);
}

void TDIB::SaveToStream(TStream& stream) const {
  if (Empty()) return;
  const bool masks = bit_count_ == 16 || bit_count_ == 32;
  const uint32_t header_size = 40 + (masks ? 12 : 0) + 4 * uint32_t(PaletteCount());
  std::vector<uint8_t> out;
  out.reserve(14 + header_size);
  auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  out.push_back('B');
  out.push_back('M');
  u32(uint32_t(header_size + 14 + Size()));
  u16(0);
  u16(0);
  u32(header_size + 14);
  u32(40);
  u32(uint32_t(width_));
  u32(uint32_t(height_));
  u16(1);
  u16(uint32_t(bit_count_));
  u32(masks ? 3 : 0);
  u32(uint32_t(Size()));
  u32(0);
  u32(0);
  u32(0);
  u32(0);
  if (masks) {
    u32(now_format_.RBitMask);
    u32(now_format_.GBitMask);
    u32(now_format_.BBitMask);
  }
  for (int32_t i = 0; i < PaletteCount(); ++i) {
    const TRGBQuad& q = color_table_[size_t(i)];
    out.insert(out.end(), {q.Blue, q.Green, q.Red, q.Reserved});
  }
  stream.WriteBuffer(out.data(), int64_t(out.size()));
  stream.WriteBuffer(PixelData(), int64_t(Size()));
}

void TDIB::LoadFromFile(const std::string& host_path) {
  TFileStream file(host_path, plat::TFileMode::Read);
  LoadFromStream(file);
}

// Through a replacing file: an existing picture (or a link in its place) is replaced only once
// the new one is whole on disk.
void TDIB::SaveToFile(const std::string& host_path) const {
  TReplacingFile file(host_path);
  SaveToStream(file.Stream());
  file.Commit();
}

}  // namespace kova
