// A menu of 20 rows (its labels rendered already) drawn by the component against the sum of its
// raw blits: the same 20 coverage surfaces filled onto the same screen at the same places. The
// difference is what the menu adds: its geometry, clipping and label look-ups.
// Over the installed IPA Gothic face (FreeType and fontconfig).
#ifdef KOVA_BENCH_FONTS
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_menu.h"
#include "components/scene/scene_host.h"
#include "graphics/dibx.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/text_codec.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

constexpr int32_t kW = 640, kH = 720, kRows = 20;

struct MenuScene {
  MenuScene() : host(kDisplay8888), root(TSceneRootParts{.host = &host, .glyph_cache = &cache}) {
    host.SetScreenSize(kW, kH);
    root.SetWidth(kW);
    root.SetHeight(kH);
    root.SetColor(-1);
    root.ActiveBase()->SetVisible(true);
    menu = static_cast<TKovaMenu*>(root.CreateComponent(KT_MENU));
    menu->SetParent(root.ActiveBase());
    menu->SetBounds(20, 10, 0, 0);
    menu->SetFontName(plat::Utf8ToCp932("ＭＳ ゴシック"));
    menu->SetFontHeight(24);
    menu->SetFontColor(0xFFFFFF);
    menu->SetLineSpace(8);
    menu->SetRowCount(kRows);
    std::string text;
    for (int i = 0; i < kRows; ++i) {
      if (i) text += "\r\n";
      text += plat::Utf8ToCp932("設定項目") + " " + std::to_string(i + 1) + plat::Utf8ToCp932("：文字の速さ");
    }
    menu->SetText(text);
    menu->SetPlayState(TKovaMenu::kOpen);
    target = root.DrawTarget();
    // Warm: every label rendered once.
    menu->Draw();
  }
  plat::TFontconfigSource source;
  plat::TFreeTypeFonts fonts{source};
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  THeadlessSceneHost host;
  TKovaBaseList root;
  TKovaMenu* menu = nullptr;
  TCustomDIBX* target = nullptr;
  bool ok = source.FindFamily("IPAGothic").has_value();
};

void BM_Menu20Rows(benchmark::State& state) {
  MenuScene s;
  if (!s.ok) return state.SkipWithError("no IPA Gothic");
  for (auto _ : state) {
    s.menu->Draw();
    benchmark::ClobberMemory();
  }
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_Menu20Rows)->Unit(benchmark::kMicrosecond);

// The same labels' coverage filled at the places the menu puts them, and nothing else.
void BM_Menu20RawBlits(benchmark::State& state) {
  MenuScene s;
  if (!s.ok) return state.SkipWithError("no IPA Gothic");
  const TRect r = s.menu->GetBoundsRect();
  const uint32_t pixel = uint32_t(s.target->ColorToPixel(0xFFFFFF));
  TXrLabelList& labels = s.menu->NormalLabels();
  for (auto _ : state) {
    for (int32_t i = 0; i < kRows; ++i) {
      TXrLabelDIB& l = *labels.Items(i);
      s.target->FillMask(r.Left, r.Top + i * (24 + 8), l.CoverSurface, l.CoverSurface.BoundsRect(), false, false, pixel,
                         255);
    }
    benchmark::ClobberMemory();
  }
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_Menu20RawBlits)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
#endif  // KOVA_BENCH_FONTS
