// libpng reports fatal errors through a callback that must not return: it jumps back to the step
// that called the library, and the error is raised once the library's frames are gone. The steps
// that may jump hold no C++ objects with destructors; the stream's own exceptions are caught in
// the read callback and turned into a libpng error.
#include "graphics/pictures/png_loader.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>

#include "graphics/graphics_errors.h"
#include "graphics/pictures/picture_budget.h"

namespace kova {
namespace {


struct TPngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  char message[200] = "";

  ~TPngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

extern "C" void PngError(png_structp png, png_const_charp message) {
  auto* r = static_cast<TPngReader*>(png_get_error_ptr(png));
  std::strncpy(r->message, message ? message : "", sizeof r->message - 1);
  png_longjmp(png, 1);
}

extern "C" void PngWarning(png_structp, png_const_charp) {}

extern "C" void PngRead(png_structp png, png_bytep data, size_t length) {
  auto* r = static_cast<TPngReader*>(png_get_io_ptr(png));
  bool ok = false;
  try {
    ok = r->stream->Read(data, int64_t(length)) == int64_t(length);
  } catch (...) {
    ok = false;
  }
  if (!ok) png_error(png, "unexpected end of data");
}

// The picture's layout after the transforms chosen in ReadHeader.
struct TLayout {
  uint32_t width = 0, height = 0;
  int passes = 1;
  bool palette = false;  // 8-bit indexes with the file's palette
  bool alpha = false;    // B, G, R, A bytes, split into the picture and its alpha plane
  bool has_key = false;
  uint32_t key_color = 0, key_pixel = 0;
  png_color colors[256];
  int color_count = 0;
  uint64_t raw_bytes = 0;  // the filtered rows the image data inflate to, in the file's format
};

bool ReadHeader(TPngReader& r, TLayout& out) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_read_fn(r.png, &r, PngRead);
  png_set_user_limits(r.png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(r.png, r.info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, type = 0, interlace = 0;
  png_get_IHDR(r.png, r.info, &w, &h, &depth, &type, &interlace, nullptr, nullptr);
  out.width = w;
  out.height = h;
  const uint64_t channels = type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGB_ALPHA ? 4 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
  out.raw_bytes = uint64_t(h) * ((uint64_t(w) * channels * uint64_t(depth) + 7) / 8 + 1);

  png_bytep trans_alpha = nullptr;
  int trans_count = 0;
  png_color_16p trans_color = nullptr;
  const bool has_trns = png_get_tRNS(r.png, r.info, &trans_alpha, &trans_count, &trans_color) != 0;

  if (depth == 16) png_set_strip_16(r.png);
  if (type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp colors = nullptr;
    int count = 0;
    png_get_PLTE(r.png, r.info, &colors, &count);
    // One fully transparent entry and no partial ones is a colour key; anything richer is alpha.
    int clear = 0, partial = 0, clear_index = -1;
    if (has_trns && trans_alpha) {
      for (int i = 0; i < trans_count; ++i) {
        if (trans_alpha[i] == 0) {
          ++clear;
          clear_index = i;
        } else if (trans_alpha[i] != 255) {
          ++partial;
        }
      }
    }
    if (partial > 0 || clear > 1) {
      png_set_palette_to_rgb(r.png);
      png_set_tRNS_to_alpha(r.png);
      out.alpha = true;
    } else {
      png_set_packing(r.png);
      out.palette = true;
      out.color_count = count < 0 ? 0 : count > 256 ? 256 : count;
      for (int i = 0; i < out.color_count; ++i) out.colors[i] = colors[i];
      if (clear == 1) {
        out.has_key = true;
        out.key_pixel = uint32_t(clear_index);
        const png_color c = clear_index < out.color_count ? out.colors[clear_index] : png_color{0, 0, 0};
        out.key_color = uint32_t(c.red) | uint32_t(c.green) << 8 | uint32_t(c.blue) << 16;
      }
    }
  } else {
    const bool grey = (type & PNG_COLOR_MASK_COLOR) == 0;
    if (grey) {
      if (depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
      png_set_gray_to_rgb(r.png);
    }
    if (type & PNG_COLOR_MASK_ALPHA) {
      out.alpha = true;
    } else if (has_trns && trans_color) {
      // The key in the file's own sample depth, brought to 8 bits as the samples are.
      auto to8 = [depth](uint32_t v) -> uint32_t {
        if (depth == 16) return v >> 8;
        if (depth < 8) return (v & ((1u << depth) - 1)) * 255 / ((1u << depth) - 1);
        return v & 0xFF;
      };
      uint32_t red, green, blue;
      if (grey) {
        red = green = blue = to8(trans_color->gray);
      } else {
        red = to8(trans_color->red);
        green = to8(trans_color->green);
        blue = to8(trans_color->blue);
      }
      out.has_key = true;
      out.key_color = red | green << 8 | blue << 16;
      out.key_pixel = red << 16 | green << 8 | blue;
    }
  }
  png_set_bgr(r.png);
  out.passes = interlace != PNG_INTERLACE_NONE ? png_set_interlace_handling(r.png) : 1;
  png_read_update_info(r.png, r.info);
  return true;
}

// Reads every pass of every row into rows[y].
bool ReadRows(TPngReader& r, png_bytep* rows, uint32_t height, int passes) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < height; ++y) png_read_row(r.png, rows[y], nullptr);
  return true;
}

// Reads the rows one at a time into `buffer`, handing each to `split` (non-interlaced pictures).
template <class F>
bool ReadRowsThrough(TPngReader& r, png_bytep buffer, uint32_t height, F& split) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (uint32_t y = 0; y < height; ++y) {
    png_read_row(r.png, buffer, nullptr);
    split(y, buffer);
  }
  return true;
}

void SplitAlpha(const uint8_t* bgra, uint8_t* bgr, uint8_t* alpha, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) {
    bgr[0] = bgra[0];
    bgr[1] = bgra[1];
    bgr[2] = bgra[2];
    alpha[x] = bgra[3];
    bgr += 3;
    bgra += 4;
  }
}

