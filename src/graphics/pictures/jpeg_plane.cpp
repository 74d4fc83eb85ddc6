// libjpeg reports fatal errors through a callback that must not return; it jumps back to the
// decoding step that called the library, and the error is raised once the library's frames are
// gone. The steps that may jump hold no C++ objects with destructors.
#include "graphics/pictures/jpeg_plane.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "graphics/graphics_errors.h"

namespace kova {
namespace {

struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings (corrupt but decodable data) are neither printed nor fatal: the picture shows what
// libjpeg could make of it.
extern "C" void JpegOutputMessage(j_common_ptr) {}

struct TJpegDecoder {
  jpeg_decompress_struct info;
  TJpegError err;
  bool created = false;

  TJpegDecoder() {
    std::memset(&info, 0, sizeof info);
    std::memset(&err, 0, sizeof err);
  }
  ~TJpegDecoder() {
    if (created) jpeg_destroy_decompress(&info);
  }
  TJpegDecoder(const TJpegDecoder&) = delete;
  TJpegDecoder& operator=(const TJpegDecoder&) = delete;
};

// Creates the decoder over the bytes and reads the header. False after a libjpeg error.
bool ReadHeader(TJpegDecoder& d, const uint8_t* data, size_t size) {
  d.info.err = jpeg_std_error(&d.err.mgr);
  d.err.mgr.error_exit = JpegErrorExit;
  d.err.mgr.output_message = JpegOutputMessage;
  if (setjmp(d.err.jump)) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d.info, TRUE);
  d.info.out_color_space = JCS_EXT_BGR;
  d.info.dct_method = JDCT_ISLOW;
  return true;
}

// Decodes every row into the rows starting at `top`, `pitch` bytes apart. False after an error.
bool ReadRows(TJpegDecoder& d, uint8_t* top, ptrdiff_t pitch) {
  if (setjmp(d.err.jump)) return false;
  jpeg_start_decompress(&d.info);
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW rows[4];
    const JDIMENSION first = d.info.output_scanline;
    const JDIMENSION count = d.info.output_height - first < 4 ? d.info.output_height - first : 4;
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = top + ptrdiff_t(first + i) * pitch;
    if (jpeg_read_scanlines(&d.info, rows, count) == 0) break;
  }
  jpeg_abort_decompress(&d.info);
  return true;
}

[[noreturn]] void Fail(const char* message) { Raise<EDIBError>(TMsg::JpegDecodeError, message); }

}  // namespace

void DecodeJpegPlane(std::span<const uint8_t> data, int32_t width, int32_t height, TDIBSurface& surface) {
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) Fail("no SOI marker");
  TJpegDecoder d;
  if (!ReadHeader(d, data.data(), data.size())) Fail(d.err.message);
  if (d.info.image_width != JDIMENSION(width) || d.info.image_height != JDIMENSION(height) ||
      (d.info.num_components != 1 && d.info.num_components != 3))
    Raise<EDIBError>(TMsg::PictureCorrupt);
  surface.SetSize(width, height, 24);
  if (!ReadRows(d, surface.RowAddress(0), surface.NextLine())) Fail(d.err.message);
}

}  // namespace kova
