#include "support/wexa_writer.h"

#include <jpeglib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "support/le_writer.h"

namespace kova::test {
namespace {

int32_t StoredBits(int32_t bits) { return bits == 15 ? 16 : bits; }
size_t Stride(int32_t width, int32_t bits) { return size_t((int64_t(width) * StoredBits(bits) + 31) / 32 * 4); }

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), uLong(data.size()), 6) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

// The colour of a raw pixel of the frame as $RRGGBB.
uint32_t PixelRgb(const WexaFrameDesc& f, uint32_t v) {
  auto widen = [](uint32_t c, int bits) { return (c << (8 - bits)) | (c >> (2 * bits - 8)); };
  switch (f.bit_count) {
    case 15: return widen(v >> 10 & 31, 5) << 16 | widen(v >> 5 & 31, 5) << 8 | widen(v & 31, 5);
    case 16: return widen(v >> 11 & 31, 5) << 16 | widen(v >> 5 & 63, 6) << 8 | widen(v & 31, 5);
    case 24:
    case 32: return v & 0xFFFFFF;
    default: return v < f.palette.size() ? f.palette[v] & 0xFFFFFF : 0;
  }
}

// The plane as rows of stored bytes, top row first.
std::vector<std::vector<uint8_t>> PlaneRows(const std::vector<uint32_t>& values, int32_t width, int32_t height,
                                            int32_t bits) {
  if (values.size() != size_t(width) * size_t(height)) throw std::invalid_argument("plane size");
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = 0; y < height; ++y) rows.push_back(PackPlaneRow(&values[size_t(y) * width], width, bits));
  return rows;
}

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& rows, const std::vector<int32_t>* order) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& row = rows[order ? size_t((*order)[i]) : i];
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

std::vector<uint8_t> TiledPlane(const WexaFileDesc& desc, const std::vector<std::vector<uint8_t>>& rows, int32_t width,
                                int32_t height, int32_t bits, const std::vector<WexaTile>& records) {
  const int32_t tw = desc.tile_width, th = desc.tile_height;
  const int32_t tiles_x = (width + tw - 1) / tw, tiles_y = (height + th - 1) / th;
  const int32_t n = tiles_x * tiles_y;
  std::vector<WexaTile> table = records;
  if (table.empty()) table.assign(size_t(n), WexaTile{});
  if (int32_t(table.size()) != n) throw std::invalid_argument("tile record count");
  const int32_t stored_bits = StoredBits(bits);

  LeWriter out;
  // Stored record i goes to place order[i].
  const std::vector<int32_t> order = desc.permuted ? SeedSequence(desc.seed, n) : std::vector<int32_t>{};
  for (int32_t i = 0; i < n; ++i) {
    const WexaTile& t = table[size_t(desc.permuted ? order[size_t(i)] : i)];
    out.I32(t.a).I32(t.b);
  }
  for (int32_t k = 0; k < n; ++k) {
    if (table[size_t(k)].a != -1) continue;
    const int32_t x = k % tiles_x * tw, y = k / tiles_x * th;
    const int32_t w = std::min(tw, width - x), h = std::min(th, height - y);
    const size_t at = size_t(int64_t(x) * stored_bits / 8), count = size_t((int64_t(w) * stored_bits + 7) / 8);
    for (int32_t r = 0; r < h; ++r) out.Raw(std::span<const uint8_t>(rows[size_t(y + r)].data() + at, count));
  }
  return out.Bytes();
}

struct PlaneBytes {
  std::vector<uint8_t> color;
  std::vector<uint8_t> alpha;
};

