// What the rich-text fuzz targets and the replay of their corpus do with one input: parse it as
// markup or load it as a stored glyph list, then lay it out, reveal it frame by frame, save and
// restore the page states and expand variables. Inputs may only ever raise the system's own
// errors, and every step must end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/errors.h"
#include "core/stream.h"
#include "graphics/dibx.h"
#include "support/fake_glyph_fonts.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"
#include "text/xr_word.h"

namespace kova::test {

inline void ExerciseDocument(TXrWord& doc, uint8_t knobs) {
  doc.WrapWidth = (knobs & 3) == 0 ? 0 : 64 * (knobs & 3);
  doc.PageHeight = 40 + 20 * ((knobs >> 2) & 3);
  doc.Paging = (knobs >> 4) & 1;
  doc.FadeTime = (knobs >> 5) & 1 ? 0 : 32;
  doc.TextDelay = (knobs >> 6) & 1 ? 0 : 256;
  doc.EventsOn = 1;
  doc.LineSpace = 2;
  doc.VarValues.Add("v=A\x01" "B");
  doc.BorderWidth = knobs & 1;
  doc.ShadowWidth = (knobs >> 1) & 1;
  doc.ExpandVars();
  TPageList pages;
  doc.Layout(pages);
  // Drawn with the fake fonts onto a 16- or 32-bit target.
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  TDIBX target;
  target.SetSize(200, 120, (knobs & 128) ? 16 : 32);
  doc.GlyphCache = &cache;
  doc.Target = &target;
  doc.ScreenBits = target.BitCount();
  doc.UpdateRect = TRect{0, 0, 200, 120};
  int events = 0;
  doc.EventHook = [&events](TXrWord&, const std::string&) { ++events; };
  for (auto& page : pages) {
    page->ResetTimer();
    bool finished = false;
    std::string text;
    for (int frame = 0; frame < 64 && !finished; ++frame) page->Progress(40, finished, text);
    page->Render(false);
    page->Compose();
    page->LinkAt(doc.OriginX + 3, doc.OriginY + 3);
    (void)page->GetLinkText();
    page->StoreVarValues();
    TMemoryStream state;
    page->SaveState(state);
    state.SetPosition(0);
    page->LoadState(state);
  }
  doc.CollapseVars();
}

inline void ExerciseMarkup(std::span<const uint8_t> data) {
  if (data.empty()) return;
  TXrWord doc;
  try {
    doc.Parse(std::string_view(reinterpret_cast<const char*>(data.data()) + 1, data.size() - 1));
  } catch (const EKovaError&) {
  }
  ExerciseDocument(doc, data[0]);
}

inline void ExerciseGlyphList(std::span<const uint8_t> data) {
  TXrWord doc;
  TMemoryStream stream{data};
  try {
    doc.LoadFromStream(stream);
  } catch (const EKovaError&) {
    return;
  }
  // A list that loaded writes out and loads back.
  TMemoryStream copy;
  doc.SaveToStream(copy);
  copy.SetPosition(0);
  TXrWord again;
  again.LoadFromStream(copy);
  ExerciseDocument(doc, data.empty() ? 0 : data.back());
}

}  // namespace kova::test
