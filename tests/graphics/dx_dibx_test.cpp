// The display-format surface over headless display buffers in 8-8-8-8, 5-6-5, 5-5-5 and 8-bit
// palette formats: what it reports, colour conversion and its cache, palettes, wrapping, failed
// locks and errors, and the drawing tables run on it against memory surfaces of the same depth.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dibx_test_util.h"
#include "dibx_xf_test_util.h"
#include "graphics/dx_dibx.h"

namespace kova {
namespace {

using test::FillNoise;
using test::Make;
using test::Pixels;
using test::SetRowResults;

struct TFormatCase {
  const char* name;
  TDisplayFormat format;
  int32_t bits;  // what the surface reports (and the memory surface to compare with)
  int32_t storage;
  int32_t red_shift, green_shift, blue_shift;
  uint32_t red;  // ColorToPixel of pure red
};

const TFormatCase kFormats[] = {
    {"8888", kDisplay8888, 32, 32, 16, 8, 0, 0xFF0000},
    {"565", kDisplay565, 16, 16, 11, 5, 0, 0xF800},
    {"555", kDisplay555, 15, 16, 10, 5, 0, 0x7C00},
    {"palette", kDisplayPalette8, 8, 8, 16, 8, 0, 1},
};

// A palette whose entry 1 is pure red and entry 2 pure green.
void SetTestPalette(TCustomDIBX& s) {
  std::vector<TRGBQuad> pal(256);
  pal[1] = TRGBQuad{0, 0, 255, 0};
  pal[2] = TRGBQuad{0, 255, 0, 0};
  s.SetPalette(pal);
}

TEST(DxDibx, ReportsTheDisplayFormat) {
  for (const TFormatCase& f : kFormats) {
    SCOPED_TRACE(f.name);
    TMemoryDisplayFactory factory(f.format);
    TDxDIBX s(&factory);
    EXPECT_TRUE(s.IsEmpty());
    s.SetSize(7, 3, 16);
    ASSERT_FALSE(s.IsEmpty());
    EXPECT_EQ(s.Width(), 7);
    EXPECT_EQ(s.Height(), 3);
    EXPECT_EQ(s.BitCount(), f.bits);
    EXPECT_EQ(s.StorageBitCount(), f.storage);
    EXPECT_EQ(s.Pitch(), (7 * f.storage + 31) / 32 * 4);
    EXPECT_EQ(s.RedShift(), f.red_shift);
    EXPECT_EQ(s.GreenShift(), f.green_shift);
    EXPECT_EQ(s.BlueShift(), f.blue_shift);
    EXPECT_TRUE(s.Owns());
    if (f.bits == 8) SetTestPalette(s);
    EXPECT_EQ(s.ColorToPixel(0x0000FF), int32_t(f.red));
    EXPECT_EQ(s.ColorToPixel(-1), -1);
    // Palette depths are asked for explicitly and get a palette of their size.
    s.SetSize(9, 2, 4);
    EXPECT_EQ(s.BitCount(), 4);
    ASSERT_NE(s.Surface(), nullptr);
    EXPECT_EQ(s.Surface()->PaletteCount(), 16);
  }
}

TEST(DxDibx, ColorCacheHoldsTheLastSixteenColours) {
  TMemoryDisplayFactory factory(kDisplayPalette8);
  TDxDIBX s(&factory);
  s.SetSize(4, 4, 8);
  SetTestPalette(s);
  ASSERT_EQ(s.ColorToPixel(0x0000FF), 1);
  // Red moves to entry 2; the cached answer stays until red leaves the cache.
  std::vector<TRGBQuad> pal(256);
  pal[2] = TRGBQuad{0, 0, 255, 0};
  s.SetPalette(pal);
  for (int32_t i = 1; i <= 15; ++i) s.ColorToPixel(0x010101 * i);
  EXPECT_EQ(s.ColorToPixel(0x0000FF), 1);
  s.ColorToPixel(0x101010);  // the seventeenth distinct colour replaces red
  EXPECT_EQ(s.ColorToPixel(0x0000FF), 2);
  // SetSize empties the cache (the new palette is all black).
  s.SetSize(4, 4, 8);
  EXPECT_EQ(s.ColorToPixel(0x0000FF), 0);
  // Converting leaves the pixels alone.
  s.SetPixel(0, 0, 77);
  s.ColorToPixel(0x00FF00);
  EXPECT_EQ(s.GetPixel(0, 0), 77u);
}

TEST(DxDibx, ErrorsAndSurfacesWithoutBuffers) {
  TMemoryDisplayFactory factory;
  TDxDIBX s(&factory);
  s.SetSize(4, 4, 32);
  std::string message;
  try {
    s.SetSize(0, 4, 32);
  } catch (const EDisplaySurfaceError& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, "\"CreateSurface\" Failed");
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.PixelAddress(0, 0), nullptr);

