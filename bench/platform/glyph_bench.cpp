// The glyph layer against bare FreeType: a glyph made from its outline (what every miss of the
// text drawing's glyph cache costs), and switching between two sizes.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/sjis_unicode.h"
#include "platform/text/text_codec.h"

namespace {

using namespace kova::plat;

constexpr int32_t kCell = 24;

// 2,000 distinct kanji codes, from the start of the first level.
std::vector<uint16_t> KanjiCodes(const TSjisUnicodeTable& table) {
  std::vector<uint16_t> codes;
  for (unsigned code = 0x889F; code <= 0x9FFC && codes.size() < 2000; ++code) {
    if (table(static_cast<uint16_t>(code)) >= 0x4E00) codes.push_back(static_cast<uint16_t>(code));
  }
  return codes;
}

struct TFixture {
  TFontconfigSource source;
  TFreeTypeFonts fonts{source};
  TSjisUnicodeTable table;
  std::vector<uint16_t> codes = KanjiCodes(table);
  std::string face = Utf8ToCp932("ＭＳ ゴシック");
  TFaceFile file;
  bool ok = false;
  TFixture() {
    const std::vector<TFaceFile> candidates =
        source.FaceCandidates(Cp932ToUtf8(face), false, false);
    ok = !candidates.empty() && !codes.empty();
    if (ok) file = candidates.front();
  }
};

TFixture& Fixture() {
  static TFixture f;
  return f;
}

TGlyphFormat FormatArg(const benchmark::State& state) {
  return state.range(0) == 0 ? TGlyphFormat::Mono : TGlyphFormat::Grey8;
}

void BM_GlyphLayer(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  const auto font = f.fonts.OpenFont({f.face, kCell, 0});
  const TGlyphFormat format = FormatArg(state);
  TGlyphBitmap g;
  size_t i = 0;
  for (auto _ : state) {
    font->Glyph(f.codes[i], format, g);
    benchmark::DoNotOptimize(g.levels.data());
    if (++i == f.codes.size()) i = 0;
  }
}
BENCHMARK(BM_GlyphLayer)->Arg(0)->Arg(1)->ArgName("grey");

// The same glyphs straight from FreeType: the face at the same pixels per em, FT_Load_Char with
// the layer's load flags and FT_Render_Glyph.
class TBareFace {
 public:
  explicit TBareFace(const TFaceFile& file) {
    if (FT_Init_FreeType(&lib_) != 0) return;
    if (FT_New_Face(lib_, file.path.c_str(), file.index, &face_) != 0) face_ = nullptr;
  }
  ~TBareFace() {
    if (face_) FT_Done_Face(face_);
    if (lib_) FT_Done_FreeType(lib_);
  }
  FT_Face Get() const { return face_; }
  // The layer's pixels per em (26.6) for a cell height.
  FT_F26Dot6 Ppem(int32_t cell) const {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    const double design = os2->usWinAscent + os2->usWinDescent;
    return static_cast<FT_F26Dot6>(std::lround(cell * face_->units_per_EM / design * 64));
  }

 private:
  FT_Library lib_ = nullptr;
  FT_Face face_ = nullptr;
};

void BM_GlyphBareFreeType(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  TBareFace bare(f.file);
  FT_Face face = bare.Get();
  if (!face) return state.SkipWithError("FreeType failed");
  FT_Set_Char_Size(face, 0, bare.Ppem(kCell), 72, 72);
  std::vector<char32_t> chars;
  for (uint16_t code : f.codes) chars.push_back(f.table(code));
  const FT_Render_Mode mode =
      FormatArg(state) == TGlyphFormat::Mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
  size_t i = 0;
  for (auto _ : state) {
    FT_Load_Char(face, chars[i], FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
    FT_Render_Glyph(face->glyph, mode);
    benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    if (++i == chars.size()) i = 0;
  }
}
BENCHMARK(BM_GlyphBareFreeType)->Arg(0)->Arg(1)->ArgName("grey");

// Switching between two sizes of one face, as text in two sizes does: the layer hands out its
// font objects (each with its own FreeType size) ...
void BM_SwitchSizeLayer(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  TGlyphBitmap g;
  int32_t cell = 16;
  for (auto _ : state) {
    cell = cell == 16 ? 24 : 16;
    const auto font = f.fonts.OpenFont({f.face, cell, 0});
    font->Glyph(f.codes[0], TGlyphFormat::Grey8, g);
    benchmark::DoNotOptimize(g.levels.data());
  }
}
BENCHMARK(BM_SwitchSizeLayer);

// ... against setting the one size of a bare face anew each time.
void BM_SwitchSizeBareFreeType(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  TBareFace bare(f.file);
  FT_Face face = bare.Get();
  if (!face) return state.SkipWithError("FreeType failed");
  const char32_t ch = f.table(f.codes[0]);
  const FT_F26Dot6 small = bare.Ppem(16), large = bare.Ppem(24);
  bool big = false;
  for (auto _ : state) {
    big = !big;
    FT_Set_Char_Size(face, 0, big ? large : small, 72, 72);
    FT_Load_Char(face, ch, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT);
    FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
    benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
  }
}
BENCHMARK(BM_SwitchSizeBareFreeType);

// Asking again for fonts made before (two sizes in turn): the layer's font lookup alone.
void BM_OpenFontAgain(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  int32_t cell = 16;
  for (auto _ : state) {
    cell = cell == 16 ? 24 : 16;
    benchmark::DoNotOptimize(f.fonts.OpenFont({f.face, cell, 0}));
  }
}
BENCHMARK(BM_OpenFontAgain);

// Measuring a character without its bitmap (what label widths cost).
void BM_AbcWidths(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.ok) return state.SkipWithError("no Japanese font");
  const auto font = f.fonts.OpenFont({f.face, kCell, 0});
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(font->AbcWidths(f.codes[i]));
    if (++i == f.codes.size()) i = 0;
  }
}
BENCHMARK(BM_AbcWidths);

}  // namespace
