// Reading the layered format: frames of stacked layers, each layer decoded from its planes and
// composited into the frame right after it is read; then each frame is post-processed (converted
// to the target depth, or palette frames widened to 24 bits with their key re-found).
#include <algorithm>
#include <span>
#include <vector>

#include "core/errors.h"
#include "core/stream_records.h"
#include "graphics/graphics_errors.h"
#include "graphics/pictures/jpeg_plane.h"
#include "graphics/pictures/picture_budget.h"
#include "graphics/pictures/wexa_frame_list.h"
#include "graphics/pictures/wexa_header.h"
#include "graphics/pictures/wexa_plane.h"

namespace kova {
namespace {

[[noreturn]] void Corrupt() { Raise<EDIBError>(TMsg::PictureCorrupt); }

void Skip(TStream& s, int64_t count) {
  if (count <= 0) return;
  if (count > s.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
  s.Seek(count, TSeekOrigin::Current);
}

int32_t StorageBits(int32_t bits) { return bits == 15 ? 16 : bits; }

uint64_t PlaneBytes(int32_t width, int32_t height, int32_t bits) {
  return uint64_t(DibWidthBytes(width, StorageBits(bits))) * uint64_t(height);
}

uint64_t HeldBytes(const TDIBSurface& s) { return s.Size() + (s.Alpha() ? s.Alpha()->Size() : 0); }

}  // namespace

class TWexaReader {
 public:
  TWexaReader(TWexaFrameList& list, TStream& stream) : list_(list), s_(stream) {}

  void Run(bool first_only) {
    list_.Clear();
    header_ = ReadWexaHeader(s_);
    list_.Version = header_.TagVersion;
    list_.BackgroundColor = int32_t(header_.BackgroundColor);
    list_.FirstLayerOpaque = header_.FirstLayerOpaque;
    list_.compression_ = header_.Compression;
    // Tiles may copy from any layer read before, so layers live until the end of the load.
    keep_layers_ = header_.Version >= 103 && header_.Tiled() && header_.Compression != 2;

    int32_t count = header_.FrameCount;
    if (first_only && count > 1) count = 1;
    try {
      for (int32_t i = 0; i < count; ++i) {
        list_.frames_.push_back(std::make_unique<TWexaFrame>(&list_));
        TWexaFrame& frame = *list_.frames_.back();
        ReadFrame(frame);
        PostProcess(frame);
        SettleFrame(frame);
      }
    } catch (...) {
      // A frame cut short is dropped; the frames before it stay.
      if (!list_.frames_.empty() && int32_t(list_.frames_.size()) > completed_) list_.frames_.pop_back();
      FreeLayers();
      throw;
    }
    FreeLayers();
  }

 private:
  void FreeLayers() {
    for (auto& frame : list_.frames_) frame->FreeLayers();
  }

  void ReadFrame(TWexaFrame& frame) {
    Skip(s_, ReadStreamInteger(s_));  // the name
    frame.TransparentIndex = ReadStreamInteger(s_);
    frame.Duration = ReadStreamInteger(s_);
    Skip(s_, 5);
    const int32_t layer_count = ReadStreamInteger(s_);
    const int32_t width = ReadStreamInteger(s_);
    const int32_t height = ReadStreamInteger(s_);
    const int32_t bits = ReadStreamInteger(s_);
    switch (bits) {
      case 1: case 4: case 8: case 15: case 16: case 24: case 32: break;
      default: Raise<EDIBError>(TMsg::DibInvalidBitCount, int(bits));
    }
    if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) Corrupt();
    // The frame at its stored depth, and at the depth post-processing may give it (both are held
    // while it converts), before either is made.
    const uint64_t frame_start = budget_.Held();
    int32_t final_bits = list_.TargetBitCount > 0 ? list_.TargetBitCount : 0;
    if (bits <= 8 && final_bits < 24) final_bits = 24;
    budget_.Charge(PlaneBytes(width, height, bits));
    if (final_bits > 0) budget_.Charge(PlaneBytes(width, height, final_bits));
    budget_.Decode(uint64_t(width) * uint64_t(height));

