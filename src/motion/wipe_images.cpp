#include "motion/wipe_images.h"

#include <algorithm>

#include "components/scene/image_cache.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "graphics/dibx_draw.h"
#include "graphics/pictures/wexa_frame_list.h"
#include "motion/wipe_kinds.h"

namespace kova {

using pixels::TFormat;

void ReadWipeLevelMap(const TWipeEnv& env, const std::string& mask_name, bool reverse, int32_t width,
                      int32_t height, std::vector<int32_t>& level_map) {
  const int32_t w = std::max(width, 0), h = std::max(height, 0);
  level_map.assign(size_t(w) * size_t(h), 0);
  IPictureSource* pictures = env.pictures;
  if (!pictures || mask_name.empty() || level_map.empty() || !pictures->PictureExists(mask_name)) return;
  TMemoryStream stream;
  pictures->LoadPicture(stream, mask_name);
  stream.SetPosition(0);
  TWexaFrameList frames(pictures->PictureSeed());
  frames.LoadFromStream(stream, true);
  if (frames.Count() == 0) return;
  TDIBSurface image = frames.GetFrame(0).Surface;
  if (image.Empty()) return;
  if (image.BitCount() != 32) {
    image.PixelFormat = kFormat888;
    image.SetBitCount(32);
  }
  if (reverse) image.Negative();
  // The picture's grey levels, then repeated over the map from its top-left corner.
  const int32_t iw = image.Width(), ih = image.Height();
  const TDIBPixelFormat& format = image.NowPixelFormat();
  std::vector<int32_t> grey(size_t(iw) * size_t(ih));
  for (int32_t y = 0; y < ih; ++y) {
    for (int32_t x = 0; x < iw; ++x) {
      uint8_t r, g, b;
      UnpackPixel(format, image.GetPixel(x, y), r, g, b);
      grey[size_t(y) * size_t(iw) + size_t(x)] = (int32_t(r) + g + b + 1) / 3;
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    const int32_t* src = grey.data() + size_t(y % ih) * size_t(iw);
    int32_t* dst = level_map.data() + size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) dst[x] = src[x % iw] - 255;
  }
}

// ---- MASKFADE ----

void TWipeShadow::Prepare() {
  TWipeMask::Prepare();
  for (size_t i = 0; i < Ramp.size(); ++i) Ramp[i] = uint8_t(std::clamp<int32_t>(int32_t(i) - 256, 0, 255));
  ReadWipeLevelMap(Env(), MaskName, Reverse, Dest.Width(), Dest.Height(), LevelMap);
}

bool TWipeShadow::UpdateMask() {
  const int32_t w = Mask.Width(), h = Mask.Height();
  if (LevelMap.size() != size_t(w) * size_t(h)) return false;
  const int64_t v = Scaled(512) + 255;
  if (v == LastStep) return false;
  HardMask = false;
  LastStep = v;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = MaskRow(y);
    const int32_t* levels = LevelMap.data() + size_t(y) * size_t(w);
    for (int32_t x = 0; x < w; ++x) row[x] = Ramp[size_t(v + levels[x])];
  }
  return true;
}

// ---- MASKWHITE and MASKBLACK ----

void TWipeShadowWhite::Prepare() {
  for (size_t i = 0; i < Ramp.size(); ++i) Ramp[i] = uint16_t(std::clamp<int32_t>(int32_t(i) - 256, 0, 511));
  // An 8-bit destination is one grey channel.
  const uint32_t cut = Dest.BitCount() <= 8 ? 0xFFu : 0xFFFFFFFFu;
  for (int32_t k = 0; k < 256; ++k) Grey[size_t(k)] = uint32_t(Dest.ColorToPixel(k * 0x010101)) & cut;
  ReadWipeLevelMap(Env(), MaskName, Reverse, Dest.Width(), Dest.Height(), LevelMap);
}

bool TWipeShadowWhite::Step() {
  if (BeginStep() || Length < 1) return true;
  ClipWhole();
  Compose(false);
  return false;
}

bool TWipeShadowBlack::Step() {
  if (BeginStep() || Length < 1) return true;
  ClipWhole();
  Compose(true);
  return false;
}

