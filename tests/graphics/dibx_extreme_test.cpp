// Every drawing operation at the ends of the 32-bit range: rectangles, points, source rectangles,
// sizes, scales, spacings, origins and levels of INT32_MIN and INT32_MAX draw only inside the clip
// rectangle (under the sanitizers: without overflow or a stray write), on a memory surface and
// through a wave surface; and rectangles that cover everything draw exactly the clip.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dibx_test_util.h"
#include "dibx_xf_test_util.h"
#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "graphics/dibx_wave.h"

namespace kova {
namespace {

using test::FillNoise;
using test::Make;
using test::Pixels;

constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;

const TRect kRects[] = {
    {kMin, kMin, kMax, kMax}, {kMin, 0, kMin + 8, 8}, {kMax - 8, 0, kMax, 8}, {0, kMin, 8, kMax},
    {kMin, kMin, 5, 5},       {-5, -5, kMax, kMax},   {kMax, kMax, kMin, kMin}, {1, 1, 9, 7},
};
const int32_t kValues[] = {kMin, kMin + 1, -1, 3, kMax - 1, kMax};

// The surfaces an operation may read.
struct TSources {
  TDIBX src, mask, codes4, codes8, mono;
  std::vector<uint32_t> table = std::vector<uint32_t>(256, 0x00ABCDEF);
  TSources() {
    Make(src, 6, 5, 32);
    FillNoise(src, 3);
    src.TransparentColor = int32_t(src.GetPixel(1, 1));
    Make(mask, 6, 5, 8, 200);
    Make(codes4, 6, 5, 4, 7);
    Make(codes8, 6, 5, 8, 90);
    Make(mono, 8, 8, 1, 0);
  }
};

using TOperation = std::function<void(TCustomDIBX& d, TSources& s, const TRect& r, int32_t v)>;

struct TCase {
  const char* name;
  TOperation draw;
};

// Each operation once with the rectangle where it takes a rectangle, and once or twice with the
// value in its other integer arguments.
const TCase kCases[] = {
    {"Fill", [](TCustomDIBX& d, TSources&, const TRect&, int32_t v) { d.Fill(uint32_t(v)); }},
    {"FillRect", [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FillRect(r, uint32_t(v)); }},
    {"FillRectAlpha",
     [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FillRectAlpha(r, 0x123456, v); }},
    {"FillRectAdd", [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FillRectAdd(r, 0x123456, v); }},
    {"FillRectSub", [](TCustomDIBX& d, TSources&, const TRect& r, int32_t) { d.FillRectSub(r, 0x123456); }},
    {"FrameRect", [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FrameRect(r, v, 0x123456); }},
    {"FrameRectAlpha",
     [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FrameRectAlpha(r, v, 0x123456, 128); }},
    {"FrameRectAdd",
     [](TCustomDIBX& d, TSources&, const TRect& r, int32_t v) { d.FrameRectAdd(r, v, 0x123456, v); }},
    {"FillMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.FillMask(v, v, s.mask, s.mask.BoundsRect(), false, true, 0x123456, 200);
       d.FillMask(2, 2, s.mask, r, true, false, 0x123456, v);
     }},
    {"FillPattern",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) { d.FillPattern(r, s.src, v, v, true, false); }},
    {"FramePattern",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) { d.FramePattern(r, v, s.src, r, v, v, v); }},
    {"Draw",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.Draw(v, v, s.src, s.src.BoundsRect(), true, true, false);
       d.Draw(v, 2, s.src, r, false, false, true);
     }},
    {"DrawMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawMask(v, v, s.src, r, false, false, s.mask);
       d.DrawMask(2, v, s.src, s.src.BoundsRect(), true, true, s.mask);
     }},
    {"DrawAlpha",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) { d.DrawAlpha(v, v, s.src, r, true, true, true, v); }},
    {"DrawMaskAlpha",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawMaskAlpha(v, 1, s.src, r, false, true, s.mask, v);
     }},
    {"DrawAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) { d.DrawAdd(1, v, s.src, r, false, true, false, v); }},
    {"DrawMaskAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawMaskAdd(v, v, s.src, r, true, false, s.mask, v);
     }},
    {"DrawRotate",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawRotate(v, v, 256, 256, s.src, s.src.BoundsRect(), 2, 2, 37, true, false, false, 255);
       d.DrawRotate(8, 6, v, v, s.src, r, v, v, v, false, true, true, v);
     }},
    {"DrawRotateMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawRotateMask(v, 6, 300, v, s.src, r, 2, v, 64, true, false, s.mask, v);
     }},
    {"StretchDraw",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchDraw(r, s.src, s.src.BoundsRect(), true, true, false, v);
       d.StretchDraw(TRect{1, 1, 15, 11}, s.src, r, false, false, true, 128);
     }},
    {"StretchDrawMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchDrawMask(r, s.src, s.src.BoundsRect(), false, true, s.mask, v);
       d.StretchDrawMask(TRect{0, 0, 16, 12}, s.src, r, true, false, s.mask, 255);
     }},
    {"StretchDrawAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchDrawAdd(r, s.src, r, true, false, false, v);
     }},
    {"StretchDrawMaskAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchDrawMaskAdd(r, s.src, s.src.BoundsRect(), true, true, s.mask, v);
     }},
    {"DrawMonoReduced",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawMonoReduced(v, v, s.mono, s.mono.BoundsRect(), 0x123456, false, true, 255, 2);
       d.DrawMonoReduced(1, 1, s.mono, r, 0x123456, true, false, v, v);
     }},
    {"DrawMonoReducedColors",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawMonoReducedColors(v, 1, s.codes4, r, {1, 2, 3}, v, true, true, v, v);
       d.DrawMonoReducedColors(v, v, s.codes4, s.codes4.BoundsRect(), {1, 2, 3}, 0, false, false, 255, 1);
     }},
    {"DrawTile",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTile(r, v, v, s.src, s.src.BoundsRect(), true, v, v);
       d.DrawTile(TRect{0, 0, 16, 12}, 1, 1, s.src, r, false, v, 3);
     }},
    {"DrawTileAlpha",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTileAlpha(r, 0, v, s.src, s.src.BoundsRect(), true, v, v, 0);
     }},
    {"DrawTileAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTileAdd(r, v, 0, s.src, s.src.BoundsRect(), true, v, 0, v);
     }},
    {"DrawTileMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTileMask(r, v, v, s.src, s.src.BoundsRect(), s.mask, v, v);
     }},
    {"DrawTileMaskAlpha",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTileMaskAlpha(r, 2, 2, s.src, s.src.BoundsRect(), s.mask, v, v, v);
     }},
    {"DrawTileMaskAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTileMaskAdd(r, 2, v, s.src, s.src.BoundsRect(), s.mask, v, 1, v);
     }},
    {"StretchTile",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchTile(r, v, v, v, v, s.src, s.src.BoundsRect(), true, true, false, 128, v, v);
       d.StretchTile(TRect{0, 0, 16, 12}, 3, 3, 256, 256, s.src, r, false, false, true, v, 1, v);
     }},
    {"StretchTileMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchTileMask(r, 5, v, 300, v, s.src, s.src.BoundsRect(), s.mask, false, true, v, v, v);
     }},
    {"DrawTable",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTable(v, v, s.codes4, r, false, true, false, v, s.table);
     }},
    {"DrawTableAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawTableAdd(v, 2, s.codes8, r, v, false, true, v, s.table);
     }},
    {"StretchDrawTableAdd",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.StretchDrawTableAdd(r, s.codes8, s.codes8.BoundsRect(), v, true, false, v, s.table);
       d.StretchDrawTableAdd(TRect{0, 0, 16, 12}, s.codes8, r, 0, false, true, 255, s.table);
     }},
    {"DrawPatternTable",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawPatternTable(r, v, v, s.src, v, v, true, true, false, v);
     }},
    {"DrawPatternTableMask",
     [](TCustomDIBX& d, TSources& s, const TRect& r, int32_t v) {
       d.DrawPatternTableMask(r, 300, v, s.src, v, 1, false, true, s.mask, v);
     }},
    {"Assign", [](TCustomDIBX& d, TSources& s, const TRect&, int32_t) { d.Assign(s.src); }},
};

