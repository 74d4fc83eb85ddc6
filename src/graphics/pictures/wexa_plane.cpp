#include "graphics/pictures/wexa_plane.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "core/xr_random.h"
#include "graphics/graphics_errors.h"
#include "graphics/pictures/picture_budget.h"

namespace kova {
namespace {

[[noreturn]] void Corrupt() { Raise<EDIBError>(TMsg::PictureCorrupt); }

int32_t Le32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

struct TPlaneBytes::TInflater {
  z_stream z{};
  bool ended = false;
  TInflater() {
    if (inflateInit(&z) != Z_OK) Raise<EZDecompressionError>(TMsg::DecompressError);
  }
  ~TInflater() { inflateEnd(&z); }
};

TPlaneBytes::TPlaneBytes(std::span<const uint8_t> stored, bool zlib) : stored_(stored) {
  if (zlib) {
    inflater_ = std::make_unique<TInflater>();
    inflater_->z.next_in = const_cast<Bytef*>(stored_.data());
    inflater_->z.avail_in = 0;
  }
}

TPlaneBytes::~TPlaneBytes() = default;

void TPlaneBytes::Read(uint8_t* dest, size_t count) {
  if (count == 0) return;
  if (!inflater_) {
    if (count > stored_.size() - position_) Corrupt();
    std::memcpy(dest, stored_.data() + position_, count);
    position_ += count;
    return;
  }
  z_stream& z = inflater_->z;
  if (inflater_->ended) Corrupt();
  while (count > 0) {
    const uInt chunk = uInt(std::min<size_t>(count, size_t(1) << 30));
    z.next_out = dest;
    z.avail_out = chunk;
    while (z.avail_out > 0) {
      if (z.avail_in == 0 && position_ < stored_.size()) {
        const size_t give = std::min<size_t>(stored_.size() - position_, size_t(1) << 30);
        z.next_in = const_cast<Bytef*>(stored_.data() + position_);
        z.avail_in = uInt(give);
        position_ += give;
      }
      const int rc = inflate(&z, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        inflater_->ended = true;
        if (z.avail_out > 0) Corrupt();  // the plane is shorter than its layout
        break;
      }
      if (rc == Z_BUF_ERROR && z.avail_in == 0 && position_ >= stored_.size()) Corrupt();  // cut short
      if (rc != Z_OK && rc != Z_BUF_ERROR) Raise<EZDecompressionError>(TMsg::DecompressError);
    }
    dest += chunk;
    count -= chunk;
  }
}

uint64_t TPlaneBytes::MaxRemaining() const {
  if (!inflater_) return stored_.size() - position_;
  if (inflater_->ended) return 0;
  // Deflate never expands more than 1032 to 1; the margin covers output zlib still holds.
  return (uint64_t(stored_.size() - position_) + inflater_->z.avail_in) * 1032 + 65536;
}

namespace {

void DecodeRows(TPlaneBytes& bytes, TDIB& target) {
  const size_t stride = size_t(target.WidthBytes());
  for (int32_t y = 0; y < target.Height(); ++y) bytes.Read(target.RowAddress(y), stride);
}

// Stored row i is row Next() of the plane.
void DecodeScrambled(TPlaneBytes& bytes, uint32_t seed, TDIB& target) {
  const size_t stride = size_t(target.WidthBytes());
  if (uint64_t(stride) * uint64_t(target.Height()) > bytes.MaxRemaining()) Corrupt();
  TXrRandom order(seed);
  order.SetRange(target.Height());
  for (int32_t i = 0; i < target.Height(); ++i) bytes.Read(target.RowAddress(order.Next()), stride);
}

struct TTileRecord {
  int32_t A = 0;
  int32_t B = 0;
};

// Copies a w x h pixel rectangle at (x, y) of `from` to the same place of `to`, in whole bytes.
void CopyTile(const TDIB& from, TDIB& to, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h) {
  const int64_t bits = to.BitCount();
  const size_t src_byte = size_t(int64_t(sx) * bits / 8);
  const size_t dst_byte = size_t(int64_t(x) * bits / 8);
  const size_t count = size_t((int64_t(w) * bits + 7) / 8);
  for (int32_t r = 0; r < h; ++r)
    std::memmove(to.RowAddress(y + r) + dst_byte, from.RowAddress(sy + r) + src_byte, count);
}

void DecodeTiled(TPlaneBytes& bytes, const TPlaneLayout& layout, TDIB& target, const TTilePlaneSource& source) {
  const int32_t width = target.Width(), height = target.Height();
  const int32_t tw = layout.TileWidth, th = layout.TileHeight;
  const int64_t tiles_x = (int64_t(width) + tw - 1) / tw;
  const int64_t tiles_y = (int64_t(height) + th - 1) / th;
  const int64_t n = tiles_x * tiles_y;
  if (uint64_t(n) * 8 > bytes.MaxRemaining()) Corrupt();

  // The table is charged to the load before it is made, and grows only as its records arrive, so
  // data that end early (or inflate to less than they claimed) never cost the whole table.
  const uint64_t table_bytes = uint64_t(n) * sizeof(TTileRecord) * (layout.PermutedTiles ? 2 : 1);
  if (layout.Budget) layout.Budget->Charge(table_bytes);
  struct TRelease {
    TPictureBudget* budget;
    uint64_t bytes;
    ~TRelease() {
      if (budget) budget->Release(bytes);
    }
  } release{layout.Budget, table_bytes};

  std::vector<TTileRecord> table;
  {
    constexpr int64_t kChunk = 8192;
    std::vector<uint8_t> raw(static_cast<size_t>(std::min(n, kChunk)) * 8);
    std::vector<TTileRecord> stored;  // permuted tables: in stored order until all are read
    std::vector<TTileRecord>& into = layout.PermutedTiles ? stored : table;
    for (int64_t done = 0; done < n;) {
      const int64_t take = std::min(n - done, kChunk);
      bytes.Read(raw.data(), size_t(take) * 8);
      for (int64_t i = 0; i < take; ++i) into.push_back({Le32(&raw[size_t(i) * 8]), Le32(&raw[size_t(i) * 8 + 4])});
      done += take;
    }
    if (layout.PermutedTiles) {
      table.resize(size_t(n));
      TXrRandom order(layout.Seed);
      order.SetRange(int32_t(n));
      for (int64_t i = 0; i < n; ++i) table[size_t(order.Next())] = stored[size_t(i)];
    }
  }

  const int64_t bits = target.BitCount();
  size_t k = 0;
  for (int64_t ty = 0; ty < tiles_y; ++ty) {
    for (int64_t tx = 0; tx < tiles_x; ++tx) {
      const TTileRecord rec = table[k++];
      const int32_t x = int32_t(tx * tw), y = int32_t(ty * th);
      const int32_t w = std::min(tw, width - x), h = std::min(th, height - y);
      if (rec.A == -1) {
        const size_t at = size_t(int64_t(x) * bits / 8);
        const size_t count = size_t((int64_t(w) * bits + 7) / 8);
        for (int32_t r = 0; r < h; ++r) bytes.Read(target.RowAddress(y + r) + at, count);
      } else if (rec.A == -2) {
        if (rec.B < 0 || rec.B >= n) Corrupt();
        const int32_t sx = int32_t(rec.B % tiles_x * tw), sy = int32_t(rec.B / tiles_x * th);
        if (int64_t(sx) + w > width || int64_t(sy) + h > height) Corrupt();
        CopyTile(target, target, x, y, sx, sy, w, h);
      } else {
        const TDIB& from = source(rec.A, rec.B);
        if (&from == &target || from.BitCount() != target.BitCount() || x + w > from.Width() ||
            y + h > from.Height())
          Corrupt();
        CopyTile(from, target, x, y, x, y, w, h);
      }
    }
  }
}

}  // namespace

void DecodePlane(TPlaneBytes& bytes, const TPlaneLayout& layout, TDIB& target, const TTilePlaneSource& source) {
  if (target.Empty()) return;
  switch (layout.Order) {
    case TPlaneOrder::Rows: DecodeRows(bytes, target); break;
    case TPlaneOrder::Scrambled: DecodeScrambled(bytes, layout.Seed, target); break;
    case TPlaneOrder::Tiled:
      if (layout.TileWidth < 1 || layout.TileHeight < 1) Corrupt();
      DecodeTiled(bytes, layout, target, source);
      break;
  }
}

}  // namespace kova
