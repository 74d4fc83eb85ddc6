// The scene's parts of one session, made once in one place: the component kinds, the root
// container, the clip manager, the two small pattern surfaces, the colour tables for the screen's
// depth, the shared picture cache, the pictures of text, the message history and the read marks.
// What the parts use from the layers below (the screen, the event queue, the variable store, the
// glyph cache, the picture files) is given at construction; the root container is then made with
// the bundle of what its components reach through it (TSceneRootParts) and keeps it for its life.
// The session makes them before it opens the project (the tables then assume a 15-bit screen) and
// builds the tables again once the screen exists. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "components/scene/component_factory.h"
#include "components/text/history_services.h"
#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "components/widgets/kova_list.h"
#include "components/text/kova_read_marks.h"
#include "components/text/text_pictures.h"
#include "graphics/dibx.h"

namespace kova {

class TFontPixelManager;
class TParamCollection;
class TTimerList;

// What the scene's parts are given by their session. None is owned; each may be nullptr.
struct TSceneInputs {
  // The screen: its depth, films, transitions, media, the pointer (nullptr: a scene without one).
  TSceneHost* host = nullptr;
  // The event queue the scene fills (nullptr: the root container's own).
  TTimerList* events = nullptr;
  // The variable store of the components' expressions and of the history's layout.
  TParamCollection* store = nullptr;
  // The glyph cache text draws from (nullptr: text draws nothing).
  TFontPixelManager* glyph_cache = nullptr;
  // Where the picture cache reads pictures (nullptr: every picture is missing).
  IPictureSource* pictures = nullptr;
};

class TSceneParts {
 public:
  explicit TSceneParts(const TSceneInputs& inputs = {});
  ~TSceneParts();
  TSceneParts(const TSceneParts&) = delete;
  TSceneParts& operator=(const TSceneParts&) = delete;

  TKovaBaseList& Root() { return *root_; }
  // The component kinds of the session's root containers (filled by the subsystems' registration).
  TComponentFactory& Kinds() { return kinds_; }
  // The slot the subsystem that makes films and transitions registers its makers in.
  TSceneMakerSlot& Makers() { return makers_; }
  // The slot the media subsystem registers its switch in.
  TSceneMediaSlot& Media() { return media_; }
  TClipManager& ClipManager() { return clip_manager_; }
  // The picture cache every component reads pictures through.
  TWexaCollection& ImageCache() { return image_cache_; }
  // The pictures of IMG glyphs in text, read through that cache.
  TTextImagePort& TextPictures() { return text_pictures_; }
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
  TComponentFactory kinds_;
  TSceneMakerSlot makers_;
  TSceneMediaSlot media_;
  TClipManager clip_manager_;
  TDIBX pattern_;
  TDIBX backdrop_;
  // Made before the scene and freed after it: components release their pictures as they go.
  TWexaCollection image_cache_;
  TTextPictureCache text_pictures_{image_cache_};
  TKovaNewHistory history_;
  TKovaReadList read_marks_;
  THistoryServices history_port_{history_, read_marks_};
  std::unique_ptr<TKovaBaseList> root_;
};

}  // namespace kova