// The bytes of all image-data chunks from the stream's position (the signature's) on, read from
// the chunk headers alone; the position is restored.
uint64_t ImageDataBytes(TStream& stream) {
  const int64_t start = stream.GetPosition();
  const int64_t size = stream.GetSize();
  uint64_t total = 0;
  int64_t at = start + 8;
  while (at + 12 <= size) {
    uint8_t head[8];
    stream.SetPosition(at);
    if (stream.Read(head, 8) != 8) break;
    const uint32_t length = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
    // Only the bytes present count: a chunk may declare more than the file holds.
    const int64_t present = std::min<int64_t>(length, size - at - 8);
    if (std::memcmp(head + 4, "IDAT", 4) == 0) total += uint64_t(present);
    if (std::memcmp(head + 4, "IEND", 4) == 0 || present < int64_t(length)) break;
    at += int64_t(length) + 12;
  }
  stream.SetPosition(start);
  return total;
}


[[noreturn]] void Fail(TDIBSurface& surface, const char* message) {
  surface.Clear();
  Raise<EDIBError>(TMsg::PngDecodeError, message);
}

}  // namespace

bool IsPngStream(TStream& stream) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const int64_t at = stream.GetPosition();
  uint8_t head[8];
  const int64_t got = stream.Read(head, 8);
  stream.SetPosition(at);
  return got == 8 && std::memcmp(head, kSignature, 8) == 0;
}

TPngInfo ReadPng(TStream& stream, TDIBSurface& surface) {
  TPngReader r;
  r.stream = &stream;
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, PngWarning);
  if (r.png) r.info = png_create_info_struct(r.png);
  if (!r.png || !r.info) Fail(surface, "out of memory");

  const uint64_t data_bytes = ImageDataBytes(stream);
  auto layout = std::make_unique<TLayout>();
  if (!ReadHeader(r, *layout)) Fail(surface, r.message);
  // Deflate never expands beyond 1032 to 1: image data that cannot hold the rows are refused
  // before a picture is made for them (a few bytes may declare millions of rows).
  if (layout->raw_bytes > data_bytes * 1032 + 65536) Fail(surface, "not enough image data");
  const uint32_t w = layout->width, h = layout->height;
  // The picture (8 or 24 bits), its alpha plane and, for interlaced ones, the whole picture
  // with its alpha while the passes fill it: all within the load's budget.
  const uint64_t picture = uint64_t(DibWidthBytes(w, layout->palette ? 8 : 24)) * h;
  const uint64_t alpha = layout->alpha ? uint64_t(DibWidthBytes(w, 8)) * h : 0;
  const uint64_t passes = layout->alpha && layout->passes > 1 ? uint64_t(w) * 4 * h : 0;
  if (w == 0 || h == 0 || w > uint32_t(kMaxPictureSide) || h > uint32_t(kMaxPictureSide) ||
      picture + alpha + passes > kMaxPictureLoadBytes)
    Fail(surface, "picture too large");

  TPngInfo result;
  surface.FreeAlpha();
  surface.SetSize(int32_t(w), int32_t(h), layout->palette ? 8 : 24);
  if (layout->palette) {
    TColorTable& table = surface.ColorTable();
    table.fill(TRGBQuad{});
    for (int i = 0; i < layout->color_count; ++i)
      table[size_t(i)] = TRGBQuad{layout->colors[i].blue, layout->colors[i].green, layout->colors[i].red, 0};
  }
  if (!layout->alpha) {
    auto rows = std::make_unique<png_bytep[]>(h);
    for (uint32_t y = 0; y < h; ++y) rows[y] = surface.RowAddress(int32_t(y));
    if (!ReadRows(r, rows.get(), h, layout->passes)) Fail(surface, r.message);
  } else {
    surface.NeedAlpha();
    TDIBSurface& alpha = *surface.Alpha();
    result.HasAlpha = true;
    if (layout->passes > 1) {
      // Interlaced passes fill the same rows again: the whole picture is kept until the last pass.
      auto pixels = std::make_unique<uint8_t[]>(size_t(w) * 4 * h);
      auto rows = std::make_unique<png_bytep[]>(h);
      for (uint32_t y = 0; y < h; ++y) rows[y] = pixels.get() + size_t(y) * w * 4;
      if (!ReadRows(r, rows.get(), h, layout->passes)) Fail(surface, r.message);
      for (uint32_t y = 0; y < h; ++y)
        SplitAlpha(rows[y], surface.RowAddress(int32_t(y)), alpha.RowAddress(int32_t(y)), w);
    } else {
      auto buffer = std::make_unique<uint8_t[]>(size_t(w) * 4);
      auto split = [&](uint32_t y, const uint8_t* row) {
        SplitAlpha(row, surface.RowAddress(int32_t(y)), alpha.RowAddress(int32_t(y)), w);
      };
      if (!ReadRowsThrough(r, buffer.get(), h, split)) Fail(surface, r.message);
    }
  }
  result.HasKey = layout->has_key;
  result.KeyColor = layout->key_color;
  result.KeyPixel = layout->key_pixel;
  return result;
}

}  // namespace kova