constexpr TRect kClip{2, 2, 14, 10};

// The pixels of a 16 x 12 surface outside kClip.
std::vector<uint32_t> Outside(const TDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x)
      if (x < kClip.Left || x >= kClip.Right || y < kClip.Top || y >= kClip.Bottom) out.push_back(s.GetPixel(x, y));
  return out;
}

TEST(DibxExtremes, EveryOperationDrawsOnlyInsideTheClip) {
  TSources sources;
  for (const TCase& c : kCases) {
    for (const TRect& r : kRects) {
      for (int32_t v : kValues) {
        SCOPED_TRACE(testing::Message() << c.name << " rect " << r.Left << "," << r.Top << "," << r.Right << ","
                                        << r.Bottom << " value " << v);
        TDIBX d;
        Make(d, 16, 12, 32);
        FillNoise(d, 7);
        const std::vector<uint32_t> before = Outside(d);
        d.SetClipRect(kClip);
        c.draw(d, sources, r, v);
        ASSERT_EQ(Outside(d), before);
      }
    }
  }
}

// Through a wave whose offsets include the ends of the range: the bands and rows it passes on stay
// inside the target's clip, which it leaves as it was.
TEST(DibxExtremes, WaveSurfacesPassOnlyWhatFits) {
  TSources sources;
  for (const TCase& c : kCases) {
    for (const TRect& r : kRects) {
      for (int32_t v : {kMin, 3, kMax}) {
        SCOPED_TRACE(testing::Message() << c.name << " rect " << r.Left << "," << r.Top << "," << r.Right << ","
                                        << r.Bottom << " value " << v);
        TDIBX target;
        Make(target, 16, 12, 32);
        FillNoise(target, 7);
        const std::vector<uint32_t> before = Outside(target);
        target.SetClipRect(kClip);
        TDIBXWave wave(&target);
        wave.SetSize(16, 12, 32);
        wave.RowOffsets = {0, 0, 3, kMax, kMax, -2, kMin, 1, 1, 0, kMin, 5};
        wave.WaveOrigin = TPoint{v == 3 ? 1 : v, 1};
        c.draw(wave, sources, r, v);
        ASSERT_EQ(Outside(target), before);
        ASSERT_EQ(target.ClipRect, kClip);
      }
    }
  }
}

