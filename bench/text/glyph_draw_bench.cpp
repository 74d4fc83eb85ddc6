// Glyphs on the screen, over the installed IPA Gothic face: a miss of the glyph cache (compare
// with kova_bench_platform's BM_GlyphBareFreeType, the same 2,000 kanji at the same cell straight
// from FreeType), a hit, a full page rendered and composed against the bare mask blits of the same
// rectangles, the glyph drawing routines alone, and a 40-character label rendered with a warm and
// a cold cache.
#if KOVA_BENCH_FONTS
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/dibx.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/sjis_unicode.h"
#include "platform/text/text_codec.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"
#include "text/label_list.h"
#include "text/xr_word.h"

namespace kova {
namespace {

constexpr int32_t kCell = 24;

std::vector<uint16_t> KanjiCodes(const plat::TSjisUnicodeTable& table, size_t count) {
  std::vector<uint16_t> codes;
  for (unsigned code = 0x889F; code <= 0x9FFC && codes.size() < count; ++code) {
    if (table(static_cast<uint16_t>(code)) >= 0x4E00) codes.push_back(static_cast<uint16_t>(code));
  }
  return codes;
}

// n characters cycling through the first `distinct` codes.
std::string Text(const std::vector<uint16_t>& codes, size_t n, size_t distinct) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += char(codes[i % distinct] >> 8);
    s += char(codes[i % distinct] & 0xFF);
  }
  return s;
}

struct TFonts {
  plat::TFontconfigSource source;
  plat::TFreeTypeFonts fonts{source};
  TGlyphLayerFont font{fonts};
  plat::TSjisUnicodeTable table;
  std::vector<uint16_t> codes = KanjiCodes(table, 2000);
  std::string face = plat::Utf8ToCp932("ＭＳ ゴシック");
  bool ok = source.FindFamily("IPAGothic").has_value() && codes.size() == 2000;
};

TFonts& Fonts() {
  static TFonts f;
  return f;
}

// Every request a miss: 2,000 codes cycle through a cache of 256.
void BM_GlyphCacheMiss(benchmark::State& state) {
  TFonts& f = Fonts();
  if (!f.ok) return state.SkipWithError("no IPA Gothic");
  TFontPixelManager cache(f.font);
  cache.SetQuality(state.range(0) ? 3 : 0);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.GetGlyph(f.codes[i], f.face, kCell, 0).get());
    if (++i == f.codes.size()) i = 0;
  }
}
BENCHMARK(BM_GlyphCacheMiss)->Arg(0)->Arg(1)->ArgName("grey");

// Every request a hit: 200 codes in a cache of 256.
void BM_GlyphCacheHit(benchmark::State& state) {
  TFonts& f = Fonts();
  if (!f.ok) return state.SkipWithError("no IPA Gothic");
  TFontPixelManager cache(f.font);
  for (size_t k = 0; k < 200; ++k) cache.GetGlyph(f.codes[k], f.face, kCell, 0);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.GetGlyph(f.codes[i], f.face, kCell, 0).get());
    if (++i == 200) i = 0;
  }
}
BENCHMARK(BM_GlyphCacheHit);

// A full page: 400 glyphs of 24 pixels (100 distinct), border 1, shadow 1, into 1280 x 720 x 32.
struct TPage {
  TFontPixelManager cache{Fonts().font};
  TXrWord doc;
  TPageList pages;
  TDIBX target;
  TPage() {
    target.SetSize(1280, 720, 32);
    target.Fill(0);
    doc.FontSize = kCell;
    doc.FontName = Fonts().face;
    doc.WrapWidth = 1280;
    doc.PageHeight = 720;
    doc.BorderWidth = 1;
    doc.ShadowWidth = 1;
    doc.TextColor = 0xFFFFFF;
    doc.BorderColor = 0x402000;
    doc.Target = &target;
    doc.GlyphCache = &cache;
    doc.ScreenBits = 32;
    doc.UpdateRect = TRect{0, 0, 1280, 720};
    doc.Parse("<FONT BORDER=1 SHADOW=1>" + Text(Fonts().codes, 400, 100) + "</FONT>");
    doc.Layout(pages);
    pages[0]->Render(false);
    pages[0]->SetAlphaAll(255);
  }
};