namespace {

// The channels of a format, each a mask left in place.
template <TFormat F>
struct TChannels;
template <>
struct TChannels<TFormat::P8> {
  static constexpr uint32_t masks[] = {0xFF};
};
template <>
struct TChannels<TFormat::P555> {
  static constexpr uint32_t masks[] = {0x7C00, 0x03E0, 0x001F};
};
template <>
struct TChannels<TFormat::P565> {
  static constexpr uint32_t masks[] = {0xF800, 0x07E0, 0x001F};
};
template <>
struct TChannels<TFormat::P24> {
  static constexpr uint32_t masks[] = {0xFF0000, 0x00FF00, 0x0000FF};
};
template <>
struct TChannels<TFormat::P32> {
  static constexpr uint32_t masks[] = {0xFF0000, 0x00FF00, 0x0000FF};
};
// The row results of 32 bits take the top byte as a fourth channel.
template <>
struct TChannels<TFormat::P32Bytes> {
  static constexpr uint32_t masks[] = {0xFF000000, 0xFF0000, 0x00FF00, 0x0000FF};
};

struct TShadowRows {
  TWipeLocks::TPlane dst, old_layer, new_layer;
  const int32_t* levels = nullptr;  // the level map, `stride` entries a row
  int32_t stride = 0, width = 0, height = 0;
  const uint16_t* ramp = nullptr;  // already offset by the step value
  const uint32_t* grey = nullptr;
};

template <TFormat F, bool Darken>
void ShadowRows(const TShadowRows& r) {
  constexpr int bytes = pixels::BytesOf(F);
  for (int32_t y = 0; y < r.height; ++y) {
    uint8_t* d = r.dst.Row(y);
    const uint8_t* o = r.old_layer.Row(y);
    const uint8_t* n = r.new_layer.Row(y);
    const int32_t* levels = r.levels + size_t(y) * size_t(r.stride);
    for (int32_t x = 0; x < r.width; ++x) {
      uint32_t k = r.ramp[levels[x]];
      const uint8_t* from = o;
      if (k >= 256) {
        from = n;
        k = 511 - k;
      }
      const uint32_t p = pixels::LoadPixel<bytes>(from + ptrdiff_t(x) * bytes);
      const uint32_t g = r.grey[k];
      uint32_t out = 0;
      for (const uint32_t c : TChannels<F>::masks) {
        const uint64_t pc = p & c, gc = g & c;
        if constexpr (Darken) {
          out |= pc > gc ? uint32_t(pc - gc) : 0u;
        } else {
          out |= pc + gc > c ? c : uint32_t(pc + gc);
        }
      }
      pixels::StorePixel<bytes>(d + ptrdiff_t(x) * bytes, out);
    }
  }
}

template <bool Darken>
void ShadowRowsOf(TFormat f, const TShadowRows& r) {
  switch (f) {
    case TFormat::P8: return ShadowRows<TFormat::P8, Darken>(r);
    case TFormat::P555: return ShadowRows<TFormat::P555, Darken>(r);
    case TFormat::P565: return ShadowRows<TFormat::P565, Darken>(r);
    case TFormat::P24: return ShadowRows<TFormat::P24, Darken>(r);
    case TFormat::P32: return ShadowRows<TFormat::P32, Darken>(r);
    case TFormat::P32Bytes: return ShadowRows<TFormat::P32Bytes, Darken>(r);
    default: return;
  }
}

}  // namespace

// Direct pixel memory of the three surfaces at every depth, over the part all three cover; the
// level map is read at each pixel's own row and column.
void TWipeShadowWhite::Compose(bool darken) {
  const int32_t w = Dest.Width(), h = Dest.Height();
  if (w <= 0 || h <= 0 || LevelMap.size() != size_t(w) * size_t(h)) return;
  const TFormat f = draw::FormatOf(Dest);
  const int32_t bytes = Dest.BytesPerPixel();
  if (f == TFormat::None || OldLayer.BytesPerPixel() != bytes || NewLayer.BytesPerPixel() != bytes) return;
  TWipeLocks locks;
  TShadowRows r;
  r.dst = locks.Lock(Dest);
  r.old_layer = locks.Lock(OldLayer);
  r.new_layer = locks.Lock(NewLayer);
  if (!locks.Ok()) return;
  r.levels = LevelMap.data();
  r.stride = w;
  r.width = std::min({w, OldLayer.Width(), NewLayer.Width()});
  r.height = std::min({h, OldLayer.Height(), NewLayer.Height()});
  r.ramp = Ramp.data() + (WipeScaled(Position, 768, Length) + 255);
  r.grey = Grey.data();
  if (darken) {
    ShadowRowsOf<true>(f, r);
  } else {
    ShadowRowsOf<false>(f, r);
  }
}

// ---- The family's maker ----

std::unique_ptr<TCustomWipe> MakeImageWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                           TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_MASKFADE: return std::make_unique<TWipeShadow>(env, dest, old_layer, new_layer);
    case WP_MASKWHITE: return std::make_unique<TWipeShadowWhite>(env, dest, old_layer, new_layer);
    case WP_MASKBLACK: return std::make_unique<TWipeShadowBlack>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