// The alpha surface's blits and copies with the same rectangles and points: only the rectangle's
// part inside both surfaces is touched (a 16 x 12 surface drawn from a 6 x 5 source at (v, v)
// keeps every pixel a blit cannot reach).
TEST(DibxExtremes, AlphaSurfaceBlitsStayInside) {
  TDIBSurface src;
  src.SetSize(6, 5, 32);
  src.NeedAlpha();
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      src.SetPixel(x, y, 0x010203 * uint32_t(x + 1));
      src.Alpha()->SetPixel(x, y, uint32_t(40 * y));
    }
  for (const TRect& r : kRects) {
    for (int32_t v : kValues) {
      SCOPED_TRACE(testing::Message() << "rect " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom
                                      << " value " << v);
      TDIBSurface d;
      d.SetSize(16, 12, 32);
      d.NeedAlpha();
      d.FillRect(TRect{kMin, kMin, kMax, kMax}, 7);
      d.Draw(v, v, r, src);
      d.DrawKeyed(v, 1, v, r, src);
      d.DrawTranslucent(1, v, v, 0x010203, r, src);
      d.DrawAlphaMask(v, v, v, r, src);
      d.CopyAlphaRect(src, r);
      d.FillRect(r, 9);
      TDIBSurface copy;
      copy.CopyRect(src, r, true);
      ASSERT_LE(copy.Width(), 6);
      ASSERT_LE(copy.Height(), 5);
      copy.Crop(r);
    }
  }
}

// Rectangles over the whole 32-bit plane, and a one-pixel source stretched or tiled over it,
// cover exactly the clip rectangle.
TEST(DibxExtremes, WholePlaneRectanglesCoverTheClip) {
  TDIBX pixel;
  Make(pixel, 1, 1, 32, 0x445566);
  const TRect all{kMin, kMin, kMax, kMax};
  const std::function<void(TDIBX&)> draws[] = {
      [&](TDIBX& d) { d.FillRect(all, 0x445566); },
      [&](TDIBX& d) { d.FrameRect(all, kMax, 0x445566); },
      [&](TDIBX& d) { d.FillPattern(all, pixel, kMin, kMax, true, true); },
      [&](TDIBX& d) { d.StretchDraw(all, pixel, pixel.BoundsRect(), false, true, true, 255); },
      [&](TDIBX& d) { d.DrawTile(all, 0, 0, pixel, pixel.BoundsRect(), false, kMax, kMin); },
      [&](TDIBX& d) { d.StretchTile(all, 1, 1, 256, 256, pixel, pixel.BoundsRect(), false, false, false, 255, kMin, 0); },
      [&](TDIBX& d) { d.DrawPatternTable(all, 256, 256, pixel, kMax, kMin, false, false, false, 255); },
  };
  for (size_t i = 0; i < std::size(draws); ++i) {
    SCOPED_TRACE(i);
    TDIBX d;
    Make(d, 16, 12, 32, 1);
    d.SetClipRect(kClip);
    draws[i](d);
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const bool inside = x >= kClip.Left && x < kClip.Right && y >= kClip.Top && y < kClip.Bottom;
        ASSERT_EQ(d.GetPixel(x, y), inside ? 0x445566u : 1u) << x << ", " << y;
      }
  }
}

}  // namespace
}  // namespace kova
