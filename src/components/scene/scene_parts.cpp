#include "components/scene/scene_parts.h"

namespace kova {

TSceneParts::TSceneParts(const TSceneInputs& inputs)
    : host_(inputs.host), image_cache_(inputs.host, inputs.pictures), history_(inputs.store) {
  CreateWorkSurfaces();
  root_ = std::make_unique<TKovaBaseList>(TSceneRootParts{.host = inputs.host,
                                                          .kinds = &kinds_,
                                                          .events = inputs.events,
                                                          .image_cache = &image_cache_,
                                                          .text_pictures = &text_pictures_,
                                                          .store = inputs.store,
                                                          .glyph_cache = inputs.glyph_cache,
                                                          .history = &history_,
                                                          .read_marks = &read_marks_,
                                                          .pattern = &pattern_,
                                                          .makers = &makers_,
                                                          .media = &media_});
  BuildColorTables();
}

TSceneParts::~TSceneParts() { root_.reset(); }

void TSceneParts::CreateWorkSurfaces() {
  pattern_.SetSize(2, 2, 15);
  pattern_.Fill(uint32_t(pattern_.ColorToPixel(0)));
  const uint32_t white = uint32_t(pattern_.ColorToPixel(0xFFFFFF));
  pattern_.SetPixel(0, 0, white);
  pattern_.SetPixel(1, 1, white);

  backdrop_.SetSize(32, 32, 15);
  backdrop_.FillRect(TRect{0, 0, 32, 32}, uint32_t(backdrop_.ColorToPixel(0x808080)));
  const uint32_t light = uint32_t(backdrop_.ColorToPixel(0xC0C0C0));
  backdrop_.FillRect(TRect{0, 0, 16, 16}, light);
  backdrop_.FillRect(TRect{16, 16, 32, 32}, light);
}

void TSceneParts::BuildColorTables() {
  const int32_t depth = host_ ? host_->ScreenBitCount() : 15;
  for (uint32_t i = 0; i < 256; ++i) {
    // The palette entry i: red 3 bits, green 3 bits, blue 2 bits, widened to 8 bits each.
    const uint32_t r = ((i >> 5) & 7) * 255 / 7, g = ((i >> 2) & 7) * 255 / 7, b = (i & 3) * 255 / 3;
    const uint32_t v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    Pixel16Table[i] = uint16_t(depth == 15 ? (v & 31) | ((v & 0x7C0) >> 1) | ((v & 0xF800) >> 1) : v);
    Grey16Table[i] = depth == 15 ? ((i >> 3) << 10) | ((i >> 3) << 5) | (i >> 3)
                                 : ((i >> 3) << 11) | ((i >> 2) << 5) | (i >> 3);
    Grey32Table[i] = (i << 16) | (i << 8) | i;
  }
}

}  // namespace kova