  s.SetSize(4, 4, 8);
  std::vector<TRGBQuad> entries(4);
  message.clear();
  try {
    s.SetPaletteEntries(entries, 254, 4);
  } catch (const EDisplaySurfaceError& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, "FPalette.SetEntries Failed");
  // Without a palette the palette operations do nothing.
  s.SetSize(4, 4, 32);
  s.SetPaletteEntries(entries, 254, 4);
  std::vector<TRGBQuad> got(4, TRGBQuad{1, 2, 3, 4});
  s.GetPalette(got);
  EXPECT_EQ(got[0], (TRGBQuad{1, 2, 3, 4}));

  // Without a factory SetSize makes no buffer.
  TDxDIBX none(nullptr);
  none.SetSize(5, 5, 32);
  EXPECT_TRUE(none.IsEmpty());
  EXPECT_EQ(none.Width(), 0);
}

TEST(DxDibx, WrappersLeaveTheBufferToItsCreator) {
  TMemoryDisplayBuffer buffer(8, 4, kDisplay565);
  {
    auto w = TDxDIBX::CreateFromSurface(buffer);
    EXPECT_FALSE(w->Owns());
    EXPECT_EQ(w->Pitch(), 16);
    w->FillRect(TRect{1, 1, 3, 2}, 0x1234);
    w->GetDC();
    w->ReleaseSurface();
    EXPECT_FALSE(w->IsEmpty());
  }
  EXPECT_EQ(buffer.LockDepth(), 0);
  auto again = TDxDIBX::CreateFromSurface(buffer);
  EXPECT_EQ(again->GetPixel(2, 1), 0x1234u);
  EXPECT_EQ(again->GetPixel(3, 1), 0u);
}

TEST(DxDibx, FailedLocksDrawNothing) {
  TMemoryDisplayBuffer buffer(8, 4, kDisplay8888);
  auto s = TDxDIBX::CreateFromSurface(buffer);
  s->SetPixel(1, 1, 5);
  TDIBX src;
  Make(src, 4, 4, 32, 9);
  buffer.SetLockable(false);
  EXPECT_EQ(s->GetPixel(1, 1), 0u);
  EXPECT_EQ(s->PixelAddress(0, 0), nullptr);
  EXPECT_EQ(s->GetDC().Bits, nullptr);
  s->FillRect(s->BoundsRect(), 7);
  s->StretchDraw(s->BoundsRect(), src, src.BoundsRect(), false, false, false, 255);
  s->DrawRotate(2, 2, 256, 256, src, src.BoundsRect(), 0, 0, 10, false, false, false, 255);
  buffer.SetLockable(true);
  EXPECT_EQ(s->GetPixel(1, 1), 5u);
  EXPECT_EQ(s->GetPixel(0, 0), 0u);
  EXPECT_EQ(buffer.LockDepth(), 0);
}

TEST(DxDibx, FillAndBlitValuesInEachFormat) {
  // Alpha 128 of white over black, and the additive fill saturating.
  for (const TFormatCase& f : kFormats) {
    SCOPED_TRACE(f.name);
    TMemoryDisplayFactory factory(f.format);
    TDxDIBX s(&factory);
    s.SetSize(19, 2, 32);
    const uint32_t white = test::FullValue(f.bits);
    s.FillRect(s.BoundsRect(), 0);
    s.FillRectAlpha(s.BoundsRect(), white, 128);
    const uint32_t half = f.bits == 8 ? 0x7F : f.bits == 15 ? 0x3DEF : f.bits == 16 ? 0x7BEF : 0x7F7F7F;
    for (uint32_t p : Pixels(s)) ASSERT_EQ(p, half);
    s.FillRectAdd(s.BoundsRect(), white);
    for (uint32_t p : Pixels(s)) ASSERT_EQ(p, white);
  }
}

// One drawing operation applied to a destination with a source, a same-size mask, a 4-bit code
// picture, an 8-bit code picture and a 1-bit glyph.
struct TSources {
  TCustomDIBX* src;
  TDIBX mask, codes4, codes8, mono;
};
using TOp = std::function<void(TCustomDIBX&, TSources&)>;

std::vector<std::pair<const char*, TOp>> DrawingTable() {
  const std::vector<uint32_t> table16 = {0, 0x11, 0x2222, 0x334455, 0x7, 0x7FFF, 0xFFFF, 0x123456,
                                         0x8, 0x9, 0xA, 0xB, 0xC, 0xD, 0xE, 0xFFFFFF};
  std::vector<uint32_t> table256(256);
  for (uint32_t i = 0; i < 256; ++i) table256[i] = i * 0x010203;
  const TRect part{2, 1, 13, 9};
  return {
      {"FillRect", [](TCustomDIBX& d, TSources&) { d.FillRect(TRect{-3, 2, 30, 7}, 0x5A5A5A & 0xFFFF); }},
      {"FillRectAlpha", [](TCustomDIBX& d, TSources&) { d.FillRectAlpha(TRect{1, 1, 20, 15}, 0x3C71, 100); }},
      {"FillRectAdd", [](TCustomDIBX& d, TSources&) { d.FillRectAdd(TRect{1, 1, 20, 15}, 0x2345); }},
      {"FillRectSub", [](TCustomDIBX& d, TSources&) { d.FillRectSub(TRect{1, 1, 20, 15}, 0x2345); }},
      {"FrameRect", [](TCustomDIBX& d, TSources&) { d.FrameRect(TRect{1, 1, 20, 15}, 3, 0x11); }},
      {"FillMask", [](TCustomDIBX& d, TSources& s) {
         d.FillMask(-2, 3, s.mask, s.mask.BoundsRect(), true, false, 0x7777, 200);
       }},
      {"FillPattern", [](TCustomDIBX& d, TSources& s) {
         d.FillPattern(TRect{0, 0, 25, 17}, *s.src, -3, 5, true, true);
       }},
      {"Draw", [part](TCustomDIBX& d, TSources& s) { d.Draw(-1, 3, *s.src, part, true, true, false); }},
      {"DrawAlpha", [part](TCustomDIBX& d, TSources& s) { d.DrawAlpha(5, -2, *s.src, part, true, false, true, 90); }},
      {"DrawAdd", [part](TCustomDIBX& d, TSources& s) { d.DrawAdd(4, 4, *s.src, part, true, false, false, 160); }},
      {"DrawMask", [part](TCustomDIBX& d, TSources& s) { d.DrawMask(3, 2, *s.src, part, true, true, s.mask); }},
      {"DrawMaskAlpha", [part](TCustomDIBX& d, TSources& s) {
         d.DrawMaskAlpha(3, 2, *s.src, part, false, false, s.mask, 140);
       }},
      {"DrawMaskAdd", [part](TCustomDIBX& d, TSources& s) {
         d.DrawMaskAdd(3, 2, *s.src, part, false, true, s.mask, 255);
       }},
      {"StretchDraw", [part](TCustomDIBX& d, TSources& s) {
         d.StretchDraw(TRect{-4, 1, 27, 16}, *s.src, part, true, true, false, 170);
       }},
      {"StretchDrawMask", [part](TCustomDIBX& d, TSources& s) {
         d.StretchDrawMask(TRect{2, 0, 9, 19}, *s.src, part, false, true, s.mask, 255);
       }},
      {"StretchDrawAdd", [part](TCustomDIBX& d, TSources& s) {
         d.StretchDrawAdd(TRect{0, 0, 25, 17}, *s.src, part, false, false, false, 99);
       }},
      {"DrawRotate", [part](TCustomDIBX& d, TSources& s) {
         d.DrawRotate(11, 8, 300, 280, *s.src, part, 5, 4, 37, true, false, true, 255);
       }},
      {"DrawRotateMask", [](TCustomDIBX& d, TSources& s) {
         d.DrawRotateMask(11, 8, 256, 380, *s.src, s.src->BoundsRect(), 5, 4, 200, true, false, s.mask, 300);
       }},
      {"DrawPatternTable", [](TCustomDIBX& d, TSources& s) {
         d.DrawPatternTable(TRect{1, 0, 24, 17}, 384, 200, *s.src, -7, 3, true, true, false, 120);
       }},
      {"DrawTile", [part](TCustomDIBX& d, TSources& s) {
         d.DrawTile(TRect{0, 0, 25, 17}, 1, 2, *s.src, part, true, -4, 3);
       }},
      {"StretchTile", [part](TCustomDIBX& d, TSources& s) {
         d.StretchTile(TRect{0, 0, 25, 17}, 9, 7, 200, 300, *s.src, part, false, true, false, 200, 3, -2);
       }},
      {"DrawTable", [table16](TCustomDIBX& d, TSources& s) {
         d.DrawTable(2, 1, s.codes4, s.codes4.BoundsRect(), false, true, false, 255, table16);
       }},
      {"DrawTableAdd", [table256](TCustomDIBX& d, TSources& s) {
         d.DrawTableAdd(-1, 2, s.codes8, s.codes8.BoundsRect(), 40, false, true, 180, table256);
       }},
      {"DrawMonoReduced", [](TCustomDIBX& d, TSources& s) {
         d.DrawMonoReduced(3, 3, s.mono, s.mono.BoundsRect(), 0x4321, false, false, 255, 4);
       }},
  };
}

// The tables of the drawing operations give the same pixels on the display-format surface (rows
// top-down) as on a memory surface (rows bottom-up) of the same depth, from memory and from
// display-format sources, under both result rules.
TEST(DxDibx, DrawingTablesMatchMemorySurfaces) {
  for (const TFormatCase& f : kFormats) {
    TMemoryDisplayFactory factory(f.format);
    for (bool row : {true, false}) {
      for (bool dx_source : {false, true}) {
        TDIBX mem_src;
        Make(mem_src, 14, 10, f.bits);
        FillNoise(mem_src, 11);
        TDxDIBX dx_src(&factory);
        dx_src.SetSize(14, 10, f.bits);
        FillNoise(dx_src, 11);
        for (auto* s : std::initializer_list<TCustomDIBX*>{&mem_src, &dx_src}) {
          s->TransparentColor = int32_t(s->GetPixel(3, 3));
        }
        TSources sources{dx_source ? static_cast<TCustomDIBX*>(&dx_src) : &mem_src, {}, {}, {}, {}};
        Make(sources.mask, 14, 10, 8);
        FillNoise(sources.mask, 12);
        sources.mask.SetPixel(4, 4, 0);
        sources.mask.SetPixel(5, 4, 255);
        sources.codes4.SetSize(9, 5, 4);
        FillNoise(sources.codes4, 13);
        sources.codes4.TransparentColor = 3;
        Make(sources.codes8, 9, 5, 8);
        FillNoise(sources.codes8, 14);
        sources.mono.SetSize(16, 12, 1);
        for (int32_t y = 0; y < 12; ++y)
          for (int32_t x = 0; x < 16; ++x) sources.mono.SetPixel(x, y, (x * 7 + y * 3) % 5 < 2 ? 0 : 1);
        for (auto& [name, op] : DrawingTable()) {
          SCOPED_TRACE(testing::Message() << f.name << " row " << row << " dx source " << dx_source << " " << name);
          TDIBX mem;
          Make(mem, 25, 17, f.bits);
          FillNoise(mem, 21);
          TDxDIBX dx(&factory);
          SetRowResults(row, mem, dx);
          dx.SetSize(25, 17, f.bits);
          FillNoise(dx, 21);
          ASSERT_EQ(dx.BitCount(), f.bits);
          mem.SetClipRect(TRect{1, 2, 23, 16});
          dx.SetClipRect(TRect{1, 2, 23, 16});
          op(mem, sources);
          op(dx, sources);
          ASSERT_EQ(Pixels(dx), Pixels(mem));
          ASSERT_EQ(static_cast<TMemoryDisplayBuffer*>(dx.Surface())->LockDepth(), 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kova