    TDIBSurface& surface = frame.Surface;
    surface.SetSize(width, height, bits);
    if (bits <= 8) {
      uint8_t palette[256 * 4];
      const int32_t entries = 1 << bits;
      s_.ReadBuffer(palette, entries * 4);
      for (int32_t i = 0; i < entries; ++i)
        surface.ColorTable()[size_t(i)] = TRGBQuad{palette[i * 4], palette[i * 4 + 1], palette[i * 4 + 2], palette[i * 4 + 3]};
    }
    frame.TransparentColor = KeyColor(frame);

    // The background is filled before the first layer that is drawn over it; a first layer that
    // covers the frame opaquely is decoded straight into the frame instead.
    bool painted = false;
    const auto paint_background = [&] {
      if (painted) return;
      const uint32_t bg = header_.BackgroundColor;
      surface.FillRect(TRect{0, 0, width, height}, surface.PackRGB(uint8_t(bg), uint8_t(bg >> 8), uint8_t(bg >> 16)));
      painted = true;
    };
    bool first = true;
    for (int32_t i = 0; i < layer_count; ++i) {
      auto layer = ReadLayerFields();
      if (!painted && CoversFrame(*layer, i, bits)) {
        DecodePlanes(*layer, frame, surface, layer->UseAlpha && i == 0);
        painted = true;
        first = false;
        continue;
      }
      if (layer->Visible) paint_background();
      // A layer's own planes are held until it is composited (to the end of the load when tiles
      // may copy from it).
      const uint64_t layer_start = budget_.Held();
      budget_.Charge(PlaneBytes(width, height, bits));
      layer->Surface.ColorTable() = surface.ColorTable();
      layer->Surface.SetSize(width, height, bits);
      DecodePlanes(*layer, frame, layer->Surface, false);
      Composite(frame, *layer, i, first);
      if (keep_layers_) {
        frame.AddLayer(std::move(layer));
      } else {
        layer.reset();
        budget_.Release(budget_.Held() - layer_start);
      }
    }
    paint_background();
    if (header_.Version >= 104) {
      frame.Rects1 = ReadRects();
      frame.Rects2 = ReadRects();
    }
    frame_start_ = frame_start;
  }

  // After post-processing the frame holds what it holds now (and its layers, when tiles keep
  // them); the charges made for converting are given back.
  void SettleFrame(const TWexaFrame& frame) {
    budget_.Release(budget_.Held() - frame_start_);
    uint64_t held = HeldBytes(frame.Surface);
    for (const auto& layer : frame.Layers()) held += HeldBytes(layer->Surface);
    budget_.Charge(held);
  }

  // The colour reference that the key pixel shows; -1 without key (or a key beyond the palette).
  static int32_t KeyColor(const TWexaFrame& frame) {
    const int32_t key = frame.TransparentIndex;
    if (key < 0) return -1;
    const TDIBSurface& s = frame.Surface;
    if (s.BitCount() <= 8) {
      if (key >= s.PaletteCount()) return -1;
      const TRGBQuad q = s.ColorTable()[size_t(key)];
      return int32_t(uint32_t(q.Red) | uint32_t(q.Green) << 8 | uint32_t(q.Blue) << 16);
    }
    uint8_t r, g, b;
    UnpackPixel(s.NowPixelFormat(), uint32_t(key), r, g, b);
    return int32_t(uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16);
  }