PlaneBytes CodeLayer(const WexaFileDesc& desc, int32_t gate, const WexaFrameDesc& f, const WexaLayerDesc& l) {
  PlaneBytes out;
  const uint8_t coding = desc.version >= 103 ? uint8_t(desc.coding) : 1;
  const bool jpeg = gate >= 103 && coding == 2;
  const bool tiled = gate >= 103 && !jpeg && desc.tile_width >= 1 && desc.tile_height >= 1;
  const bool scrambled = gate < 103 || (desc.permuted && !tiled);

  auto lay_out = [&](const std::vector<std::vector<uint8_t>>& rows, int32_t bits,
                     const std::vector<WexaTile>& tiles) -> std::vector<uint8_t> {
    if (tiled) return TiledPlane(desc, rows, f.width, f.height, bits, tiles);
    if (scrambled) {
      const std::vector<int32_t> order = SeedSequence(desc.seed, f.height);
      return Concat(rows, &order);  // stored row i is plane row order[i]
    }
    return Concat(rows, nullptr);
  };

  if (l.color_stored) {
    out.color = *l.color_stored;
  } else if (jpeg) {
    std::vector<uint32_t> rgb;
    for (uint32_t v : l.pixels) rgb.push_back(PixelRgb(f, v));
    out.color = EncodeJpeg(f.width, f.height, rgb, desc.jpeg_quality);
  } else {
    out.color = lay_out(PlaneRows(l.pixels, f.width, f.height, f.bit_count), f.bit_count, l.color_tiles);
    if (coding == 0) out.color = Deflate(out.color);
  }

  if (l.alpha_stored) {
    out.alpha = *l.alpha_stored;
  } else if (!l.alpha.empty()) {
    std::vector<uint32_t> values(l.alpha.begin(), l.alpha.end());
    const auto rows = PlaneRows(values, f.width, f.height, 8);
    out.alpha = jpeg ? Concat(rows, nullptr) : lay_out(rows, 8, l.alpha_tiles);
    if (coding == 0 || coding == 2) out.alpha = Deflate(out.alpha);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> PackPlaneRow(const uint32_t* values, int32_t width, int32_t bit_count) {
  std::vector<uint8_t> row(Stride(width, bit_count), 0);
  for (int32_t x = 0; x < width; ++x) {
    const uint32_t v = values[x];
    switch (bit_count) {
      case 1:
        if (v & 1) row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
        break;
      case 4: row[size_t(x) / 2] |= uint8_t(x % 2 ? v & 15 : (v & 15) << 4); break;
      case 8: row[size_t(x)] = uint8_t(v); break;
      case 15:
      case 16:
        row[size_t(x) * 2] = uint8_t(v);
        row[size_t(x) * 2 + 1] = uint8_t(v >> 8);
        break;
      case 24:
        for (int i = 0; i < 3; ++i) row[size_t(x) * 3 + i] = uint8_t(v >> (8 * i));
        break;
      case 32:
        for (int i = 0; i < 4; ++i) row[size_t(x) * 4 + i] = uint8_t(v >> (8 * i));
        break;
      default: throw std::invalid_argument("bit count");
    }
  }
  return row;
}

std::vector<int32_t> SeedSequence(uint32_t seed, int32_t n) {
  std::vector<int32_t> left;
  for (int32_t i = 0; i < n; ++i) left.push_back(i);
  std::vector<int32_t> out;
  uint32_t state = 0;
  for (int32_t i = 0; i < n; ++i) {
    state = state * 5u + seed;
    const size_t k = state % uint32_t(left.size());
    out.push_back(left[k]);
    left.erase(left.begin() + ptrdiff_t(k));
  }
  return out;
}

std::vector<uint8_t> EncodeJpeg(int32_t width, int32_t height, const std::vector<uint32_t>& rgb, int quality) {
  if (rgb.size() != size_t(width) * size_t(height)) throw std::invalid_argument("picture size");
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(size_t(width) * 3);
  while (info.next_scanline < info.image_height) {
    const size_t y = info.next_scanline;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = rgb[y * size_t(width) + size_t(x)];
      row[size_t(x) * 3] = uint8_t(c >> 16);
      row[size_t(x) * 3 + 1] = uint8_t(c >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(c);
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

namespace {

// The settings as the file gives them: header record fields beyond a short stored header read
// as 0 (the compression byte as 1), so the planes are laid out without them.
WexaFileDesc AsStored(const WexaFileDesc& desc) {
  WexaFileDesc s = desc;
  if (desc.version < 103) return s;
  const int32_t size = desc.header_size;
  if (size < 4) s.header_version = 0;
  if (size < 22) s.permuted = false;
  if (size < 23) s.coding = WexaCoding::Raw;
  if (size < 32) s.tile_width = 0;
  if (size < 36) s.tile_height = 0;
  return s;
}

}  // namespace

std::vector<uint8_t> BuildWexa(const WexaFileDesc& given) {
  const WexaFileDesc desc = AsStored(given);
  LeWriter w;
  int32_t gate = desc.version;
  if (!desc.tag.empty()) {
    w.Raw(desc.tag);
  } else if (desc.version != 0) {
    const int32_t v = desc.version % 1000;
    const char digits[3] = {char('0' + v / 100), char('0' + v / 10 % 10), char('0' + v % 10)};
    w.Raw("Wexa").Raw(std::string_view(digits, 3));
  }
  const int32_t frame_count = desc.frame_count.value_or(int32_t(desc.frames.size()));
  if (desc.version < 103) {
    w.I32(frame_count).U8(0);
    if (desc.version >= 102) w.U32(desc.background);
  } else {
    gate = desc.header_version.value_or(desc.version);
    LeWriter rec;
    rec.I32(given.header_version.value_or(given.version)).Fill(12, 0).I32(frame_count).U8(0);
    rec.Flag(given.permuted).U8(uint8_t(given.coding)).U8(0);
    rec.U32(given.background).I32(given.tile_width).I32(given.tile_height).Flag(given.first_layer_opaque).Fill(3, 0);
    std::vector<uint8_t> header = rec.Bytes();
    header.resize(size_t(std::max(desc.header_size, 0)), 0);
    w.I32(desc.header_size).Raw(header);
  }

  for (const WexaFrameDesc& f : desc.frames) {
    w.Str(f.name).I32(f.transparent_index).I32(f.duration).Fill(5, 0);
    w.I32(f.layer_count.value_or(int32_t(f.layers.size()))).I32(f.width).I32(f.height).I32(f.bit_count);
    if (f.bit_count <= 8) {
      for (int32_t i = 0; i < (1 << f.bit_count); ++i) {
        const uint32_t c = size_t(i) < f.palette.size() ? f.palette[size_t(i)] : 0;
        w.U8(uint8_t(c)).U8(uint8_t(c >> 8)).U8(uint8_t(c >> 16)).U8(0);
      }
    }
    for (const WexaLayerDesc& l : f.layers) {
      const PlaneBytes planes = CodeLayer(desc, gate, f, l);
      w.Fill(8, 0).Flag(l.visible).I32(l.transparent_color).I32(l.opacity);
      if (gate >= 101) w.Flag(l.use_alpha);
      w.Str(l.name);
      w.I32(int32_t(planes.color.size())).Raw(planes.color);
      if (gate >= 100) w.I32(int32_t(planes.alpha.size())).Raw(planes.alpha);
    }
    if (gate >= 104) {
      w.I32(int32_t(f.rects1.size()));
      for (const auto& r : f.rects1) w.Rect(r[0], r[1], r[2], r[3]);
      w.I32(int32_t(f.rects2.size()));
      for (const auto& r : f.rects2) w.Rect(r[0], r[1], r[2], r[3]);
    }
  }
  return w.Bytes();
}

}  // namespace kova::test
