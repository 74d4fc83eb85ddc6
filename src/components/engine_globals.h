// The scene's process-wide objects, owned in one place by the player: the root container, the
// clip manager, the two small pattern surfaces and the colour tables for the screen's depth. The
// player makes them before it opens the project (the tables then assume a 15-bit screen) and
// builds the tables again once the screen exists. The shared picture cache, the message history
// and the read marks live here too (the root container hands them to its components).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "components/history_services.h"
#include "components/image_cache.h"
#include "components/kova_base_list.h"
#include "components/kova_history.h"
#include "components/kova_list.h"
#include "components/kova_read_marks.h"
#include "components/text_pictures.h"
#include "graphics/dibx.h"

namespace kova {

class TEngineGlobals {
 public:
  // The root container over `host` (not owned; nullptr for a scene without screen), the clip
  // manager, the work surfaces and the colour tables.
  explicit TEngineGlobals(TSceneHost* host = nullptr);
  ~TEngineGlobals();
  TEngineGlobals(const TEngineGlobals&) = delete;
  TEngineGlobals& operator=(const TEngineGlobals&) = delete;

  TKovaBaseList& Root() { return *root_; }
  TClipManager& ClipManager() { return clip_manager_; }
  // The picture cache every component reads pictures through.
  TWexaCollection& ImageCache() { return *image_cache_; }
  // The pictures of IMG glyphs in text, read through that cache.
  TTextImagePort& TextPictures() { return *text_pictures_; }
  // The message history and the read marks, and the script engine's port over them.
  TKovaNewHistory& History() { return history_; }
  TKovaReadList& ReadMarks() { return read_marks_; }
  THistoryPort& HistoryPort() { return history_port_; }
  // 2 x 2 at 15 bits: black with white at (0, 0) and (1, 1), the checker of control frames.
  TDIBX& PatternSurface() { return pattern_; }
  // 32 x 32 at 15 bits: grey 0x808080 with squares of 0xC0C0C0 at (0, 0)-(16, 16) and (16, 16)-(32, 32).
  TDIBX& BackdropSurface() { return backdrop_; }

  // Builds the tables for the host's screen depth (15 without a screen).
  void BuildColorTables();
  // A fixed 256-colour palette (a 3-3-2 colour cube) as pixels of the 16-bit screen format.
  std::array<uint16_t, 256> Pixel16Table{};
  // The grey level i (red = green = blue = i) as a pixel of the 16-bit format (5-6-5, or 5-5-5 at
  // depth 15) and of the 32-bit format.
  std::array<uint32_t, 256> Grey16Table{};
  std::array<uint32_t, 256> Grey32Table{};

 private:
  void CreateWorkSurfaces();

  TSceneHost* host_;
  TClipManager clip_manager_;
  TDIBX pattern_;
  TDIBX backdrop_;
  // Made before the scene and freed after it: components release their pictures as they go.
  std::unique_ptr<TWexaCollection> image_cache_;
  std::unique_ptr<TTextPictureCache> text_pictures_;
  TKovaNewHistory history_;
  TKovaReadList read_marks_;
  THistoryServices history_port_{history_, read_marks_};
  std::unique_ptr<TKovaBaseList> root_;
};

}  // namespace kova