  std::vector<TRect> ReadRects() {
    const int32_t n = ReadStreamInteger(s_);
    std::vector<TRect> rects;
    if (n <= 0) return rects;
    if (int64_t(n) * 16 > s_.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
    rects.resize(size_t(n));
    for (TRect& r : rects) r = ReadStreamRect(s_);
    return rects;
  }

  // The stored bytes of a plane: in place when the stream lies in memory, else copied.
  std::span<const uint8_t> PlaneData(int32_t size, std::vector<uint8_t>& scratch) {
    if (size <= 0) return {};
    if (int64_t(size) > s_.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
    if (const uint8_t* memory = s_.DirectMemory()) {
      const int64_t at = s_.GetPosition();
      s_.Seek(size, TSeekOrigin::Current);
      return {memory + at, size_t(size)};
    }
    if (size_t(size) > scratch.size()) budget_.Charge(size_t(size) - scratch.size());  // the copy
    scratch.resize(size_t(size));
    s_.ReadBuffer(scratch.data(), size);
    return scratch;
  }

  TPlaneLayout LayoutFor(bool jpeg_alpha) {
    TPlaneLayout layout;
    layout.Budget = &budget_;
    layout.Seed = list_.Seed();
    if (header_.Version < 103) {
      layout.Order = TPlaneOrder::Scrambled;
    } else if (jpeg_alpha) {
      layout.Order = TPlaneOrder::Rows;
    } else if (header_.Tiled()) {
      layout.Order = TPlaneOrder::Tiled;
      layout.TileWidth = header_.TileWidth;
      layout.TileHeight = header_.TileHeight;
      layout.PermutedTiles = header_.Permuted;
    } else {
      layout.Order = header_.Permuted ? TPlaneOrder::Scrambled : TPlaneOrder::Rows;
    }
    return layout;
  }

  // The plane that a tile record (frame a, layer b) copies from.
  const TDIB& TilePlane(int32_t a, int32_t b, bool alpha) const {
    if (a < 0 || a >= int32_t(list_.frames_.size())) Raise<EListError>(TMsg::ListIndexError, int(a));
    const auto& layers = list_.frames_[size_t(a)]->Layers();
    if (b < 0 || b >= int32_t(layers.size())) Raise<EListError>(TMsg::ListIndexError, int(b));
    const TDIBSurface& s = layers[size_t(b)]->Surface;
    if (!alpha) return s;
    if (!s.Alpha()) Corrupt();
    return *s.Alpha();
  }

  std::unique_ptr<TWexaLayer> ReadLayerFields() {
    auto layer = std::make_unique<TWexaLayer>();
    Skip(s_, 8);
    layer->Visible = ReadStreamBool(s_);
    layer->TransparentColor = ReadStreamInteger(s_);
    layer->Opacity = ReadStreamInteger(s_);
    if (header_.Version >= 101) layer->UseAlpha = ReadStreamBool(s_);
    Skip(s_, ReadStreamInteger(s_));  // the name
    return layer;
  }

  // True when the layer, read into a frame that holds nothing yet, would be drawn as an opaque
  // copy of its whole colour plane (and, for layer 0 with UseAlpha, give the frame its alpha
  // plane), whatever its planes hold: it can then be decoded straight into the frame. Layers that
  // tiles may copy from later keep planes of their own.
  bool CoversFrame(const TWexaLayer& layer, int32_t index, int32_t bits) const {
    if (keep_layers_ || !layer.Visible || layer.Opacity < 255) return false;
    if (layer.UseAlpha && index >= 1) return false;  // would be drawn through its alpha plane
    if (layer.TransparentColor >= 0 && !list_.FirstLayerOpaque) return false;  // the first drawn layer
    if (header_.Version >= 103 && header_.Compression == 2 && bits != 24) return false;
    return true;
  }

  // Decodes the colour plane into `target` (sized as the frame) and the alpha plane, when the
  // layer has one, into `target`'s alpha plane; with `alpha_to_frame` into the frame's instead.
  void DecodePlanes(TWexaLayer& layer, TWexaFrame& frame, TDIBSurface& target, bool alpha_to_frame) {
    const int32_t width = frame.Surface.Width(), height = frame.Surface.Height();
    std::vector<uint8_t> scratch;
    const uint64_t start = budget_.Held();
    const std::span<const uint8_t> color = PlaneData(ReadStreamInteger(s_), scratch);
    budget_.Decode(uint64_t(width) * uint64_t(height));
    if (header_.Version >= 103 && header_.Compression == 2) {
      if (target.BitCount() == 24) {
        DecodeJpegPlane(color, width, height, target);
      } else {
        // A picture of another depth takes the decoded colours converted to its own format.
        budget_.Charge(PlaneBytes(width, height, 24));
        TDIBSurface decoded;
        DecodeJpegPlane(color, width, height, decoded);
        ConvertBlit(target.View(), TRect{0, 0, width, height}, decoded.View(), TRect{0, 0, width, height});
        budget_.Release(PlaneBytes(width, height, 24));
      }
    } else {
      TPlaneBytes bytes(color, header_.Compression == 0);
      DecodePlane(bytes, LayoutFor(false), target,
                  [this](int32_t a, int32_t b) -> const TDIB& { return TilePlane(a, b, false); });
    }

    if (header_.Version < 100) return;
    const std::span<const uint8_t> alpha = PlaneData(ReadStreamInteger(s_), scratch);
    if (alpha.empty()) return;
    layer.TransparentColor = -1;
    const uint64_t alpha_bytes = PlaneBytes(width, height, 8);
    budget_.Charge(alpha_bytes);
    budget_.Decode(uint64_t(width) * uint64_t(height));
    // Decoded straight into the frame, the alpha plane is kept only when the frame takes it over;
    // otherwise it is still decoded (and so checked), then dropped.
    TDIB unused;
    TDIB* plane = &unused;
    if (&target == &frame.Surface && !alpha_to_frame) {
      unused.SetSize(width, height, 8);
    } else {
      target.NeedAlpha();
      plane = target.Alpha();
    }
    const bool jpeg = header_.Version >= 103 && header_.Compression == 2;
    TPlaneBytes bytes(alpha, header_.Compression == 0 || header_.Compression == 2);
    DecodePlane(bytes, LayoutFor(jpeg), *plane,
                [this](int32_t a, int32_t b) -> const TDIB& { return TilePlane(a, b, true); });
    // The scratch copy goes now, and so does a plane decoded only to be checked; a kept alpha
    // plane stays charged.
    budget_.Release(budget_.Held() - start - (plane == &unused ? 0 : alpha_bytes));
  }

  void Composite(TWexaFrame& frame, TWexaLayer& layer, int32_t index, bool& first) {
    if (!layer.Visible) return;
    TDIBSurface& target = frame.Surface;
    const TDIBSurface& source = layer.Surface;
    const TRect whole{0, 0, source.Width(), source.Height()};
    const bool alpha = source.Alpha() != nullptr && layer.UseAlpha;
    if (alpha && index >= 1) {
      target.DrawAlphaMask(0, 0, 255, whole, source);
      first = false;
      return;
    }
    if (alpha) target.SetAlphaFrom(*source.Alpha());
    if ((layer.TransparentColor < 0 || (first && list_.FirstLayerOpaque)) && layer.Opacity >= 255) {
      target.Draw(0, 0, source);
    } else {
      target.DrawTranslucent(0, 0, layer.Opacity, layer.TransparentColor < 0 ? -1 : layer.TransparentColor,
                             whole, source);
    }
    first = false;
  }

  void PostProcess(TWexaFrame& frame) {
    TDIBSurface& s = frame.Surface;
    if ((frame.HasAlpha() || frame.TransparentColor < 0) && list_.TargetBitCount > 0) {
      s.ConvertBitCount(list_.TargetBitCount, 0, true);
    } else if (s.BitCount() <= 8) {
      int32_t found_x = -1, found_y = -1;
      if (frame.TransparentIndex >= 0) {
        for (int32_t y = 0; y < s.Height() && found_x < 0; ++y) {
          const uint8_t* row = s.RowAddress(y);
          for (int32_t x = 0; x < s.Width(); ++x) {
            if (int64_t(ReadViewPixel(row, x, s.BitCount())) == frame.TransparentIndex) {
              found_x = x;
              found_y = y;
              break;
            }
          }
        }
      }
      s.SetBitCount(24);
      if (found_x >= 0) frame.TransparentIndex = int32_t(s.GetPixel(found_x, found_y));
    }
    ++completed_;
  }

  TWexaFrameList& list_;
  TStream& s_;
  TWexaHeader header_;
  bool keep_layers_ = false;
  TPictureBudget budget_;
  uint64_t frame_start_ = 0;
  int32_t completed_ = 0;
};

void TWexaFrameList::LoadLayered(TStream& stream, bool first_only) { TWexaReader(*this, stream).Run(first_only); }

}  // namespace kova