void BM_PageRenderCompose(benchmark::State& state) {
  if (!Fonts().ok) return state.SkipWithError("no IPA Gothic");
  TPage p;
  for (auto _ : state) {
    p.pages[0]->Render(false);
    p.pages[0]->Compose();
  }
  state.counters["glyphs"] = double(p.doc.GlyphCount());
}
BENCHMARK(BM_PageRenderCompose)->Unit(benchmark::kMillisecond);

// Compose alone, and the bare mask blits of the same rectangles from the same work surfaces.
void BM_PageCompose(benchmark::State& state) {
  if (!Fonts().ok) return state.SkipWithError("no IPA Gothic");
  TPage p;
  for (auto _ : state) p.pages[0]->Compose();
}
BENCHMARK(BM_PageCompose)->Unit(benchmark::kMillisecond);

void BM_PageBareMaskBlits(benchmark::State& state) {
  if (!Fonts().ok) return state.SkipWithError("no IPA Gothic");
  TPage p;
  std::vector<TRect> rects;
  for (int i = 0; i < p.doc.GlyphCount(); ++i) {
    if (auto* c = dynamic_cast<TWdChar*>(p.doc.Glyphs(i))) rects.push_back(c->DrawnRect);
  }
  for (auto _ : state) {
    for (const TRect& r : rects) {
      p.target.DrawMask(r.Left, r.Top, p.doc.ColorSurface(), r, false, false, p.doc.CoverSurface());
    }
  }
}
BENCHMARK(BM_PageBareMaskBlits)->Unit(benchmark::kMillisecond);

// TFontPixel::Draw alone: 100 cached grey glyphs of 24 pixels drawn over and over into a colour and
// a coverage surface, plain (border 0, shadow 0: the solid routine), shadowed (the body-over
// blend) and bordered with a shadow (the two-colour blend), at 16 and 32 bits.
void BM_GlyphDraw(benchmark::State& state) {
  TFonts& f = Fonts();
  if (!f.ok) return state.SkipWithError("no IPA Gothic");
  const int32_t bits = int32_t(state.range(0)), path = int32_t(state.range(1));
  TFontPixelManager cache(f.font);
  std::vector<TFontPixelRef> glyphs;
  for (size_t k = 0; k < 100; ++k) glyphs.push_back(cache.GetGlyph(f.codes[k], f.face, kCell, 0));
  TDIBX color, cover;
  color.SetSize(640, 64, bits);
  cover.SetSize(640, 64, 8);
  TGlyphDrawArgs args;
  args.Border = path == 2 ? 1 : 0;
  args.Shadow = path >= 1 ? 1 : 0;
  args.Colors.Text = uint32_t(color.ColorToPixel(0xFFFFFF));
  args.Colors.Border = uint32_t(color.ColorToPixel(0x402000));
  args.Colors.Shadow = uint32_t(color.ColorToPixel(0x202020));
  for (auto _ : state) {
    for (size_t k = 0; k < glyphs.size(); ++k) {
      const int32_t x = int32_t(k % 20) * 30;
      args.Cell = TRect{x, 4, x + 30, 4 + kCell + 4};
      benchmark::DoNotOptimize(glyphs[k]->Draw(color, cover, args));
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(glyphs.size()));
}
BENCHMARK(BM_GlyphDraw)
    ->ArgsProduct({{16, 32}, {0, 1, 2}})
    ->ArgNames({"bits", "path"})
    ->Unit(benchmark::kMicrosecond);

// A label of 40 characters rendered again: its glyphs cached (warm) or made anew (cold).
void BM_LabelRender(benchmark::State& state) {
  TFonts& f = Fonts();
  if (!f.ok) return state.SkipWithError("no IPA Gothic");
  const bool warm = state.range(0) != 0;
  std::unique_ptr<TFontPixelManager> cache = std::make_unique<TFontPixelManager>(f.font);
  TDIBX target;
  target.SetSize(1280, 64, 32);
  TXrLabelList list(cache.get());
  list.FontName = f.face;
  list.FontHeight = kCell;
  list.Target = &target;
  TXrLabelDIB* label = list.Add();
  label->SetText(Text(f.codes, 40, 40));
  list.Measure();
  label->Render();
  for (auto _ : state) {
    if (!warm) {
      state.PauseTiming();
      cache = std::make_unique<TFontPixelManager>(f.font);
      list.SetGlyphs(cache.get());
      state.ResumeTiming();
    }
    label->Render();
  }
}
BENCHMARK(BM_LabelRender)->Arg(0)->Arg(1)->ArgName("warm")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
#endif  // KOVA_BENCH_FONTS
