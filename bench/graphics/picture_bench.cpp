// Picture loading against the bare libraries doing the same decoding: a 1280 x 720 one-layer
// zlib layered picture against inflating its plane, a JPEG-coded plane against a bare libjpeg
// decode of the same JPEG, and PNG pictures against a bare libpng read.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/stream.h"
#include "graphics/pictures/wexa_frame_list.h"

namespace kova {
namespace {

constexpr int32_t W = 1280, H = 720;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A picture with smooth gradients and fine detail, as B, G, R rows padded to 4 bytes, top first.
std::vector<uint8_t> PlaneRows(int32_t bpp) {
  const size_t stride = (size_t(W) * size_t(bpp) + 3) / 4 * 4;
  std::vector<uint8_t> rows(stride * H, 0);
  for (int32_t y = 0; y < H; ++y) {
    for (int32_t x = 0; x < W; ++x) {
      uint8_t* p = &rows[size_t(y) * stride + size_t(x) * size_t(bpp)];
      p[0] = uint8_t(128 + 100 * std::sin(x * 0.02 + y * 0.01));
      p[1] = uint8_t(y * 255 / H);
      p[2] = uint8_t((x * 255 / W) ^ ((x * y) & 7));
      if (bpp == 4) p[3] = uint8_t(x ^ y);
    }
  }
  return rows;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, data.data(), uLong(data.size()), 6);
  out.resize(size);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& bgr) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = W;
  info.image_height = H;
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t stride = (size_t(W) * 3 + 3) / 4 * 4;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uint8_t*>(&bgr[info.next_scanline * stride]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// A version-106 layered file: one frame of 24-bit layers with the given coded plane, the first
// opaque, the others at opacity 128.
std::vector<uint8_t> LayeredFile(uint8_t compression, const std::vector<uint8_t>& plane, int32_t layers = 1) {
  std::vector<uint8_t> f = {'W', 'e', 'x', 'a', '1', '0', '6'};
  Put32(f, 40);
  std::vector<uint8_t> header(40, 0);
  header[0] = 106;
  header[16] = 1;  // frame count
  header[22] = compression;
  f.insert(f.end(), header.begin(), header.end());
  Put32(f, 0);                        // frame name
  Put32(f, uint32_t(-1));             // no key
  Put32(f, 0);                        // duration
  f.insert(f.end(), 5, 0);
  Put32(f, uint32_t(layers));
  Put32(f, W);
  Put32(f, H);
  Put32(f, 24);
  for (int32_t i = 0; i < layers; ++i) {
    f.insert(f.end(), 8, 0);
    f.push_back(1);                   // visible
    Put32(f, uint32_t(-1));           // no key
    Put32(f, i == 0 ? 255 : 128);     // opacity
    f.push_back(0);                   // UseAlpha
    Put32(f, 0);                      // layer name
    Put32(f, uint32_t(plane.size()));
    f.insert(f.end(), plane.begin(), plane.end());
    Put32(f, 0);                      // no alpha plane
  }
  Put32(f, 0);                        // Rects1
  Put32(f, 0);                        // Rects2
  return f;
}

struct Fixtures {
  std::vector<uint8_t> rows = PlaneRows(3);
  std::vector<uint8_t> zlib_plane = Deflate(rows);
  std::vector<uint8_t> zlib_file = LayeredFile(0, zlib_plane);
  std::vector<uint8_t> three_layers = LayeredFile(0, zlib_plane, 3);
  std::vector<uint8_t> jpeg = EncodeJpeg(rows);
  std::vector<uint8_t> jpeg_file = LayeredFile(2, jpeg);
};

const Fixtures& Get() {
  static const Fixtures f;
  return f;
}

void LoadLayered(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  for (auto _ : state) {
    TWexaFrameList list;
    TSpanStream stream(bytes);
    list.LoadFromStream(stream, false);
    benchmark::DoNotOptimize(list.GetFrame(0).Surface.PixelData());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

void BM_WexaZlib720p(benchmark::State& state) { LoadLayered(state, Get().zlib_file); }
BENCHMARK(BM_WexaZlib720p)->Unit(benchmark::kMillisecond);

// The floor: inflating the same plane into one buffer.
void BM_RawInflate720p(benchmark::State& state) {
  const Fixtures& f = Get();
  std::vector<uint8_t> out(f.rows.size());
  for (auto _ : state) {
    uLongf size = uLongf(out.size());
    uncompress(out.data(), &size, f.zlib_plane.data(), uLong(f.zlib_plane.size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}
BENCHMARK(BM_RawInflate720p)->Unit(benchmark::kMillisecond);

// Two translucent layers over an opaque one (compositing cost on top of three inflates).
void BM_WexaThreeLayers720p(benchmark::State& state) { LoadLayered(state, Get().three_layers); }
BENCHMARK(BM_WexaThreeLayers720p)->Unit(benchmark::kMillisecond);

void BM_WexaJpeg720p(benchmark::State& state) { LoadLayered(state, Get().jpeg_file); }
BENCHMARK(BM_WexaJpeg720p)->Unit(benchmark::kMillisecond);

// The floor: libjpeg decoding the same JPEG from memory to B, G, R rows.
void BM_BareJpegDecode720p(benchmark::State& state) {
  const Fixtures& f = Get();
  std::vector<uint8_t> out(size_t(W) * 3 * H);
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, f.jpeg.data(), static_cast<unsigned long>(f.jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = &out[size_t(info.output_scanline) * W * 3];
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}
BENCHMARK(BM_BareJpegDecode720p)->Unit(benchmark::kMillisecond);

extern "C" void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
extern "C" void NoFlush(png_structp) {}

// A PNG of the picture (B, G, R or B, G, R, A rows written as RGB or RGBA).
std::vector<uint8_t> EncodePng(bool alpha) {
  const int32_t bpp = alpha ? 4 : 3;
  std::vector<uint8_t> rows = PlaneRows(bpp);
  const size_t stride = (size_t(W) * size_t(bpp) + 3) / 4 * 4;
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, W, H, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int32_t y = 0; y < H; ++y) png_write_row(png, &rows[size_t(y) * stride]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

const std::vector<uint8_t>& Png(bool alpha) {
  static const std::vector<uint8_t> rgb = EncodePng(false), rgba = EncodePng(true);
  return alpha ? rgba : rgb;
}

void LoadPng(benchmark::State& state, bool alpha) {
  const std::vector<uint8_t>& bytes = Png(alpha);
  for (auto _ : state) {
    TWexaFrameList list;
    TSpanStream stream(bytes);
    list.LoadFromStream(stream, false);
    benchmark::DoNotOptimize(list.GetFrame(0).Surface.PixelData());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

struct PngSource {
  const std::vector<uint8_t>* bytes;
  size_t at;
};
extern "C" void ReadBytes(png_structp png, png_bytep data, size_t length) {
  auto* s = static_cast<PngSource*>(png_get_io_ptr(png));
  std::memcpy(data, s->bytes->data() + s->at, length);
  s->at += length;
}

// The floor: libpng reading the same file row by row into one buffer of B, G, R(, A) rows.
void BarePng(benchmark::State& state, bool alpha) {
  const std::vector<uint8_t>& bytes = Png(alpha);
  std::vector<uint8_t> out(size_t(W) * (alpha ? 4 : 3) * H);
  for (auto _ : state) {
    PngSource source{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, ReadBytes);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    for (int32_t y = 0; y < H; ++y) png_read_row(png, &out[size_t(y) * W * (alpha ? 4 : 3)], nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

void BM_PngRgb720p(benchmark::State& state) { LoadPng(state, false); }
void BM_BarePngRgb720p(benchmark::State& state) { BarePng(state, false); }
void BM_PngRgba720p(benchmark::State& state) { LoadPng(state, true); }
void BM_BarePngRgba720p(benchmark::State& state) { BarePng(state, true); }
BENCHMARK(BM_PngRgb720p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePngRgb720p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngRgba720p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePngRgba720p)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
